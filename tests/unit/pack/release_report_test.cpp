#include <gtest/gtest.h>

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
       })
    EXPECT_NE(report.find(line), std::string::npos) << "missing: " << line << "in:\n" << report;
  EXPECT_EQ(Count(report, "every drive"), 1u) << report;
  EXPECT_EQ(Count(report, "row "), 2u) << report;
  EXPECT_EQ(report.find("image 3"), std::string::npos) << report;
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
