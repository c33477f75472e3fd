// How the journal writes what the program passed: names and paths in double quotes, codes and
// flags in upper-case hexadecimal, so that a test can look for one call by its text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace sim {

inline std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

inline std::string HexText(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

}  // namespace sim
