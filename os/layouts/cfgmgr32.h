// The configuration manager (cfgmgr32.h): its results, flags and the property codes the
// program reads, with a k in front of the Windows names. win32/storage_layout_checks.cpp
// proves each against the headers.
#pragma once

#include <cstdint>

#include "os/device_types.h"

namespace os {

inline constexpr ConfigRet kCR_SUCCESS = 0x00;
inline constexpr ConfigRet kCR_INVALID_POINTER = 0x03;
inline constexpr ConfigRet kCR_INVALID_FLAG = 0x04;
inline constexpr ConfigRet kCR_INVALID_DEVNODE = 0x05;
inline constexpr ConfigRet kCR_NO_SUCH_DEVNODE = 0x0D;
inline constexpr ConfigRet kCR_FAILURE = 0x13;
inline constexpr ConfigRet kCR_BUFFER_SMALL = 0x1A;
inline constexpr ConfigRet kCR_INVALID_DEVICE_ID = 0x1E;
inline constexpr ConfigRet kCR_NO_SUCH_VALUE = 0x25;
inline constexpr ConfigRet kCR_INVALID_PROPERTY = 0x35;
inline constexpr std::uint32_t kCM_LOCATE_DEVNODE_NORMAL = 0;
inline constexpr std::uint32_t kCM_REENUMERATE_NORMAL = 0;

// One more than the matching SPDRP_ codes.
inline constexpr std::uint32_t kCM_DRP_DEVICEDESC = 0x01;
inline constexpr std::uint32_t kCM_DRP_CLASSGUID = 0x09;
inline constexpr std::uint32_t kCM_DRP_DRIVER = 0x0A;

}  // namespace os
