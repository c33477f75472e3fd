// The Windows of the simulated PC: its version facts, run-time lookups, token and privileges,
// and its service manager.
#include "sim/windows/sim_system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "framework/conversions.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr os::Handle kCurrentProcess = ~os::Handle(0);  // the pseudo handle, (HANDLE)-1
constexpr os::FarProc kFirstProc = 0x7F000000;
constexpr os::Hmodule kFirstModule = 0x77000000;  // then one 64 KiB step per module
constexpr os::Luid kShutdownLuid = {19, 0};       // SE_SHUTDOWN_PRIVILEGE

bool Compare(std::uint32_t current, std::uint32_t wanted, std::uint8_t condition) {
  switch (condition) {
    case os::kVER_EQUAL:
      return current == wanted;
    case os::kVER_GREATER:
      return current > wanted;
    case os::kVER_GREATER_EQUAL:
      return current >= wanted;
    case os::kVER_LESS:
      return current < wanted;
    case os::kVER_LESS_EQUAL:
      return current <= wanted;
    default:
      return false;
  }
}

std::uint8_t ConditionOf(std::uint64_t mask, std::uint32_t typeBit) {
  int field = 0;
  while ((1u << field) != typeBit) ++field;
  return std::uint8_t((mask >> (3 * field)) & 7);
}

}  // namespace

// ---- SimSystem ----

SimSystem::SimSystem(SimKernel& kernel) : m_Kernel(kernel) {
  Become(SimWindowsVersion{});
  AddService("Winmgmt", os::kSERVICE_RUNNING);
  // Every Windows has the session manager's boot-time list, with the disk check in it.
  const std::string bootExecute = std::string("autocheck autochk *") + '\0' + '\0';
  registry.SetValue(
      "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "BootExecute",
      {os::kREG_MULTI_SZ, std::vector<std::uint8_t>(bootExecute.begin(), bootExecute.end())});
}

void SimSystem::Become(const SimWindowsVersion& windows) {
  version = windows;
  const bool nt = IsNt();
  const auto at = [&](std::uint32_t major, std::uint32_t minor) {
    return nt && (version.major > major || (version.major == major && version.minor >= minor));
  };
  compatibilityLayer = at(6, 3);
  probing = at(5, 0) ? VersionProbing::kWindows : VersionProbing::kUnavailable;
  // Only the version-dependent modules change; SetupAPI and the configuration manager stay.
  for (const char* module : {"kernel32.dll", "advapi32.dll", "ntdll.dll"}) exports[module].clear();
  // IsWow64Process came with XP SP2 and Server 2003 SP1 (XP x64 is one of the latter).
  const bool xpSp2 = version.major == 5 && version.minor == 1 && version.servicePackMajor >= 2;
  const bool s2003Sp1 =
      version.major == 5 && version.minor == 2 &&
      (version.servicePackMajor >= 1 || version.productType == os::kVER_NT_WORKSTATION);
  if (at(6, 0) || (nt && (xpSp2 || s2003Sp1))) exports["kernel32.dll"].insert("IsWow64Process");
  if (nt) exports["advapi32.dll"] = {"AllocateAndInitializeSid", "FreeSid"};
  if (at(5, 0)) {
    exports["advapi32.dll"].insert("CheckTokenMembership");
    exports["ntdll.dll"].insert("RtlGetVersion");
  }
  registry.RemoveKey(kProductOptions);
  if (nt) {
    const char* type = version.productType == os::kVER_NT_WORKSTATION ? "WinNT"
                       : version.productType == os::kVER_NT_SERVER    ? "ServerNT"
                                                                      : "LanmanNT";
    registry.SetString(kProductOptions, "ProductType", type);
  }
}

SimWindowsVersion SimSystem::Reported() const {
  SimWindowsVersion told = version;
  const bool newer = version.major > 6 || (version.major == 6 && version.minor > 2);
  if (compatibilityLayer && IsNt() && newer) {
    told.major = 6;
    told.minor = 2;
    told.build = 9200;
    told.csdVersion.clear();
    told.servicePackMajor = told.servicePackMinor = 0;
  }
  return told;
}

std::string SimSystem::ModuleName(const std::string& fileName) {
  std::string name = fileName;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  const auto slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  if (name.find('.') == std::string::npos) name += ".dll";
  return name;
}

void SimSystem::RemoveExport(const std::string& module, const std::string& name) {
  exports[ModuleName(module)].erase(name);
}

SimService& SimSystem::AddService(const std::string& name, std::uint32_t state) {
  SimService& service = m_Services[fw::UpperCase(name)];
  service = SimService{};
  service.state = state;
  return service;
}

SimService* SimSystem::Service(const std::string& name) {
  auto it = m_Services.find(fw::UpperCase(name));
  return it == m_Services.end() ? nullptr : &it->second;
}

int SimSystem::LoadedLibraryCount(const std::string& module) const {
  auto it = m_LoadCounts.find(ModuleName(module));
  return it == m_LoadCounts.end() ? 0 : it->second;
}

// ---- Version ----

bool SimSystem::GetVersionExA(os::OsVersionInfoA* info) {
  const SimWindowsVersion v = Reported();
  *info = {v.major, v.minor, v.build, v.platformId, v.csdVersion.substr(0, 127)};
  return true;
}

bool SimSystem::VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                                   std::uint64_t conditionMask) {
  if (probing == VersionProbing::kUnavailable) {
    m_Kernel.SetLastError(os::kERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  const SimWindowsVersion v = Reported();
  if (!typeMask) {
    m_Kernel.SetLastError(os::kERROR_BAD_ARGUMENTS);
    return false;
  }
  for (std::uint32_t bit = 1; bit <= os::kVER_PRODUCT_TYPE; bit <<= 1)
    if ((typeMask & bit) && !ConditionOf(conditionMask, bit)) {
      m_Kernel.SetLastError(os::kERROR_BAD_ARGUMENTS);
      return false;
    }
  bool met = true;
  const auto scalar = [&](std::uint32_t bit, std::uint32_t current, std::uint32_t wanted) {
    if (typeMask & bit) met = met && Compare(current, wanted, ConditionOf(conditionMask, bit));
  };
  scalar(os::kVER_PLATFORMID, v.platformId, info.dwPlatformId);
  scalar(os::kVER_BUILDNUMBER, v.build, info.dwBuildNumber);
  scalar(os::kVER_PRODUCT_TYPE, v.productType, info.wProductType);
  if (typeMask & os::kVER_SUITENAME) {
    const std::uint8_t condition = ConditionOf(conditionMask, os::kVER_SUITENAME);
    if (condition == os::kVER_AND) {
      met = met && (v.suiteMask & info.wSuiteMask) == info.wSuiteMask;
    } else if (condition == os::kVER_OR) {
      met = met && (!info.wSuiteMask || (v.suiteMask & info.wSuiteMask));
    } else if (probing == VersionProbing::kEveryField) {
      met = met && Compare(v.suiteMask, info.wSuiteMask, condition);
    } else {
      m_Kernel.SetLastError(os::kERROR_BAD_ARGUMENTS);
      return false;
    }
  }
  // Major, minor and service-pack numbers are one version: a later field is only looked at
  // while the earlier ones are equal.
  const std::uint32_t bits[] = {os::kVER_MAJORVERSION, os::kVER_MINORVERSION,
                                os::kVER_SERVICEPACKMAJOR, os::kVER_SERVICEPACKMINOR};
  const std::uint32_t current[] = {v.major, v.minor, v.servicePackMajor, v.servicePackMinor};
  const std::uint32_t wanted[] = {info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor,
                                  info.wServicePackMinor};
  for (int i = 0; i < 4; ++i) {
    if (!(typeMask & bits[i])) continue;
    met = met && Compare(current[i], wanted[i], ConditionOf(conditionMask, bits[i]));
    if (current[i] != wanted[i]) break;
  }
  if (!met) m_Kernel.SetLastError(os::kERROR_OLD_WIN_VERSION);
  return met;
}

// The simulated user locale sorts model numbers, which are plain ASCII, by their bytes; it
// tells letter case apart as the real comparison without flags does.
int SimSystem::CompareStringA(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return c < 0 ? os::kCSTR_LESS_THAN : c == 0 ? os::kCSTR_EQUAL : os::kCSTR_GREATER_THAN;
}

// ---- Run-time lookups ----

os::Hmodule SimSystem::LoadLibraryA(const std::string& fileName) {
  m_Kernel.Log("LoadLibraryA " + Quoted(fileName));
  const std::string name = SimSystem::ModuleName(fileName);
  if (!exports.count(name)) {
    m_Kernel.SetLastError(os::kERROR_MOD_NOT_FOUND);
    return 0;
  }
  ++m_LoadCounts[name];
  return GetModuleHandleA(name);
}

os::Hmodule SimSystem::GetModuleHandleA(const std::string& moduleName) {
  const std::string name = SimSystem::ModuleName(moduleName);
  auto it = exports.find(name);
  if (it == exports.end()) {
    m_Kernel.SetLastError(os::kERROR_MOD_NOT_FOUND);
    return 0;
  }
  return kFirstModule + 0x10000 * os::Hmodule(std::distance(exports.begin(), it));
}

namespace {
const std::string* ModuleOf(const std::map<std::string, std::set<std::string>>& exports,
                            os::Hmodule module) {
  if (module < kFirstModule || (module - kFirstModule) % 0x10000) return nullptr;
  const auto index = std::size_t((module - kFirstModule) / 0x10000);
  if (index >= exports.size()) return nullptr;
  return &std::next(exports.begin(), std::ptrdiff_t(index))->first;
}
}  // namespace

os::FarProc SimSystem::GetProcAddress(os::Hmodule module, const std::string& procName) {
  const std::string* name = ModuleOf(exports, module);
  if (!name) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return 0;
  }
  if (!exports.at(*name).count(procName)) {
    m_Kernel.SetLastError(os::kERROR_PROC_NOT_FOUND);
    return 0;
  }
  const std::string full = *name + "!" + procName;
  auto& procs = m_ProcNames;
  auto it = std::find(procs.begin(), procs.end(), full);
  if (it == procs.end()) it = procs.insert(procs.end(), full);
  return kFirstProc + os::FarProc(it - procs.begin());
}

bool SimSystem::FreeLibrary(os::Hmodule module) {
  const std::string* name = ModuleOf(exports, module);
  if (!name || m_LoadCounts[*name] == 0) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  m_Kernel.Log("FreeLibrary " + Quoted(*name));
  if (--m_LoadCounts[*name] == 0) m_LoadCounts.erase(*name);
  return true;
}

namespace {
// A call through an address is only sound when GetProcAddress returned it for that export.
bool CalledThrough(const std::vector<std::string>& procs, os::FarProc proc,
                   const std::string& full) {
  return proc >= kFirstProc && proc - kFirstProc < procs.size() && procs[proc - kFirstProc] == full;
}
}  // namespace

bool SimSystem::IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64Process) {
  if (!CalledThrough(m_ProcNames, proc, "kernel32.dll!IsWow64Process") ||
      process != kCurrentProcess) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  *wow64Process = wow64;
  return true;
}

std::int32_t SimSystem::RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) {
  if (!CalledThrough(m_ProcNames, proc, "ntdll.dll!RtlGetVersion"))
    return std::int32_t(0xC0000002);  // STATUS_NOT_IMPLEMENTED
  const SimWindowsVersion& v = version;
  *info = {v.major, v.minor, v.build, v.platformId, v.csdVersion.substr(0, 127)};
  return os::kSTATUS_SUCCESS;
}

bool SimSystem::AllocateAndInitializeSid(os::FarProc proc,
                                         const os::SidIdentifierAuthority& authority,
                                         std::uint8_t subAuthorityCount,
                                         const std::array<std::uint32_t, 8>& subAuthority,
                                         os::Psid* sid) {
  if (!CalledThrough(m_ProcNames, proc, "advapi32.dll!AllocateAndInitializeSid") ||
      subAuthorityCount > 8) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    *sid = 0;
    return false;
  }
  *sid = m_Kernel.NewHandle(HandleKind::kSid);
  m_Sids[*sid] = {authority, std::vector<std::uint32_t>(subAuthority.begin(),
                                                        subAuthority.begin() + subAuthorityCount)};
  return true;
}

bool SimSystem::CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                                     bool* isMember) {
  auto it = m_Sids.find(sid);
  if (!CalledThrough(m_ProcNames, proc, "advapi32.dll!CheckTokenMembership") ||
      it == m_Sids.end() || (token && !m_Tokens.count(token))) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  const os::SidIdentifierAuthority nt = {0, 0, 0, 0, 0, os::kSECURITY_NT_AUTHORITY_VALUE};
  const std::vector<std::uint32_t> admins = {os::kSECURITY_BUILTIN_DOMAIN_RID,
                                             os::kDOMAIN_ALIAS_RID_ADMINS};
  *isMember = administrator && it->second.authority == nt && it->second.subAuthorities == admins;
  return true;
}

os::Psid SimSystem::FreeSid(os::FarProc proc, os::Psid sid) {
  if (!CalledThrough(m_ProcNames, proc, "advapi32.dll!FreeSid") || !m_Sids.erase(sid))
    return sid;  // FreeSid hands back the SID it could not free
  return 0;
}

// ---- Token, privileges and restart ----

os::Handle SimSystem::GetCurrentProcess() {
  return kCurrentProcess;
}

bool SimSystem::OpenProcessToken(os::Handle process, std::uint32_t desiredAccess,
                                 os::Handle* token) {
  *token = 0;
  if (!IsNt()) {
    m_Kernel.SetLastError(os::kERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  if (process != kCurrentProcess) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  *token = m_Kernel.NewHandle(HandleKind::kToken);
  m_Tokens[*token] = desiredAccess;
  return true;
}

bool SimSystem::LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                      os::Luid* luid) {
  if (!IsNt()) {
    m_Kernel.SetLastError(os::kERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  if (!systemName.empty() || fw::UpperCase(name) != fw::UpperCase(os::kSE_SHUTDOWN_NAME)) {
    m_Kernel.SetLastError(os::kERROR_NO_SUCH_PRIVILEGE);
    return false;
  }
  *luid = kShutdownLuid;
  return true;
}

bool SimSystem::AdjustTokenPrivileges(os::Handle token, bool disableAllPrivileges,
                                      const std::vector<os::LuidAndAttributes>& newState) {
  auto it = m_Tokens.find(token);
  if (it == m_Tokens.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  if (!(it->second & os::kTOKEN_ADJUST_PRIVILEGES)) {
    m_Kernel.SetLastError(os::kERROR_ACCESS_DENIED);
    return false;
  }
  if (disableAllPrivileges) {
    m_ShutdownEnabled = false;
    m_Kernel.SetLastError(os::kERROR_SUCCESS);
    return true;
  }
  bool allAssigned = true;
  for (const os::LuidAndAttributes& entry : newState) {
    if (entry.luid == kShutdownLuid && shutdownPrivilege)
      m_ShutdownEnabled = (entry.attributes & os::kSE_PRIVILEGE_ENABLED) != 0;
    else
      allAssigned = false;
  }
  // Windows reports success either way and tells a privilege the token lacks only here.
  m_Kernel.SetLastError(allAssigned ? os::kERROR_SUCCESS : os::kERROR_NOT_ALL_ASSIGNED);
  return true;
}

bool SimSystem::ExitWindowsEx(std::uint32_t flags, std::uint32_t) {
  if (IsNt() && !m_ShutdownEnabled) {
    m_Kernel.SetLastError(os::kERROR_PRIVILEGE_NOT_HELD);
    return false;
  }
  m_Kernel.Log("ExitWindowsEx " + HexText(flags));
  m_Restarts.push_back(flags);
  return true;
}

bool SimSystem::CloseToken(os::Handle handle) {
  return m_Tokens.erase(handle) != 0;
}

// ---- Service control manager ----

os::ScHandle SimSystem::OpenSCManagerA(const std::string& machineName, const std::string&,
                                       std::uint32_t desiredAccess) {
  if (!IsNt()) {
    m_Kernel.SetLastError(os::kERROR_CALL_NOT_IMPLEMENTED);
    return 0;
  }
  // Generic execute includes locking the database, which only administrators may do.
  if (!machineName.empty() || (!administrator && (desiredAccess & os::kGENERIC_EXECUTE))) {
    m_Kernel.SetLastError(os::kERROR_ACCESS_DENIED);
    return 0;
  }
  const os::ScHandle h = m_Kernel.NewHandle(HandleKind::kService);
  m_ScHandles[h] = {"", desiredAccess};
  return h;
}

os::ScHandle SimSystem::OpenServiceA(os::ScHandle manager, const std::string& serviceName,
                                     std::uint32_t desiredAccess) {
  auto it = m_ScHandles.find(manager);
  if (it == m_ScHandles.end() || !it->second.service.empty()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return 0;
  }
  if (!Service(serviceName)) {
    m_Kernel.SetLastError(os::kERROR_SERVICE_DOES_NOT_EXIST);
    return 0;
  }
  const os::ScHandle h = m_Kernel.NewHandle(HandleKind::kService);
  m_ScHandles[h] = {fw::UpperCase(serviceName), desiredAccess};
  return h;
}

bool SimSystem::QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) {
  auto it = m_ScHandles.find(service);
  if (it == m_ScHandles.end() || it->second.service.empty()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  if (!(it->second.access & os::kSERVICE_QUERY_STATUS)) {
    m_Kernel.SetLastError(os::kERROR_ACCESS_DENIED);
    return false;
  }
  SimService& s = *Service(it->second.service);
  if (s.state == os::kSERVICE_START_PENDING && s.queriesUntilRunning >= 0) {
    if (s.pendingQueriesLeft == 0)
      s.state = os::kSERVICE_RUNNING;
    else
      --s.pendingQueriesLeft;
  }
  *status = {};
  status->dwServiceType = os::kSERVICE_WIN32_OWN_PROCESS;
  status->dwCurrentState = s.state;
  return true;
}

bool SimSystem::StartServiceA(os::ScHandle service, const std::vector<std::string>&) {
  auto it = m_ScHandles.find(service);
  if (it == m_ScHandles.end() || it->second.service.empty()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  if (!(it->second.access & os::kSERVICE_START)) {
    m_Kernel.SetLastError(os::kERROR_ACCESS_DENIED);
    return false;
  }
  m_Kernel.Log("StartServiceA " + Quoted(it->second.service));
  SimService& s = *Service(it->second.service);
  if (s.startError) {
    m_Kernel.SetLastError(s.startError);
    return false;
  }
  if (s.state != os::kSERVICE_STOPPED) {
    m_Kernel.SetLastError(os::kERROR_SERVICE_ALREADY_RUNNING);
    return false;
  }
  ++s.starts;
  s.state = s.queriesUntilRunning == 0 ? os::kSERVICE_RUNNING : os::kSERVICE_START_PENDING;
  s.pendingQueriesLeft = std::max(s.queriesUntilRunning, 0);
  return true;
}

bool SimSystem::CloseServiceHandle(os::ScHandle handle) {
  if (m_ScHandles.erase(handle)) return true;
  m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
  return false;
}

}  // namespace sim
