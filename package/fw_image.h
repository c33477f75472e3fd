// The image that the update downloads: taken from the payload area into the main form's 2 MiB
// buffer, padded to whole 512-byte sectors, and deciphered when the package hands the update
// to the boot-time flasher.
#pragma once

#include <cstdint>
#include <span>

#include "package/aes_context.h"
#include "package/package_config.h"
#include "package/package_layout.h"

namespace package {

// The image to download and its length, a whole number of sectors once an image was loaded.
// gFwImage points at the payload area from the option parse until the first load.
extern const std::uint8_t* gFwImage;
extern std::uint32_t gBinSize;

inline constexpr std::uint32_t kSectorSize = 512;

using FwBuffer = std::span<std::uint8_t, kImageBufferSize>;

// Loads image `imageIndex` (0-based, entry imageIndex + 1) of the package `block` into
// `buffer`: clears the buffer, copies the image, sets gFwImage to the buffer and gBinSize to
// the copied length rounded up to 512, and deciphers that many bytes with `context` when
// `config.bWindowsFlash` is off. The copy takes no more than the buffer holds and the payload
// area holds from the image's offset, so an entry that claims more cannot overrun either; an
// index outside 0..14 loads nothing. Answers the number of image bytes copied.
std::uint32_t LoadFwImage(FwBuffer buffer, const std::uint8_t* block, const PackageConfig& config,
                          int imageIndex, AesContext& context);

}  // namespace package
