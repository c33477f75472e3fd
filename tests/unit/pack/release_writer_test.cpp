#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pack_fixtures.h"

namespace {

using namespace std::string_literals;
using namespace package;
using packtest::kLead;

std::string Raw(const std::vector<std::uint8_t>& file, std::size_t offset, std::size_t size) {
  return std::string(file.begin() + std::ptrdiff_t(kLead + offset),
                     file.begin() + std::ptrdiff_t(kLead + offset + size));
}

std::string Padded(const std::string& text, std::size_t width, char pad = '\0') {
  return text + std::string(width - text.size(), pad);
}

// The empty-row form spelt out byte by byte rather than taken from the template builder.
std::string EmptyRow(char group, char row) {
  return Padded("#FLSH"s + group + row, 8) + Padded("#", 8) + Padded("#", 40) + Padded("#", 20);
}

std::string UsedRow(const std::string& start, const std::string& end, const std::string& model) {
  return Padded(start, 8) + Padded(end, 8) + Padded(model, 40, ' ') + std::string(20, '\0');
}

// Where two files first differ, so a failure points at the field instead of dumping 30 MB.
std::ptrdiff_t FirstDifference(const std::vector<std::uint8_t>& a,
                               const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size()) return -2;
  if (std::memcmp(a.data(), b.data(), a.size()) == 0) return -1;
  const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin());
  return mismatch.first == a.end() ? -1 : mismatch.first - a.begin() - std::ptrdiff_t(kLead);
}

TEST(WriteRelease, PutsEveryFieldAtItsOffset) {
  auto file = packtest::MakeTemplateFile();
  const auto original = file;
  pack::WriteRelease(file, packtest::SampleRelease());

  // Texts shorter than the template's must clear its tail.
  EXPECT_EQ(Raw(file, kTitleOffset, kTitleSize), Padded("Corvane K5 Updater", 64));
  EXPECT_EQ(Raw(file, kVersionOffset, kVersionSize), Padded("v3.2.0.1", 13));
  EXPECT_EQ(Raw(file, kReleaseDateOffset, kReleaseDateSize), Padded("2026/12/09", 12));
  EXPECT_EQ(Raw(file, kProductModelOffset, kProductModelSize), Padded("Corvane K5 SATA SSD", 65));

  EXPECT_EQ(Raw(file, RowOffset(1, 1), kRowSize),
            UsedRow("K5FW0100", "K5FW0199", "CORVANE K5 512GB"));
  EXPECT_EQ(Raw(file, RowOffset(1, 2), kRowSize), UsedRow("Q7305!!!", "Q7305~~~", ""));
  EXPECT_EQ(Raw(file, RowOffset(1, 3), kRowSize), EmptyRow('1', '3'));
  EXPECT_EQ(Raw(file, RowOffset(2, 1), kRowSize), EmptyRow('2', '1'));  // every drive
  EXPECT_EQ(Raw(file, RowOffset(15, 8), kRowSize), EmptyRow('F', '8'));

  EXPECT_EQ(Raw(file, kOptionRecordOffset, kOptionRecordSize),
            "PARA_OPT=\x14\x01\x03\x02"s + "001" + std::string(21, '0') + "5100" + '\0');

  EXPECT_EQ(Raw(file, ImageStartEntry(1), 22), "BIN_START1=0000000000\0"s);
  EXPECT_EQ(Raw(file, ImageStartEntry(2), 22), "BIN_START2=0000000300\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(1), 22), "BIN_SIZE1B=0000000300\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(2), 22), "BIN_SIZE2B=0000004097\0"s);
  EXPECT_EQ(Raw(file, NewFwEntry(1), 17), "NEW_FW1=K5FW0200\0"s);
  EXPECT_EQ(Raw(file, FwExtEntry(1), 17), "FW_EXT1=EXT1\0\0\0\0\0"s);
  EXPECT_EQ(Raw(file, FwExtEntry(2), 17), "FW_EXT2=" + std::string(9, '\0'));
  EXPECT_EQ(Raw(file, ImageStartEntry(3), 22), "BIN_START3=0000000000\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(3), 22), "BIN_SIZE3 =0000000000\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(15), 22), "BIN_SIZEF =0000000000\0"s);
  EXPECT_EQ(Raw(file, NewFwEntry(3), 17), "NEW_FW3=N/A     \0"s);
  EXPECT_EQ(Raw(file, FwExtEntry(15), 17), "FW_EXTF=N/A     \0"s);

  const auto sample = packtest::SampleRelease();
  EXPECT_EQ(Raw(file, kPayloadOffset, 300),
            std::string(sample.images[0].bytes.begin(), sample.images[0].bytes.end()));
  EXPECT_EQ(Raw(file, kPayloadOffset + 300, 4097),
            std::string(sample.images[1].bytes.begin(), sample.images[1].bytes.end()));
  const auto rest = file.begin() + std::ptrdiff_t(kLead + kPayloadOffset + 4397);
  EXPECT_TRUE(std::all_of(rest, rest + std::ptrdiff_t(kPayloadSize - 4397),
                          [](std::uint8_t c) { return c == 0; }));

  // What the release does not own stays exactly as the template had it.
  struct Kept {
    std::size_t offset, size;
  };
  for (const Kept& kept :
       {Kept{kBannerOffset, kBannerSize}, Kept{kContactOffset, kContactSize},
        Kept{kBootCodeOffset, kBootCodeSize},
        Kept{kCipherAreaOffset, kAreaSize - kCipherAreaOffset + packtest::kTail}})
    EXPECT_EQ(Raw(file, kept.offset, kept.size), Raw(original, kept.offset, kept.size))
        << "at " << kept.offset;
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + kLead, original.begin()));
}

// Fifteen images at full size, eight rows each and every text at its width: a release that
// writes every byte the format lets a release reach.
pack::Release FullRelease() {
  pack::Release release;
  release.title = std::string(63, 'T');
  release.version = std::string(12, 'V');
  release.releaseDate = std::string(11, 'D');
  release.productModel = std::string(64, 'P');
  release.visualStyle = release.language = release.flashMode = 127;
  release.optionDigits = std::string(28, '9');
  for (int n = 1; n <= kMaxImages; ++n) {
    pack::ReleaseImage image{"fw/" + std::to_string(n),
                             packtest::Pattern(kImageBufferSize, 0x40),
                             "NEWFW" + std::to_string(100 + n),
                             "EXTEXT" + std::to_string(10 + n),
                             {}};
    for (int r = 1; r <= kRowsPerGroup; ++r)
      image.rows.push_back({"STARTREV", "END~~~~~", std::string(40, char('A' + r))});
    release.images.push_back(std::move(image));
  }
  for (std::size_t slot = 0; slot < kProgramSlotCount; ++slot)
    release.programs[slot] =
        pack::ReleaseProgram{"p.exe", packtest::Pattern(kProgramSlotSize, std::uint8_t(slot))};
  return release;
}

TEST(WriteRelease, FillsEveryAreaToItsLimit) {
  auto file = packtest::MakeTemplateFile();
  const auto full = FullRelease();
  pack::WriteRelease(file, full);
  EXPECT_EQ(Raw(file, kTitleOffset, kTitleSize), std::string(63, 'T') + '\0');
  EXPECT_EQ(Raw(file, kProductModelOffset, kProductModelSize), std::string(64, 'P') + '\0');
  EXPECT_EQ(Raw(file, RowOffset(15, 8), kRowSize),
            "STARTREVEND~~~~~" + std::string(40, 'I') + std::string(20, '\0'));
  EXPECT_EQ(Raw(file, ImageStartEntry(15), 22), "BIN_STARTF=0029360128\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(15), 22), "BIN_SIZEFB=0002097152\0"s);
  EXPECT_EQ(Raw(file, FwExtEntry(15), 17), "FW_EXTF=EXTEXT25\0"s);
  EXPECT_EQ(Raw(file, kPayloadOffset + kPayloadSize - 1, 1),
            std::string(1, char(full.images[14].bytes.back())));
  EXPECT_EQ(Raw(file, kCipherAreaOffset, 12), "AES_BUF_HERE");
  EXPECT_EQ(Raw(file, kProgramSizesOffset + kProgramSizesSize - 25, 25),
            "COPYFIXP_SIZE=0000524288\0"s);
  EXPECT_EQ(Raw(file, kProgramSizesOffset - 1, 1),
            std::string(1, char(full.programs[13]->bytes.back())));
}

// The size strings of the format, spelt out here rather than taken from the layout.
std::string SizeStrings(const std::vector<std::pair<std::string, std::size_t>>& given) {
  const char* keys[] = {"XP_X86",    "XP_X64",   "2003_X86", "2003_X64", "VISTA_X86",
                        "VISTA_X64", "2008_X86", "2008_X64", "WIN7_X86", "WIN7_X64",
                        "COPYFILE",  "COPYF2K3", "COPYF2K8", "COPYFIXP"};
  std::string out;
  for (const char* key : keys) {
    std::size_t size = 0;
    for (const auto& [name, bytes] : given)
      if (name == key) size = bytes;
    const std::string digits = std::to_string(size);
    out += std::string(key) + "_SIZE=" + std::string(10 - digits.size(), '0') + digits + '\0';
  }
  return out;
}

TEST(WriteRelease, EmbedsEachProgramAtItsSlotsFirstByteWithItsSize) {
  auto file = packtest::MakeTemplateFile();
  auto release = packtest::SampleRelease();
  release.programs[9] = pack::ReleaseProgram{"nt64.exe", packtest::Pattern(1234, 9)};
  release.programs[13] = pack::ReleaseProgram{"cpxp.exe", packtest::Pattern(kProgramSlotSize, 3)};
  pack::WriteRelease(file, release);

  const std::size_t slots = kCipherAreaOffset + 256;  // the areas follow one another
  const auto slot = [&](int n) { return slots + std::size_t(n - 1) * 524288; };
  const auto& program = release.programs[9]->bytes;
  EXPECT_EQ(Raw(file, slot(10), 1234), std::string(program.begin(), program.end()));
  EXPECT_EQ(Raw(file, slot(10) + 1234, 524288 - 1234), std::string(524288 - 1234, '\0'));
  EXPECT_EQ(Raw(file, slot(9), 32), Padded("EXE_WIN7_X86", 32));  // no program: the marker
  EXPECT_EQ(Raw(file, slot(11), 32), Padded("EXE_COPYFILE_WIN7", 32));
  EXPECT_EQ(Raw(file, slot(14), 524288),
            std::string(release.programs[13]->bytes.begin(), release.programs[13]->bytes.end()));
  const std::string sizes = SizeStrings({{"WIN7_X64", 1234}, {"COPYFIXP", 524288}});
  EXPECT_EQ(Raw(file, slot(15), sizes.size()), sizes);
  EXPECT_EQ(slot(15) + sizes.size(), kAreaSize);
}

// With windows_flash off each image is stored zero-padded to whole sectors and enciphered,
// and recorded with that size, so the program copies and deciphers whole sectors.
TEST(WriteRelease, EnciphersTheImagesOfABootTimeReleaseAndRecordsThePaddedSizes) {
  auto file = packtest::MakeTemplateFile();
  auto release = packtest::SampleRelease();
  release.optionDigits[27 - 2] = '0';
  for (int n : {1, 3, 4, 7, 8, 9, 10, 11, 12, 13, 14})
    release.programs[std::size_t(n - 1)] = pack::ReleaseProgram{"p.exe", {'M', 'Z'}};
  pack::WriteRelease(file, release);

  EXPECT_EQ(Raw(file, ImageStartEntry(1), 22), "BIN_START1=0000000000\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(1), 22), "BIN_SIZE1B=0000000512\0"s);
  EXPECT_EQ(Raw(file, ImageStartEntry(2), 22), "BIN_START2=0000000512\0"s);
  EXPECT_EQ(Raw(file, ImageSizeEntry(2), 22), "BIN_SIZE2B=0000004608\0"s);
  const auto& plain = release.images[0].bytes;
  EXPECT_NE(Raw(file, kPayloadOffset, 16), std::string(plain.begin(), plain.begin() + 16));
  // ECB: the padding is sixteen zero bytes per block, which encipher alike.
  EXPECT_EQ(Raw(file, kPayloadOffset + 496, 16), Raw(file, kPayloadOffset + 480, 16));
  const auto rest = file.begin() + std::ptrdiff_t(kLead + kPayloadOffset + 512 + 4608);
  EXPECT_TRUE(std::all_of(rest, rest + 4096, [](std::uint8_t c) { return c == 0; }));
}

TEST(WriteRelease, PackingOverAnEarlierReleaseLeavesNoTraceOfIt) {
  auto once = packtest::MakeTemplateFile();
  pack::WriteRelease(once, packtest::SampleRelease());

  auto twice = packtest::MakeTemplateFile();
  pack::WriteRelease(twice, FullRelease());
  pack::WriteRelease(twice, packtest::SampleRelease());
  EXPECT_EQ(FirstDifference(once, twice), -1);
}

TEST(WriteRelease, RefusesAFileWithoutOneWholeBlock) {
  std::vector<std::uint8_t> noBlock(1 << 16, 0x90);
  EXPECT_THROW(pack::WriteRelease(noBlock, packtest::SampleRelease()), pack::PackError);

  auto cut = packtest::MakeTemplateFile();
  cut.resize(kLead + kAreaSize - 1);
  try {
    pack::WriteRelease(cut, packtest::SampleRelease());
    ADD_FAILURE() << "a file cut short was packed";
  } catch (const pack::PackError& e) {
    EXPECT_NE(std::string(e.what()).find("cut short"), std::string::npos) << e.what();
  }
}

struct Refusal {
  const char* name;
  std::function<void(pack::Release&)> change;
  std::vector<std::string> mentions;  // the field, and the limit it breaks
};

const std::vector<Refusal> kRefusals = {
    {"long title", [](auto& s) { s.title = std::string(64, 'x'); }, {"title", "63"}},
    {"no title", [](auto& s) { s.title.clear(); }, {"title", "empty"}},
    {"tab in title", [](auto& s) { s.title[3] = '\t'; }, {"title", "0x09"}},
    {"long version", [](auto& s) { s.version = "v3.2.0.1-rc12"; }, {"version", "12"}},
    {"long date", [](auto& s) { s.releaseDate = "2026/12/09/1"; }, {"release_date", "11"}},
    {"long model", [](auto& s) { s.productModel = std::string(65, 'm'); }, {"product_model", "64"}},
    {"no image", [](auto& s) { s.images.clear(); }, {"image", "firmware"}},
    {"16 images", [](auto& s) { s.images.resize(16, s.images[1]); }, {"16 images", "15"}},
    {"empty image",
     [](auto& s) { s.images[1].bytes.clear(); },
     {"image 2 (fw/k5_1tb.bin)", "empty"}},
    {"image over the buffer",
     [](auto& s) { s.images[1].bytes.resize(kImageBufferSize + 1); },
     {"image 2 (fw/k5_1tb.bin): 2097153 bytes, more than the 2097152-byte image buffer"}},
    {"long new_fw",
     [](auto& s) { s.images[0].newFw = "K5FW02000"; },
     {"image 1 (fw/k5_0200.bin) new_fw", "8"}},
    {"no new_fw", [](auto& s) { s.images[0].newFw.clear(); }, {"new_fw", "empty"}},
    {"long fw_ext", [](auto& s) { s.images[1].fwExt = "123456789"; }, {"image 2", "fw_ext", "8"}},
    {"nine rows",
     [](auto& s) { s.images[0].rows.resize(9); },
     {"image 1", "9 constraint rows", "8"}},
    {"long start",
     [](auto& s) { s.images[0].rows[1].start = "Q7305!!!!"; },
     {"constraint 2 start", "8"}},
    {"long row model",
     [](auto& s) { s.images[0].rows[0].model = std::string(41, 'M'); },
     {"constraint 1 model", "40"}},
    {"non-ASCII row model",
     [](auto& s) { s.images[0].rows[0].model = "CORVANE \xC3\xA9"; },
     {"constraint 1 model", "printable"}},
    {"start that reads as empty",
     [](auto& s) { s.images[0].rows[1].start = "#FLSH12"; },
     {"constraint 2 start", "'#'"}},
    {"letter in digits",
     [](auto& s) { s.optionDigits[7 - 2] = 'x'; },
     {"position 7 (notice_level)", "0..9"}},
    {"short digits", [](auto& s) { s.optionDigits.pop_back(); }, {"options.digits", "28"}},
    {"visual_style 128", [](auto& s) { s.visualStyle = 128; }, {"options.visual_style", "0..127"}},
    {"negative language", [](auto& s) { s.language = -1; }, {"options.language", "0..127"}},
    {"flash_mode 200", [](auto& s) { s.flashMode = 200; }, {"options.flash_mode", "0..127"}},
    {"empty program",
     [](auto& s) {
       s.programs[9] = pack::ReleaseProgram{"nt64.exe", {}};
     },
     {"programs.win7_x64 (nt64.exe)", "empty"}},
    {"program over its slot",
     [](auto& s) {
       s.programs[13] = pack::ReleaseProgram{"cpxp.exe", std::vector<std::uint8_t>(524289)};
     },
     {"programs.copyfile_xp (cpxp.exe): 524289 bytes, more than the 524288-byte program slot"}},
    {"boot-time release without programs",
     [](auto& s) { s.optionDigits[27 - 2] = '0'; },
     {"windows_flash is off",
      "missing: xp_x86, 2003_x86, 2003_x64, 2008_x86, 2008_x64, "
      "win7_x86, win7_x64, copyfile_win7, copyfile_2k3, copyfile_2k8, "
      "copyfile_xp"}},
    {"boot-time release without two programs",
     [](auto& s) {
       s.optionDigits[27 - 2] = '0';
       for (int n : {1, 3, 7, 8, 9, 10, 11, 12, 14})  // slots 2, 5 and 6 are never read
         s.programs[std::size_t(n - 1)] = pack::ReleaseProgram{"p.exe", {'M', 'Z'}};
     },
     {"missing: 2003_x64, copyfile_2k8"}},
};

TEST(Validate, RefusesWhatTheAreasCannotHoldNamingFieldAndLimit) {
  for (const Refusal& refusal : kRefusals) {
    SCOPED_TRACE(refusal.name);
    auto release = packtest::SampleRelease();
    refusal.change(release);
    try {
      pack::Validate(release);
      ADD_FAILURE() << "accepted";
    } catch (const pack::PackError& e) {
      for (const std::string& word : refusal.mentions)
        EXPECT_NE(std::string(e.what()).find(word), std::string::npos)
            << "'" << e.what() << "' does not mention '" << word << "'";
    }
  }
}

TEST(WriteRelease, LeavesTheFileAloneWhenItRefuses) {
  const auto pristine = packtest::MakeTemplateFile();
  auto file = pristine;
  auto release = packtest::SampleRelease();
  release.images[1].bytes.resize(kImageBufferSize + 1);  // the last thing checked
  EXPECT_THROW(pack::WriteRelease(file, release), pack::PackError);
  EXPECT_EQ(FirstDifference(file, pristine), -1);
}

}  // namespace
