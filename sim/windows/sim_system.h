// The operating system of the simulated PC: which Windows it is, the exports a program can look
// up, the registry under HKEY_LOCAL_MACHINE, the process token and the service manager, and its
// answers to the version, lookup, token, registry and service calls of the seam.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/kernel/sim_kernel.h"
#include "sim/windows/sim_registry.h"

namespace sim {

// A Windows release as RtlGetVersion tells it; GetVersionExA and VerifyVersionInfoA may be
// told otherwise by the compatibility layer.
struct SimWindowsVersion {
  std::uint32_t platformId = os::kVER_PLATFORM_WIN32_NT;
  std::uint32_t major = 10;
  std::uint32_t minor = 0;
  std::uint32_t build = 19045;
  std::string csdVersion;
  std::uint16_t servicePackMajor = 0;
  std::uint16_t servicePackMinor = 0;
  std::uint16_t suiteMask = os::kVER_SUITE_SINGLEUSERTS;
  std::uint8_t productType = os::kVER_NT_WORKSTATION;
};

// What VerifyVersionInfoA makes of a request.
enum class VersionProbing {
  // Windows 9x and NT 4 and older have no VerifyVersionInfoA: ERROR_CALL_NOT_IMPLEMENTED.
  kUnavailable,
  // Windows 2000 and later: the suite mask takes only VER_AND and VER_OR, anything else fails
  // with ERROR_BAD_ARGUMENTS, so a field-by-field probe never learns the suite mask.
  kWindows,
  // A system that also compares the suite mask as a number, so that such a probe completes.
  kEveryField,
};

struct SimService {
  std::uint32_t state = os::kSERVICE_STOPPED;
  // Once started: the status queries that answer START_PENDING before it runs; -1, never runs.
  int queriesUntilRunning = 0;
  std::uint32_t startError = 0;  // StartServiceA fails with this Windows error
  // What happened.
  int starts = 0;
  int pendingQueriesLeft = 0;
};

class SimSystem {
 public:
  // Windows 10 22H2 Pro, 64-bit, with the 32-bit program under WOW64 and an administrator.
  explicit SimSystem(SimKernel& kernel);

  // Makes the machine this Windows: its version facts, the exports it has, its product
  // options, and the compatibility layer that 8.1 and later apply to the program, whose
  // manifest declares no newer system.
  void Become(const SimWindowsVersion& windows);

  SimWindowsVersion version;
  // GetVersionExA and VerifyVersionInfoA report 6.2.9200; RtlGetVersion tells the truth.
  bool compatibilityLayer = true;
  VersionProbing probing = VersionProbing::kWindows;
  int serverR2 = 0;  // GetSystemMetrics(SM_SERVERR2)
  bool wow64 = true;
  bool administrator = true;      // the token is a member of BUILTIN\Administrators
  bool shutdownPrivilege = true;  // the token holds SeShutdownPrivilege, disabled until asked
  bool performanceCounter = true;
  // Lower-case module file name -> the exports GetProcAddress finds in it.
  std::map<std::string, std::set<std::string>> exports;
  void RemoveExport(const std::string& module, const std::string& name);
  SimRegistry registry;
  SimService& AddService(const std::string& name, std::uint32_t state);
  SimService* Service(const std::string& name);

  // What happened.
  const std::vector<std::uint32_t>& Restarts() const { return m_Restarts; }  // ExitWindowsEx flags
  bool ShutdownPrivilegeEnabled() const { return m_ShutdownEnabled; }
  int LoadedLibraryCount(const std::string& module) const;  // LoadLibraryA not yet freed
  std::size_t OpenRegistryKeys() const { return m_Keys.size(); }
  std::size_t OpenServiceHandles() const { return m_ScHandles.size(); }
  std::size_t OpenTokens() const { return m_Tokens.size(); }
  std::size_t AllocatedSids() const { return m_Sids.size(); }

  bool IsNt() const { return version.platformId == os::kVER_PLATFORM_WIN32_NT; }
  // The version the program is told by GetVersionExA and VerifyVersionInfoA.
  SimWindowsVersion Reported() const;
  static std::string ModuleName(const std::string& fileName);  // lower case, ".dll" added

  // The seam.
  bool GetVersionExA(os::OsVersionInfoA* info);
  bool VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                          std::uint64_t conditionMask);
  int GetSystemMetrics(int index) { return index == os::kSM_SERVERR2 ? serverR2 : 0; }
  int CompareStringA(const std::string& a, const std::string& b);
  os::Hmodule LoadLibraryA(const std::string& fileName);
  os::Hmodule GetModuleHandleA(const std::string& moduleName);
  os::FarProc GetProcAddress(os::Hmodule module, const std::string& procName);
  bool FreeLibrary(os::Hmodule module);
  bool IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64Process);
  std::int32_t RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info);
  bool AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                std::uint8_t subAuthorityCount,
                                const std::array<std::uint32_t, 8>& subAuthority, os::Psid* sid);
  bool CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid, bool* isMember);
  os::Psid FreeSid(os::FarProc proc, os::Psid sid);
  os::Handle GetCurrentProcess();
  bool OpenProcessToken(os::Handle process, std::uint32_t desiredAccess, os::Handle* token);
  bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                             os::Luid* luid);
  bool AdjustTokenPrivileges(os::Handle token, bool disableAllPrivileges,
                             const std::vector<os::LuidAndAttributes>& newState);
  bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason);
  // Closes a token handle; false when the handle is not one.
  bool CloseToken(os::Handle handle);
  std::int32_t RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                             std::uint32_t samDesired, os::Hkey* result);
  std::int32_t RegCreateKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t options,
                               std::uint32_t samDesired, os::Hkey* result,
                               std::uint32_t* disposition);
  std::int32_t RegQueryValueExA(os::Hkey key, const std::string& valueName, std::uint32_t* type,
                                std::uint8_t* data, std::uint32_t* cbData);
  std::int32_t RegSetValueExA(os::Hkey key, const std::string& valueName, std::uint32_t type,
                              const std::uint8_t* data, std::uint32_t cbData);
  std::int32_t RegCloseKey(os::Hkey key);
  // A handle on a key that exists, as the device registry calls hand out.
  os::Hkey OpenKeyHandle(const std::string& path, std::uint32_t samDesired);
  os::ScHandle OpenSCManagerA(const std::string& machineName, const std::string& databaseName,
                              std::uint32_t desiredAccess);
  os::ScHandle OpenServiceA(os::ScHandle manager, const std::string& serviceName,
                            std::uint32_t desiredAccess);
  bool QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status);
  bool StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments);
  bool CloseServiceHandle(os::ScHandle handle);

 private:
  std::uint32_t KeyPath(os::Hkey key, const std::string& subKey, std::string* path) const;
  SimKernel& m_Kernel;

  struct KeyHandle {
    std::string path;
    std::uint32_t access;
  };
  struct ScHandleRecord {
    std::string service;  // empty for the manager
    std::uint32_t access;
  };
  struct Sid {
    os::SidIdentifierAuthority authority;
    std::vector<std::uint32_t> subAuthorities;
  };

  std::map<std::string, SimService> m_Services;  // by upper-case name
  std::vector<std::uint32_t> m_Restarts;
  bool m_ShutdownEnabled = false;
  std::map<std::string, int> m_LoadCounts;
  std::map<os::Hkey, KeyHandle> m_Keys;
  std::map<os::ScHandle, ScHandleRecord> m_ScHandles;
  std::map<os::Handle, std::uint32_t> m_Tokens;  // handle -> granted access
  std::map<os::Psid, Sid> m_Sids;
  std::vector<std::string> m_ProcNames;  // "module!name"; an address is 0x7F000000 + index
};

}  // namespace sim
