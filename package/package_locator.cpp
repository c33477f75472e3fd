#include "package/package_locator.h"

#include <cstring>
#include <string_view>

#include "package/package_layout.h"

namespace package {
namespace {

bool HasText(std::span<const std::uint8_t> file, std::size_t at, std::string_view text) {
  return at + text.size() <= file.size() &&
         std::memcmp(file.data() + at, text.data(), text.size()) == 0;
}

// The keys of image 1 stand at fixed distances from the option key in every block, filled or
// not; together they tell the block from a stray copy of one key text elsewhere in the file.
bool IsBlockAt(std::span<const std::uint8_t> file, std::size_t block) {
  return HasText(file, block + kOptionRecordOffset, kOptionKey) &&
         HasText(file, block + ImageStartEntry(1), "BIN_START1=") &&
         HasText(file, block + ImageSizeEntry(1), "BIN_SIZE1") &&
         HasText(file, block + NewFwEntry(1), "NEW_FW1=") &&
         HasText(file, block + FwExtEntry(1), "FW_EXT1=") &&
         HasText(file, block + ImageStartEntry(kMaxImages), "BIN_STARTF=") &&
         HasText(file, block + FwExtEntry(kMaxImages), "FW_EXTF=");
}

}  // namespace

std::optional<std::size_t> LocatePackageBlock(std::span<const std::uint8_t> file,
                                              std::string* error) {
  const std::string_view bytes(reinterpret_cast<const char*>(file.data()), file.size());
  std::optional<std::size_t> found;
  for (auto pos = bytes.find(kOptionKey); pos != std::string_view::npos;
       pos = bytes.find(kOptionKey, pos + 1)) {
    if (pos < kOptionRecordOffset) continue;
    const std::size_t block = pos - kOptionRecordOffset;
    if (!IsBlockAt(file, block)) continue;
    if (found) {
      if (error) *error = "the file holds more than one configuration block";
      return std::nullopt;
    }
    found = block;
  }
  if (!found) {
    if (error) *error = "no configuration block found (is this a Travok executable?)";
    return std::nullopt;
  }
  if (file.size() - *found < kAreaSize) {
    if (error) *error = "the package areas behind the configuration block are cut short";
    return std::nullopt;
  }
  return found;
}

}  // namespace package
