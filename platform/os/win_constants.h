// Windows constants used across the seam, under their Windows names with a k in front (the
// bare names are macros of the Windows headers). win32/ checks each against those headers.
#pragma once

#include <cstdint>

namespace os {

// Error codes.
inline constexpr std::uint32_t kERROR_SUCCESS = 0;
inline constexpr std::uint32_t kERROR_FILE_NOT_FOUND = 2;
inline constexpr std::uint32_t kERROR_ACCESS_DENIED = 5;
inline constexpr std::uint32_t kERROR_INVALID_HANDLE = 6;
inline constexpr std::uint32_t kERROR_INVALID_PARAMETER = 87;
inline constexpr std::uint32_t kERROR_ALREADY_EXISTS = 183;
inline constexpr std::uint32_t kERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr std::uint32_t kERROR_INVALID_WINDOW_HANDLE = 1400;

// Access rights and waits.
inline constexpr std::uint32_t kSYNCHRONIZE = 0x00100000;
inline constexpr std::uint32_t kINFINITE = 0xFFFFFFFF;
inline constexpr std::uint32_t kWAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t kWAIT_TIMEOUT = 258;
inline constexpr std::uint32_t kSTILL_ACTIVE = 259;

// Messages.
inline constexpr std::uint32_t kWM_DESTROY = 0x0002;
inline constexpr std::uint32_t kWM_CLOSE = 0x0010;
inline constexpr std::uint32_t kWM_QUIT = 0x0012;
inline constexpr std::uint32_t kWM_TIMER = 0x0113;
inline constexpr std::uint32_t kWM_POWERBROADCAST = 0x0218;
inline constexpr std::uint32_t kWM_USER = 0x0400;
inline constexpr std::uint32_t kPM_NOREMOVE = 0x0000;
inline constexpr std::uint32_t kPM_REMOVE = 0x0001;
inline constexpr std::uintptr_t kPBT_APMQUERYSUSPENDFAILED = 2;
inline constexpr std::intptr_t kBROADCAST_QUERY_DENY = 0x424D5144;

// Window styles and ShowWindow commands.
inline constexpr int kGWL_STYLE = -16;
inline constexpr std::uint32_t kWS_POPUP = 0x80000000;
inline constexpr std::uint32_t kWS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t kWS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t kWS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t kWS_OVERLAPPED = 0x00000000;
inline constexpr int kSW_HIDE = 0;
inline constexpr int kSW_SHOWNORMAL = 1;
inline constexpr int kSW_SHOWMINIMIZED = 2;
inline constexpr int kSW_SHOW = 5;
inline constexpr int kSW_RESTORE = 9;

// Menus.
inline constexpr std::uint32_t kSC_CLOSE = 0xF060;
inline constexpr std::uint32_t kMF_BYCOMMAND = 0x0000;
inline constexpr std::uint32_t kMF_BYPOSITION = 0x0400;
inline constexpr std::uint32_t kMF_ENABLED = 0x0000;
inline constexpr std::uint32_t kMF_GRAYED = 0x0001;

// Message boxes.
inline constexpr std::uint32_t kMB_OK = 0x00000000;
inline constexpr std::uint32_t kMB_YESNO = 0x00000004;
inline constexpr std::uint32_t kMB_ICONERROR = 0x00000010;  // also MB_ICONSTOP
inline constexpr std::uint32_t kMB_ICONQUESTION = 0x00000020;
inline constexpr std::uint32_t kMB_ICONWARNING = 0x00000030;
inline constexpr std::uint32_t kMB_ICONINFORMATION = 0x00000040;
inline constexpr std::uint32_t kMB_TOPMOST = 0x00040000;
inline constexpr std::uint32_t kMB_TYPEMASK = 0x0000000F;
inline constexpr int kIDOK = 1;
inline constexpr int kIDCANCEL = 2;
inline constexpr int kIDYES = 6;
inline constexpr int kIDNO = 7;

// CompareString results.
inline constexpr int kCSTR_LESS_THAN = 1;
inline constexpr int kCSTR_EQUAL = 2;
inline constexpr int kCSTR_GREATER_THAN = 3;

}  // namespace os
