#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pack_fixtures.h"

namespace {

TEST(ParseManifest, ReadsEveryFieldAndTheImagesBesideTheManifest) {
  packtest::TempDir dir;
  dir.Write("rel/fw/a.bin", std::vector<std::uint8_t>{1, 2, 3});
  dir.Write("rel/fw/b.bin", std::vector<std::uint8_t>{9});
  dir.Write("rel/boot/ntkavlo64.exe", std::vector<std::uint8_t>{'M', 'Z', 1});
  dir.Write("rel/boot/copy2k3.exe", std::vector<std::uint8_t>{'M', 'Z', 2});
  // Named options stand before and after the digits base: they win either way.
  const auto manifest = dir.Write("rel/release.toml", R"(
title = "Corvane Travok Utility for Windows"
version = "v3.2.0.1"
release_date = "2026/12/09"
product_model = "Corvane K5 SATA SSD"
[options]
skip_info_refresh = false
visual_style = 20
language = 1
flash_mode = 2
digits = "1111111111111111111111111111"
reboot = false
notice_level = 7
[[image]]
file = "fw/a.bin"
new_fw = "K5FW0200"
fw_ext = "X1"
every_drive = false
[[image.constraint]]
model = "CORVANE K5 512GB"
start = "K5FW0100"
end = "K5FW0199"
[[image.constraint]]
prefix = "Q7305"
[[image]]
file = "fw/b.bin"
new_fw = "K5FW0201"
every_drive = true
[programs]
win7_x64 = "boot/ntkavlo64.exe"
copyfile_2k3 = "boot/copy2k3.exe"
)");
  const pack::Release release = pack::ParseManifest(manifest);

  EXPECT_EQ(release.title, "Corvane Travok Utility for Windows");
  EXPECT_EQ(release.version, "v3.2.0.1");
  EXPECT_EQ(release.releaseDate, "2026/12/09");
  EXPECT_EQ(release.productModel, "Corvane K5 SATA SSD");
  EXPECT_EQ(release.visualStyle, 20);
  EXPECT_EQ(release.language, 1);
  EXPECT_EQ(release.flashMode, 2);
  //                            positions 4, 6 and 7 (index 2, 4, 5) named
  EXPECT_EQ(release.optionDigits, "1101071111111111111111111111");

  ASSERT_EQ(release.images.size(), 2u);
  const pack::ReleaseImage& first = release.images[0];
  EXPECT_EQ(first.source, "fw/a.bin");
  EXPECT_EQ(first.bytes, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(first.newFw, "K5FW0200");
  EXPECT_EQ(first.fwExt, "X1");
  ASSERT_EQ(first.rows.size(), 2u);
  EXPECT_EQ(first.rows[0].model, "CORVANE K5 512GB");
  EXPECT_EQ(first.rows[0].start, "K5FW0100");
  EXPECT_EQ(first.rows[0].end, "K5FW0199");
  EXPECT_EQ(first.rows[1].model, "");
  EXPECT_EQ(first.rows[1].start, "Q7305!!!");
  EXPECT_EQ(first.rows[1].end, "Q7305~~~");

  EXPECT_EQ(release.images[1].bytes, (std::vector<std::uint8_t>{9}));
  EXPECT_EQ(release.images[1].fwExt, "");
  EXPECT_TRUE(release.images[1].rows.empty());

  for (std::size_t slot = 1; slot <= release.programs.size(); ++slot) {
    const auto& program = release.programs[slot - 1];
    EXPECT_EQ(program.has_value(), slot == 10 || slot == 12) << slot;
  }
  EXPECT_EQ(release.programs[9]->source, "boot/ntkavlo64.exe");
  EXPECT_EQ(release.programs[9]->bytes, (std::vector<std::uint8_t>{'M', 'Z', 1}));
  EXPECT_EQ(release.programs[11]->bytes, (std::vector<std::uint8_t>{'M', 'Z', 2}));
  EXPECT_NO_THROW(pack::Validate(release));
}

TEST(ParseManifest, LeavesWhatIsNotGivenAtItsDefault) {
  packtest::TempDir dir;
  dir.Write("a.bin", std::vector<std::uint8_t>{1});
  const auto release = pack::ParseManifestText(
      "title = \"T\"\nversion = \"v1\"\n[[image]]\nfile = \"a.bin\"\nnew_fw = \"R1\"\n"
      "every_drive = true\n",
      dir.path());
  EXPECT_EQ(release.releaseDate, "");
  EXPECT_EQ(release.productModel, "");
  EXPECT_EQ(release.optionDigits, std::string(28, '0'));
  EXPECT_EQ(release.visualStyle + release.language + release.flashMode, 0);
}

struct BadManifest {
  const char* name;
  std::string text;
  std::vector<std::string> mentions;
};

const std::string kHead = "title = \"T\"\nversion = \"v1\"\n";
const std::string kImageHead = "[[image]]\nfile = \"a.bin\"\nnew_fw = \"R1\"\n";
const std::string kImage = kImageHead + "every_drive = true\n";

const std::vector<BadManifest> kBadManifests = {
    {"misspelt top-level key",
     kHead + "titel = \"x\"\n" + kImage,
     {"manifest:3", "unknown key 'titel'"}},
    {"misspelt option",
     kHead + "[options]\nrebot = true\n" + kImage,
     {"unknown key 'options.rebot'"}},
    {"misspelt image key", kHead + kImage + "newfw = \"x\"\n", {"unknown key", "newfw"}},
    {"misspelt row key",
     kHead + kImage + "[[image.constraint]]\nmodle = \"x\"\n",
     {"unknown key", "modle"}},
    {"no title", "version = \"v1\"\n" + kImage, {"title", "missing"}},
    {"no version", "title = \"T\"\n" + kImage, {"version", "missing"}},
    {"title not text", "title = 5\nversion = \"v1\"\n" + kImage, {"title", "string"}},
    {"image without file", kHead + "[[image]]\nnew_fw = \"R1\"\n", {"image 1 file", "missing"}},
    {"image without new_fw",
     kHead + "[[image]]\nfile = \"a.bin\"\n",
     {"image 1 (a.bin) new_fw", "missing"}},
    {"image file not there",
     kHead + "[[image]]\nfile = \"none.bin\"\nnew_fw = \"R1\"\nevery_drive = true\n",
     {"image 1 (none.bin)", "cannot read"}},
    {"flag as a number",
     kHead + "[options]\nreboot = 1\n" + kImage,
     {"options.reboot", "true or false"}},
    {"number as a flag",
     kHead + "[options]\nnotice_level = true\n" + kImage,
     {"options.notice_level", "0..9"}},
    {"number over 9",
     kHead + "[options]\nnotice_level = 10\n" + kImage,
     {"options.notice_level", "10", "0..9"}},
    {"negative number",
     kHead + "[options]\nclose_msg_seconds = -1\n" + kImage,
     {"options.close_msg_seconds", "0..9"}},
    {"option byte over 127",
     kHead + "[options]\nvisual_style = 128\n" + kImage,
     {"options.visual_style", "0..127"}},
    {"short digits", kHead + "[options]\ndigits = \"000\"\n" + kImage, {"options.digits", "28"}},
    {"short prefix",
     kHead + kImage + "[[image.constraint]]\nprefix = \"Q730\"\n",
     {"constraint 1 prefix", "exactly 5"}},
    {"prefix with start",
     kHead + kImage + "[[image.constraint]]\nprefix = \"Q7305\"\nstart = \"A\"\n",
     {"constraint 1 prefix", "start"}},
    {"image as one table", kHead + "[image]\nfile = \"a.bin\"\nnew_fw = \"R1\"\n", {"[[image]]"}},
    {"constraint as one table",
     kHead + kImage + "[image.constraint]\nmodel = \"M\"\n",
     {"[[image.constraint]]"}},
    {"broken TOML", "title = \"T\nversion = \"v1\"\n", {"manifest:1"}},
    {"unknown program slot",
     kHead + kImage + "[programs]\nwin11_x64 = \"a.bin\"\n",
     {"manifest:8", "unknown key 'programs.win11_x64'"}},
    {"program not a file name",
     kHead + kImage + "[programs]\nwin7_x64 = 3\n",
     {"programs.win7_x64", "file name"}},
    {"program file not there",
     kHead + kImage + "[programs]\ncopyfile_xp = \"none.exe\"\n",
     {"programs.copyfile_xp (none.exe)", "cannot read"}},
    // Admitting every drive is a choice the manifest states, never what a forgotten table of
    // rows leaves behind.
    {"image without rows",
     kHead + kImageHead,
     {"image 1 (a.bin)", "no constraint rows", "every_drive"}},
    {"second image without rows",
     kHead + kImage + "[[image]]\nfile = \"a.bin\"\nnew_fw = \"R2\"\n",
     {"image 2 (a.bin)", "every_drive = true"}},
    {"every_drive false without rows",
     kHead + kImageHead + "every_drive = false\n",
     {"image 1 (a.bin)", "no constraint rows"}},
    {"every_drive with rows",
     kHead + kImage + "[[image.constraint]]\nmodel = \"M\"\n",
     {"manifest:6", "image 1 (a.bin) every_drive", "1 constraint row "}},
    {"every_drive not a flag",
     kHead + kImageHead + "every_drive = \"yes\"\n",
     {"image 1 (a.bin) every_drive", "true or false"}},
    {"row that limits nothing",
     kHead + kImageHead + "[[image.constraint]]\nmodel = \"M\"\n[[image.constraint]]\n",
     {"constraint 2", "admits every drive"}},
    {"row of empty texts",
     kHead + kImageHead + "[[image.constraint]]\nmodel = \"\"\nstart = \"\"\n",
     {"constraint 1", "admits every drive"}},
    {"programs as a list", kHead + "programs = [\"a.bin\"]\n" + kImage, {"programs", "table"}},
};

TEST(ParseManifest, RefusesWhatAReleaseEngineerGotWrongAndSaysWhere) {
  packtest::TempDir dir;
  dir.Write("a.bin", std::vector<std::uint8_t>{1});
  for (const BadManifest& bad : kBadManifests) {
    SCOPED_TRACE(bad.name);
    try {
      pack::ParseManifestText(bad.text, dir.path());
      ADD_FAILURE() << "accepted";
    } catch (const pack::PackError& e) {
      for (const std::string& word : bad.mentions)
        EXPECT_NE(std::string(e.what()).find(word), std::string::npos)
            << "'" << e.what() << "' does not mention '" << word << "'";
    }
  }
}

TEST(ParseManifest, NamesAManifestItCannotRead) {
  packtest::TempDir dir;
  try {
    pack::ParseManifest(dir.path() / "absent.toml");
    ADD_FAILURE() << "read";
  } catch (const pack::PackError& e) {
    EXPECT_NE(std::string(e.what()).find("absent.toml"), std::string::npos) << e.what();
  }
}

}  // namespace
