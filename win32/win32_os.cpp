#include "win32/win32_os.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <winsvc.h>

#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <set>

#include "win32/win32_wmi.h"

namespace win32 {
namespace {

HWND H(os::Hwnd hwnd) {
  return reinterpret_cast<HWND>(hwnd);
}
os::Hwnd W(HWND hwnd) {
  return reinterpret_cast<os::Hwnd>(hwnd);
}
HANDLE K(os::Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
os::Handle O(HANDLE handle) {
  return reinterpret_cast<os::Handle>(handle);
}
HKEY Hk(os::Hkey key) {
  return reinterpret_cast<HKEY>(key);
}
SC_HANDLE Sc(os::ScHandle handle) {
  return reinterpret_cast<SC_HANDLE>(handle);
}

// ---- Devices: the looked-up functions called through their own types ----
// The core hands over the address GetProcAddress returned for the export; Windows' own
// declaration gives the type to call it through.
template <auto Function>
auto Call(os::FarProc fn) {
  return reinterpret_cast<decltype(Function)>(fn);
}
HDEVINFO Di(os::Hdevinfo set) {
  return reinterpret_cast<HDEVINFO>(set);
}
PSP_DEVINFO_DATA Data(const void* deviceInfoData) {
  return static_cast<PSP_DEVINFO_DATA>(const_cast<void*>(deviceInfoData));
}
GUID Guid(const os::Guid& g) {
  GUID guid = {g.Data1, g.Data2, g.Data3, {}};
  std::copy(g.Data4.begin(), g.Data4.end(), guid.Data4);
  return guid;
}
// ---- end of devices ----

// The core's window procedure lives in the window's user data from WM_NCCREATE on and is
// freed with the window.
LRESULT CALLBACK ForwardingWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* proc = reinterpret_cast<os::WindowProc*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY && proc) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    delete proc;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  if (!proc || !*proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return (*proc)(W(hwnd), msg, wParam, lParam);
}

DWORD WINAPI ThreadStart(LPVOID parameter) {
  std::unique_ptr<os::ThreadRoutine> routine(static_cast<os::ThreadRoutine*>(parameter));
  return (*routine)();
}

class WindowsSeam final : public os::Os {
 public:
  std::uint32_t GetLastError() override { return ::GetLastError(); }
  void SetLastError(std::uint32_t error) override { ::SetLastError(error); }
  std::string GetCommandLineA() override { return ::GetCommandLineA(); }

  std::string GetModuleFileNameA() override {
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
  }

  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) override {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<std::uint8_t> data(size);
    if (!::GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return std::nullopt;
    return data;
  }
  std::uint32_t GetFileAttributesA(const std::string& fileName) override {
    return ::GetFileAttributesA(fileName.c_str());
  }

  os::Handle OpenMutexA(std::uint32_t access, bool inherit, const std::string& name) override {
    return O(::OpenMutexA(access, inherit, name.c_str()));
  }
  os::Handle CreateMutexA(bool initialOwner, const std::string& name) override {
    return O(::CreateMutexA(nullptr, initialOwner, name.c_str()));
  }
  bool CloseHandle(os::Handle handle) override { return ::CloseHandle(K(handle)); }

  os::Handle CreateThread(os::ThreadRoutine routine) override {
    auto* parameter = new os::ThreadRoutine(std::move(routine));
    HANDLE thread = ::CreateThread(nullptr, 0, ThreadStart, parameter, 0, nullptr);
    if (!thread) delete parameter;
    return O(thread);
  }
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t ms) override {
    return ::WaitForSingleObject(K(handle), ms);
  }
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) override {
    DWORD code = 0;
    const bool ok = ::GetExitCodeThread(K(thread), &code);
    *exitCode = code;
    return ok;
  }

  os::Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                           const std::string& windowName, std::uint32_t style,
                           os::WindowProc proc) override {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    {
      std::lock_guard<std::mutex> lock(m_ClassesLock);
      if (m_Classes.insert(className).second) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ForwardingWndProc;
        wc.hInstance = instance;
        wc.lpszClassName = className.c_str();
        wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        ::RegisterClassA(&wc);
      }
    }
    auto* parameter = new os::WindowProc(std::move(proc));
    HWND hwnd =
        ::CreateWindowExA(exStyle, className.c_str(), windowName.c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, parameter);
    if (!hwnd) delete parameter;
    return W(hwnd);
  }
  bool DestroyWindow(os::Hwnd hwnd) override { return ::DestroyWindow(H(hwnd)); }
  std::intptr_t DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
    return ::DefWindowProcA(H(hwnd), msg, wParam, lParam);
  }
  bool SetWindowTextA(os::Hwnd hwnd, const std::string& text) override {
    return ::SetWindowTextA(H(hwnd), text.c_str());
  }
  std::string GetWindowTextA(os::Hwnd hwnd) override {
    char text[512] = {};
    const int n = ::GetWindowTextA(H(hwnd), text, sizeof text);
    return std::string(text, n > 0 ? std::size_t(n) : 0);
  }
  std::int32_t GetWindowLongA(os::Hwnd hwnd, int index) override {
    return ::GetWindowLongA(H(hwnd), index);
  }
  std::int32_t SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) override {
    return ::SetWindowLongA(H(hwnd), index, value);
  }
  bool ShowWindow(os::Hwnd hwnd, int cmdShow) override { return ::ShowWindow(H(hwnd), cmdShow); }
  bool IsWindowVisible(os::Hwnd hwnd) override { return ::IsWindowVisible(H(hwnd)); }
  bool IsIconic(os::Hwnd hwnd) override { return ::IsIconic(H(hwnd)); }
  bool BringWindowToTop(os::Hwnd hwnd) override { return ::BringWindowToTop(H(hwnd)); }
  bool SetForegroundWindow(os::Hwnd hwnd) override { return ::SetForegroundWindow(H(hwnd)); }
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName) override {
    return W(::FindWindowA(className.c_str(), windowName.c_str()));
  }
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert) override {
    return reinterpret_cast<os::Hmenu>(::GetSystemMenu(H(hwnd), revert));
  }
  int EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) override {
    return ::EnableMenuItem(reinterpret_cast<HMENU>(menu), id, enable);
  }
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) override {
    return ::RemoveMenu(reinterpret_cast<HMENU>(menu), position, flags);
  }
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    return ::MessageBoxA(H(owner), text.c_str(), caption.c_str(), type);
  }

  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) override {
    MSG m;
    if (!::PeekMessageA(&m, nullptr, 0, 0, removeMsg)) return false;
    *msg = {W(m.hwnd), m.message, m.wParam, m.lParam};
    tLastMessage = m;
    return true;
  }
  int GetMessageA(os::Msg* msg) override {
    MSG m;
    const int result = ::GetMessageA(&m, nullptr, 0, 0);
    *msg = {W(m.hwnd), m.message, m.wParam, m.lParam};
    tLastMessage = m;
    return result;
  }
  // The message the core got last, with the time and position the core does not carry.
  bool TranslateMessage(const os::Msg& msg) override { return ::TranslateMessage(Full(msg)); }
  std::intptr_t DispatchMessageA(const os::Msg& msg) override {
    return ::DispatchMessageA(Full(msg));
  }
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    return ::PostMessageA(H(hwnd), msg, wParam, lParam);
  }
  void PostQuitMessage(int exitCode) override { ::PostQuitMessage(exitCode); }
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) override {
    return ::SetTimer(H(hwnd), id, elapse, nullptr);
  }
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id) override { return ::KillTimer(H(hwnd), id); }

  int CompareStringA(const std::string& a, const std::string& b) override {
    return ::CompareStringA(LOCALE_USER_DEFAULT, 0, a.data(), int(a.size()), b.data(),
                            int(b.size()));
  }

  std::uint32_t GetTickCount() override { return ::GetTickCount(); }
  bool QueryPerformanceCounter(std::int64_t* count) override {
    LARGE_INTEGER value;
    const bool ok = ::QueryPerformanceCounter(&value);
    *count = value.QuadPart;
    return ok;
  }
  bool QueryPerformanceFrequency(std::int64_t* frequency) override {
    LARGE_INTEGER value;
    const bool ok = ::QueryPerformanceFrequency(&value);
    *frequency = value.QuadPart;
    return ok;
  }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

  // ---- Operating-system facts, privileges, registry, services and waits ----
  bool GetVersionExA(os::OsVersionInfoA* info) override {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    if (!::GetVersionExA(&v)) return false;
    *info = {v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.dwPlatformId,
             std::string(v.szCSDVersion, ::strnlen(v.szCSDVersion, sizeof v.szCSDVersion))};
    return true;
  }
  bool VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                          std::uint64_t conditionMask) override {
    OSVERSIONINFOEXA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    v.dwMajorVersion = info.dwMajorVersion;
    v.dwMinorVersion = info.dwMinorVersion;
    v.dwBuildNumber = info.dwBuildNumber;
    v.dwPlatformId = info.dwPlatformId;
    info.szCSDVersion.copy(v.szCSDVersion, sizeof v.szCSDVersion - 1);
    v.wServicePackMajor = info.wServicePackMajor;
    v.wServicePackMinor = info.wServicePackMinor;
    v.wSuiteMask = info.wSuiteMask;
    v.wProductType = info.wProductType;
    return ::VerifyVersionInfoA(&v, typeMask, conditionMask);
  }
  int GetSystemMetrics(int index) override { return ::GetSystemMetrics(index); }

  os::Hmodule LoadLibraryA(const std::string& fileName) override {
    return reinterpret_cast<os::Hmodule>(::LoadLibraryA(fileName.c_str()));
  }
  os::Hmodule GetModuleHandleA(const std::string& moduleName) override {
    return reinterpret_cast<os::Hmodule>(::GetModuleHandleA(moduleName.c_str()));
  }
  os::FarProc GetProcAddress(os::Hmodule module, const std::string& procName) override {
    return reinterpret_cast<os::FarProc>(
        ::GetProcAddress(reinterpret_cast<HMODULE>(module), procName.c_str()));
  }
  bool FreeLibrary(os::Hmodule module) override {
    return ::FreeLibrary(reinterpret_cast<HMODULE>(module));
  }
  bool IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64) override {
    BOOL value = FALSE;
    const bool ok = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(proc)(K(process), &value);
    *wow64 = value;
    return ok;
  }
  std::int32_t RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) override {
    RTL_OSVERSIONINFOW v = {};
    v.dwOSVersionInfoSize = sizeof v;
    const LONG status = reinterpret_cast<LONG(WINAPI*)(PRTL_OSVERSIONINFOW)>(proc)(&v);
    std::string csd;
    for (std::size_t i = 0; i < std::size(v.szCSDVersion) && v.szCSDVersion[i]; ++i)
      csd += char(v.szCSDVersion[i]);
    *info = {v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.dwPlatformId, csd};
    return status;
  }
  bool AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                std::uint8_t count, const std::array<std::uint32_t, 8>& sub,
                                os::Psid* sid) override {
    SID_IDENTIFIER_AUTHORITY a;
    std::copy(authority.begin(), authority.end(), a.Value);
    PSID result = nullptr;
    using Fn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD,
                             DWORD, DWORD, DWORD, PSID*);
    const bool ok = reinterpret_cast<Fn>(proc)(&a, count, sub[0], sub[1], sub[2], sub[3], sub[4],
                                               sub[5], sub[6], sub[7], &result);
    *sid = reinterpret_cast<os::Psid>(result);
    return ok;
  }
  bool CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                            bool* isMember) override {
    BOOL member = FALSE;
    const bool ok = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PSID, PBOOL)>(proc)(
        K(token), reinterpret_cast<PSID>(sid), &member);
    *isMember = member;
    return ok;
  }
  os::Psid FreeSid(os::FarProc proc, os::Psid sid) override {
    return reinterpret_cast<os::Psid>(
        reinterpret_cast<PVOID(WINAPI*)(PSID)>(proc)(reinterpret_cast<PSID>(sid)));
  }

  os::Handle GetCurrentProcess() override { return O(::GetCurrentProcess()); }
  bool OpenProcessToken(os::Handle process, std::uint32_t access, os::Handle* token) override {
    HANDLE result = nullptr;
    const bool ok = ::OpenProcessToken(K(process), access, &result);
    *token = O(result);
    return ok;
  }
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             os::Luid* luid) override {
    LUID value = {};
    const bool ok = ::LookupPrivilegeValueA(systemName.empty() ? nullptr : systemName.c_str(),
                                            name.c_str(), &value);
    *luid = {value.LowPart, value.HighPart};
    return ok;
  }
  bool AdjustTokenPrivileges(os::Handle token, bool disableAll,
                             const std::vector<os::LuidAndAttributes>& newState) override {
    std::vector<std::uint8_t> bytes(sizeof(TOKEN_PRIVILEGES) +
                                    newState.size() * sizeof(LUID_AND_ATTRIBUTES));
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(bytes.data());
    privileges->PrivilegeCount = DWORD(newState.size());
    for (std::size_t i = 0; i < newState.size(); ++i) {
      privileges->Privileges[i].Luid = {newState[i].luid.LowPart, newState[i].luid.HighPart};
      privileges->Privileges[i].Attributes = newState[i].attributes;
    }
    return ::AdjustTokenPrivileges(K(token), disableAll, privileges, 0, nullptr, nullptr);
  }
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override {
    return ::ExitWindowsEx(flags, reason);
  }

  std::int32_t RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                             std::uint32_t sam, os::Hkey* result) override {
    HKEY opened = nullptr;
    const LONG error = ::RegOpenKeyExA(Hk(key), subKey.c_str(), options, sam, &opened);
    *result = reinterpret_cast<os::Hkey>(opened);
    return error;
  }
  std::int32_t RegCreateKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t sam, os::Hkey* result,
                               std::uint32_t* disposition) override {
    HKEY created = nullptr;
    DWORD how = 0;
    const LONG error = ::RegCreateKeyExA(Hk(key), subKey.c_str(), 0, nullptr, options, sam, nullptr,
                                         &created, &how);
    *result = reinterpret_cast<os::Hkey>(created);
    if (disposition) *disposition = how;
    return error;
  }
  std::int32_t RegQueryValueExA(os::Hkey key, const std::string& valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* cbData) override {
    DWORD t = 0, size = cbData ? *cbData : 0;
    const LONG error =
        ::RegQueryValueExA(Hk(key), valueName.c_str(), nullptr, &t, data, cbData ? &size : nullptr);
    if (type) *type = t;
    if (cbData) *cbData = size;
    return error;
  }
  std::int32_t RegSetValueExA(os::Hkey key, const std::string& valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t cbData) override {
    return ::RegSetValueExA(Hk(key), valueName.c_str(), 0, type, data, cbData);
  }
  std::int32_t RegCloseKey(os::Hkey key) override { return ::RegCloseKey(Hk(key)); }

  os::ScHandle OpenSCManagerA(const std::string& machine, const std::string& database,
                              std::uint32_t access) override {
    return reinterpret_cast<os::ScHandle>(
        ::OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(),
                         database.empty() ? nullptr : database.c_str(), access));
  }
  os::ScHandle OpenServiceA(os::ScHandle manager, const std::string& name,
                            std::uint32_t access) override {
    return reinterpret_cast<os::ScHandle>(::OpenServiceA(Sc(manager), name.c_str(), access));
  }
  bool QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) override {
    SERVICE_STATUS s = {};
    const bool ok = ::QueryServiceStatus(Sc(service), &s);
    *status = {s.dwServiceType,
               s.dwCurrentState,
               s.dwControlsAccepted,
               s.dwWin32ExitCode,
               s.dwServiceSpecificExitCode,
               s.dwCheckPoint,
               s.dwWaitHint};
    return ok;
  }
  bool StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments) override {
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    return ::StartServiceA(Sc(service), DWORD(argv.size()), argv.empty() ? nullptr : argv.data());
  }
  bool CloseServiceHandle(os::ScHandle handle) override { return ::CloseServiceHandle(Sc(handle)); }

  std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                            std::uint32_t milliseconds, std::uint32_t wakeMask,
                                            std::uint32_t flags) override {
    std::vector<HANDLE> h;
    for (os::Handle handle : handles) h.push_back(K(handle));
    return ::MsgWaitForMultipleObjectsEx(DWORD(h.size()), h.empty() ? nullptr : h.data(),
                                         milliseconds, wakeMask, flags);
  }
  // ---- end of operating-system facts ----

  // ---- Devices: files, driver requests, SetupAPI, configuration manager, WMI ----
  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes) override {
    return O(::CreateFileA(fileName.c_str(), desiredAccess, shareMode, nullptr, creationDisposition,
                           flagsAndAttributes, nullptr));
  }
  bool DeviceIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned) override {
    DWORD returned = 0;
    const bool ok = ::DeviceIoControl(K(device), ioControlCode, const_cast<void*>(inBuffer),
                                      inBufferSize, outBuffer, outBufferSize, &returned, nullptr);
    if (bytesReturned) *bytesReturned = returned;
    return ok;
  }
  os::Hdevinfo SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                    const std::string& enumerator, os::Hwnd parent,
                                    std::uint32_t flags) override {
    const GUID guid = classGuid ? Guid(*classGuid) : GUID{};
    return reinterpret_cast<os::Hdevinfo>(Call<&::SetupDiGetClassDevsA>(fn)(
        classGuid ? &guid : nullptr, enumerator.empty() ? nullptr : enumerator.c_str(), H(parent),
        flags));
  }
  bool SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set, std::uint32_t memberIndex,
                             void* deviceInfoData) override {
    return Call<&::SetupDiEnumDeviceInfo>(fn)(Di(set), memberIndex, Data(deviceInfoData));
  }
  bool SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   const os::Guid& interfaceClassGuid, std::uint32_t memberIndex,
                                   void* deviceInterfaceData) override {
    const GUID guid = Guid(interfaceClassGuid);
    return Call<&::SetupDiEnumDeviceInterfaces>(fn)(
        Di(set), Data(deviceInfoData), &guid, memberIndex,
        static_cast<PSP_DEVICE_INTERFACE_DATA>(deviceInterfaceData));
  }
  bool SetupDiGetDeviceInterfaceDetailA(os::FarProc fn, os::Hdevinfo set,
                                        const void* deviceInterfaceData, void* detailData,
                                        std::uint32_t detailDataSize, std::uint32_t* requiredSize,
                                        void* deviceInfoData) override {
    DWORD required = 0;
    const bool ok = Call<&::SetupDiGetDeviceInterfaceDetailA>(fn)(
        Di(set), static_cast<PSP_DEVICE_INTERFACE_DATA>(const_cast<void*>(deviceInterfaceData)),
        static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detailData), detailDataSize, &required,
        Data(deviceInfoData));
    if (requiredSize) *requiredSize = required;
    return ok;
  }
  bool SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set) override {
    return Call<&::SetupDiDestroyDeviceInfoList>(fn)(Di(set));
  }
  bool SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                         const void* deviceInfoData, std::uint32_t property,
                                         std::uint32_t* propertyRegDataType, void* buffer,
                                         std::uint32_t bufferSize,
                                         std::uint32_t* requiredSize) override {
    DWORD type = 0, required = 0;
    const bool ok = Call<&::SetupDiGetDeviceRegistryPropertyA>(fn)(
        Di(set), Data(deviceInfoData), property, &type, static_cast<PBYTE>(buffer), bufferSize,
        &required);
    if (propertyRegDataType) *propertyRegDataType = type;
    if (requiredSize) *requiredSize = required;
    return ok;
  }
  bool SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   char* deviceInstanceId, std::uint32_t size,
                                   std::uint32_t* requiredSize) override {
    DWORD required = 0;
    const bool ok = Call<&::SetupDiGetDeviceInstanceIdA>(fn)(Di(set), Data(deviceInfoData),
                                                             deviceInstanceId, size, &required);
    if (requiredSize) *requiredSize = required;
    return ok;
  }
  bool SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                     const void* classInstallParams,
                                     std::uint32_t classInstallParamsSize) override {
    return Call<&::SetupDiSetClassInstallParamsA>(fn)(
        Di(set), Data(deviceInfoData),
        static_cast<PSP_CLASSINSTALL_HEADER>(const_cast<void*>(classInstallParams)),
        classInstallParamsSize);
  }
  bool SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction, os::Hdevinfo set,
                                 const void* deviceInfoData) override {
    return Call<&::SetupDiCallClassInstaller>(fn)(installFunction, Di(set), Data(deviceInfoData));
  }
  os::Hkey SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t keyType,
                                std::uint32_t samDesired) override {
    return reinterpret_cast<os::Hkey>(Call<&::SetupDiOpenDevRegKey>(fn)(
        Di(set), Data(deviceInfoData), scope, hwProfile, keyType, samDesired));
  }
  os::ConfigRet CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                  std::uint32_t bufferLen, std::uint32_t flags) override {
    return Call<&::CM_Get_Device_IDA>(fn)(devInst, buffer, bufferLen, flags);
  }
  os::ConfigRet CM_Get_Parent(os::FarProc fn, os::DevInst* parent, os::DevInst devInst,
                              std::uint32_t flags) override {
    DEVINST up = 0;
    const CONFIGRET result = Call<&::CM_Get_Parent>(fn)(&up, devInst, flags);
    *parent = up;
    return result;
  }
  os::ConfigRet CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                   const std::string& deviceId, std::uint32_t flags) override {
    DEVINST found = 0;
    const CONFIGRET result = Call<&::CM_Locate_DevNodeA>(fn)(
        &found, deviceId.empty() ? nullptr : const_cast<char*>(deviceId.c_str()), flags);
    *devInst = found;
    return result;
  }
  os::ConfigRet CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                  std::uint32_t property,
                                                  std::uint32_t* regDataType, void* buffer,
                                                  std::uint32_t* length,
                                                  std::uint32_t flags) override {
    ULONG type = 0, size = *length;
    const CONFIGRET result = Call<&::CM_Get_DevNode_Registry_PropertyA>(fn)(
        devInst, property, &type, buffer, &size, flags);
    if (regDataType) *regDataType = type;
    *length = size;
    return result;
  }
  os::ConfigRet CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst,
                                       std::uint32_t flags) override {
    return Call<&::CM_Reenumerate_DevNode>(fn)(devInst, flags);
  }
  os::HResult CountWmiQueryObjects(const std::string& nameSpace, const std::string& query,
                                   std::uint32_t* count) override {
    return CountWmiObjects(nameSpace, query, count);
  }
  // ---- end of devices ----

 private:
  const MSG* Full(const os::Msg& msg) {
    MSG& last = tLastMessage;
    if (W(last.hwnd) != msg.hwnd || last.message != msg.message || last.wParam != msg.wParam ||
        last.lParam != msg.lParam)
      last = MSG{H(msg.hwnd), msg.message, msg.wParam, msg.lParam, 0, {0, 0}};
    return &last;
  }

  // Every thread that pumps messages has its own last message: the flash worker waits, and so
  // pumps, while the main thread does.
  static thread_local MSG tLastMessage;

  std::mutex m_ClassesLock;  // windows may be made on any thread
  std::set<std::string> m_Classes;
};

thread_local MSG WindowsSeam::tLastMessage = {};

}  // namespace

os::Os& WindowsOs() {
  static WindowsSeam seam;
  return seam;
}

}  // namespace win32
