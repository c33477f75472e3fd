// The class that realises the seam on Windows, shared by the files that define its members
// (one per interface of the seam), and the conversions between the seam's handles and
// Windows' own. Private to win32/: the rest of the program reaches it as win32::WindowsOs().
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <commdlg.h>
#include <shellapi.h>

#include <mutex>
#include <set>
#include <string>

#include "os/os.h"

namespace win32 {

inline HWND H(os::Hwnd hwnd) {
  return reinterpret_cast<HWND>(hwnd);
}
inline os::Hwnd W(HWND hwnd) {
  return reinterpret_cast<os::Hwnd>(hwnd);
}
inline HANDLE K(os::Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
inline os::Handle O(HANDLE handle) {
  return reinterpret_cast<os::Handle>(handle);
}
inline HKEY Hk(os::Hkey key) {
  return reinterpret_cast<HKEY>(key);
}

class WindowsSeam final : public os::Os {
 public:
  // Windows and messages.
  os::Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                           const std::string& windowName, std::uint32_t style,
                           os::WindowProc proc) override;
  bool DestroyWindow(os::Hwnd hwnd) override;
  std::intptr_t DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override;
  bool SetWindowTextA(os::Hwnd hwnd, const std::string& text) override;
  std::string GetWindowTextA(os::Hwnd hwnd) override;
  std::int32_t GetWindowLongA(os::Hwnd hwnd, int index) override;
  std::int32_t SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) override;
  bool ShowWindow(os::Hwnd hwnd, int cmdShow) override;
  bool IsWindowVisible(os::Hwnd hwnd) override;
  bool IsIconic(os::Hwnd hwnd) override;
  bool BringWindowToTop(os::Hwnd hwnd) override;
  bool SetForegroundWindow(os::Hwnd hwnd) override;
  bool AnimateWindow(os::Hwnd hwnd, std::uint32_t time, std::uint32_t flags) override;
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName) override;
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert) override;
  int EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) override;
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) override;
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override;
  std::int16_t GetAsyncKeyState(int virtualKey) override;
  bool GetOpenFileNameA(os::Hwnd owner, const os::OpenFileRequest& request,
                        std::string* fileName) override;
  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) override;
  int GetMessageA(os::Msg* msg) override;
  bool TranslateMessage(const os::Msg& msg) override;
  std::intptr_t DispatchMessageA(const os::Msg& msg) override;
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  void PostQuitMessage(int exitCode) override;
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) override;
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id) override;

  // Processes, threads and time.
  std::uint32_t GetLastError() override;
  void SetLastError(std::uint32_t error) override;
  std::string GetCommandLineA() override;
  std::string GetModuleFileNameA() override;
  os::Handle GetCurrentProcess() override;
  os::Handle OpenMutexA(std::uint32_t access, bool inherit, const std::string& name) override;
  os::Handle CreateMutexA(bool initialOwner, const std::string& name) override;
  bool CloseHandle(os::Handle handle) override;
  os::Handle CreateThread(os::ThreadRoutine routine) override;
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) override;
  std::intptr_t ShellExecuteA(os::Hwnd owner, const std::string& operation, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd) override;
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t ms) override;
  std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                            std::uint32_t milliseconds, std::uint32_t wakeMask,
                                            std::uint32_t flags) override;
  std::uint32_t GetTickCount() override;
  bool QueryPerformanceCounter(std::int64_t* count) override;
  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  void Sleep(std::uint32_t milliseconds) override;

  // Files and the registry.
  std::uint32_t GetFileAttributesA(const std::string& fileName) override;
  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) override;
  bool WriteFile(os::Handle file, const void* data, std::uint32_t size,
                 std::uint32_t* written) override;
  bool ReadFile(os::Handle file, void* data, std::uint32_t size, std::uint32_t* read) override;
  std::uint32_t GetFileSize(os::Handle file, std::uint32_t* sizeHigh) override;
  std::string GetWindowsDirectoryA() override;
  std::string GetSystemDirectoryA() override;
  std::int32_t RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                             std::uint32_t sam, os::Hkey* result) override;
  std::int32_t RegCreateKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t sam, os::Hkey* result,
                               std::uint32_t* disposition) override;
  std::int32_t RegQueryValueExA(os::Hkey key, const std::string& valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* cbData) override;
  std::int32_t RegSetValueExA(os::Hkey key, const std::string& valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t cbData) override;
  std::int32_t RegCloseKey(os::Hkey key) override;

  // Devices.
  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes) override;
  bool DeviceIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned) override;
  os::Hdevinfo SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                    const std::string& enumerator, os::Hwnd parent,
                                    std::uint32_t flags) override;
  bool SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set, std::uint32_t memberIndex,
                             void* deviceInfoData) override;
  bool SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   const os::Guid& interfaceClassGuid, std::uint32_t memberIndex,
                                   void* deviceInterfaceData) override;
  bool SetupDiGetDeviceInterfaceDetailA(os::FarProc fn, os::Hdevinfo set,
                                        const void* deviceInterfaceData, void* detailData,
                                        std::uint32_t detailDataSize, std::uint32_t* requiredSize,
                                        void* deviceInfoData) override;
  bool SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set) override;
  bool SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                         const void* deviceInfoData, std::uint32_t property,
                                         std::uint32_t* propertyRegDataType, void* buffer,
                                         std::uint32_t bufferSize,
                                         std::uint32_t* requiredSize) override;
  bool SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   char* deviceInstanceId, std::uint32_t size,
                                   std::uint32_t* requiredSize) override;
  bool SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                     const void* classInstallParams,
                                     std::uint32_t classInstallParamsSize) override;
  bool SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction, os::Hdevinfo set,
                                 const void* deviceInfoData) override;
  os::Hkey SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t keyType,
                                std::uint32_t samDesired) override;
  os::ConfigRet CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                  std::uint32_t bufferLen, std::uint32_t flags) override;
  os::ConfigRet CM_Get_Parent(os::FarProc fn, os::DevInst* parent, os::DevInst devInst,
                              std::uint32_t flags) override;
  os::ConfigRet CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                   const std::string& deviceId, std::uint32_t flags) override;
  os::ConfigRet CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                  std::uint32_t property,
                                                  std::uint32_t* regDataType, void* buffer,
                                                  std::uint32_t* length,
                                                  std::uint32_t flags) override;
  os::ConfigRet CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst,
                                       std::uint32_t flags) override;
  os::HResult CountWmiQueryObjects(const std::string& nameSpace, const std::string& query,
                                   std::uint32_t* count) override;

  // The system.
  bool GetVersionExA(os::OsVersionInfoA* info) override;
  bool VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                          std::uint64_t conditionMask) override;
  int GetSystemMetrics(int index) override;
  int CompareStringA(const std::string& a, const std::string& b) override;
  os::Hmodule LoadLibraryA(const std::string& fileName) override;
  os::Hmodule GetModuleHandleA(const std::string& moduleName) override;
  os::FarProc GetProcAddress(os::Hmodule module, const std::string& procName) override;
  bool FreeLibrary(os::Hmodule module) override;
  bool IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64) override;
  std::int32_t RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) override;
  bool AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                std::uint8_t count, const std::array<std::uint32_t, 8>& sub,
                                os::Psid* sid) override;
  bool CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                            bool* isMember) override;
  os::Psid FreeSid(os::FarProc proc, os::Psid sid) override;
  bool OpenProcessToken(os::Handle process, std::uint32_t access, os::Handle* token) override;
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             os::Luid* luid) override;
  bool AdjustTokenPrivileges(os::Handle token, bool disableAll,
                             const std::vector<os::LuidAndAttributes>& newState) override;
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
  os::ScHandle OpenSCManagerA(const std::string& machine, const std::string& database,
                              std::uint32_t access) override;
  os::ScHandle OpenServiceA(os::ScHandle manager, const std::string& name,
                            std::uint32_t access) override;
  bool QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) override;
  bool StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments) override;
  bool CloseServiceHandle(os::ScHandle handle) override;

 private:
  std::mutex m_ClassesLock;  // windows may be made on any thread
  std::set<std::string> m_Classes;
};

}  // namespace win32
