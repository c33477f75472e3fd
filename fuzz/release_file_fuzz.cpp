// Any file handed to the release maker or the simulated loader as a release: the locator
// finds one block or says why not, and inspecting what it found stays inside the file.
#include <cstdint>
#include <cstring>
#include <vector>

#include "package/package_layout.h"
#include "package/package_locator.h"
#include "tools/travok-pack/packer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small inputs are laid over a zero area of the full size at the keys' places, so that
  // the fuzzer reaches blocks that the locator accepts. Only the block's bytes change from one
  // input to the next: the area is had once, and the block is set back to zeros for each.
  static std::vector<std::uint8_t> file(package::kAreaSize + 64, 0);
  std::memset(file.data(), 0, package::kBlockSize);
  static constexpr std::string_view kKeys[] = {
      "PARA_OPT=", "BIN_START1=", "BIN_SIZE1B=", "NEW_FW1=", "FW_EXT1=", "BIN_STARTF=", "FW_EXTF="};
  static constexpr std::size_t kAt[] = {package::kOptionRecordOffset, package::ImageStartEntry(1),
                                        package::ImageSizeEntry(1),   package::NewFwEntry(1),
                                        package::FwExtEntry(1),       package::ImageStartEntry(15),
                                        package::FwExtEntry(15)};
  static_assert([] {
    for (std::size_t k = 0; k < std::size(kKeys); ++k)
      if (kAt[k] + kKeys[k].size() > package::kBlockSize) return false;
    return true;
  }());  // every key lies inside the bytes that are reset
  for (std::size_t k = 0; k < std::size(kKeys); ++k)
    std::memcpy(file.data() + kAt[k], kKeys[k].data(), kKeys[k].size());
  std::memcpy(file.data(), data, size < package::kBlockSize ? size : package::kBlockSize);
  // Inspect locates the block itself and refuses a file without one: the file is searched once.
  try {
    pack::Inspect(file);
  } catch (const pack::PackError&) {
  }
  std::string error;
  package::LocatePackageBlock(std::span(data, size), &error);
  return 0;
}
