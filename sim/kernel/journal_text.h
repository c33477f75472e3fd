// How the journal writes what the program passed: names and paths in double quotes, codes and
// flags in upper-case hexadecimal, so that a test can look for one call by its text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace sim {

inline std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// A Windows code or flag word, as the headers write it.
inline std::string HexText(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// A register or status field at the width the hardware gives it (at least `digits` digits, no
// prefix), so that journal lines of one request line up whatever the value.
inline std::string HexDigits(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// Bytes as they sit in a buffer: two digits each, a space between them.
inline std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += HexDigits(b, 2);
  }
  return text;
}

}  // namespace sim
