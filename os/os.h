// The seam to the operating system.
//
// Every operation stands for the Windows call of the same name and keeps its meaning: the
// same arguments, the same results, failures reported through GetLastError with the codes
// Windows sets. win32/ forwards each call to Windows; sim/ answers it from a simulated PC.
// Nothing above this floor knows which of the two it talks to.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/devices.h"
#include "os/layouts/cfgmgr32.h"
#include "os/layouts/devguid.h"
#include "os/layouts/setupapi.h"
#include "os/layouts/wbemcli.h"
#include "os/layouts/winbase.h"
#include "os/layouts/winerror.h"
#include "os/layouts/winioctl.h"
#include "os/layouts/winnls.h"
#include "os/layouts/winnt.h"
#include "os/layouts/winreg.h"
#include "os/layouts/winsvc.h"
#include "os/layouts/winuser.h"

namespace os {

using Handle = std::uintptr_t;  // HANDLE; 0 is NULL
using Hwnd = std::uintptr_t;    // HWND
using Hmenu = std::uintptr_t;   // HMENU

struct Msg {  // MSG, less the time and the cursor position
  Hwnd hwnd = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// What a window procedure does for the windows of one class. The core's windows hand every
// message here; what they do not handle goes to DefWindowProcA.
using WindowProc = std::function<std::intptr_t(Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t)>;

using ThreadRoutine = std::function<std::uint32_t()>;

// ---- Operating-system facts, privileges, registry, services and waits: types ----
using Hmodule = std::uintptr_t;   // HMODULE
using FarProc = std::uintptr_t;   // FARPROC: an export GetProcAddress found; 0 is NULL
using Hkey = std::uintptr_t;      // HKEY
using ScHandle = std::uintptr_t;  // SC_HANDLE
using Psid = std::uintptr_t;      // PSID

struct OsVersionInfoA {  // OSVERSIONINFOA, the basic 148-byte structure
  std::uint32_t dwMajorVersion = 0;
  std::uint32_t dwMinorVersion = 0;
  std::uint32_t dwBuildNumber = 0;
  std::uint32_t dwPlatformId = 0;
  std::string szCSDVersion;  // at most 127 characters
};

struct OsVersionInfoExA : OsVersionInfoA {  // OSVERSIONINFOEXA
  std::uint16_t wServicePackMajor = 0;
  std::uint16_t wServicePackMinor = 0;
  std::uint16_t wSuiteMask = 0;
  std::uint8_t wProductType = 0;
};

// VerSetConditionMask: three bits per field, in the order of the VER_ type bits. Like Windows
// it takes the highest field named in the type mask and adds to the bits already set.
constexpr std::uint64_t VerSetConditionMask(std::uint64_t conditionMask, std::uint32_t typeMask,
                                            std::uint8_t condition) {
  condition &= 7;
  if (!typeMask || !condition) return conditionMask;
  for (int field = 7; field >= 0; --field)
    if (typeMask & (1u << field)) return conditionMask | std::uint64_t(condition) << (3 * field);
  return conditionMask;
}

struct Luid {  // LUID
  std::uint32_t LowPart = 0;
  std::int32_t HighPart = 0;
  bool operator==(const Luid&) const = default;
};

struct LuidAndAttributes {       // LUID_AND_ATTRIBUTES, one entry of TOKEN_PRIVILEGES
  Luid luid;                     // Luid
  std::uint32_t attributes = 0;  // Attributes
};

using SidIdentifierAuthority = std::array<std::uint8_t, 6>;  // SID_IDENTIFIER_AUTHORITY

struct ServiceStatus {  // SERVICE_STATUS
  std::uint32_t dwServiceType = 0;
  std::uint32_t dwCurrentState = 0;
  std::uint32_t dwControlsAccepted = 0;
  std::uint32_t dwWin32ExitCode = 0;
  std::uint32_t dwServiceSpecificExitCode = 0;
  std::uint32_t dwCheckPoint = 0;
  std::uint32_t dwWaitHint = 0;
};
// ---- end of operating-system facts: types ----

class Os {
 public:
  virtual ~Os() = default;

  // Errors and process.
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t error) = 0;
  virtual std::string GetCommandLineA() = 0;
  virtual std::string GetModuleFileNameA() = 0;  // of the executable
  // GetFileVersionInfoSizeA followed by GetFileVersionInfoA: the raw version resource.
  virtual std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) = 0;
  // INVALID_FILE_ATTRIBUTES when there is no such file or directory.
  virtual std::uint32_t GetFileAttributesA(const std::string& fileName) = 0;

  // Kernel objects.
  virtual Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                            const std::string& name) = 0;
  virtual Handle CreateMutexA(bool initialOwner, const std::string& name) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  virtual Handle CreateThread(ThreadRoutine routine) = 0;
  virtual std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) = 0;
  virtual bool GetExitCodeThread(Handle thread, std::uint32_t* exitCode) = 0;

  // Windows. RegisterClassA and CreateWindowExA in one: the class is registered on first use.
  virtual Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                               const std::string& windowName, std::uint32_t style,
                               WindowProc proc) = 0;
  virtual bool DestroyWindow(Hwnd hwnd) = 0;
  virtual std::intptr_t DefWindowProcA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) = 0;
  virtual bool SetWindowTextA(Hwnd hwnd, const std::string& text) = 0;
  virtual std::string GetWindowTextA(Hwnd hwnd) = 0;
  virtual std::int32_t GetWindowLongA(Hwnd hwnd, int index) = 0;
  virtual std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) = 0;
  virtual bool ShowWindow(Hwnd hwnd, int cmdShow) = 0;
  virtual bool IsWindowVisible(Hwnd hwnd) = 0;
  virtual bool IsIconic(Hwnd hwnd) = 0;
  virtual bool BringWindowToTop(Hwnd hwnd) = 0;
  virtual bool SetForegroundWindow(Hwnd hwnd) = 0;
  virtual Hwnd FindWindowA(const std::string& className, const std::string& windowName) = 0;
  virtual Hmenu GetSystemMenu(Hwnd hwnd, bool revert) = 0;
  virtual int EnableMenuItem(Hmenu menu, std::uint32_t idEnableItem, std::uint32_t enable) = 0;
  virtual bool RemoveMenu(Hmenu menu, std::uint32_t position, std::uint32_t flags) = 0;
  virtual int MessageBoxA(Hwnd owner, const std::string& text, const std::string& caption,
                          std::uint32_t type) = 0;

  // The message queue of the calling thread, and timers.
  virtual bool PeekMessageA(Msg* msg, std::uint32_t removeMsg) = 0;
  virtual int GetMessageA(Msg* msg) = 0;
  virtual bool TranslateMessage(const Msg& msg) = 0;
  virtual std::intptr_t DispatchMessageA(const Msg& msg) = 0;
  virtual bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  virtual std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) = 0;
  virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;

  // Text. CompareStringA with the current user's locale and no flags: returns CSTR_LESS_THAN,
  // CSTR_EQUAL or CSTR_GREATER_THAN (1, 2, 3), 0 on failure.
  virtual int CompareStringA(const std::string& a, const std::string& b) = 0;

  // Time.
  virtual std::uint32_t GetTickCount() = 0;
  virtual bool QueryPerformanceCounter(std::int64_t* count) = 0;
  virtual bool QueryPerformanceFrequency(std::int64_t* frequency) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;

  // ---- Operating-system facts, privileges, registry, services and waits ----
  // Version. GetVersionExA fills the basic structure; the compatibility layer of Windows 8.1
  // and later may answer both calls with 6.2 for a program not declared for newer systems.
  virtual bool GetVersionExA(OsVersionInfoA* info) = 0;
  virtual bool VerifyVersionInfoA(const OsVersionInfoExA& info, std::uint32_t typeMask,
                                  std::uint64_t conditionMask) = 0;
  virtual int GetSystemMetrics(int index) = 0;

  // Functions looked up at run time. A call below that takes a FarProc is made through the
  // address GetProcAddress returned for the export of its name; whoever looked it up decides
  // what a missing export means.
  virtual Hmodule LoadLibraryA(const std::string& fileName) = 0;
  virtual Hmodule GetModuleHandleA(const std::string& moduleName) = 0;
  virtual FarProc GetProcAddress(Hmodule module, const std::string& procName) = 0;
  virtual bool FreeLibrary(Hmodule module) = 0;
  virtual bool IsWow64Process(FarProc isWow64Process, Handle process, bool* wow64Process) = 0;
  // NTSTATUS; fills the fields of RTL_OSVERSIONINFOW that the basic structure has.
  virtual std::int32_t RtlGetVersion(FarProc rtlGetVersion, OsVersionInfoA* info) = 0;
  virtual bool AllocateAndInitializeSid(FarProc allocateAndInitializeSid,
                                        const SidIdentifierAuthority& authority,
                                        std::uint8_t subAuthorityCount,
                                        const std::array<std::uint32_t, 8>& subAuthority,
                                        Psid* sid) = 0;
  // A token of 0 stands for the calling thread's own.
  virtual bool CheckTokenMembership(FarProc checkTokenMembership, Handle token, Psid sid,
                                    bool* isMember) = 0;
  virtual Psid FreeSid(FarProc freeSid, Psid sid) = 0;

  // The process token, privileges and restart. An empty system name is the local system.
  virtual Handle GetCurrentProcess() = 0;
  virtual bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) = 0;
  virtual bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                     Luid* luid) = 0;
  // Without the previous state. Succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks a
  // privilege, as on Windows.
  virtual bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                     const std::vector<LuidAndAttributes>& newState) = 0;
  virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;

  // Registry. These return the Windows error code, as the Reg functions do.
  virtual std::int32_t RegOpenKeyExA(Hkey key, const std::string& subKey, std::uint32_t options,
                                     std::uint32_t samDesired, Hkey* result) = 0;
  virtual std::int32_t RegCreateKeyExA(Hkey key, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t samDesired, Hkey* result,
                                       std::uint32_t* disposition) = 0;
  // data may be null to ask for the size; *cbData is the buffer size in and the value size out.
  virtual std::int32_t RegQueryValueExA(Hkey key, const std::string& valueName, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t* cbData) = 0;
  virtual std::int32_t RegSetValueExA(Hkey key, const std::string& valueName, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t cbData) = 0;
  virtual std::int32_t RegCloseKey(Hkey key) = 0;

  // Service control manager. Empty machine and database names are the local active database.
  virtual ScHandle OpenSCManagerA(const std::string& machineName, const std::string& databaseName,
                                  std::uint32_t desiredAccess) = 0;
  virtual ScHandle OpenServiceA(ScHandle manager, const std::string& serviceName,
                                std::uint32_t desiredAccess) = 0;
  virtual bool QueryServiceStatus(ScHandle service, ServiceStatus* status) = 0;
  virtual bool StartServiceA(ScHandle service, const std::vector<std::string>& arguments) = 0;
  virtual bool CloseServiceHandle(ScHandle handle) = 0;

  // Waits for handles or input to the calling thread's queue: WAIT_OBJECT_0 + i for handle i,
  // WAIT_OBJECT_0 + handles.size() for input, WAIT_TIMEOUT, or WAIT_FAILED.
  virtual std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<Handle>& handles,
                                                    std::uint32_t milliseconds,
                                                    std::uint32_t wakeMask,
                                                    std::uint32_t flags) = 0;
  // ---- end of operating-system facts ----

  // ---- Devices: files, driver requests, SetupAPI, configuration manager, WMI ----
  // INVALID_HANDLE_VALUE on failure.
  virtual Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                             std::uint32_t shareMode, std::uint32_t creationDisposition,
                             std::uint32_t flagsAndAttributes) = 0;
  // One synchronous driver request on an open handle: the request's bytes in, the driver's
  // bytes out and how many it returned. The two buffers may be one; either may be null with
  // a size of 0.
  virtual bool DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                               std::uint32_t inBufferSize, void* outBuffer,
                               std::uint32_t outBufferSize, std::uint32_t* bytesReturned) = 0;

  // SetupAPI and the configuration manager, each called through the address GetProcAddress
  // returned for its export. The structures (SP_DEVINFO_DATA, SP_DEVICE_INTERFACE_DATA and
  // its detail, the class-install parameters) cross as the caller laid them out, cbSize set.
  // An empty enumerator is NULL.
  virtual Hdevinfo SetupDiGetClassDevsA(FarProc fn, const Guid* classGuid,
                                        const std::string& enumerator, Hwnd parent,
                                        std::uint32_t flags) = 0;
  virtual bool SetupDiEnumDeviceInfo(FarProc fn, Hdevinfo set, std::uint32_t memberIndex,
                                     void* deviceInfoData) = 0;
  virtual bool SetupDiEnumDeviceInterfaces(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                           const Guid& interfaceClassGuid,
                                           std::uint32_t memberIndex,
                                           void* deviceInterfaceData) = 0;
  virtual bool SetupDiGetDeviceInterfaceDetailA(FarProc fn, Hdevinfo set,
                                                const void* deviceInterfaceData, void* detailData,
                                                std::uint32_t detailDataSize,
                                                std::uint32_t* requiredSize,
                                                void* deviceInfoData) = 0;
  virtual bool SetupDiDestroyDeviceInfoList(FarProc fn, Hdevinfo set) = 0;
  virtual bool SetupDiGetDeviceRegistryPropertyA(FarProc fn, Hdevinfo set,
                                                 const void* deviceInfoData, std::uint32_t property,
                                                 std::uint32_t* propertyRegDataType, void* buffer,
                                                 std::uint32_t bufferSize,
                                                 std::uint32_t* requiredSize) = 0;
  virtual bool SetupDiGetDeviceInstanceIdA(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                           char* deviceInstanceId, std::uint32_t size,
                                           std::uint32_t* requiredSize) = 0;
  virtual bool SetupDiSetClassInstallParamsA(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                             const void* classInstallParams,
                                             std::uint32_t classInstallParamsSize) = 0;
  virtual bool SetupDiCallClassInstaller(FarProc fn, std::uint32_t installFunction, Hdevinfo set,
                                         const void* deviceInfoData) = 0;
  // The device's registry key: DIREG_DRV its driver key, DIREG_DEV its hardware key. Answers
  // INVALID_HANDLE_VALUE as the key when there is none; close a key with RegCloseKey.
  virtual Hkey SetupDiOpenDevRegKey(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                    std::uint32_t scope, std::uint32_t hwProfile,
                                    std::uint32_t keyType, std::uint32_t samDesired) = 0;
  virtual ConfigRet CM_Get_Device_IDA(FarProc fn, DevInst devInst, char* buffer,
                                      std::uint32_t bufferLen, std::uint32_t flags) = 0;
  virtual ConfigRet CM_Get_Parent(FarProc fn, DevInst* parent, DevInst devInst,
                                  std::uint32_t flags) = 0;
  virtual ConfigRet CM_Locate_DevNodeA(FarProc fn, DevInst* devInst, const std::string& deviceId,
                                       std::uint32_t flags) = 0;
  // *length is the buffer size in and the property's size out.
  virtual ConfigRet CM_Get_DevNode_Registry_PropertyA(FarProc fn, DevInst devInst,
                                                      std::uint32_t property,
                                                      std::uint32_t* regDataType, void* buffer,
                                                      std::uint32_t* length,
                                                      std::uint32_t flags) = 0;
  virtual ConfigRet CM_Reenumerate_DevNode(FarProc fn, DevInst devInst, std::uint32_t flags) = 0;

  // WMI through COM: CoInitializeEx, IWbemLocator::ConnectServer on the namespace,
  // IWbemServices::ExecQuery of the WQL query, and the objects of its enumerator counted.
  virtual HResult CountWmiQueryObjects(const std::string& nameSpace, const std::string& query,
                                       std::uint32_t* count) = 0;
  // ---- end of devices ----
};

// The realisation the process runs on. The entry point installs it before the core starts.
Os& Current();
void Install(Os* os);

}  // namespace os
