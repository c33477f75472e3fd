// Byte layout of the package areas that a release carries inside the executable.
//
// The packaging tool and the program share this format byte for byte: the tool finds the
// configuration block by its key texts and overwrites values in place, the program reads the
// values back from its own loaded image. Every offset here is relative to the first byte of
// the configuration block; the areas follow one another without gaps.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace package {

inline constexpr int kMaxImages = 15;
inline constexpr int kRowsPerGroup = 8;
inline constexpr std::uint32_t kImageBufferSize = 2'097'152;  // the update's working buffer

// Configuration block.
inline constexpr std::size_t kBannerOffset = 0, kBannerSize = 21;
inline constexpr std::size_t kVersionOffset = 21, kVersionSize = 13;
inline constexpr std::size_t kContactOffset = 34, kContactSize = 15;
inline constexpr std::size_t kTitleOffset = 49, kTitleSize = 64;
inline constexpr std::size_t kReleaseDateOffset = 113, kReleaseDateSize = 12;
inline constexpr std::size_t kProductModelOffset = 125, kProductModelSize = 65;
inline constexpr std::size_t kConstraintTableOffset = 190;
inline constexpr std::size_t kRowSize = 76;
inline constexpr std::size_t kGroupSize = kRowSize * kRowsPerGroup;  // 608
inline constexpr std::size_t kOptionRecordOffset = 9310, kOptionRecordSize = 42;
inline constexpr std::size_t kImageStartOffset = 9352;  // BIN_STARTn entries
inline constexpr std::size_t kImageSizeOffset = 9682;   // BIN_SIZEnB entries
inline constexpr std::size_t kNumberEntrySize = 22;     // 11-byte key, 10 digits, NUL
inline constexpr std::size_t kNewFwOffset = 10012;      // NEW_FWn entries
inline constexpr std::size_t kFwExtOffset = 10267;      // FW_EXTn entries
inline constexpr std::size_t kRevisionEntrySize = 17;   // 8-byte key, 8 characters, NUL
inline constexpr std::size_t kBootCodeOffset = 10522, kBootCodeSize = 4096;
inline constexpr std::size_t kBlockSize = 14618;

// Fields of one constraint row.
inline constexpr std::size_t kRowStartOffset = 0, kRowStartSize = 8;
inline constexpr std::size_t kRowEndOffset = 8, kRowEndSize = 8;
inline constexpr std::size_t kRowModelOffset = 16, kRowModelSize = 40;
inline constexpr std::size_t kRowReservedOffset = 56, kRowReservedSize = 20;

// Fields of the option record.
inline constexpr std::size_t kOptVisualStyle = 9;  // byte A
inline constexpr std::size_t kOptLanguage = 10;    // byte B
inline constexpr std::size_t kOptFlashMode = 11;   // byte C
inline constexpr std::size_t kOptImageCount = 12;  // byte D
inline constexpr int kFirstOptionPosition = 2, kLastOptionPosition = 29;
// Position p is one character at record offset 11 + p, counted from byte D as position 1.
constexpr std::size_t OptionDigitOffset(int position) {
  return 11 + std::size_t(position);
}

// Offsets of the value parts inside the per-image entries.
inline constexpr std::size_t kNumberKeySize = 11, kNumberDigits = 10;
inline constexpr std::size_t kRevisionKeySize = 8, kRevisionValueSize = 8;

constexpr std::size_t RowOffset(int group, int row) {  // group and row are 1-based
  return kConstraintTableOffset + std::size_t(group - 1) * kGroupSize +
         std::size_t(row - 1) * kRowSize;
}
constexpr std::size_t ImageStartEntry(int image) {
  return kImageStartOffset + std::size_t(image - 1) * kNumberEntrySize;
}
constexpr std::size_t ImageSizeEntry(int image) {
  return kImageSizeOffset + std::size_t(image - 1) * kNumberEntrySize;
}
constexpr std::size_t NewFwEntry(int image) {
  return kNewFwOffset + std::size_t(image - 1) * kRevisionEntrySize;
}
constexpr std::size_t FwExtEntry(int image) {
  return kFwExtOffset + std::size_t(image - 1) * kRevisionEntrySize;
}
// The image number of the key texts: "1".."9", then "A".."F".
constexpr char ImageDigit(int image) {
  return "0123456789ABCDEF"[image];
}

// Payload and the areas behind it.
inline constexpr std::size_t kPayloadOffset = kBlockSize;
inline constexpr std::uint32_t kPayloadSize = 31'457'280;
inline constexpr std::size_t kCipherAreaOffset = kPayloadOffset + kPayloadSize;
inline constexpr std::size_t kCipherAreaSize = 256;
// Each slot holds a whole program: a boot-time flasher linked statically against the native
// runtime, or the copy program. The marker text stands at the slot's first byte until a
// program is written over it.
inline constexpr std::size_t kProgramSlotCount = 14, kProgramSlotSize = 524'288;
inline constexpr std::size_t kProgramMarkerRoom = 32;  // the marker and its zero bytes
inline constexpr std::size_t kProgramSlotsOffset = kCipherAreaOffset + kCipherAreaSize;
inline constexpr std::size_t kProgramSizesOffset =
    kProgramSlotsOffset + kProgramSlotCount * kProgramSlotSize;

struct ProgramSlotName {
  std::string_view marker;   // at the first byte of the slot
  std::string_view sizeKey;  // followed by ten decimal digits and a NUL
};
inline constexpr std::array<ProgramSlotName, kProgramSlotCount> kProgramSlots{{
    {"EXE_XP_X86", "XP_X86_SIZE="},
    {"EXE_XP_X64", "XP_X64_SIZE="},
    {"EXE_2003_X86", "2003_X86_SIZE="},
    {"EXE_2003_X64", "2003_X64_SIZE="},
    {"EXE_VISTA_X86", "VISTA_X86_SIZE="},
    {"EXE_VISTA_X64", "VISTA_X64_SIZE="},
    {"EXE_2008_X86", "2008_X86_SIZE="},
    {"EXE_2008_X64", "2008_X64_SIZE="},
    {"EXE_WIN7_X86", "WIN7_X86_SIZE="},
    {"EXE_WIN7_X64", "WIN7_X64_SIZE="},
    {"EXE_COPYFILE_WIN7", "COPYFILE_SIZE="},
    {"EXE_COPYFILE_2K3", "COPYF2K3_SIZE="},
    {"EXE_COPYFILE_2K8", "COPYF2K8_SIZE="},
    {"EXE_COPYFILE_XP", "COPYFIXP_SIZE="},
}};

constexpr std::size_t ProgramSlotOffset(int slot) {  // slot is 1-based
  return kProgramSlotsOffset + std::size_t(slot - 1) * kProgramSlotSize;
}
// Offset of the size string of `slot`: the strings are packed one after another.
constexpr std::size_t ProgramSizeOffset(int slot) {
  std::size_t at = kProgramSizesOffset;
  for (int s = 1; s < slot; ++s)
    at += kProgramSlots[std::size_t(s - 1)].sizeKey.size() + kNumberDigits + 1;
  return at;
}

constexpr std::size_t ProgramSizesLength() {
  std::size_t n = 0;
  for (const auto& slot : kProgramSlots) n += slot.sizeKey.size() + kNumberDigits + 1;
  return n;
}
inline constexpr std::size_t kProgramSizesSize = ProgramSizesLength();
inline constexpr std::size_t kAreaSize = kProgramSizesOffset + kProgramSizesSize;

// Texts of the unfilled template.
inline constexpr std::string_view kTemplateBanner = "TRAVOK PACKAGE BLOCK";  // 20 characters
inline constexpr std::string_view kTemplateVersion = "v3.1.21.20";
inline constexpr std::string_view kTemplateContact = "Halbrook Corp.";
inline constexpr std::string_view kTemplateTitle = "Corvane Travok Utility for Windows";
inline constexpr std::string_view kOptionKey = "PARA_OPT=";
inline constexpr std::string_view kBootCodeMarker = "BOOT_CODE_HERE";
inline constexpr std::string_view kCipherMarker = "AES_BUF_HERE";
inline constexpr std::string_view kNotPresentRevision = "N/A     ";

static_assert(kBannerOffset + kBannerSize == kVersionOffset);
static_assert(kVersionOffset + kVersionSize == kContactOffset);
static_assert(kContactOffset + kContactSize == kTitleOffset);
static_assert(kTitleOffset + kTitleSize == kReleaseDateOffset);
static_assert(kReleaseDateOffset + kReleaseDateSize == kProductModelOffset);
static_assert(kProductModelOffset + kProductModelSize == kConstraintTableOffset);
static_assert(kConstraintTableOffset + kMaxImages * kGroupSize == kOptionRecordOffset);
static_assert(kOptionRecordOffset + kOptionRecordSize == kImageStartOffset);
static_assert(kImageStartOffset + kMaxImages * kNumberEntrySize == kImageSizeOffset);
static_assert(kImageSizeOffset + kMaxImages * kNumberEntrySize == kNewFwOffset);
static_assert(kNewFwOffset + kMaxImages * kRevisionEntrySize == kFwExtOffset);
static_assert(kFwExtOffset + kMaxImages * kRevisionEntrySize == kBootCodeOffset);
static_assert(kBootCodeOffset + kBootCodeSize == kBlockSize);
static_assert(OptionDigitOffset(kLastOptionPosition) + 2 == kOptionRecordSize);  // then a NUL
static_assert(kTemplateBanner.size() + 1 == kBannerSize);
static_assert(ProgramSizeOffset(int(kProgramSlotCount) + 1) == kAreaSize);

}  // namespace package
