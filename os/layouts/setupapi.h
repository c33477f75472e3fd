// SetupAPI (setupapi.h): the flags and property codes of the enumeration, the class installer's
// functions, and the structures handed across the seam. Constants take the Windows names with
// a k in front; the layouts are offsets in namespaces named after the structures.
//
// The 32-bit headers pack the structures to single bytes, the 64-bit ones to eight, and the
// Reserved fields are ULONG_PTR: sizes follow the build's pointer width. win32/
// storage_layout_checks.cpp proves every offset and size against the headers in both widths.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/layouts/basetsd.h"

namespace os {

// SetupDiGetClassDevsA.
inline constexpr std::uint32_t kDIGCF_DEFAULT = 0x00000001;
inline constexpr std::uint32_t kDIGCF_PRESENT = 0x00000002;
inline constexpr std::uint32_t kDIGCF_ALLCLASSES = 0x00000004;
inline constexpr std::uint32_t kDIGCF_PROFILE = 0x00000008;
inline constexpr std::uint32_t kDIGCF_DEVICEINTERFACE = 0x00000010;

// Device registry properties (SPDRP_); the configuration manager's (CM_DRP_) are one more.
inline constexpr std::uint32_t kSPDRP_DEVICEDESC = 0x00;
inline constexpr std::uint32_t kSPDRP_HARDWAREID = 0x01;
inline constexpr std::uint32_t kSPDRP_COMPATIBLEIDS = 0x02;
inline constexpr std::uint32_t kSPDRP_SERVICE = 0x04;
inline constexpr std::uint32_t kSPDRP_CLASS = 0x07;
inline constexpr std::uint32_t kSPDRP_CLASSGUID = 0x08;
inline constexpr std::uint32_t kSPDRP_DRIVER = 0x09;
inline constexpr std::uint32_t kSPDRP_MFG = 0x0B;
inline constexpr std::uint32_t kSPDRP_FRIENDLYNAME = 0x0C;
inline constexpr std::uint32_t kSPDRP_LOCATION_INFORMATION = 0x0D;
inline constexpr std::uint32_t kSPDRP_PHYSICAL_DEVICE_OBJECT_NAME = 0x0E;
inline constexpr std::uint32_t kSPDRP_UI_NUMBER = 0x10;
inline constexpr std::uint32_t kSPDRP_BUSNUMBER = 0x15;
inline constexpr std::uint32_t kSPDRP_ENUMERATOR_NAME = 0x16;
inline constexpr std::uint32_t kSPDRP_ADDRESS = 0x1C;

// Class installer.
inline constexpr std::uint32_t kDIF_REMOVE = 0x05;
inline constexpr std::uint32_t kDIF_PROPERTYCHANGE = 0x12;
inline constexpr std::uint32_t kDICS_ENABLE = 1;
inline constexpr std::uint32_t kDICS_DISABLE = 2;
inline constexpr std::uint32_t kDICS_PROPCHANGE = 3;
inline constexpr std::uint32_t kDICS_START = 4;
inline constexpr std::uint32_t kDICS_STOP = 5;
inline constexpr std::uint32_t kDICS_FLAG_GLOBAL = 1;
inline constexpr std::uint32_t kDICS_FLAG_CONFIGSPECIFIC = 2;

// SetupDiOpenDevRegKey.
inline constexpr std::uint32_t kDIREG_DEV = 1;
inline constexpr std::uint32_t kDIREG_DRV = 2;

namespace layout {

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

}  // namespace layout
}  // namespace os
