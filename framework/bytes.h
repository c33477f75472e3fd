// Little-endian views of byte buffers. Requests and records are laid out at explicit offsets
// through these, never by casting a struct onto the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace fw {

inline std::uint16_t GetU16le(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint16_t(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t GetU32le(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
inline std::uint64_t GetU64le(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint64_t(GetU32le(b, at)) | std::uint64_t(GetU32le(b, at + 4)) << 32;
}
inline void PutU16le(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
inline void PutU32le(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
inline void PutU64le(std::span<std::uint8_t> b, std::size_t at, std::uint64_t v) {
  PutU32le(b, at, std::uint32_t(v));
  PutU32le(b, at + 4, std::uint32_t(v >> 32));
}

}  // namespace fw
