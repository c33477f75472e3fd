#include "package/package_config.h"

#include <gtest/gtest.h>

#include <cstring>

#include "framework/exceptions.h"
#include "package/package_area.h"
#include "package/package_layout.h"
#include "tests/support/release.h"

namespace {

using namespace testing_support;
using package::PackageArea;

pack::ReleaseImage Image(std::size_t size, std::string newFw, std::string fwExt,
                         std::vector<pack::ConstraintRow> rows) {
  pack::ReleaseImage image;
  image.source = newFw + ".bin";
  image.bytes.assign(size, std::uint8_t(size & 0xFF));
  image.newFw = std::move(newFw);
  image.fwExt = std::move(fwExt);
  image.rows = std::move(rows);
  return image;
}

// The release maker writes, the program reads: two independent readings of one layout.
TEST(PackageConfig, ReadsBackEveryFieldTheReleaseMakerWrote) {
  pack::Release release;
  release.title = "Halbrook K5 Updater";
  release.version = "v4.0.0.7";
  release.releaseDate = "2026/12/09";
  release.productModel = "Corvane K5 SATA SSD";
  release.visualStyle = 20;
  release.language = 1;
  release.flashMode = 3;
  auto set = [&release](int position, char digit) {
    release.optionDigits[std::size_t(position - 2)] = digit;
  };
  for (int p : {2, 4, 5, 8, 11, 12, 17, 20, 22, 23, 24}) set(p, '1');
  set(6, '2');
  set(19, '2');
  set(25, '4');
  set(26, '5');
  set(27, '3');  // flashed from Windows: the images are stored as given
  set(3, '9');   // positions that are not read
  set(29, '7');
  release.images.push_back(
      Image(525312, "K5FW0200", "E0200",
            {{"K5FW0100", "K5FW0199", "CORVANE K5 512GB"}, {"Q7305!!!", "Q7305~~~", ""}}));
  release.images.push_back(Image(525313, "K5FW0300", "", {}));
  release.images.push_back(Image(1000, "N/A", "", {{"", "K5FW9999", "CORVANE K5 1TB"}}));
  Load(Pack(release));
  const std::uint8_t* block = PackageArea();

  package::PackageConfig c;
  package::ParseLeadingOptions(block, c);
  package::ParseTrailingOptions(block, c);
  EXPECT_EQ(c.iVisualStyle, 20);
  EXPECT_EQ(c.iLanguage, 1);
  EXPECT_EQ(c.iFlashMode, 3);
  EXPECT_EQ(c.iImageCount, 3);
  EXPECT_TRUE(c.bUseFWExt);          // 2
  EXPECT_TRUE(c.ReBoot);             // 4 holds "1"
  EXPECT_TRUE(c.bAutoMode);          // 5 holds "1"
  EXPECT_TRUE(c.bSkipInfoRefresh);   // 6 holds "2": any digit but 0 is on
  EXPECT_EQ(c.iNoticeLevel, 0);      // 7
  EXPECT_TRUE(c.bOption8);           // 8
  EXPECT_FALSE(c.bHiddenDrives);     // 10
  EXPECT_TRUE(c.bOption11);          // 11
  EXPECT_TRUE(c.bRebootSystem);      // 12
  EXPECT_FALSE(c.bNFlash);           // 15
  EXPECT_TRUE(c.bOption17);          // 17
  EXPECT_TRUE(c.Bootcode);           // 19 holds "2"
  EXPECT_TRUE(c.bUpdaterMode);       // 20
  EXPECT_TRUE(c.Preformat);          // 22
  EXPECT_TRUE(c.bPreformatBefore);   // 23
  EXPECT_TRUE(c.bFOld);              // 24
  EXPECT_TRUE(c.bSilentMessages);    // 25 holds "4"
  EXPECT_EQ(c.iCloseMsgSeconds, 5);  // 26
  EXPECT_TRUE(c.bWindowsFlash);      // 27 holds "3"
  EXPECT_EQ(c.payload, block + package::kPayloadOffset);

  EXPECT_EQ(package::WindowTitle(block), "Halbrook K5 Updater");
  EXPECT_EQ(package::ToolVersion(block), "v4.0.0.7");
  EXPECT_EQ(package::ReleaseDate(block), "2026/12/09");
  EXPECT_EQ(package::ProductModel(block), "Corvane K5 SATA SSD");

  auto row = package::ReadConstraintRow(block, 1, 1);
  EXPECT_EQ(row.START, "K5FW0100");
  EXPECT_EQ(row.END, "K5FW0199");
  EXPECT_EQ(row.CMODEL, "CORVANE K5 512GB");  // blank padding trimmed
  row = package::ReadConstraintRow(block, 1, 2);
  EXPECT_EQ(row.START, "Q7305!!!");
  EXPECT_EQ(row.END, "Q7305~~~");
  EXPECT_EQ(row.CMODEL, "");
  row = package::ReadConstraintRow(block, 1, 3);  // an empty row
  EXPECT_EQ(row.START, "#FLSH13");
  EXPECT_EQ(row.END, "#");
  EXPECT_EQ(row.CMODEL, "#");
  EXPECT_EQ(package::ReadConstraintRow(block, 2, 1).START, "#FLSH21");  // no rows: every drive
  row = package::ReadConstraintRow(block, 3, 1);
  EXPECT_EQ(row.START, "");
  EXPECT_EQ(row.END, "K5FW9999");
  EXPECT_EQ(package::ReadConstraintRow(block, 15, 8).START, "#FLSHF8");

  EXPECT_EQ(package::ImageOffset(block, 1), 0u);
  EXPECT_EQ(package::ImageSize(block, 1), 525312u);
  EXPECT_EQ(package::ImageOffset(block, 2), 525312u);
  EXPECT_EQ(package::ImageSize(block, 2), 525313u);
  EXPECT_EQ(package::ImageOffset(block, 3), 525312u + 525313u);
  EXPECT_EQ(package::ImageSize(block, 3), 1000u);
  EXPECT_EQ(package::TargetRevision(block, 1), "K5FW0200");
  EXPECT_EQ(package::TargetExtendedId(block, 1), "E0200");
  EXPECT_EQ(package::TargetExtendedId(block, 2), "");
  EXPECT_EQ(package::TargetRevision(block, 3), "N/A");
  EXPECT_EQ(package::TargetRevision(block, 4), "N/A");  // not present: "N/A" and five blanks
  EXPECT_EQ(package::ImageSize(block, 4), 0u);
  EXPECT_EQ(0, std::memcmp(block + package::kPayloadOffset + 525312, release.images[1].bytes.data(),
                           release.images[1].bytes.size()));
  EXPECT_TRUE(package::HasUsableImages(block, c));
}

TEST(PackageConfig, TheUnfilledTemplateParsesAndHoldsNoImage) {
  sim::RestoreOwnPackage();
  package::PackageConfig c;
  package::ParseLeadingOptions(PackageArea(), c);
  package::ParseTrailingOptions(PackageArea(), c);
  EXPECT_EQ(c.iImageCount, 0);
  EXPECT_EQ(package::WindowTitle(PackageArea()), "Corvane Travok Utility for Windows");
  EXPECT_EQ(package::ToolVersion(PackageArea()), "v3.1.21.20");
}

TEST(PackageConfig, APositionWithoutADigitRaisesInTheHalfThatReadsIt) {
  struct Case {
    int position;
    std::uint8_t value;
    bool leading;
  };
  for (const Case& k : {Case{2, ' ', true}, Case{7, 'x', true}, Case{20, 0, true},
                        Case{24, ' ', false}, Case{26, '-', false}}) {
    auto file = Pack(SmallRelease());
    SetOptionPosition(file, k.position, char(k.value));
    Load(file);
    package::PackageConfig c;
    if (k.leading) {
      EXPECT_THROW(package::ParseLeadingOptions(PackageArea(), c), fw::EConvertError) << k.position;
    } else {
      package::ParseLeadingOptions(PackageArea(), c);
      EXPECT_THROW(package::ParseTrailingOptions(PackageArea(), c), fw::EConvertError)
          << k.position;
    }
  }
  // Positions that are never read may hold anything.
  auto file = Pack(SmallRelease());
  for (int p : {3, 9, 13, 14, 16, 18, 21, 28, 29}) SetOptionPosition(file, p, ' ');
  Load(file);
  package::PackageConfig c;
  package::ParseLeadingOptions(PackageArea(), c);
  EXPECT_NO_THROW(package::ParseTrailingOptions(PackageArea(), c));
}

// Entries the release maker would never write, put straight into the block.
void SetDigits(std::uint8_t* block, std::size_t entry, const char* digits) {
  std::memcpy(block + entry + package::kNumberKeySize, digits, package::kNumberDigits);
}

TEST(PackageConfig, ImagesTheBufferOrThePayloadCannotTakeAreRefused) {
  struct Case {
    const char* what;
    int count;  // byte D
    const char* start;
    const char* size;
    bool usable;
  };
  const Case cases[] = {
      {"largest image", 1, "0000000000", "0002097152", true},
      {"one byte over the buffer", 1, "0000000000", "0002097153", false},
      {"ends at the payload's end", 1, "0029360128", "0002097152", true},
      {"ends one past the payload", 1, "0029360129", "0002097152", false},
      {"starts past the payload", 1, "0031457281", "0000000000", false},
      {"wraps in 32 bits", 1, "4294967295", "0000000002", false},
      {"offset past 32 bits", 1, "9999999999", "0000000100", false},
      {"digits stop early", 1, "12xxxxxxxx", "0000000100", true},
      {"sixteen images", 16, "0000000000", "0000000100", false},
      {"count byte FFh", 0xFF, "0000000000", "0000000100", false},
  };
  for (const auto& k : cases) {
    auto file = Pack(SmallRelease());
    SetOptionByte(file, package::kOptImageCount, std::uint8_t(k.count));
    Load(file);
    std::uint8_t* block = PackageArea();
    SetDigits(block, package::ImageStartEntry(1), k.start);
    SetDigits(block, package::ImageSizeEntry(1), k.size);
    package::PackageConfig c;
    package::ParseLeadingOptions(block, c);
    EXPECT_EQ(package::HasUsableImages(block, c), k.usable) << k.what;
  }
}

}  // namespace
