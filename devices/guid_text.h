// GUIDs as the device properties give them ("{4d36e967-e325-11ce-bfc1-08002be10318}") and as
// the SetupAPI structures hold them (Data1, Data2 and Data3 little-endian, then Data4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "os/device_types.h"

namespace devices {

// Braces optional, hexadecimal digits in either case; nothing else is accepted.
std::optional<os::Guid> GuidFromText(std::string_view text);
// Upper case, with braces.
std::string GuidToText(const os::Guid& guid);

os::Guid GetGuid(std::span<const std::uint8_t> bytes, std::size_t at);
void PutGuid(std::span<std::uint8_t> bytes, std::size_t at, const os::Guid& guid);

}  // namespace devices
