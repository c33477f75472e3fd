#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pack_fixtures.h"

namespace {

std::size_t Count(const std::string& text, const std::string& word) {
  std::size_t n = 0;
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
  return n;
}

TEST(Inspect, ReportsWhatWasPacked) {
  auto file = packtest::MakeTemplateFile();
  pack::WriteRelease(file, packtest::SampleRelease());
  const std::string report = pack::Inspect(file);

  for (const std::string line : {
           "title          Corvane K5 Updater\n",
           "version        v3.2.0.1\n",
           "release date   2026/12/09\n",
           "product model  Corvane K5 SATA SSD\n",
           "visual_style 20, language 1, flash_mode 3, image count 2\n",
           "  reboot              1\n",
           "  close_msg_seconds   5\n",
           "  windows_flash       1\n",
           "images         2\n",
           "image 1  offset 0  size 300  new_fw \"K5FW0200\"  fw_ext \"EXT1\"\n",
           "  row 1  model \"CORVANE K5 512GB\"  start \"K5FW0100\"  end \"K5FW0199\"\n",
           "  row 2  model (any)  start \"Q7305!!!\"  end \"Q7305~~~\"\n",
           "image 2  offset 300  size 4097  new_fw \"K5FW0201\"  fw_ext \"\"\n  every drive\n",
           "enciphered     no: flashed from Windows as stored\n",
           "programs       0\n",
       })
    EXPECT_NE(report.find(line), std::string::npos) << "missing: " << line << "in:\n" << report;
  EXPECT_EQ(Count(report, "every drive"), 1u) << report;
  EXPECT_EQ(Count(report, "row "), 2u) << report;
  EXPECT_EQ(report.find("image 3"), std::string::npos) << report;
}

TEST(Inspect, SaysWhetherTheImagesAreEncipheredAndListsThePrograms) {
  auto file = packtest::MakeTemplateFile();
  auto release = packtest::SampleRelease();
  release.optionDigits[27 - 2] = '0';
  for (int n : {1, 3, 4, 7, 8, 9, 10, 11, 12, 13, 14})
    release.programs[std::size_t(n - 1)] =
        pack::ReleaseProgram{"p.exe", packtest::Pattern(std::size_t(1000 + n), 1)};
  pack::WriteRelease(file, release);
  // A size string a damaged file might hold.
  const std::size_t xp64Digits = package::ProgramSizeOffset(2) + 12;
  std::memcpy(file.data() + packtest::kLead + xp64Digits, "00000000x1", 10);
  const std::string report = pack::Inspect(file);
  for (const std::string line : {
           "enciphered     yes: AES-128 under the image key, for the boot-time flasher\n",
           "image 1  offset 0  size 512  ",
           "programs       12\n",
           "  slot  1  xp_x86          1001 bytes\n",
           "  slot  2  xp_x64          \"XP_X64_SIZE=00000000x1\"\n",
           "  slot 10  win7_x64        1010 bytes\n",
           "  slot 14  copyfile_xp     1014 bytes\n",
       })
    EXPECT_NE(report.find(line), std::string::npos) << "missing: " << line << "in:\n" << report;
  EXPECT_EQ(report.find("vista_x86"), std::string::npos) << report;
}

TEST(Inspect, ShowsTheUnfilledTemplateAndEscapesDamagedText) {
  auto file = packtest::MakeTemplateFile();
  file[packtest::kLead + package::kTitleOffset + 7] = 0x07;
  const std::string report = pack::Inspect(file);
  EXPECT_NE(report.find("title          Corvane\\x07Travok Utility"), std::string::npos) << report;
  EXPECT_NE(report.find("images         0\n"), std::string::npos) << report;
}

TEST(Inspect, RefusesAFileWithoutABlock) {
  const std::vector<std::uint8_t> file(4096, 0x41);
  EXPECT_THROW(pack::Inspect(file), pack::PackError);
}

}  // namespace
