#include "devices/guid_text.h"

#include <cstdio>

#include "framework/bytes.h"

namespace devices {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::uint32_t> Hex(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = value << 4 | std::uint32_t(d);
  }
  return value;
}

}  // namespace

std::optional<os::Guid> GuidFromText(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    return std::nullopt;
  const auto d1 = Hex(text.substr(0, 8));
  const auto d2 = Hex(text.substr(9, 4));
  const auto d3 = Hex(text.substr(14, 4));
  if (!d1 || !d2 || !d3) return std::nullopt;
  os::Guid guid{*d1, std::uint16_t(*d2), std::uint16_t(*d3), {}};
  for (std::size_t i = 0; i < 8; ++i) {
    const std::size_t at = i < 2 ? 19 + 2 * i : 24 + 2 * (i - 2);
    const auto byte = Hex(text.substr(at, 2));
    if (!byte) return std::nullopt;
    guid.Data4[i] = std::uint8_t(*byte);
  }
  return guid;
}

std::string GuidToText(const os::Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

os::Guid GetGuid(std::span<const std::uint8_t> bytes, std::size_t at) {
  os::Guid guid{
      fw::GetU32le(bytes, at), fw::GetU16le(bytes, at + 4), fw::GetU16le(bytes, at + 6), {}};
  for (std::size_t i = 0; i < 8; ++i) guid.Data4[i] = bytes[at + 8 + i];
  return guid;
}

void PutGuid(std::span<std::uint8_t> bytes, std::size_t at, const os::Guid& guid) {
  fw::PutU32le(bytes, at, guid.Data1);
  fw::PutU16le(bytes, at + 4, guid.Data2);
  fw::PutU16le(bytes, at + 6, guid.Data3);
  for (std::size_t i = 0; i < 8; ++i) bytes[at + 8 + i] = guid.Data4[i];
}

}  // namespace devices
