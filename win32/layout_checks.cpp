// The seam's constants against the Windows headers, in both pointer widths.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>

#include <winsvc.h>

#include <string_view>

#include "os/layouts/winbase.h"
#include "os/layouts/winerror.h"
#include "os/layouts/winnls.h"
#include "os/layouts/winnt.h"
#include "os/layouts/winreg.h"
#include "os/layouts/winsvc.h"
#include "os/layouts/winuser.h"
#include "os/os.h"

static_assert(os::kERROR_FILE_NOT_FOUND == ERROR_FILE_NOT_FOUND);
static_assert(os::kERROR_ACCESS_DENIED == ERROR_ACCESS_DENIED);
static_assert(os::kERROR_INVALID_HANDLE == ERROR_INVALID_HANDLE);
static_assert(os::kERROR_INVALID_PARAMETER == ERROR_INVALID_PARAMETER);
static_assert(os::kERROR_ALREADY_EXISTS == ERROR_ALREADY_EXISTS);
static_assert(os::kERROR_RESOURCE_TYPE_NOT_FOUND == ERROR_RESOURCE_TYPE_NOT_FOUND);
static_assert(os::kERROR_INVALID_WINDOW_HANDLE == ERROR_INVALID_WINDOW_HANDLE);
static_assert(os::kSYNCHRONIZE == SYNCHRONIZE);
static_assert(os::kINFINITE == INFINITE);
static_assert(os::kWAIT_OBJECT_0 == WAIT_OBJECT_0);
static_assert(os::kWAIT_TIMEOUT == WAIT_TIMEOUT);
static_assert(os::kSTILL_ACTIVE == STILL_ACTIVE);
static_assert(os::kWM_DESTROY == WM_DESTROY);
static_assert(os::kWM_CLOSE == WM_CLOSE);
static_assert(os::kVK_CONTROL == VK_CONTROL);
static_assert(os::kVK_MENU == VK_MENU);
static_assert(os::kVK_F7 == VK_F7);
static_assert(os::kOFN_FILEMUSTEXIST == OFN_FILEMUSTEXIST);
static_assert(os::kWM_ACTIVATE == WM_ACTIVATE);
static_assert(os::kWA_INACTIVE == WA_INACTIVE);
static_assert(os::kAW_CENTER == AW_CENTER);
static_assert(os::kAW_HIDE == AW_HIDE);
static_assert(os::kWM_QUIT == WM_QUIT);
static_assert(os::kWM_TIMER == WM_TIMER);
static_assert(os::kWM_POWERBROADCAST == WM_POWERBROADCAST);
static_assert(os::kWM_USER == WM_USER);
static_assert(os::kPM_NOREMOVE == PM_NOREMOVE);
static_assert(os::kPM_REMOVE == PM_REMOVE);
static_assert(os::kPBT_APMQUERYSUSPENDFAILED == PBT_APMQUERYSUSPENDFAILED);
static_assert(os::kBROADCAST_QUERY_DENY == BROADCAST_QUERY_DENY);
static_assert(os::kGWL_STYLE == GWL_STYLE);
static_assert(os::kWS_POPUP == WS_POPUP);
static_assert(os::kWS_CAPTION == WS_CAPTION);
static_assert(os::kWS_SYSMENU == WS_SYSMENU);
static_assert(os::kWS_MINIMIZEBOX == WS_MINIMIZEBOX);
static_assert(os::kWS_OVERLAPPED == WS_OVERLAPPED);
static_assert(os::kSW_HIDE == SW_HIDE);
static_assert(os::kSW_SHOWNORMAL == SW_SHOWNORMAL);
static_assert(os::kSW_SHOWMINIMIZED == SW_SHOWMINIMIZED);
static_assert(os::kSW_SHOW == SW_SHOW);
static_assert(os::kSW_RESTORE == SW_RESTORE);
static_assert(os::kSC_CLOSE == SC_CLOSE);
static_assert(os::kMF_BYCOMMAND == MF_BYCOMMAND);
static_assert(os::kMF_BYPOSITION == MF_BYPOSITION);
static_assert(os::kMF_ENABLED == MF_ENABLED);
static_assert(os::kMF_GRAYED == MF_GRAYED);
static_assert(os::kMB_OK == MB_OK);
static_assert(os::kMB_YESNO == MB_YESNO);
static_assert(os::kMB_ICONERROR == MB_ICONERROR);
static_assert(os::kMB_ICONQUESTION == MB_ICONQUESTION);
static_assert(os::kMB_ICONWARNING == MB_ICONWARNING);
static_assert(os::kMB_ICONINFORMATION == MB_ICONINFORMATION);
static_assert(os::kMB_TOPMOST == MB_TOPMOST);
static_assert(os::kMB_TYPEMASK == MB_TYPEMASK);
static_assert(os::kIDOK == IDOK);
static_assert(os::kIDCANCEL == IDCANCEL);
static_assert(os::kIDYES == IDYES);
static_assert(os::kIDNO == IDNO);
static_assert(os::kCSTR_LESS_THAN == CSTR_LESS_THAN);
static_assert(os::kCSTR_EQUAL == CSTR_EQUAL);
static_assert(os::kCSTR_GREATER_THAN == CSTR_GREATER_THAN);

// ---- Operating-system facts, privileges, registry, services and waits ----
static_assert(os::kERROR_INVALID_FUNCTION == ERROR_INVALID_FUNCTION);
static_assert(os::kERROR_CALL_NOT_IMPLEMENTED == ERROR_CALL_NOT_IMPLEMENTED);
static_assert(os::kERROR_MOD_NOT_FOUND == ERROR_MOD_NOT_FOUND);
static_assert(os::kERROR_PROC_NOT_FOUND == ERROR_PROC_NOT_FOUND);
static_assert(os::kERROR_BAD_ARGUMENTS == ERROR_BAD_ARGUMENTS);
static_assert(os::kERROR_BAD_PATHNAME == ERROR_BAD_PATHNAME);
static_assert(os::kERROR_MORE_DATA == ERROR_MORE_DATA);
static_assert(os::kERROR_SERVICE_REQUEST_TIMEOUT == ERROR_SERVICE_REQUEST_TIMEOUT);
static_assert(os::kERROR_SERVICE_ALREADY_RUNNING == ERROR_SERVICE_ALREADY_RUNNING);
static_assert(os::kERROR_SERVICE_DISABLED == ERROR_SERVICE_DISABLED);
static_assert(os::kERROR_SERVICE_DOES_NOT_EXIST == ERROR_SERVICE_DOES_NOT_EXIST);
static_assert(os::kERROR_OLD_WIN_VERSION == ERROR_OLD_WIN_VERSION);
static_assert(os::kERROR_NOT_ALL_ASSIGNED == ERROR_NOT_ALL_ASSIGNED);
static_assert(os::kERROR_NO_SUCH_PRIVILEGE == ERROR_NO_SUCH_PRIVILEGE);
static_assert(os::kERROR_PRIVILEGE_NOT_HELD == ERROR_PRIVILEGE_NOT_HELD);
static_assert(os::kSTATUS_SUCCESS == 0);  // STATUS_SUCCESS lives in ntstatus.h, which clashes
static_assert(os::kVER_PLATFORM_WIN32s == VER_PLATFORM_WIN32s);
static_assert(os::kVER_PLATFORM_WIN32_WINDOWS == VER_PLATFORM_WIN32_WINDOWS);
static_assert(os::kVER_PLATFORM_WIN32_NT == VER_PLATFORM_WIN32_NT);
static_assert(os::kVER_MINORVERSION == VER_MINORVERSION);
static_assert(os::kVER_MAJORVERSION == VER_MAJORVERSION);
static_assert(os::kVER_BUILDNUMBER == VER_BUILDNUMBER);
static_assert(os::kVER_PLATFORMID == VER_PLATFORMID);
static_assert(os::kVER_SERVICEPACKMINOR == VER_SERVICEPACKMINOR);
static_assert(os::kVER_SERVICEPACKMAJOR == VER_SERVICEPACKMAJOR);
static_assert(os::kVER_SUITENAME == VER_SUITENAME);
static_assert(os::kVER_PRODUCT_TYPE == VER_PRODUCT_TYPE);
static_assert(os::kVER_EQUAL == VER_EQUAL);
static_assert(os::kVER_GREATER == VER_GREATER);
static_assert(os::kVER_GREATER_EQUAL == VER_GREATER_EQUAL);
static_assert(os::kVER_LESS == VER_LESS);
static_assert(os::kVER_LESS_EQUAL == VER_LESS_EQUAL);
static_assert(os::kVER_AND == VER_AND);
static_assert(os::kVER_OR == VER_OR);
static_assert(os::kVER_NT_WORKSTATION == VER_NT_WORKSTATION);
static_assert(os::kVER_NT_DOMAIN_CONTROLLER == VER_NT_DOMAIN_CONTROLLER);
static_assert(os::kVER_NT_SERVER == VER_NT_SERVER);
static_assert(os::kVER_SUITE_SMALLBUSINESS == VER_SUITE_SMALLBUSINESS);
static_assert(os::kVER_SUITE_ENTERPRISE == VER_SUITE_ENTERPRISE);
static_assert(os::kVER_SUITE_TERMINAL == VER_SUITE_TERMINAL);
static_assert(os::kVER_SUITE_DATACENTER == VER_SUITE_DATACENTER);
static_assert(os::kVER_SUITE_SINGLEUSERTS == VER_SUITE_SINGLEUSERTS);
static_assert(os::kVER_SUITE_PERSONAL == VER_SUITE_PERSONAL);
static_assert(os::kVER_SUITE_BLADE == VER_SUITE_BLADE);
static_assert(os::kSM_SERVERR2 == SM_SERVERR2);
// HKEY_LOCAL_MACHINE is a pointer cast, which no constant expression can read: the Wine probe
// compares it at run time.
static_assert(os::kKEY_QUERY_VALUE == KEY_QUERY_VALUE);
static_assert(os::kKEY_SET_VALUE == KEY_SET_VALUE);
static_assert(os::kKEY_CREATE_SUB_KEY == KEY_CREATE_SUB_KEY);
static_assert(os::kKEY_READ == KEY_READ);
static_assert(os::kKEY_WRITE == KEY_WRITE);
static_assert(os::kKEY_ALL_ACCESS == KEY_ALL_ACCESS);
static_assert(os::kREG_OPTION_NON_VOLATILE == REG_OPTION_NON_VOLATILE);
static_assert(os::kREG_CREATED_NEW_KEY == REG_CREATED_NEW_KEY);
static_assert(os::kREG_OPENED_EXISTING_KEY == REG_OPENED_EXISTING_KEY);
static_assert(os::kREG_NONE == REG_NONE);
static_assert(os::kREG_SZ == REG_SZ);
static_assert(os::kREG_BINARY == REG_BINARY);
static_assert(os::kREG_DWORD == REG_DWORD);
static_assert(os::kREG_MULTI_SZ == REG_MULTI_SZ);
static_assert(os::kTOKEN_QUERY == TOKEN_QUERY);
static_assert(os::kTOKEN_ADJUST_PRIVILEGES == TOKEN_ADJUST_PRIVILEGES);
static_assert(os::kSE_PRIVILEGE_ENABLED == SE_PRIVILEGE_ENABLED);
constexpr SID_IDENTIFIER_AUTHORITY kNtAuthority = SECURITY_NT_AUTHORITY;
static_assert(kNtAuthority.Value[0] == 0 && kNtAuthority.Value[4] == 0 &&
              kNtAuthority.Value[5] == os::kSECURITY_NT_AUTHORITY_VALUE);
static_assert(os::kSECURITY_BUILTIN_DOMAIN_RID == SECURITY_BUILTIN_DOMAIN_RID);
static_assert(os::kDOMAIN_ALIAS_RID_ADMINS == DOMAIN_ALIAS_RID_ADMINS);
static_assert(std::string_view(os::kSE_SHUTDOWN_NAME) == SE_SHUTDOWN_NAME);
static_assert(os::kEWX_REBOOT == EWX_REBOOT);
static_assert(os::kEWX_FORCE == EWX_FORCE);
static_assert(os::kGENERIC_EXECUTE == GENERIC_EXECUTE);
static_assert(os::kSC_MANAGER_CONNECT == SC_MANAGER_CONNECT);
static_assert(os::kSERVICE_QUERY_STATUS == SERVICE_QUERY_STATUS);
static_assert(os::kSERVICE_START == SERVICE_START);
static_assert(os::kSERVICE_STOPPED == SERVICE_STOPPED);
static_assert(os::kSERVICE_START_PENDING == SERVICE_START_PENDING);
static_assert(os::kSERVICE_STOP_PENDING == SERVICE_STOP_PENDING);
static_assert(os::kSERVICE_RUNNING == SERVICE_RUNNING);
static_assert(os::kSERVICE_CONTINUE_PENDING == SERVICE_CONTINUE_PENDING);
static_assert(os::kSERVICE_PAUSE_PENDING == SERVICE_PAUSE_PENDING);
static_assert(os::kSERVICE_PAUSED == SERVICE_PAUSED);
static_assert(os::kSERVICE_WIN32_OWN_PROCESS == SERVICE_WIN32_OWN_PROCESS);
static_assert(os::kQS_ALLINPUT == (QS_ALLINPUT & ~(QS_TOUCH | QS_POINTER)));
static_assert(os::kMWMO_INPUTAVAILABLE == MWMO_INPUTAVAILABLE);
static_assert(os::kWAIT_FAILED == WAIT_FAILED);
// The core builds condition masks itself; they must be what VerSetConditionMask builds.
static_assert(os::VerSetConditionMask(0, VER_SUITENAME, VER_EQUAL) ==
              VER_EQUAL << (6 * VER_NUM_BITS_PER_CONDITION_MASK));
