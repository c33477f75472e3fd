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

// ---- Operating-system facts, privileges, registry, services and waits ----
inline constexpr std::uint32_t kERROR_INVALID_FUNCTION = 1;
inline constexpr std::uint32_t kERROR_CALL_NOT_IMPLEMENTED = 120;
inline constexpr std::uint32_t kERROR_MOD_NOT_FOUND = 126;
inline constexpr std::uint32_t kERROR_PROC_NOT_FOUND = 127;
inline constexpr std::uint32_t kERROR_BAD_ARGUMENTS = 160;
inline constexpr std::uint32_t kERROR_BAD_PATHNAME = 161;
inline constexpr std::uint32_t kERROR_MORE_DATA = 234;
inline constexpr std::uint32_t kERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr std::uint32_t kERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr std::uint32_t kERROR_SERVICE_DISABLED = 1058;
inline constexpr std::uint32_t kERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr std::uint32_t kERROR_OLD_WIN_VERSION = 1150;
inline constexpr std::uint32_t kERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr std::uint32_t kERROR_NO_SUCH_PRIVILEGE = 1313;
inline constexpr std::uint32_t kERROR_PRIVILEGE_NOT_HELD = 1314;
inline constexpr std::int32_t kSTATUS_SUCCESS = 0;

// Version information.
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
inline constexpr int kSM_SERVERR2 = 89;

// Registry. The predefined keys are sign-extended 32-bit values, as the headers cast them.
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

// Security: the token, the Administrators group and the shutdown privilege.
inline constexpr std::uint32_t kTOKEN_QUERY = 0x0008;
inline constexpr std::uint32_t kTOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr std::uint32_t kSE_PRIVILEGE_ENABLED = 0x00000002;
inline constexpr std::uint8_t kSECURITY_NT_AUTHORITY_VALUE = 5;  // {0,0,0,0,0,5}
inline constexpr std::uint32_t kSECURITY_BUILTIN_DOMAIN_RID = 32;
inline constexpr std::uint32_t kDOMAIN_ALIAS_RID_ADMINS = 544;
inline constexpr const char* kSE_SHUTDOWN_NAME = "SeShutdownPrivilege";
inline constexpr std::uint32_t kEWX_REBOOT = 0x00000002;
inline constexpr std::uint32_t kEWX_FORCE = 0x00000004;

// Services.
inline constexpr std::uint32_t kGENERIC_EXECUTE = 0x20000000;
inline constexpr std::uint32_t kSC_MANAGER_CONNECT = 0x0001;
inline constexpr std::uint32_t kSERVICE_QUERY_STATUS = 0x0004;
inline constexpr std::uint32_t kSERVICE_START = 0x0010;
inline constexpr std::uint32_t kSERVICE_STOPPED = 1;
inline constexpr std::uint32_t kSERVICE_START_PENDING = 2;
inline constexpr std::uint32_t kSERVICE_STOP_PENDING = 3;
inline constexpr std::uint32_t kSERVICE_RUNNING = 4;
inline constexpr std::uint32_t kSERVICE_CONTINUE_PENDING = 5;
inline constexpr std::uint32_t kSERVICE_PAUSE_PENDING = 6;
inline constexpr std::uint32_t kSERVICE_PAUSED = 7;
inline constexpr std::uint32_t kSERVICE_WIN32_OWN_PROCESS = 0x00000010;

// Waits. QS_ALLINPUT as Windows XP to 7 define it: the Windows 8 headers add touch and pointer
// input, which those systems refuse with ERROR_INVALID_PARAMETER.
inline constexpr std::uint32_t kQS_ALLINPUT = 0x04FF;
inline constexpr std::uint32_t kMWMO_INPUTAVAILABLE = 0x0004;
inline constexpr std::uint32_t kWAIT_FAILED = 0xFFFFFFFF;
// ---- end of operating-system facts ----

}  // namespace os
