// Fixed-width 8-bit text fields: no terminator when full, so they are never read as C strings.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

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

// The text of a fixed-width field: up to its first zero byte, never past its width.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, std::find(field, field + N, '\0'));
}

// Fills a fixed-width field with `text`, cut to the width, zero bytes after it.
template <std::size_t N>
void SetField(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N ? text.size() : N);
}

// Fills a zero-terminated field, keeping room for the terminator.
template <std::size_t N>
void SetPath(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), text.size() < N - 1 ? text.size() : N - 1);
}

}  // namespace fw
