// Fixed-width 8-bit text fields: no terminator when full, so they are never read as C strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/conversions.h"

namespace fw {

// The characters of the field up to its first zero byte, at most `width`.
inline std::string ReadFixedText(const std::uint8_t* field, std::size_t width) {
  std::size_t n = 0;
  while (n < width && field[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(field), n);
}

inline std::string ReadTrimmedText(const std::uint8_t* field, std::size_t width) {
  return Trim(ReadFixedText(field, width));
}

}  // namespace fw
