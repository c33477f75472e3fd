// The package options, parsed once at start-up, and the readers of the configuration block's
// tables, which are read in place whenever they are needed.
#pragma once

#include <cstdint>
#include <string>

namespace package {

struct PackageConfig {
  std::int32_t iVisualStyle = 0;  // byte A
  std::int32_t iLanguage = 0;     // byte B
  std::int32_t iFlashMode = 0;    // byte C
  std::uint16_t iImageCount = 0;  // byte D

  bool bUseFWExt = false;         // position 2
  bool ReBoot = false;            // 4
  bool bAutoMode = false;         // 5
  bool bSkipInfoRefresh = false;  // 6
  int iNoticeLevel = 0;           // 7
  bool bOption8 = false;          // 8, parsed, no effect
  bool bHiddenDrives = false;     // 10
  bool bOption11 = false;         // 11, parsed, no effect
  bool bRebootSystem = false;     // 12
  bool bNFlash = false;           // 15
  bool bOption17 = false;         // 17, parsed, no effect
  bool Bootcode = false;          // 19
  bool bUpdaterMode = false;      // 20
  bool Preformat = false;         // 22
  bool bPreformatBefore = false;  // 23
  bool bFOld = false;             // 24
  bool bSilentMessages = false;   // 25
  int iCloseMsgSeconds = 0;       // 26
  bool bWindowsFlash = false;     // 27

  const std::uint8_t* payload = nullptr;  // first byte of the payload area
};

// The option parse in its two halves: the window caption is set between them, after
// position 20 (updater mode) and before positions 24 to 26. A position that holds no digit
// raises the framework's EConvertError.
void ParseLeadingOptions(const std::uint8_t* block, PackageConfig& config);
void ParseTrailingOptions(const std::uint8_t* block, PackageConfig& config);

// Header texts.
std::string ToolVersion(const std::uint8_t* block);
std::string WindowTitle(const std::uint8_t* block);
std::string ProductModel(const std::uint8_t* block);
std::string ReleaseDate(const std::uint8_t* block);

struct ConstraintRow {
  std::string START;   // at most 8 characters, trimmed
  std::string END;     // at most 8
  std::string CMODEL;  // at most 40
};
ConstraintRow ReadConstraintRow(const std::uint8_t* block, int group, int row);  // 1-based

// Per-image entries, image 1..15. The digit fields are read as far as they hold digits; a
// value that does not fit 32 bits is kept whole so that the package check can refuse it.
std::string TargetRevision(const std::uint8_t* block, int image);    // NEW_FW
std::string TargetExtendedId(const std::uint8_t* block, int image);  // FW_EXT
// The same values as stored: up to 8 characters, not trimmed.
std::string TargetRevisionField(const std::uint8_t* block, int image);
std::string TargetExtendedIdField(const std::uint8_t* block, int image);
std::uint64_t ImageOffset(const std::uint8_t* block, int image);  // BIN_START
std::uint64_t ImageSize(const std::uint8_t* block, int image);    // BIN_SIZE

// Whether every image in use can be taken into the image buffer: at most 15 images, each no
// larger than the buffer and lying inside the payload area. Without this a damaged package
// would make the image load copy past the buffer or read beyond the payload.
bool HasUsableImages(const std::uint8_t* block, const PackageConfig& config);

}  // namespace package
