// Access rights, file flags, security and version information (winnt.h), with a k in front of
// the Windows names. win32/ proves each against the headers.
#pragma once

#include <cstdint>

namespace os {

// Access rights.
inline constexpr std::uint32_t kSYNCHRONIZE = 0x00100000;
inline constexpr std::uint32_t kGENERIC_READ = 0x80000000;
inline constexpr std::uint32_t kGENERIC_WRITE = 0x40000000;
inline constexpr std::uint32_t kGENERIC_EXECUTE = 0x20000000;

// Sharing and attributes of files.
inline constexpr std::uint32_t kFILE_SHARE_READ = 0x00000001;
inline constexpr std::uint32_t kFILE_SHARE_WRITE = 0x00000002;
inline constexpr std::uint32_t kFILE_SHARE_DELETE = 0x00000004;
inline constexpr std::uint32_t kFILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr std::uint32_t kFILE_ATTRIBUTE_NORMAL = 0x00000080;

// Security: the token, the Administrators group and the shutdown privilege.
inline constexpr std::uint32_t kTOKEN_QUERY = 0x0008;
inline constexpr std::uint32_t kTOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr std::uint32_t kSE_PRIVILEGE_ENABLED = 0x00000002;
inline constexpr std::uint8_t kSECURITY_NT_AUTHORITY_VALUE = 5;  // {0,0,0,0,0,5}
inline constexpr std::uint32_t kSECURITY_BUILTIN_DOMAIN_RID = 32;
inline constexpr std::uint32_t kDOMAIN_ALIAS_RID_ADMINS = 544;
inline constexpr const char* kSE_SHUTDOWN_NAME = "SeShutdownPrivilege";

// Version information. STATUS_SUCCESS is ntdef.h's; it is here for RtlGetVersion, which
// answers with it and fills the version information below.
inline constexpr std::int32_t kSTATUS_SUCCESS = 0;
inline constexpr std::uint32_t kVER_PLATFORM_WIN32s = 0;
inline constexpr std::uint32_t kVER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr std::uint32_t kVER_PLATFORM_WIN32_NT = 2;
inline constexpr std::uint32_t kVER_MINORVERSION = 0x0001;
inline constexpr std::uint32_t kVER_MAJORVERSION = 0x0002;
inline constexpr std::uint32_t kVER_BUILDNUMBER = 0x0004;
inline constexpr std::uint32_t kVER_PLATFORMID = 0x0008;
inline constexpr std::uint32_t kVER_SERVICEPACKMINOR = 0x0010;
inline constexpr std::uint32_t kVER_SERVICEPACKMAJOR = 0x0020;
inline constexpr std::uint32_t kVER_SUITENAME = 0x0040;
inline constexpr std::uint32_t kVER_PRODUCT_TYPE = 0x0080;
inline constexpr std::uint8_t kVER_EQUAL = 1;
inline constexpr std::uint8_t kVER_GREATER = 2;
inline constexpr std::uint8_t kVER_GREATER_EQUAL = 3;
inline constexpr std::uint8_t kVER_LESS = 4;
inline constexpr std::uint8_t kVER_LESS_EQUAL = 5;
inline constexpr std::uint8_t kVER_AND = 6;
inline constexpr std::uint8_t kVER_OR = 7;
inline constexpr std::uint8_t kVER_NT_WORKSTATION = 1;
inline constexpr std::uint8_t kVER_NT_DOMAIN_CONTROLLER = 2;
inline constexpr std::uint8_t kVER_NT_SERVER = 3;
inline constexpr std::uint16_t kVER_SUITE_SMALLBUSINESS = 0x0001;
inline constexpr std::uint16_t kVER_SUITE_ENTERPRISE = 0x0002;
inline constexpr std::uint16_t kVER_SUITE_TERMINAL = 0x0010;
inline constexpr std::uint16_t kVER_SUITE_DATACENTER = 0x0080;
inline constexpr std::uint16_t kVER_SUITE_SINGLEUSERTS = 0x0100;
inline constexpr std::uint16_t kVER_SUITE_PERSONAL = 0x0200;
inline constexpr std::uint16_t kVER_SUITE_BLADE = 0x0400;

}  // namespace os
