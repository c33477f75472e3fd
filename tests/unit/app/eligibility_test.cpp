#include "app/eligibility.h"

#include <gtest/gtest.h>

#include <cstring>

#include "package/package_area.h"
#include "sim/sim_pc.h"
#include "tests/support/release.h"

namespace {

using namespace testing_support;
using discovery::DevInfo;
using fw::SetField;

DevInfo Drive(const std::string& model, const std::string& firmware, bool nvme = false,
              const std::string& fwExt = "") {
  DevInfo d{};
  d.bExisted = true;
  // Drives report their model padded with blanks to the field's width.
  SetField(d.model, model + std::string(40 - std::min<std::size_t>(40, model.size()), ' '));
  std::memcpy(d.checkModel, d.model, sizeof d.model);
  SetField(d.firmware, firmware);
  SetField(d.fwExt, fwExt.empty() ? firmware : fwExt);
  d.bIsNvme = nvme;
  return d;
}

pack::ReleaseImage Image(std::string newFw, std::vector<pack::ConstraintRow> rows,
                         std::string fwExt = "") {
  pack::ReleaseImage image;
  image.source = newFw + ".bin";
  image.bytes.assign(512, 1);
  image.newFw = std::move(newFw);
  image.fwExt = std::move(fwExt);
  image.rows = std::move(rows);
  return image;
}

class Eligibility : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override { os::Install(nullptr); }

  // Packs `images`, loads the release and parses its options.
  void Use(std::vector<pack::ReleaseImage> images, const std::string& flags = "") {
    auto release = SmallRelease();
    release.images = std::move(images);
    for (char f : flags)
      release.optionDigits[std::size_t((f == 'x' ? 2 : f == 'n' ? 15 : 24) - 2)] = '1';
    UseFile(Pack(release));
  }
  void UseFile(const std::vector<std::uint8_t>& file) {
    Load(file);
    config = {};
    package::ParseLeadingOptions(package::PackageArea(), config);
    package::ParseTrailingOptions(package::PackageArea(), config);
  }
  // The 0-based image the drive gets, or -1 when it is not eligible.
  int Verdict(DevInfo drive) {
    drive.imageIndex = 99;
    app::ChkConstraint(std::span(&drive, 1), package::PackageArea(), config);
    return drive.bEligible ? drive.imageIndex : -1;
  }

  sim::SimPc pc;
  package::PackageConfig config;
};

TEST_F(Eligibility, AGroupWithoutRowsTakesEveryDrive) {
  Use({Image("K5FW0200", {})});
  EXPECT_EQ(Verdict(Drive("ANY MODEL", "X")), 0);
  EXPECT_EQ(Verdict(Drive("", "")), 0);
  DevInfo absent = Drive("ANY MODEL", "X");
  absent.bExisted = false;
  EXPECT_EQ(Verdict(absent), -1);
}

TEST_F(Eligibility, RowsAdmitByModelAndRevisionBounds) {
  Use({Image("K5FW0200", {{"K5FW0100", "K5FW0199", "CORVANE K5 512GB"},
                          {"Q7305!!!", "Q7305~~~", ""},
                          {"", "", "CORVANE K5 1TB"},
                          {"", "B9", ""}})});
  struct Case {
    const char* model;
    const char* firmware;
    bool eligible;
  };
  const Case cases[] = {
      {"CORVANE K5 512GB", "K5FW0100", true},   // the lower bound itself
      {"CORVANE K5 512GB", "K5FW0199", true},   // the upper bound itself
      {"CORVANE K5 512GB", "K5FW0099", false},  // below (and no later row admits it)
      {"corvane k5 512gb", "K5FW0150", false},  // the model compares with letter case
      {"ANY", "Q7305ABC", true},                // prefix row, every model
      {"ANY", "Q7305AB", false},                // 7 characters: the length differs from START
      {"ANY", "Q7305 AB", false},               // a blank sorts below "!"
      {"CORVANE K5 1TB", "ANYTHING", true},     // no bounds, matching model
      {"ANY", "B", true},                       // only an upper bound: no length test
      {"ANY", "B99", false},                    // "B99" sorts after "B9"
      {"ANY", "\xC0", false},                   // bytes compare unsigned
  };
  for (const auto& c : cases)
    EXPECT_EQ(Verdict(Drive(c.model, c.firmware)) == 0, c.eligible) << c.model << " " << c.firmware;
}

// A zero-padded text in one field of a constraint row, written as a hand-made package would.
void PutRowField(std::vector<std::uint8_t>& file, int row, std::size_t offset, std::size_t size,
                 const std::string& text) {
  auto field = file.begin() + std::ptrdiff_t(package::RowOffset(1, row) + offset);
  std::fill_n(field, size, 0);
  std::copy(text.begin(), text.end(), field);
}

// travok-pack writes an empty row whole; a row that only looks partly like one is matched like
// any other row, so a package made by other means cannot open its image to every drive by
// accident.
TEST_F(Eligibility, OnlyAFirstRowWithHashInEndAndModelTakesEveryDrive) {
  struct Case {
    const char* start;
    const char* end;
    const char* model;
    bool eligible;
  };
  const Case cases[] = {
      {"#FLSH11", "#", "#", true},
      {"#FLS", "#X", "#ANY", true},   // only the first characters count
      {"#FLSH11", "", "#", false},    // no "#" in END
      {"#FLSH11", "X#", "#", false},  // "#" not first
      {"#FLSH11", "#", "", false},    // no "#" in CMODEL: the row's bounds apply
      {"#FLSH11", "#", "CORVANE K5", false},
      {"#flsh11", "#", "#", false},  // START compares with letter case
  };
  for (const auto& c : cases) {
    auto release = SmallRelease();
    release.images = {Image("K5FW0200", {})};
    auto file = Pack(release);
    PutRowField(file, 1, package::kRowStartOffset, package::kRowStartSize, c.start);
    PutRowField(file, 1, package::kRowEndOffset, package::kRowEndSize, c.end);
    PutRowField(file, 1, package::kRowModelOffset, package::kRowModelSize, c.model);
    UseFile(file);
    EXPECT_EQ(Verdict(Drive("CORVANE K5", "K5FW0100")) == 0, c.eligible)
        << c.start << " | " << c.end << " | " << c.model;
  }
}

TEST_F(Eligibility, TheFirstAdmittingGroupWinsAndEmptyLaterRowsNeverMatch) {
  Use({Image("A", {{"", "", "MODEL A"}}), Image("B", {{"", "", "MODEL B"}}), Image("C", {}),
       Image("D", {{"", "", "MODEL D"}})});
  EXPECT_EQ(Verdict(Drive("MODEL A", "1")), 0);
  EXPECT_EQ(Verdict(Drive("MODEL B", "1")), 1);
  EXPECT_EQ(Verdict(Drive("MODEL D", "1")), 2);  // group 3 takes every drive first
  EXPECT_EQ(Verdict(Drive("#", "1")), 2);        // the empty rows 2..8 of groups 1 and 2 do not

  // Groups past the image count are ignored even when filled.
  auto file = Pack([] {
    auto release = SmallRelease();
    release.images = {Image("A", {{"", "", "MODEL A"}}), Image("B", {})};
    return release;
  }());
  SetOptionByte(file, package::kOptImageCount, 1);
  UseFile(file);
  EXPECT_EQ(Verdict(Drive("OTHER", "1")), -1);
}

TEST_F(Eligibility, ExtendedRevisionsReplaceFirmwareWhenThePackageSaysSo) {
  Use({Image("K5FW0200", {{"E0100", "E0199", ""}}, "E0200")}, "x");
  EXPECT_EQ(Verdict(Drive("M", "K5FW0150", false, "E0150")), 0);
  EXPECT_EQ(Verdict(Drive("M", "E0150", false, "K5FW0150")), -1);
}

TEST_F(Eligibility, TargetsOfTheSelectedDrive) {
  struct Case {
    const char* what;
    const char* model;
    const char* firmware;
    bool nvme;
    const char* newFw;
    const char* shown;
    const char* derived;
  };
  const Case cases[] = {
      {"5-character capacity code", "CORVANE N9 1TB", "X1000", true, "X$123", "X6123", "X6123"},
      {"8-character capacity code", "CORVANE N9 960GB", "AB1CDEFG", true, "AB$CDEFG", "ABWCDEFG",
       "ABWCDEFG"},
      {"no capacity text keeps the $", "CORVANE N9", "X1000", true, "X$123", "X$123", "X$123"},
      {"2TB in the 8-character form has no code", "N9 2TB", "AB1CDEFG", true, "AB$CDEFG",
       "AB$CDEFG", "AB$CDEFG"},
      {"ZKWFW is never substituted", "N9 512GB", "ZKWFW001", true, "ZKWFW$01", "ZKWFW$01",
       "ZKWFW$01"},
      {"no $: the drive's third character carries over", "N9 512GB", "AB7PQRST", true, "AB1UVWXY",
       "AB7UVWXY", "AB7UVWXY"},
      {"ATA: shown is the package's, derived carries over", "K5", "AB7PQRST", false, "AB1UVWXY",
       "AB1UVWXY", "AB7UVWXY"},
      {"ATA never takes a capacity code", "K5 512GB", "AB7PQRST", false, "AB$UVWXY", "AB$UVWXY",
       "AB7UVWXY"},
      {"different first characters: unchanged", "K5", "CD7PQRST", false, "AB1UVWXY", "AB1UVWXY",
       "AB1UVWXY"},
      {"short revisions: unchanged", "K5", "AB7P", false, "AB1UVWXY", "AB1UVWXY", "AB1UVWXY"},
  };
  for (const auto& c : cases) {
    Use({Image(c.newFw, {})});
    DevInfo d = Drive(c.model, c.firmware, c.nvme);
    d.imageIndex = 0;
    const auto t = app::ChkO2N(d, package::PackageArea(), config);
    EXPECT_EQ(t.shown, c.shown) << c.what;
    EXPECT_EQ(t.derived, c.derived) << c.what;
  }
}

TEST_F(Eligibility, EveryCapacityTextOfAnNvmeModelHasItsCode) {
  struct Case {
    const char* model;
    const char* target;  // from X$123 for X1000, from AB$CDEFG for AB1CDEFG
  };
  const Case cases[] = {
      // 5-character revisions: the code goes second.
      {"N9 128GB", "X3123"},
      {"N9 256GB", "X4123"},
      {"N9 512GB", "X5123"},
      {"N9 960GB", "X8123"},
      {"N9 1024GB", "X6123"},
      {"N9 1020GB", "X6123"},  // "102"
      {"N9 1TB", "X6123"},
      {"N9 2048GB", "X7123"},
      {"N9 2040GB", "X7123"},  // "204"
      {"N9 2TB", "X7123"},
      {"N9 512GB 1TB", "X5123"},  // the capacities are tried from the smallest
      // Longer revisions: the code goes third.
      {"N9 128GB", "AB7CDEFG"},
      {"N9 256GB", "AB8CDEFG"},
      {"N9 512GB", "AB9CDEFG"},
      {"N9 960GB", "ABWCDEFG"},
      {"N9 1024GB", "ABACDEFG"},
      {"N9 1020GB", "ABACDEFG"},
      {"N9 1TB", "ABACDEFG"},
  };
  for (const auto& c : cases) {
    const bool bShort = std::strlen(c.target) == 5;
    Use({Image(bShort ? "X$123" : "AB$CDEFG", {})});
    DevInfo d = Drive(c.model, bShort ? "X1000" : "AB1CDEFG", true);
    d.imageIndex = 0;
    const auto t = app::ChkO2N(d, package::PackageArea(), config);
    EXPECT_EQ(t.shown, c.target) << c.model;
    EXPECT_EQ(t.derived, c.target) << c.model;
  }
}

TEST_F(Eligibility, AlreadyLatestFollowsNFlashAndFOld) {
  struct Case {
    const char* flags;  // n: bNFlash, o: bFOld
    const char* firmware;
    bool skipped;
  };
  const Case cases[] = {
      {"n", "K5FW0200", true},   // equal, skipped with bNFlash
      {"n", "K5FW0300", true},   // newer, skipped without bFOld
      {"n", "K5FW0100", false},  // older, always updated
      {"", "K5FW0200", false},   // equal, flashed again without bNFlash
      {"o", "K5FW0300", false},  // newer, bFOld allows going back
      {"no", "K5FW0200", true},  // equal with both
      {"n", "K5FW02009", true},  // only the target's length is compared
  };
  for (const auto& c : cases) {
    Use({Image("K5FW0200", {})}, c.flags);
    DevInfo d = Drive("K5", c.firmware);
    EXPECT_EQ(app::IsAlreadyLatest(d, "", package::PackageArea(), config), c.skipped)
        << c.flags << " " << c.firmware;
  }
  // An NVMe drive is compared with its shown target; the drive V1234567 equals the target V123.
  Use({Image("IGNORED", {})}, "n");
  EXPECT_TRUE(
      app::IsAlreadyLatest(Drive("N9", "V1234567", true), "V123 ", package::PackageArea(), config));
  // Extended revisions compare all 8 bytes untrimmed.
  Use({Image("K5FW0200", {}, "E0200XYZ")}, "xn");
  EXPECT_TRUE(app::IsAlreadyLatest(Drive("K5", "K5FW0100", false, "E0200XYZ"), "",
                                   package::PackageArea(), config));
  EXPECT_FALSE(app::IsAlreadyLatest(Drive("K5", "K5FW0100", false, "E0100XYZ"), "",
                                    package::PackageArea(), config));
}

}  // namespace

TEST(NvmeRstRequirement, VersionCodesUpTo10000000hNeedTheRstDriverForAnInboxNvmeDrive) {
  struct Case {
    bool nvme, rst;
    std::uint32_t versionCode;
    bool needs;
  } cases[] = {
      {true, false, 0x0E010000, true},    // Windows 7
      {true, false, 0x10000000, true},    // the last code that still needs it
      {true, false, 0x10010000, false},   // Windows 8 workstation
      {true, false, 0x14010000, false},   // Windows 10
      {true, true, 0x0E010000, false},    // behind the RST driver
      {false, false, 0x0E010000, false},  // a SATA drive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.versionCode << " nvme " << c.nvme);
    discovery::DevInfo drive{};
    drive.bIsNvme = c.nvme;
    drive.bIsNVMe_IrstDriver = c.rst;
    EXPECT_EQ(app::NeedsRstDriverForNvme(drive, c.versionCode), c.needs);
  }
}
