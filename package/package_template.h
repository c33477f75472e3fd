// The bytes of the unfilled template: what the executable carries before the packaging tool
// writes a release into it. The key texts and the empty-row markers are part of the shared
// format, so the tool can find the block and a reader can tell an unused entry.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "package/package_layout.h"

namespace package {

using BlockBytes = std::array<std::uint8_t, kBlockSize>;

constexpr void PutText(BlockBytes& b, std::size_t offset, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) b[offset + i] = std::uint8_t(text[i]);
}

// An empty constraint row: "#FLSH" with the group and row digits, and "#" in the other fields.
constexpr void PutEmptyRow(BlockBytes& b, int group, int row) {
  const std::size_t at = RowOffset(group, row);
  PutText(b, at + kRowStartOffset, "#FLSH");
  b[at + kRowStartOffset + 5] = std::uint8_t(ImageDigit(group));
  b[at + kRowStartOffset + 6] = std::uint8_t(ImageDigit(row));
  PutText(b, at + kRowEndOffset, "#");
  PutText(b, at + kRowModelOffset, "#");
  PutText(b, at + kRowReservedOffset, "#");
}

// Key text of a per-image entry with the image digit at `digitAt`, e.g. "BIN_START1=".
constexpr void PutKey(BlockBytes& b, std::size_t offset, std::string_view key, std::size_t digitAt,
                      int image) {
  PutText(b, offset, key);
  b[offset + digitAt] = std::uint8_t(ImageDigit(image));
}

constexpr BlockBytes MakeTemplateBlock() {
  BlockBytes b{};
  PutText(b, kBannerOffset, kTemplateBanner);
  PutText(b, kVersionOffset, kTemplateVersion);
  PutText(b, kContactOffset, kTemplateContact);
  PutText(b, kTitleOffset, kTemplateTitle);
  for (int g = 1; g <= kMaxImages; ++g)
    for (int r = 1; r <= kRowsPerGroup; ++r) PutEmptyRow(b, g, r);
  PutText(b, kOptionRecordOffset, kOptionKey);
  for (int p = kFirstOptionPosition; p <= kLastOptionPosition; ++p)
    b[kOptionRecordOffset + OptionDigitOffset(p)] = '0';
  for (int n = 1; n <= kMaxImages; ++n) {
    PutKey(b, ImageStartEntry(n), "BIN_START0=", 9, n);
    PutText(b, ImageStartEntry(n) + kNumberKeySize, "0000000000");
    PutKey(b, ImageSizeEntry(n), "BIN_SIZE0 =", 8, n);  // "B" in place of the blank when present
    PutText(b, ImageSizeEntry(n) + kNumberKeySize, "0000000000");
    PutKey(b, NewFwEntry(n), "NEW_FW0=", 6, n);
    PutText(b, NewFwEntry(n) + kRevisionKeySize, kNotPresentRevision);
    PutKey(b, FwExtEntry(n), "FW_EXT0=", 6, n);
    PutText(b, FwExtEntry(n) + kRevisionKeySize, kNotPresentRevision);
  }
  PutText(b, kBootCodeOffset, kBootCodeMarker);
  return b;
}

using CipherAreaBytes = std::array<std::uint8_t, kCipherAreaSize>;
using ProgramSizeBytes = std::array<std::uint8_t, kProgramSizesSize>;

constexpr CipherAreaBytes MakeTemplateCipherArea() {
  CipherAreaBytes b{};
  for (std::size_t i = 0; i < kCipherMarker.size(); ++i) b[i] = std::uint8_t(kCipherMarker[i]);
  return b;
}

// The first bytes of an empty program slot (1-based); the rest of the slot is zero. Only
// these are built here: a whole slot is too large to build as a constant.
using ProgramMarkerBytes = std::array<std::uint8_t, kProgramMarkerRoom>;
constexpr ProgramMarkerBytes TemplateProgramMarker(int slot) {
  ProgramMarkerBytes b{};
  const std::string_view marker = kProgramSlots[std::size_t(slot - 1)].marker;
  for (std::size_t i = 0; i < marker.size(); ++i) b[i] = std::uint8_t(marker[i]);
  return b;
}
static_assert([] {
  for (const auto& slot : kProgramSlots)
    if (slot.marker.size() >= kProgramMarkerRoom) return false;
  return true;
}());

constexpr ProgramSizeBytes MakeTemplateProgramSizes() {
  ProgramSizeBytes b{};
  std::size_t at = 0;
  for (const auto& slot : kProgramSlots) {
    for (char c : slot.sizeKey) b[at++] = std::uint8_t(c);
    for (std::size_t i = 0; i < kNumberDigits; ++i) b[at++] = '0';
    b[at++] = 0;
  }
  return b;
}

}  // namespace package
