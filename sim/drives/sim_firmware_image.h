// The firmware images the simulated drives take. A real image is the vendor's secret; the
// simulated ones carry a small header that tells whom they are for, so a drive can refuse an
// image meant for another model or one that was damaged on the way, as real drives do:
//
//   0-7    "TVKSIMFW"
//   8-47   the model it is meant for, blank padded
//   48-55  the revision it carries, blank padded
//   56-59  the image length, little endian
//   60-63  the sum of bytes 64 .. length - 1, little endian
//
// Bytes after the length must be zero: the last chunk a host sends is padded with zeros.
// Drive-neutral: the NVMe and the SATA drive models read the same images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::size_t kSimFirmwareHeaderSize = 64;

// An image of `size` bytes (at least the header) for `model`, carrying `revision`; after the
// header comes a fixed non-zero pattern, so every byte counts in the sum.
std::vector<std::uint8_t> MakeSimFirmwareImage(const std::string& model,
                                               const std::string& revision, std::size_t size);

struct SimFirmwareImageInfo {
  std::string model;     // blanks trimmed
  std::string revision;  // blanks trimmed
  std::uint32_t length = 0;
};

// What an assembled image says of itself; none when it is no intact image (no magic, a length
// beyond the bytes, a wrong sum, non-zero bytes after the length).
std::optional<SimFirmwareImageInfo> ParseSimFirmwareImage(std::span<const std::uint8_t> bytes);

// The length the header of an image declares, read from its first bytes as a drive reads the
// header before the rest has arrived; none when they do not start an image.
std::optional<std::uint32_t> SimFirmwareImageLength(std::span<const std::uint8_t> head);

// Whether the image is intact and meant for this model (blanks around either side ignored).
bool SimFirmwareImageFits(std::span<const std::uint8_t> bytes, const std::string& model);

}  // namespace sim
