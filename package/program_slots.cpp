#include "package/program_slots.h"

#include <algorithm>

#include "framework/conversions.h"
#include "framework/fixed_text.h"
#include "package/package_layout.h"
#include "platform/osinfo.h"

namespace package {
namespace {

std::uint32_t Family(std::uint32_t versionCode) {
  return versionCode >> 24;
}

}  // namespace

int FlasherSlot(std::uint32_t versionCode, bool wow64) {
  switch (Family(versionCode)) {
    case platform::kFamilyWindowsXp:
      return 1;  // XP x64 reports the XP family too and takes the same flasher
    case platform::kFamilyServer2003:
    case platform::kFamilyServer2003R2:
      return wow64 ? 4 : 3;
    case platform::kFamilyVista:
    case platform::kFamilyServer2008:
    case platform::kFamilyServer2008R2:
      return wow64 ? 8 : 7;
    default:
      return wow64 ? 10 : 9;
  }
}

int CopyProgramSlot(std::uint32_t versionCode, bool wow64) {
  if (!wow64) return 0;
  switch (Family(versionCode)) {
    case platform::kFamilyWindows7:
      return 11;
    case platform::kFamilyWindowsXp:
      return 14;
    case platform::kFamilyServer2003:
    case platform::kFamilyServer2003R2:
      return 12;
    default:
      return 13;
  }
}

ProgramSlot ReadProgramSlot(const std::uint8_t* area, int slot) {
  if (slot < 1 || slot > int(kProgramSlotCount)) return {};
  const std::size_t keySize = kProgramSlots[std::size_t(slot - 1)].sizeKey.size();
  const std::string digits =
      fw::ReadFixedText(area + ProgramSizeOffset(slot) + keySize, kNumberDigits);
  const std::uint64_t size =
      std::min<std::uint64_t>(fw::LeadingDigitsToU64(digits), kProgramSlotSize);
  return {area + ProgramSlotOffset(slot), std::uint32_t(size)};
}

}  // namespace package
