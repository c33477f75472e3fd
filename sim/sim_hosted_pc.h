// The simulated PC's storage under a real Windows. The disks, the controllers and their drivers,
// the device tree that SetupAPI and the configuration manager walk, and WMI's disk count come
// from a SimPc; every other call (windows, message boxes, timers, threads, waits, files, the
// registry, the system's facts) goes to the host, the Windows the program runs on. travok-sim.exe
// runs the program this way under Wine: a whole update with a real worker thread, real messages
// and real timers, on drives that know what they were sent.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "os/os.h"
#include "sim/sim_pc.h"

namespace sim {

class SimHostedPc final : public os::Os {
 public:
  // `commandLine` is the program's: the process's own carries the options of the tool that
  // hosts it.
  SimHostedPc(os::Os& host, SimPc& storage, std::string commandLine)
      : m_Host(host), m_Pc(storage), m_CommandLine(std::move(commandLine)) {}
  SimHostedPc(const SimHostedPc&) = delete;
  SimHostedPc& operator=(const SimHostedPc&) = delete;

  // The storage side: the disk and controller handles and what is asked of them, the device
  // tree, the WMI count, the two libraries that reach the tree and the driver keys it opens.
  bool CloseHandle(os::Handle handle) override;
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
  os::Hmodule LoadLibraryA(const std::string& fileName) override;
  os::Hmodule GetModuleHandleA(const std::string& moduleName) override;
  os::FarProc GetProcAddress(os::Hmodule module, const std::string& procName) override;
  bool FreeLibrary(os::Hmodule module) override;

  std::string GetCommandLineA() override { return m_CommandLine; }

  // The host side.
  os::Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                           const std::string& windowName, std::uint32_t style,
                           os::WindowProc proc) override {
    return m_Host.CreateWindowExA(exStyle, className, windowName, style, proc);
  }
  bool DestroyWindow(os::Hwnd hwnd) override { return m_Host.DestroyWindow(hwnd); }
  std::intptr_t DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
    return m_Host.DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  bool SetWindowTextA(os::Hwnd hwnd, const std::string& text) override {
    return m_Host.SetWindowTextA(hwnd, text);
  }
  std::string GetWindowTextA(os::Hwnd hwnd) override { return m_Host.GetWindowTextA(hwnd); }
  std::int32_t GetWindowLongA(os::Hwnd hwnd, int index) override {
    return m_Host.GetWindowLongA(hwnd, index);
  }
  std::int32_t SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) override {
    return m_Host.SetWindowLongA(hwnd, index, value);
  }
  bool ShowWindow(os::Hwnd hwnd, int cmdShow) override { return m_Host.ShowWindow(hwnd, cmdShow); }
  bool IsWindowVisible(os::Hwnd hwnd) override { return m_Host.IsWindowVisible(hwnd); }
  bool IsIconic(os::Hwnd hwnd) override { return m_Host.IsIconic(hwnd); }
  bool BringWindowToTop(os::Hwnd hwnd) override { return m_Host.BringWindowToTop(hwnd); }
  bool SetForegroundWindow(os::Hwnd hwnd) override { return m_Host.SetForegroundWindow(hwnd); }
  bool AnimateWindow(os::Hwnd hwnd, std::uint32_t time, std::uint32_t flags) override {
    return m_Host.AnimateWindow(hwnd, time, flags);
  }
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName) override {
    return m_Host.FindWindowA(className, windowName);
  }
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert) override {
    return m_Host.GetSystemMenu(hwnd, revert);
  }
  int EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) override {
    return m_Host.EnableMenuItem(menu, id, enable);
  }
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) override {
    return m_Host.RemoveMenu(menu, position, flags);
  }
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    return m_Host.MessageBoxA(owner, text, caption, type);
  }
  std::int16_t GetAsyncKeyState(int virtualKey) override {
    return m_Host.GetAsyncKeyState(virtualKey);
  }
  bool GetOpenFileNameA(os::Hwnd owner, const os::OpenFileRequest& request,
                        std::string* fileName) override {
    return m_Host.GetOpenFileNameA(owner, request, fileName);
  }
  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) override {
    return m_Host.PeekMessageA(msg, removeMsg);
  }
  int GetMessageA(os::Msg* msg) override { return m_Host.GetMessageA(msg); }
  bool TranslateMessage(const os::Msg& msg) override { return m_Host.TranslateMessage(msg); }
  std::intptr_t DispatchMessageA(const os::Msg& msg) override {
    return m_Host.DispatchMessageA(msg);
  }
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    return m_Host.PostMessageA(hwnd, msg, wParam, lParam);
  }
  void PostQuitMessage(int exitCode) override { return m_Host.PostQuitMessage(exitCode); }
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) override {
    return m_Host.SetTimer(hwnd, id, elapse);
  }
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id) override { return m_Host.KillTimer(hwnd, id); }
  std::uint32_t GetLastError() override { return m_Host.GetLastError(); }
  void SetLastError(std::uint32_t error) override { return m_Host.SetLastError(error); }
  std::string GetModuleFileNameA() override { return m_Host.GetModuleFileNameA(); }
  os::Handle GetCurrentProcess() override { return m_Host.GetCurrentProcess(); }
  os::Handle OpenMutexA(std::uint32_t access, bool inherit, const std::string& name) override {
    return m_Host.OpenMutexA(access, inherit, name);
  }
  os::Handle CreateMutexA(bool initialOwner, const std::string& name) override {
    return m_Host.CreateMutexA(initialOwner, name);
  }
  os::Handle CreateThread(os::ThreadRoutine routine) override {
    return m_Host.CreateThread(routine);
  }
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) override {
    return m_Host.GetExitCodeThread(thread, exitCode);
  }
  std::intptr_t ShellExecuteA(os::Hwnd owner, const std::string& operation, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd) override {
    return m_Host.ShellExecuteA(owner, operation, file, parameters, directory, showCmd);
  }
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t ms) override {
    return m_Host.WaitForSingleObject(handle, ms);
  }
  std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                            std::uint32_t milliseconds, std::uint32_t wakeMask,
                                            std::uint32_t flags) override {
    return m_Host.MsgWaitForMultipleObjectsEx(handles, milliseconds, wakeMask, flags);
  }
  std::uint32_t GetTickCount() override { return m_Host.GetTickCount(); }
  bool QueryPerformanceCounter(std::int64_t* count) override {
    return m_Host.QueryPerformanceCounter(count);
  }
  bool QueryPerformanceFrequency(std::int64_t* frequency) override {
    return m_Host.QueryPerformanceFrequency(frequency);
  }
  void Sleep(std::uint32_t milliseconds) override { return m_Host.Sleep(milliseconds); }
  std::uint32_t GetFileAttributesA(const std::string& fileName) override {
    return m_Host.GetFileAttributesA(fileName);
  }
  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) override {
    return m_Host.GetFileVersionInfoA(file);
  }
  bool WriteFile(os::Handle file, const void* data, std::uint32_t size,
                 std::uint32_t* written) override {
    return m_Host.WriteFile(file, data, size, written);
  }
  bool ReadFile(os::Handle file, void* data, std::uint32_t size, std::uint32_t* read) override {
    return m_Host.ReadFile(file, data, size, read);
  }
  std::uint32_t GetFileSize(os::Handle file, std::uint32_t* sizeHigh) override {
    return m_Host.GetFileSize(file, sizeHigh);
  }
  std::string GetWindowsDirectoryA() override { return m_Host.GetWindowsDirectoryA(); }
  std::string GetSystemDirectoryA() override { return m_Host.GetSystemDirectoryA(); }
  bool GetVersionExA(os::OsVersionInfoA* info) override { return m_Host.GetVersionExA(info); }
  bool VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                          std::uint64_t conditionMask) override {
    return m_Host.VerifyVersionInfoA(info, typeMask, conditionMask);
  }
  int GetSystemMetrics(int index) override { return m_Host.GetSystemMetrics(index); }
  int CompareStringA(const std::string& a, const std::string& b) override {
    return m_Host.CompareStringA(a, b);
  }
  bool IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64) override {
    return m_Host.IsWow64Process(proc, process, wow64);
  }
  std::int32_t RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) override {
    return m_Host.RtlGetVersion(proc, info);
  }
  bool AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                std::uint8_t count, const std::array<std::uint32_t, 8>& sub,
                                os::Psid* sid) override {
    return m_Host.AllocateAndInitializeSid(proc, authority, count, sub, sid);
  }
  bool CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                            bool* isMember) override {
    return m_Host.CheckTokenMembership(proc, token, sid, isMember);
  }
  os::Psid FreeSid(os::FarProc proc, os::Psid sid) override { return m_Host.FreeSid(proc, sid); }
  bool OpenProcessToken(os::Handle process, std::uint32_t access, os::Handle* token) override {
    return m_Host.OpenProcessToken(process, access, token);
  }
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             os::Luid* luid) override {
    return m_Host.LookupPrivilegeValueA(systemName, name, luid);
  }
  bool AdjustTokenPrivileges(os::Handle token, bool disableAll,
                             const std::vector<os::LuidAndAttributes>& newState) override {
    return m_Host.AdjustTokenPrivileges(token, disableAll, newState);
  }
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override {
    return m_Host.ExitWindowsEx(flags, reason);
  }
  os::ScHandle OpenSCManagerA(const std::string& machine, const std::string& database,
                              std::uint32_t access) override {
    return m_Host.OpenSCManagerA(machine, database, access);
  }
  os::ScHandle OpenServiceA(os::ScHandle manager, const std::string& name,
                            std::uint32_t access) override {
    return m_Host.OpenServiceA(manager, name, access);
  }
  bool QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) override {
    return m_Host.QueryServiceStatus(service, status);
  }
  bool StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments) override {
    return m_Host.StartServiceA(service, arguments);
  }
  bool CloseServiceHandle(os::ScHandle handle) override {
    return m_Host.CloseServiceHandle(handle);
  }

 private:
  // The program may reach the drives from its worker thread while the main thread pumps
  // messages; the simulated PC is one object, so one call at a time goes into it. The calling
  // thread's last error goes in with the call and comes back out of it, as each Windows thread
  // has its own.
  template <typename Call>
  auto Storage(Call&& call) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Pc.SetLastError(m_Host.GetLastError());
    auto result = call(m_Pc);
    m_Host.SetLastError(m_Pc.GetLastError());
    return result;
  }

  // The simulated PC numbers its objects from 100h, as Windows might number its own: what it
  // hands out is marked with a bit no Windows handle or module address carries, and only the
  // values it handed out are sent back to it.
  static constexpr std::uintptr_t kStorageMark = std::uintptr_t(1)
                                                 << (sizeof(std::uintptr_t) * 8 - 2);
  std::uintptr_t Mark(std::uintptr_t value);  // under the lock
  bool IsStorage(std::uintptr_t value);       // takes the lock
  static std::uintptr_t Unmark(std::uintptr_t value) { return value & ~kStorageMark; }
  static bool IsStorageModule(const std::string& fileName);

  os::Os& m_Host;
  SimPc& m_Pc;
  const std::string m_CommandLine;
  std::mutex m_Lock;
  std::set<std::uintptr_t> m_Handed;  // marked handles, keys and modules the PC handed out
};

}  // namespace sim
