// Which slots the boot-time path takes for each Windows, and a slot's program as the release
// maker embedded it.
#include "package/program_slots.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "package/package_area.h"
#include "package/package_template.h"
#include "tests/support/release.h"

namespace {

using namespace testing_support;

TEST(ProgramSlots, EachWindowsTakesItsFlasherAndCopyProgram) {
  struct Case {
    const char* windows;
    std::uint32_t versionCode;
    bool wow64;
    int flasher, copyProgram;  // 0: none written
  } cases[] = {
      {"Windows 10, 64-bit", 0x14010000, true, 10, 13},
      {"Windows 10, 32-bit", 0x14010000, false, 9, 0},
      {"Windows 7 SP1, 32-bit", 0x0E011000, false, 9, 0},
      {"Windows 7 SP1, 64-bit", 0x0E011000, true, 10, 11},
      {"Windows XP SP3", 0x07013000, false, 1, 0},
      {"XP family under WOW64", 0x07010000, true, 1, 14},
      {"Server 2003, 32-bit", 0x08070000, false, 3, 0},
      {"Server 2003, 64-bit", 0x08072000, true, 4, 12},
      {"Server 2003 R2, 64-bit", 0x09070000, true, 4, 12},
      {"Vista, 32-bit", 0x0A010000, false, 7, 0},
      {"Vista, 64-bit", 0x0A012000, true, 8, 13},
      {"Server 2008, 64-bit", 0x0C070000, true, 8, 13},
      {"Server 2008 R2", 0x0D070000, true, 8, 13},
      {"Windows 8.1, 64-bit", 0x12010000, true, 10, 13},
      {"Server 2019", 0x13070000, true, 10, 13},
      {"no version code", 0, true, 10, 13},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(package::FlasherSlot(c.versionCode, c.wow64), c.flasher) << c.windows;
    EXPECT_EQ(package::CopyProgramSlot(c.versionCode, c.wow64), c.copyProgram) << c.windows;
  }
}

TEST(ProgramSlots, AnEmbeddedProgramReadsBackFromItsSlotWithItsSize) {
  pack::Release release = BootTimeRelease();
  release.programs[1].reset();  // slot 2 is never read: it may stay empty
  Load(Pack(release));
  const std::uint8_t* area = package::PackageArea();
  for (int slot = 1; slot <= int(package::kProgramSlotCount); ++slot) {
    SCOPED_TRACE(slot);
    const package::ProgramSlot program = package::ReadProgramSlot(area, slot);
    EXPECT_EQ(program.bytes, area + package::kProgramSlotsOffset +
                                 std::size_t(slot - 1) * package::kProgramSlotSize);
    const auto& given = release.programs[std::size_t(slot - 1)];
    if (!given) {
      EXPECT_EQ(program.size, 0u);
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(program.bytes)), "EXE_XP_X64");
      continue;
    }
    ASSERT_EQ(program.size, given->bytes.size());
    EXPECT_TRUE(std::equal(given->bytes.begin(), given->bytes.end(), program.bytes));
  }
  EXPECT_EQ(package::ReadProgramSlot(area, 0).size, 0u);
  EXPECT_EQ(package::ReadProgramSlot(area, 15).size, 0u);
}

// A damaged size string cannot make the program read past its slot.
TEST(ProgramSlots, ASizeBeyondTheSlotIsCutToTheSlot) {
  Load(Pack(BootTimeRelease()));
  std::uint8_t* area = package::PackageArea();
  const std::size_t digits = package::ProgramSizeOffset(10) + std::strlen("WIN7_X64_SIZE=");
  std::memcpy(area + digits, "9999999999", 10);
  EXPECT_EQ(package::ReadProgramSlot(area, 10).size, package::kProgramSlotSize);
  std::memcpy(area + digits, "12x4567890", 10);
  EXPECT_EQ(package::ReadProgramSlot(area, 10).size, 12u);
}

}  // namespace
