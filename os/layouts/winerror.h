// The error codes of winerror.h under their Windows names with a k in front (the bare names
// are macros of the Windows headers): what GetLastError, the registry and SetupAPI answer, and
// the HRESULTs of COM. win32/layout_checks.cpp proves each against the headers.
#pragma once

#include <cstdint>

#include "os/device_types.h"

namespace os {

inline constexpr std::uint32_t kERROR_SUCCESS = 0;
inline constexpr std::uint32_t kERROR_INVALID_FUNCTION = 1;
inline constexpr std::uint32_t kERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t kERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t kERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t kERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t kERROR_INVALID_DATA = 13;
inline constexpr std::uint32_t kERROR_NOT_READY = 21;
inline constexpr std::uint32_t kERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t kERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t kERROR_FILE_EXISTS = 80;
inline constexpr std::uint32_t kERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t kERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr std::uint32_t kERROR_SEM_TIMEOUT = 121;
inline constexpr std::uint32_t kERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t kERROR_MOD_NOT_FOUND = 126;
inline constexpr std::uint32_t kERROR_PROC_NOT_FOUND = 127;
inline constexpr std::uint32_t kERROR_BAD_ARGUMENTS = 160;
inline constexpr std::uint32_t kERROR_BAD_PATHNAME = 161;
inline constexpr std::uint32_t kERROR_ALREADY_EXISTS = 183;
inline constexpr std::uint32_t kERROR_MORE_DATA = 234;
inline constexpr std::uint32_t kERROR_NO_MORE_ITEMS = 259;
inline constexpr std::uint32_t kERROR_INVALID_FLAGS = 1004;
inline constexpr std::uint32_t kERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr std::uint32_t kERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr std::uint32_t kERROR_SERVICE_DISABLED = 1058;
inline constexpr std::uint32_t kERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr std::uint32_t kERROR_IO_DEVICE = 1117;
inline constexpr std::uint32_t kERROR_OLD_WIN_VERSION = 1150;
inline constexpr std::uint32_t kERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr std::uint32_t kERROR_NO_SUCH_PRIVILEGE = 1313;
inline constexpr std::uint32_t kERROR_PRIVILEGE_NOT_HELD = 1314;
inline constexpr std::uint32_t kERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr std::uint32_t kERROR_TIMEOUT = 1460;
inline constexpr std::uint32_t kERROR_INVALID_USER_BUFFER = 1784;
inline constexpr std::uint32_t kERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

// SetupAPI's codes carry the customer and error bits of their HRESULT-like form.
inline constexpr std::uint32_t kERROR_KEY_DOES_NOT_EXIST = 0xE0000204;
inline constexpr std::uint32_t kERROR_NO_SUCH_DEVINST = 0xE000020B;
inline constexpr std::uint32_t kERROR_INVALID_CLASS_INSTALLER = 0xE000020D;

// What a wait answers when the time ran out; winerror.h, not winbase.h, defines it.
inline constexpr std::uint32_t kWAIT_TIMEOUT = 258;

// HRESULTs.
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kCO_E_SERVER_EXEC_FAILURE = HResult(0x80080005u);

}  // namespace os
