// The seam's constants against the Windows headers, in both pointer widths.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "platform/os/win_constants.h"

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
