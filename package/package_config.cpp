#include "package/package_config.h"

#include <string_view>

#include "framework/conversions.h"
#include "framework/fixed_text.h"
#include "package/fw_image.h"
#include "package/package_layout.h"

namespace package {
namespace {

const std::uint8_t* OptionRecord(const std::uint8_t* block) {
  return block + kOptionRecordOffset;
}

// The one-character text at an option position; a zero byte gives an empty text.
std::string PositionText(const std::uint8_t* block, int position) {
  return fw::ReadFixedText(OptionRecord(block) + OptionDigitOffset(position), 1);
}

bool Flag(const std::uint8_t* block, int position) {
  return fw::StrToBool(PositionText(block, position));
}

int Number(const std::uint8_t* block, int position) {
  return fw::StrToInt(PositionText(block, position));
}

std::int32_t SignedByte(const std::uint8_t* block, std::size_t offset) {
  return std::int8_t(OptionRecord(block)[offset]);
}

std::uint64_t DigitField(const std::uint8_t* entry) {
  const std::string digits = fw::ReadFixedText(entry + kNumberKeySize, kNumberDigits);
  return fw::LeadingDigitsToU64(digits);
}

}  // namespace

void ParseLeadingOptions(const std::uint8_t* block, PackageConfig& c) {
  c.iVisualStyle = SignedByte(block, kOptVisualStyle);
  c.iLanguage = SignedByte(block, kOptLanguage);
  c.iFlashMode = SignedByte(block, kOptFlashMode);
  c.iImageCount = std::uint16_t(std::int16_t(std::int8_t(OptionRecord(block)[kOptImageCount])));
  c.bUseFWExt = Flag(block, 2);
  c.ReBoot = Flag(block, 4);
  c.bAutoMode = Flag(block, 5);
  c.bSkipInfoRefresh = Flag(block, 6);
  c.iNoticeLevel = Number(block, 7);
  c.bOption8 = Flag(block, 8);
  c.bHiddenDrives = Flag(block, 10);
  c.Bootcode = Flag(block, 19);
  c.Preformat = Flag(block, 22);
  c.bPreformatBefore = Flag(block, 23);
  c.bWindowsFlash = Flag(block, 27);
  c.bOption11 = Flag(block, 11);
  c.bRebootSystem = Flag(block, 12);
  c.bNFlash = Flag(block, 15);
  c.bOption17 = Flag(block, 17);
  c.bUpdaterMode = Flag(block, 20);
  c.payload = block + kPayloadOffset;
  gFwImage = c.payload;
}

void ParseTrailingOptions(const std::uint8_t* block, PackageConfig& c) {
  c.bFOld = Flag(block, 24);
  c.bSilentMessages = Flag(block, 25);
  c.iCloseMsgSeconds = Number(block, 26);
}

std::string ToolVersion(const std::uint8_t* block) {
  return fw::ReadFixedText(block + kVersionOffset, kVersionSize);
}
std::string WindowTitle(const std::uint8_t* block) {
  return fw::ReadFixedText(block + kTitleOffset, kTitleSize);
}
std::string ProductModel(const std::uint8_t* block) {
  return fw::ReadFixedText(block + kProductModelOffset, kProductModelSize);
}
std::string ReleaseDate(const std::uint8_t* block) {
  return fw::ReadFixedText(block + kReleaseDateOffset, kReleaseDateSize);
}

ConstraintRow ReadConstraintRow(const std::uint8_t* block, int group, int row) {
  const std::uint8_t* at = block + RowOffset(group, row);
  return {fw::ReadTrimmedText(at + kRowStartOffset, kRowStartSize),
          fw::ReadTrimmedText(at + kRowEndOffset, kRowEndSize),
          fw::ReadTrimmedText(at + kRowModelOffset, kRowModelSize)};
}

std::string TargetRevision(const std::uint8_t* block, int image) {
  return fw::ReadTrimmedText(block + NewFwEntry(image) + kRevisionKeySize, kRevisionValueSize);
}
std::string TargetExtendedId(const std::uint8_t* block, int image) {
  return fw::ReadTrimmedText(block + FwExtEntry(image) + kRevisionKeySize, kRevisionValueSize);
}
std::string TargetRevisionField(const std::uint8_t* block, int image) {
  return fw::ReadFixedText(block + NewFwEntry(image) + kRevisionKeySize, kRevisionValueSize);
}
std::string TargetExtendedIdField(const std::uint8_t* block, int image) {
  return fw::ReadFixedText(block + FwExtEntry(image) + kRevisionKeySize, kRevisionValueSize);
}
std::uint64_t ImageOffset(const std::uint8_t* block, int image) {
  return DigitField(block + ImageStartEntry(image));
}
std::uint64_t ImageSize(const std::uint8_t* block, int image) {
  return DigitField(block + ImageSizeEntry(image));
}

bool HasUsableImages(const std::uint8_t* block, const PackageConfig& config) {
  if (config.iImageCount > kMaxImages) return false;
  for (int n = 1; n <= config.iImageCount; ++n) {
    const std::uint64_t offset = ImageOffset(block, n), size = ImageSize(block, n);
    if (size > kImageBufferSize || offset > kPayloadSize || size > kPayloadSize - offset)
      return false;
  }
  return true;
}

}  // namespace package
