// The programs a package carries for the boot-time path: which slot holds the flasher and
// which the copy program for the running Windows, and a slot's bytes as the package holds them.
#pragma once

#include <cstdint>
#include <span>

namespace package {

// Slots are numbered 1 to 14 in the order of the areas.
inline constexpr int kFlasherSlots[] = {1, 3, 4, 7, 8, 9, 10};
inline constexpr int kCopyProgramSlots[] = {11, 12, 13, 14};

// By the family byte of the version code (platform/osinfo.h) and whether the 32-bit program
// runs on 64-bit Windows. Only 64-bit Windows gets a copy program: 0 without WOW64.
int FlasherSlot(std::uint32_t versionCode, bool wow64);
int CopyProgramSlot(std::uint32_t versionCode, bool wow64);

// A slot's program inside the package `area`: its first byte and the length its size string
// gives. A size that claims more than the slot holds is cut to the slot, so that writing the
// program never reads into the next one. Slot numbers outside 1..14 give an empty program.
struct ProgramSlot {
  const std::uint8_t* bytes = nullptr;
  std::uint32_t size = 0;

  std::span<const std::uint8_t> Bytes() const { return {bytes, size}; }
};
ProgramSlot ReadProgramSlot(const std::uint8_t* area, int slot);

}  // namespace package
