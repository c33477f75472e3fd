// A simulated Windows PC: the seam answered from a model of the machine, so that the whole
// program runs here unchanged. The PC is its parts, each owning its share of the seam and its
// state (sim/kernel, sim/windows, sim/machine, sim/drivers, sim/drives); this class only routes
// each call to the part that answers it, and gives tests one place to set up and look.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/drivers/sim_storage.h"
#include "sim/kernel/sim_kernel.h"
#include "sim/machine/sim_device_tree.h"
#include "sim/machine/sim_enumeration.h"
#include "sim/windows/sim_desktop.h"
#include "sim/windows/sim_files.h"
#include "sim/windows/sim_processes.h"
#include "sim/windows/sim_system.h"

namespace sim {

class SimPc : public os::Os {
  // First, so that it exists before every part that keeps a reference to it.
  SimKernel m_Kernel;

 public:
  SimPc() { enumeration.InstallDefaults(); }
  // The parts keep references to the kernel and to each other, so a PC is never copied or moved.
  SimPc(const SimPc&) = delete;
  SimPc& operator=(const SimPc&) = delete;
  // A fresh machine in the same place, for tests that try several in turn.
  void Reset() {
    std::destroy_at(this);
    std::construct_at(this);
  }

  // The parts.
  SimSystem system{m_Kernel};  // the Windows this PC runs, its registry, token and services
  SimFileSystem files{m_Kernel, system.wow64};
  SimDeviceTree devices;  // machine descriptions fill it (sim/machine/machine_toml.h)
  SimProcesses processes{m_Kernel, system};
  SimDesktop desktop{m_Kernel, processes};
  SimEnumeration enumeration{m_Kernel, system, devices};
  SimStorage storage{m_Kernel, devices};

  // The machine's setting.
  std::string& commandLine = processes.commandLine;
  std::string& moduleFileName = processes.moduleFileName;
  std::optional<std::array<std::uint16_t, 4>>& fileVersion = processes.fileVersion;
  std::map<int, SimScsiPort>& scsiPorts = storage.ports;
  using IoRequest = SimStorage::IoRequest;
  std::vector<IoRequest>& ioRequests = storage.requests;

  // Another process: a named mutex it holds and its top-level window.
  void AddForeignMutex(const std::string& name) { processes.AddForeignMutex(name); }
  os::Hwnd AddForeignWindow(const std::string& className, const std::string& title, bool iconic) {
    return desktop.AddForeignWindow(className, title, iconic);
  }
  // The answers the user gives to the next message boxes, in order.
  void ScriptAnswer(int button) { desktop.ScriptAnswer(button); }

  // "\\.\..." (or "\\?\..."): opened by the storage drivers, not the file system.
  static bool IsDevicePath(const std::string& path);

  // What happened.
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return desktop.MessageBoxes(); }
  const std::vector<std::string>& Journal() const { return m_Kernel.Journal(); }
  const SimWindow* Window(os::Hwnd hwnd) const { return desktop.Window(hwnd); }
  const SimWindow* LastWindowOfClass(const std::string& className) const {
    return desktop.LastWindowOfClass(className);
  }
  os::Hwnd ForegroundWindow() const { return desktop.ForegroundWindow(); }
  os::Hwnd TopWindow() const { return desktop.TopWindow(); }
  bool MutexExists(const std::string& name) const { return processes.MutexExists(name); }
  bool Idled() const { return desktop.Idled(); }
  std::uint64_t NowMicroseconds() const { return m_Kernel.NowUs(); }
  static std::vector<std::uint8_t> BuildVersionResource(const std::array<std::uint16_t, 4>& v) {
    return SimProcesses::BuildVersionResource(v);
  }
  static constexpr std::int64_t kPerformanceFrequency = SimProcesses::kPerformanceFrequency;

  // The seam.
  std::uint32_t GetLastError() override { return m_Kernel.LastError(); }
  void SetLastError(std::uint32_t error) override { m_Kernel.SetLastError(error); }
  std::string GetCommandLineA() override { return commandLine; }
  std::string GetModuleFileNameA() override { return moduleFileName; }
  bool TranslateMessage(const os::Msg&) override { return false; }
  bool CloseHandle(os::Handle handle) override;
  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) override {
    return processes.GetFileVersionInfoA(file);
  }
  std::uint32_t GetFileAttributesA(const std::string& fileName) override {
    return files.GetFileAttributesA(fileName);
  }
  bool WriteFile(os::Handle file, const void* data, std::uint32_t size,
                 std::uint32_t* written) override {
    return files.WriteFile(file, data, size, written);
  }
  bool ReadFile(os::Handle file, void* data, std::uint32_t size, std::uint32_t* read) override {
    return files.ReadFile(file, data, size, read);
  }
  std::uint32_t GetFileSize(os::Handle file, std::uint32_t* sizeHigh) override {
    return files.GetFileSize(file, sizeHigh);
  }
  std::string GetWindowsDirectoryA() override { return files.GetWindowsDirectoryA(); }
  std::string GetSystemDirectoryA() override { return files.GetSystemDirectoryA(); }
  os::Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                        const std::string& name) override {
    return processes.OpenMutexA(desiredAccess, inheritHandle, name);
  }
  os::Handle CreateMutexA(bool initialOwner, const std::string& name) override {
    return processes.CreateMutexA(initialOwner, name);
  }
  os::Handle CreateThread(os::ThreadRoutine routine) override {
    return processes.CreateThread(routine);
  }
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t milliseconds) override {
    return processes.WaitForSingleObject(handle, milliseconds);
  }
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) override {
    return processes.GetExitCodeThread(thread, exitCode);
  }
  std::intptr_t ShellExecuteA(os::Hwnd, const std::string& operation, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd) override {
    return processes.ShellExecuteA(operation, file, parameters, directory, showCmd);
  }
  os::Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                           const std::string& windowName, std::uint32_t style,
                           os::WindowProc proc) override {
    return desktop.CreateWindowExA(exStyle, className, windowName, style, proc);
  }
  bool DestroyWindow(os::Hwnd hwnd) override { return desktop.DestroyWindow(hwnd); }
  std::intptr_t DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
    return desktop.DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  bool SetWindowTextA(os::Hwnd hwnd, const std::string& text) override {
    return desktop.SetWindowTextA(hwnd, text);
  }
  std::string GetWindowTextA(os::Hwnd hwnd) override { return desktop.GetWindowTextA(hwnd); }
  std::int32_t GetWindowLongA(os::Hwnd hwnd, int index) override {
    return desktop.GetWindowLongA(hwnd, index);
  }
  std::int32_t SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) override {
    return desktop.SetWindowLongA(hwnd, index, value);
  }
  bool ShowWindow(os::Hwnd hwnd, int cmdShow) override { return desktop.ShowWindow(hwnd, cmdShow); }
  bool IsWindowVisible(os::Hwnd hwnd) override { return desktop.IsWindowVisible(hwnd); }
  bool IsIconic(os::Hwnd hwnd) override { return desktop.IsIconic(hwnd); }
  bool BringWindowToTop(os::Hwnd hwnd) override { return desktop.BringWindowToTop(hwnd); }
  bool SetForegroundWindow(os::Hwnd hwnd) override { return desktop.SetForegroundWindow(hwnd); }
  bool AnimateWindow(os::Hwnd hwnd, std::uint32_t time, std::uint32_t flags) override {
    return desktop.AnimateWindow(hwnd, time, flags);
  }
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName) override {
    return desktop.FindWindowA(className, windowName);
  }
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert) override {
    return desktop.GetSystemMenu(hwnd, revert);
  }
  int EnableMenuItem(os::Hmenu menu, std::uint32_t idEnableItem, std::uint32_t enable) override {
    return desktop.EnableMenuItem(menu, idEnableItem, enable);
  }
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) override {
    return desktop.RemoveMenu(menu, position, flags);
  }
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    return desktop.MessageBoxA(owner, text, caption, type);
  }
  std::int16_t GetAsyncKeyState(int virtualKey) override {
    return desktop.GetAsyncKeyState(virtualKey);
  }
  bool GetOpenFileNameA(os::Hwnd, const os::OpenFileRequest& request,
                        std::string* fileName) override {
    return desktop.GetOpenFileNameA(request, fileName);
  }
  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) override {
    return desktop.PeekMessageA(msg, removeMsg);
  }
  int GetMessageA(os::Msg* msg) override { return desktop.GetMessageA(msg); }
  std::intptr_t DispatchMessageA(const os::Msg& msg) override {
    return desktop.DispatchMessageA(msg);
  }
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    return desktop.PostMessageA(hwnd, msg, wParam, lParam);
  }
  void PostQuitMessage(int exitCode) override { desktop.PostQuitMessage(exitCode); }
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) override {
    return desktop.SetTimer(hwnd, id, elapse);
  }
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id) override { return desktop.KillTimer(hwnd, id); }
  int CompareStringA(const std::string& a, const std::string& b) override {
    return system.CompareStringA(a, b);
  }
  std::uint32_t GetTickCount() override { return processes.GetTickCount(); }
  bool QueryPerformanceCounter(std::int64_t* count) override {
    return processes.QueryPerformanceCounter(count);
  }
  bool QueryPerformanceFrequency(std::int64_t* frequency) override {
    return processes.QueryPerformanceFrequency(frequency);
  }
  void Sleep(std::uint32_t milliseconds) override { processes.Sleep(milliseconds); }
  bool GetVersionExA(os::OsVersionInfoA* info) override { return system.GetVersionExA(info); }
  bool VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                          std::uint64_t conditionMask) override {
    return system.VerifyVersionInfoA(info, typeMask, conditionMask);
  }
  int GetSystemMetrics(int index) override { return system.GetSystemMetrics(index); }
  os::Hmodule LoadLibraryA(const std::string& fileName) override {
    return system.LoadLibraryA(fileName);
  }
  os::Hmodule GetModuleHandleA(const std::string& moduleName) override {
    return system.GetModuleHandleA(moduleName);
  }
  os::FarProc GetProcAddress(os::Hmodule module, const std::string& procName) override {
    return system.GetProcAddress(module, procName);
  }
  bool FreeLibrary(os::Hmodule module) override { return system.FreeLibrary(module); }
  bool IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64Process) override {
    return system.IsWow64Process(proc, process, wow64Process);
  }
  std::int32_t RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) override {
    return system.RtlGetVersion(proc, info);
  }
  bool AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                std::uint8_t subAuthorityCount,
                                const std::array<std::uint32_t, 8>& subAuthority,
                                os::Psid* sid) override {
    return system.AllocateAndInitializeSid(proc, authority, subAuthorityCount, subAuthority, sid);
  }
  bool CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                            bool* isMember) override {
    return system.CheckTokenMembership(proc, token, sid, isMember);
  }
  os::Psid FreeSid(os::FarProc proc, os::Psid sid) override { return system.FreeSid(proc, sid); }
  os::Handle GetCurrentProcess() override { return system.GetCurrentProcess(); }
  bool OpenProcessToken(os::Handle process, std::uint32_t desiredAccess,
                        os::Handle* token) override {
    return system.OpenProcessToken(process, desiredAccess, token);
  }
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             os::Luid* luid) override {
    return system.LookupPrivilegeValueA(systemName, name, luid);
  }
  bool AdjustTokenPrivileges(os::Handle token, bool disableAllPrivileges,
                             const std::vector<os::LuidAndAttributes>& newState) override {
    return system.AdjustTokenPrivileges(token, disableAllPrivileges, newState);
  }
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override {
    return system.ExitWindowsEx(flags, reason);
  }
  std::int32_t RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                             std::uint32_t samDesired, os::Hkey* result) override {
    return system.RegOpenKeyExA(key, subKey, options, samDesired, result);
  }
  std::int32_t RegCreateKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, os::Hkey* result,
                               std::uint32_t* disposition) override {
    return system.RegCreateKeyExA(key, subKey, options, samDesired, result, disposition);
  }
  std::int32_t RegQueryValueExA(os::Hkey key, const std::string& valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* cbData) override {
    return system.RegQueryValueExA(key, valueName, type, data, cbData);
  }
  std::int32_t RegSetValueExA(os::Hkey key, const std::string& valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t cbData) override {
    return system.RegSetValueExA(key, valueName, type, data, cbData);
  }
  std::int32_t RegCloseKey(os::Hkey key) override { return system.RegCloseKey(key); }
  os::ScHandle OpenSCManagerA(const std::string& machineName, const std::string& databaseName,
                              std::uint32_t desiredAccess) override {
    return system.OpenSCManagerA(machineName, databaseName, desiredAccess);
  }
  os::ScHandle OpenServiceA(os::ScHandle manager, const std::string& serviceName,
                            std::uint32_t desiredAccess) override {
    return system.OpenServiceA(manager, serviceName, desiredAccess);
  }
  bool QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) override {
    return system.QueryServiceStatus(service, status);
  }
  bool StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments) override {
    return system.StartServiceA(service, arguments);
  }
  bool CloseServiceHandle(os::ScHandle handle) override {
    return system.CloseServiceHandle(handle);
  }
  std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                            std::uint32_t milliseconds, std::uint32_t wakeMask,
                                            std::uint32_t flags) override {
    return desktop.MsgWaitForMultipleObjectsEx(handles, milliseconds, wakeMask, flags);
  }
  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t shareMode, std::uint32_t creationDisposition,
                         std::uint32_t flagsAndAttributes) override {
    // "\\.\" names a device; anything else is a file.
    if (IsDevicePath(fileName))
      return storage.CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                                 flagsAndAttributes);
    return files.CreateFileA(fileName, desiredAccess, creationDisposition);
  }
  bool DeviceIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                       std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                       std::uint32_t* bytesReturned) override {
    return storage.DeviceIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer,
                                   outBufferSize, bytesReturned);
  }
  os::Hdevinfo SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                    const std::string& enumerator, os::Hwnd parent,
                                    std::uint32_t flags) override {
    return enumeration.SetupDiGetClassDevsA(fn, classGuid, enumerator, parent, flags);
  }
  bool SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set, std::uint32_t memberIndex,
                             void* deviceInfoData) override {
    return enumeration.SetupDiEnumDeviceInfo(fn, set, memberIndex, deviceInfoData);
  }
  bool SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   const os::Guid& interfaceClassGuid, std::uint32_t memberIndex,
                                   void* deviceInterfaceData) override {
    return enumeration.SetupDiEnumDeviceInterfaces(fn, set, deviceInfoData, interfaceClassGuid,
                                                   memberIndex, deviceInterfaceData);
  }
  bool SetupDiGetDeviceInterfaceDetailA(os::FarProc fn, os::Hdevinfo set,
                                        const void* deviceInterfaceData, void* detailData,
                                        std::uint32_t detailDataSize, std::uint32_t* requiredSize,
                                        void* deviceInfoData) override {
    return enumeration.SetupDiGetDeviceInterfaceDetailA(
        fn, set, deviceInterfaceData, detailData, detailDataSize, requiredSize, deviceInfoData);
  }
  bool SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set) override {
    return enumeration.SetupDiDestroyDeviceInfoList(fn, set);
  }
  bool SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                         const void* deviceInfoData, std::uint32_t property,
                                         std::uint32_t* propertyRegDataType, void* buffer,
                                         std::uint32_t bufferSize,
                                         std::uint32_t* requiredSize) override {
    return enumeration.SetupDiGetDeviceRegistryPropertyA(
        fn, set, deviceInfoData, property, propertyRegDataType, buffer, bufferSize, requiredSize);
  }
  bool SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   char* deviceInstanceId, std::uint32_t size,
                                   std::uint32_t* requiredSize) override {
    return enumeration.SetupDiGetDeviceInstanceIdA(fn, set, deviceInfoData, deviceInstanceId, size,
                                                   requiredSize);
  }
  bool SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                     const void* classInstallParams,
                                     std::uint32_t classInstallParamsSize) override {
    return enumeration.SetupDiSetClassInstallParamsA(fn, set, deviceInfoData, classInstallParams,
                                                     classInstallParamsSize);
  }
  bool SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction, os::Hdevinfo set,
                                 const void* deviceInfoData) override {
    return enumeration.SetupDiCallClassInstaller(fn, installFunction, set, deviceInfoData);
  }
  os::Hkey SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t keyType,
                                std::uint32_t samDesired) override {
    return enumeration.SetupDiOpenDevRegKey(fn, set, deviceInfoData, scope, hwProfile, keyType,
                                            samDesired);
  }
  os::ConfigRet CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                  std::uint32_t bufferLen, std::uint32_t flags) override {
    return enumeration.CM_Get_Device_IDA(fn, devInst, buffer, bufferLen, flags);
  }
  os::ConfigRet CM_Get_Parent(os::FarProc fn, os::DevInst* parent, os::DevInst devInst,
                              std::uint32_t flags) override {
    return enumeration.CM_Get_Parent(fn, parent, devInst, flags);
  }
  os::ConfigRet CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                   const std::string& deviceId, std::uint32_t flags) override {
    return enumeration.CM_Locate_DevNodeA(fn, devInst, deviceId, flags);
  }
  os::ConfigRet CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                  std::uint32_t property,
                                                  std::uint32_t* regDataType, void* buffer,
                                                  std::uint32_t* length,
                                                  std::uint32_t flags) override {
    return enumeration.CM_Get_DevNode_Registry_PropertyA(fn, devInst, property, regDataType, buffer,
                                                         length, flags);
  }
  os::ConfigRet CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst,
                                       std::uint32_t flags) override {
    return enumeration.CM_Reenumerate_DevNode(fn, devInst, flags);
  }
  os::HResult CountWmiQueryObjects(const std::string& nameSpace, const std::string& query,
                                   std::uint32_t* count) override {
    return enumeration.CountWmiQueryObjects(nameSpace, query, count);
  }
};

}  // namespace sim
