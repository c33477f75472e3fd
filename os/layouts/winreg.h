// The registry: the predefined key the program opens (winreg.h), and the access rights,
// options and value types of the registry calls, which winnt.h defines for winreg.h. Names are
// the Windows ones with a k in front; win32/layout_checks.cpp proves each.
#pragma once

#include <cstdint>

namespace os {

// The predefined keys are sign-extended 32-bit values, as the headers cast them.
inline constexpr std::uintptr_t kHKEY_LOCAL_MACHINE =
    std::uintptr_t(std::intptr_t(std::int32_t(0x80000002u)));
inline constexpr std::uint32_t kKEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t kKEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t kKEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t kKEY_READ = 0x00020019;
inline constexpr std::uint32_t kKEY_WRITE = 0x00020006;
inline constexpr std::uint32_t kKEY_ALL_ACCESS = 0x000F003F;
inline constexpr std::uint32_t kREG_OPTION_NON_VOLATILE = 0;
inline constexpr std::uint32_t kREG_CREATED_NEW_KEY = 1;
inline constexpr std::uint32_t kREG_OPENED_EXISTING_KEY = 2;
inline constexpr std::uint32_t kREG_NONE = 0;
inline constexpr std::uint32_t kREG_SZ = 1;
inline constexpr std::uint32_t kREG_BINARY = 3;
inline constexpr std::uint32_t kREG_DWORD = 4;
inline constexpr std::uint32_t kREG_MULTI_SZ = 7;

}  // namespace os
