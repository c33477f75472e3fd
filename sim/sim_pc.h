// A simulated Windows PC: the seam answered from a model of the machine, so that the whole
// program runs here unchanged. Time is virtual: the clock moves only while the program waits,
// so every run is deterministic and a long wait costs nothing.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/sim_device_tree.h"
#include "sim/sim_files.h"
#include "sim/sim_scsi_port.h"
#include "sim/sim_system.h"

namespace sim {

struct MessageBoxRecord {
  os::Hwnd owner;
  std::string text;
  std::string caption;
  std::uint32_t type;
  int answer;
  bool scripted;  // false: nobody had said what to answer, the default button was taken
};

struct SimWindow {
  std::string className;
  std::string text;
  std::uint32_t style = 0;
  bool visible = false;
  bool iconic = false;
  bool foreign = false;  // belongs to another process
  os::WindowProc proc;
  std::set<std::uint32_t> grayedMenuItems;  // system menu, by command
  int systemMenuRemovals = 0;
};

class SimPc : public os::Os {
 public:
  SimPc();

  // The machine's setting.
  std::string commandLine = "\"C:\\Program Files\\Travok\\travok.exe\"";
  std::string moduleFileName = "C:\\Program Files\\Travok\\travok.exe";
  std::optional<std::array<std::uint16_t, 4>> fileVersion =
      std::array<std::uint16_t, 4>{3, 1, 21, 20};

  // Another process: a named mutex it holds and its top-level window.
  void AddForeignMutex(const std::string& name);
  os::Hwnd AddForeignWindow(const std::string& className, const std::string& title, bool iconic);

  // The answers the user gives to the next message boxes, in order.
  void ScriptAnswer(int button) { m_Answers.push_back(button); }

  // What happened.
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return m_MessageBoxes; }
  const std::vector<std::string>& Journal() const { return m_Journal; }
  const SimWindow* Window(os::Hwnd hwnd) const;
  // The last window of a class the program created, as it was when destroyed if it is gone.
  const SimWindow* LastWindowOfClass(const std::string& className) const;
  os::Hwnd ForegroundWindow() const { return m_Foreground; }
  os::Hwnd TopWindow() const { return m_Top; }
  bool MutexExists(const std::string& name) const { return m_Mutexes.count(name) != 0; }
  // The message loop asked for a message when none could ever come: no message was queued and
  // no timer was armed. A real PC would wait for the user; the simulation ends the loop.
  bool Idled() const { return m_Idled; }
  std::uint64_t NowMicroseconds() const { return m_NowUs; }
  // The version resource that GetFileVersionInfoA returns for the executable.
  static std::vector<std::uint8_t> BuildVersionResource(const std::array<std::uint16_t, 4>& v);

  // The seam.
  std::uint32_t GetLastError() override { return m_LastError; }
  void SetLastError(std::uint32_t error) override { m_LastError = error; }
  std::string GetCommandLineA() override { return commandLine; }
  std::string GetModuleFileNameA() override { return moduleFileName; }
  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) override;
  SimFileSystem files;  // sim_files.cpp
  std::uint32_t GetFileAttributesA(const std::string& fileName) override;

  os::Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                        const std::string& name) override;
  os::Handle CreateMutexA(bool initialOwner, const std::string& name) override;
  bool CloseHandle(os::Handle handle) override;
  os::Handle CreateThread(os::ThreadRoutine routine) override;
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t milliseconds) override;
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) override;

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
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName) override;
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert) override;
  int EnableMenuItem(os::Hmenu menu, std::uint32_t idEnableItem, std::uint32_t enable) override;
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) override;
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override;

  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) override;
  int GetMessageA(os::Msg* msg) override;
  bool TranslateMessage(const os::Msg&) override { return false; }
  std::intptr_t DispatchMessageA(const os::Msg& msg) override;
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override;
  void PostQuitMessage(int exitCode) override;
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) override;
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id) override;

  int CompareStringA(const std::string& a, const std::string& b) override;

  std::uint32_t GetTickCount() override { return std::uint32_t(m_NowUs / 1000); }
  bool QueryPerformanceCounter(std::int64_t* count) override;
  bool QueryPerformanceFrequency(std::int64_t* frequency) override;
  void Sleep(std::uint32_t milliseconds) override;

  static constexpr std::int64_t kPerformanceFrequency = 10'000'000;

  // ---- Operating-system facts, privileges, registry, services and waits: sim_system.cpp ----
  SimSystem system;  // the Windows this PC runs, its registry, token and services

  bool GetVersionExA(os::OsVersionInfoA* info) override;
  bool VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                          std::uint64_t conditionMask) override;
  int GetSystemMetrics(int index) override;
  os::Hmodule LoadLibraryA(const std::string& fileName) override;
  os::Hmodule GetModuleHandleA(const std::string& moduleName) override;
  os::FarProc GetProcAddress(os::Hmodule module, const std::string& procName) override;
  bool FreeLibrary(os::Hmodule module) override;
  bool IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64Process) override;
  std::int32_t RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) override;
  bool AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                std::uint8_t subAuthorityCount,
                                const std::array<std::uint32_t, 8>& subAuthority,
                                os::Psid* sid) override;
  bool CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                            bool* isMember) override;
  os::Psid FreeSid(os::FarProc proc, os::Psid sid) override;
  os::Handle GetCurrentProcess() override;
  bool OpenProcessToken(os::Handle process, std::uint32_t desiredAccess,
                        os::Handle* token) override;
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             os::Luid* luid) override;
  bool AdjustTokenPrivileges(os::Handle token, bool disableAllPrivileges,
                             const std::vector<os::LuidAndAttributes>& newState) override;
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
  std::int32_t RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                             std::uint32_t samDesired, os::Hkey* result) override;
  std::int32_t RegCreateKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, os::Hkey* result,
                               std::uint32_t* disposition) override;
  std::int32_t RegQueryValueExA(os::Hkey key, const std::string& valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* cbData) override;
  std::int32_t RegSetValueExA(os::Hkey key, const std::string& valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t cbData) override;
  std::int32_t RegCloseKey(os::Hkey key) override;
  os::ScHandle OpenSCManagerA(const std::string& machineName, const std::string& databaseName,
                              std::uint32_t desiredAccess) override;
  os::ScHandle OpenServiceA(os::ScHandle manager, const std::string& serviceName,
                            std::uint32_t desiredAccess) override;
  bool QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) override;
  bool StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments) override;
  bool CloseServiceHandle(os::ScHandle handle) override;
  // Input is there, or comes when the next timer is due: the virtual clock moves to the
  // earlier of that time and the time-out, so a wait costs no real time and a timer fires at
  // its exact virtual time.
  std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                            std::uint32_t milliseconds, std::uint32_t wakeMask,
                                            std::uint32_t flags) override;
  // Closes a token handle; false when the handle is not one.
  bool CloseSystemHandle(os::Handle handle);
  // ---- end of operating-system facts ----

  // ---- Devices: files, driver requests, SetupAPI, configuration manager, WMI ----
  // sim_device_seam.cpp; machine descriptions fill the tree (sim/machine_toml.h).
  SimDeviceTree devices;
  // Every DeviceIoControl the program made, with the sizes it gave, whatever the handle.
  struct IoRequest {
    std::uint32_t ioControlCode;
    std::uint32_t inSize;
    std::uint32_t outSize;
  };
  std::vector<IoRequest> ioRequests;

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
  // Setupapi.dll and cfgmgr32.dll with every export, and Winmgmt running: a healthy PC.
  void InstallDeviceDefaults();
  // Closes an opened disk; false when the handle is not one.
  bool CloseDeviceHandle(os::Handle handle);
  // ---- end of devices ----

  // ---- Storage drivers: pass-through requests and SCSI ports; sim_storage_drivers.cpp ----
  std::map<int, SimScsiPort> scsiPorts;  // "\\.\SCSI<n>:" by n
  os::Handle OpenScsiPort(int number);
  bool ScsiPortIoControl(os::Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                         std::uint32_t inBufferSize, void* outBuffer, std::uint32_t outBufferSize,
                         std::uint32_t* bytesReturned);
  bool CloseScsiPortHandle(os::Handle handle);
  // Journals a driver's answer, moves the clock by the time it took and sets the last error.
  bool CompleteDriverRequest(const SimIoOutcome& outcome, std::uint32_t* bytesReturned);
  // ---- end of storage drivers ----

 private:
  struct Timer {
    std::uint64_t intervalUs;
    std::uint64_t dueUs;
  };
  struct ThreadRecord {
    std::uint32_t exitCode;
  };

  SimWindow* Find(os::Hwnd hwnd);
  bool TakeDueTimer(os::Msg* msg, bool remove);
  void Log(std::string entry) { m_Journal.push_back(std::move(entry)); }
  os::Handle NewHandle() { return m_NextHandle++; }

  std::uint32_t m_LastError = 0;
  std::uint64_t m_NowUs = 0;
  std::map<os::Hwnd, SimWindow> m_Windows;
  std::vector<SimWindow> m_DestroyedWindows;
  os::Hwnd m_NextHwnd = 0x10010;
  os::Hwnd m_Foreground = 0, m_Top = 0;
  std::map<std::string, int> m_Mutexes;  // name -> open handles (foreign ones count one)
  std::map<os::Handle, std::string> m_MutexHandles;
  std::map<os::Handle, ThreadRecord> m_Threads;
  os::Handle m_NextHandle = 0x100;
  std::deque<os::Msg> m_Queue;
  bool m_QuitPosted = false;
  int m_QuitCode = 0;
  std::map<std::pair<os::Hwnd, std::uintptr_t>, Timer> m_Timers;
  std::deque<int> m_Answers;
  std::vector<MessageBoxRecord> m_MessageBoxes;
  std::vector<std::string> m_Journal;
  bool m_Idled = false;
  std::map<os::Handle, int> m_ScsiPortHandles;  // opened SCSI ports
};

}  // namespace sim
