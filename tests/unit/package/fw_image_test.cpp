// The image load on releases packed by the release maker: the sector padding, the bounded copy
// of a damaged entry, and the boot-time release whose images the load deciphers.
#include "package/fw_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "package/package_area.h"
#include "tests/support/release.h"

namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
using package::gBinSize;
using package::gFwImage;

bool AllZero(const Bytes& bytes, std::size_t from) {
  return std::all_of(bytes.begin() + std::ptrdiff_t(from), bytes.end(),
                     [](std::uint8_t b) { return b == 0; });
}

void SetDigits(std::size_t entry, const char* digits) {
  std::memcpy(package::PackageArea() + entry + package::kNumberKeySize, digits,
              package::kNumberDigits);
}

class FwImage : public ::testing::Test {
 protected:
  void Use(const Bytes& file) {
    Load(file);
    config = {};
    package::ParseLeadingOptions(package::PackageArea(), config);
  }
  std::uint32_t LoadImage(int index) {
    return package::LoadFwImage(package::FwBuffer(buffer.data(), package::kImageBufferSize),
                                package::PackageArea(), config, index, context);
  }

  // Exactly the buffer's size on the heap: a copy past its end stops the test under ASan.
  Bytes buffer = Bytes(package::kImageBufferSize, 0xEE);
  package::PackageConfig config;
  package::AesContext context;
};

TEST_F(FwImage, PadsTheImageWithZerosToWholeSectors) {
  struct Case {
    std::size_t size;
    std::uint32_t binSize;
  } cases[] = {{525312, 525312},
               {525313, 525824},
               {1, 512},
               {package::kImageBufferSize, package::kImageBufferSize}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const pack::Release release = SmallRelease(c.size);
    Use(Pack(release));
    EXPECT_EQ(gFwImage, package::PackageArea() + package::kPayloadOffset);  // until a load
    EXPECT_EQ(LoadImage(0), c.size);
    EXPECT_EQ(gFwImage, buffer.data());
    EXPECT_EQ(gBinSize, c.binSize);
    // Flashed from Windows: the bytes as stored.
    EXPECT_TRUE(
        std::equal(release.images[0].bytes.begin(), release.images[0].bytes.end(), buffer.begin()));
    EXPECT_TRUE(AllZero(buffer, c.size));
  }
}

TEST_F(FwImage, AnEntryOfSizeZeroGivesNothing) {
  Use(Pack(SmallRelease()));
  SetDigits(package::ImageSizeEntry(1), "0000000000");
  EXPECT_EQ(LoadImage(0), 0u);
  EXPECT_EQ(gBinSize, 0u);
  EXPECT_EQ(gFwImage, buffer.data());
  EXPECT_TRUE(AllZero(buffer, 0));
}

// Entries the start-up check refuses, put straight into the block: the load copies no more
// than the buffer and the payload area hold, deciphering or not.
TEST_F(FwImage, ADamagedEntryCannotMakeTheLoadOverrun) {
  struct Case {
    const char* what;
    const char* start;
    const char* size;
    int index;
    std::uint32_t copied;
  } cases[] = {
      {"size over the buffer", "0000000000", "9999999999", 0, package::kImageBufferSize},
      {"reaches past the payload", "0031456280", "0002097152", 0, 1000},
      {"starts at the payload's end", "0031457280", "0000000100", 0, 0},
      {"starts far past it", "9999999999", "0000000100", 0, 0},
      {"index below 0", "0000000000", "0000000100", -1, 0},
      {"index past 14", "0000000000", "0000000100", 15, 0},
  };
  for (const Case& c : cases) {
    for (const bool windowsFlash : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (windowsFlash ? "" : ", deciphered"));
      Use(Pack(SmallRelease()));
      SetDigits(package::ImageStartEntry(1), c.start);
      SetDigits(package::ImageSizeEntry(1), c.size);
      config.bWindowsFlash = windowsFlash;
      EXPECT_EQ(LoadImage(c.index), c.copied);
      EXPECT_EQ(gBinSize, (c.copied + 511) / 512 * 512);
      if (windowsFlash) {
        EXPECT_TRUE(AllZero(buffer, c.copied)) << "nothing from beyond the area";
      }
    }
  }
}

// The release maker enciphers with libcrypto, the load deciphers with the program's cipher:
// both must use the same key and the same padding.
TEST_F(FwImage, ABootTimeReleaseLoadsBackToItsImages) {
  pack::Release release = BootTimeRelease(525313);
  release.images.push_back(release.images[0]);
  release.images[1].bytes.resize(1000);
  release.images[1].bytes[999] = 0x5A;
  Use(Pack(release));
  ASSERT_FALSE(config.bWindowsFlash);
  EXPECT_EQ(package::ImageSize(package::PackageArea(), 1), 525824u);
  EXPECT_EQ(package::ImageOffset(package::PackageArea(), 2), 525824u);
  const std::uint8_t* stored = package::PackageArea() + package::kPayloadOffset;
  EXPECT_FALSE(std::equal(stored, stored + 512, release.images[0].bytes.begin()));

  for (int index : {0, 1}) {
    const Bytes& image = release.images[std::size_t(index)].bytes;
    const std::uint32_t padded = std::uint32_t((image.size() + 511) / 512 * 512);
    EXPECT_EQ(LoadImage(index), padded) << index;
    EXPECT_EQ(gBinSize, padded) << index;
    EXPECT_TRUE(std::equal(image.begin(), image.end(), buffer.begin())) << index;
    EXPECT_TRUE(AllZero(buffer, image.size())) << index;
  }
}

}  // namespace
