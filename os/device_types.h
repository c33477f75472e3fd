// Types of the device calls of the seam: SetupAPI, the configuration manager and WMI. Their
// constants live in os/layouts/, by the Windows header that defines them.
#pragma once

#include <array>
#include <cstdint>

namespace os {

using Hdevinfo = std::uintptr_t;  // HDEVINFO; INVALID_HANDLE_VALUE when no set was made
using DevInst = std::uint32_t;    // DEVINST, a device node of the configuration manager
using ConfigRet = std::uint32_t;  // CONFIGRET
using HResult = std::int32_t;     // HRESULT

struct Guid {  // GUID
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4 = {};
  bool operator==(const Guid&) const = default;
};

}  // namespace os
