// The SetupAPI structures the enumeration hands across the seam, as setupapi.h lays them
// out. The 32-bit headers pack them to single bytes, the 64-bit ones to eight, and the
// Reserved fields are ULONG_PTR: sizes follow the build's pointer width. win32/ proves every
// offset and size against the headers in both widths.
#pragma once

#include <cstddef>
#include <cstdint>

namespace discovery::layout {

inline constexpr std::size_t kPointerSize = sizeof(std::uintptr_t);

namespace devinfo_data {  // SP_DEVINFO_DATA
inline constexpr std::size_t kCbSize = 0;
inline constexpr std::size_t kClassGuid = 4;
inline constexpr std::size_t kDevInst = 20;
inline constexpr std::size_t kReserved = 24;
inline constexpr std::size_t kSize = 24 + kPointerSize;
}  // namespace devinfo_data

namespace interface_data {  // SP_DEVICE_INTERFACE_DATA
inline constexpr std::size_t kCbSize = 0;
inline constexpr std::size_t kInterfaceClassGuid = 4;
inline constexpr std::size_t kFlags = 20;
inline constexpr std::size_t kReserved = 24;
inline constexpr std::size_t kSize = 24 + kPointerSize;
}  // namespace interface_data

namespace interface_detail {  // SP_DEVICE_INTERFACE_DETAIL_DATA_A
inline constexpr std::size_t kCbSize = 0;
inline constexpr std::size_t kDevicePath = 4;
// What cbSize must say: the fixed part with one character, padded as the headers pad it.
inline constexpr std::size_t kFixedSize = kPointerSize == 8 ? 8 : 5;
}  // namespace interface_detail

namespace propchange_params {  // SP_PROPCHANGE_PARAMS, led by its SP_CLASSINSTALL_HEADER
inline constexpr std::size_t kHeaderCbSize = 0;
inline constexpr std::size_t kHeaderInstallFunction = 4;
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kStateChange = 8;
inline constexpr std::size_t kScope = 12;
inline constexpr std::size_t kHwProfile = 16;
inline constexpr std::size_t kSize = 20;
}  // namespace propchange_params

}  // namespace discovery::layout
