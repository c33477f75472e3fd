// Windows, messages, message boxes, menus and shutdown (winuser.h), under their Windows names
// with a k in front. win32/layout_checks.cpp proves each against the headers.
#pragma once

#include <cstdint>

namespace os {

// Messages.
inline constexpr std::uint32_t kWM_DESTROY = 0x0002;
inline constexpr std::uint32_t kWM_ACTIVATE = 0x0006;
inline constexpr std::uintptr_t kWA_INACTIVE = 0;
inline constexpr std::uint32_t kWM_CLOSE = 0x0010;
inline constexpr std::uint32_t kWM_QUIT = 0x0012;
inline constexpr std::uint32_t kWM_TIMER = 0x0113;
inline constexpr std::uint32_t kWM_POWERBROADCAST = 0x0218;
inline constexpr std::uint32_t kWM_USER = 0x0400;
inline constexpr std::uint32_t kPM_NOREMOVE = 0x0000;
inline constexpr std::uint32_t kPM_REMOVE = 0x0001;
inline constexpr std::uintptr_t kPBT_APMQUERYSUSPENDFAILED = 2;
inline constexpr std::intptr_t kBROADCAST_QUERY_DENY = 0x424D5144;

// Keys and the open-file dialog (commdlg.h).
inline constexpr int kVK_CONTROL = 0x11;
inline constexpr int kVK_MENU = 0x12;  // Alt
inline constexpr int kVK_F7 = 0x76;
inline constexpr std::uint32_t kOFN_FILEMUSTEXIST = 0x00001000;

// Waits. QS_ALLINPUT as Windows XP to 7 define it: the Windows 8 headers add touch and pointer
// input, which those systems refuse with ERROR_INVALID_PARAMETER.
inline constexpr std::uint32_t kQS_ALLINPUT = 0x04FF;
inline constexpr std::uint32_t kMWMO_INPUTAVAILABLE = 0x0004;

// Window styles and ShowWindow commands.
inline constexpr int kGWL_STYLE = -16;
inline constexpr std::uint32_t kAW_CENTER = 0x00000010;
inline constexpr std::uint32_t kAW_HIDE = 0x00010000;
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

// System metrics and ExitWindowsEx.
inline constexpr int kSM_SERVERR2 = 89;
inline constexpr std::uint32_t kEWX_REBOOT = 0x00000002;
inline constexpr std::uint32_t kEWX_FORCE = 0x00000004;

}  // namespace os
