#include "package/fw_image.h"

#include <algorithm>
#include <cstring>

namespace package {

const std::uint8_t* gFwImage = nullptr;
std::uint32_t gBinSize = 0;

namespace {

// What the image load may copy: the entry's size, cut to what the buffer holds and to what
// lies in the payload area from the entry's offset. A package that passed the start-up check
// is never cut; one that did not cannot make the copy run past either end.
std::uint32_t CopyableSize(const std::uint8_t* block, int image) {
  const std::uint64_t offset = ImageOffset(block, image), size = ImageSize(block, image);
  if (offset >= kPayloadSize) return 0;
  return std::uint32_t(std::min<std::uint64_t>({size, kImageBufferSize, kPayloadSize - offset}));
}

static_assert(kImageBufferSize % kSectorSize == 0);
std::uint32_t RoundUpToSector(std::uint32_t size) {
  return (size + kSectorSize - 1) / kSectorSize * kSectorSize;
}

}  // namespace

std::uint32_t LoadFwImage(FwBuffer buffer, const std::uint8_t* block, const PackageConfig& config,
                          int imageIndex, AesContext& context) {
  std::fill(buffer.begin(), buffer.end(), std::uint8_t(0));
  gFwImage = buffer.data();
  gBinSize = 0;
  if (imageIndex < 0 || imageIndex >= kMaxImages) return 0;
  const int image = imageIndex + 1;
  const std::uint32_t size = CopyableSize(block, image);
  if (size) std::memcpy(buffer.data(), block + kPayloadOffset + ImageOffset(block, image), size);
  // The buffer is a whole number of sectors, so the rounded size never leaves it.
  gBinSize = RoundUpToSector(size);
  if (!config.bWindowsFlash) AesCryptBuffer(context, buffer.data(), gBinSize, false);
  return size;
}

}  // namespace package
