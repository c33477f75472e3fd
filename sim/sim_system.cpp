// The operating system of the simulated PC, and the SimPc's answers to the version, token,
// registry, service and wait calls of the seam.
#include "sim/sim_system.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "framework/conversions.h"
#include "sim/sim_pc.h"

namespace sim {
namespace {

constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr os::Handle kCurrentProcess = ~os::Handle(0);  // the pseudo handle, (HANDLE)-1
constexpr os::FarProc kFirstProc = 0x7F000000;
constexpr os::Hmodule kFirstModule = 0x77000000;  // then one 64 KiB step per module
constexpr os::Luid kShutdownLuid = {19, 0};       // SE_SHUTDOWN_PRIVILEGE

std::string Quote(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

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

// ---- SimRegistry ----

std::string SimRegistry::Normalise(const std::string& path) {
  std::string key = fw::UpperCase(path);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

void SimRegistry::AddKey(const std::string& path) {
  std::string key = Normalise(path);
  while (!key.empty()) {
    m_Keys[key];
    const auto slash = key.find_last_of('\\');
    key = slash == std::string::npos ? "" : key.substr(0, slash);
  }
}

void SimRegistry::RemoveKey(const std::string& path) {
  const std::string key = Normalise(path);
  std::erase_if(m_Keys, [&](const auto& entry) {
    return entry.first == key || entry.first.starts_with(key + "\\");
  });
}

bool SimRegistry::HasKey(const std::string& path) const {
  const std::string key = Normalise(path);
  return key.empty() || m_Keys.count(key) != 0;
}

void SimRegistry::SetValue(const std::string& path, const std::string& name, Value value) {
  AddKey(path);
  m_Keys[Normalise(path)][fw::UpperCase(name)] = std::move(value);
}

void SimRegistry::SetString(const std::string& path, const std::string& name,
                            const std::string& text) {
  Value value{os::kREG_SZ, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  SetValue(path, name, std::move(value));
}

void SimRegistry::SetDword(const std::string& path, const std::string& name, std::uint32_t number) {
  Value value{os::kREG_DWORD, std::vector<std::uint8_t>(4)};
  for (int i = 0; i < 4; ++i) value.data[std::size_t(i)] = std::uint8_t(number >> (8 * i));
  SetValue(path, name, std::move(value));
}

void SimRegistry::RemoveValue(const std::string& path, const std::string& name) {
  if (auto it = m_Keys.find(Normalise(path)); it != m_Keys.end())
    it->second.erase(fw::UpperCase(name));
}

const SimRegistry::Value* SimRegistry::GetValue(const std::string& path,
                                                const std::string& name) const {
  auto key = m_Keys.find(Normalise(path));
  if (key == m_Keys.end()) return nullptr;
  auto value = key->second.find(fw::UpperCase(name));
  return value == key->second.end() ? nullptr : &value->second;
}

std::string SimRegistry::GetString(const std::string& path, const std::string& name) const {
  const Value* value = GetValue(path, name);
  if (!value) return "";
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// ---- SimSystem ----

SimSystem::SimSystem() {
  Become(SimWindowsVersion{});
  AddService("Winmgmt", os::kSERVICE_RUNNING);
}

void SimSystem::Become(const SimWindowsVersion& windows) {
  version = windows;
  const bool nt = IsNt();
  const auto at = [&](std::uint32_t major, std::uint32_t minor) {
    return nt && (version.major > major || (version.major == major && version.minor >= minor));
  };
  compatibilityLayer = at(6, 3);
  probing = at(5, 0) ? VersionProbing::kWindows : VersionProbing::kUnavailable;
  exports = {{"kernel32.dll", {}}, {"advapi32.dll", {}}, {"ntdll.dll", {}}};
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

bool SimPc::GetVersionExA(os::OsVersionInfoA* info) {
  const SimWindowsVersion v = system.Reported();
  *info = {v.major, v.minor, v.build, v.platformId, v.csdVersion.substr(0, 127)};
  return true;
}

bool SimPc::VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                               std::uint64_t conditionMask) {
  if (system.probing == VersionProbing::kUnavailable) {
    m_LastError = os::kERROR_CALL_NOT_IMPLEMENTED;
    return false;
  }
  const SimWindowsVersion v = system.Reported();
  if (!typeMask) {
    m_LastError = os::kERROR_BAD_ARGUMENTS;
    return false;
  }
  for (std::uint32_t bit = 1; bit <= os::kVER_PRODUCT_TYPE; bit <<= 1)
    if ((typeMask & bit) && !ConditionOf(conditionMask, bit)) {
      m_LastError = os::kERROR_BAD_ARGUMENTS;
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
    } else if (system.probing == VersionProbing::kEveryField) {
      met = met && Compare(v.suiteMask, info.wSuiteMask, condition);
    } else {
      m_LastError = os::kERROR_BAD_ARGUMENTS;
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
  if (!met) m_LastError = os::kERROR_OLD_WIN_VERSION;
  return met;
}

int SimPc::GetSystemMetrics(int index) {
  return index == os::kSM_SERVERR2 ? system.serverR2 : 0;
}

// ---- Run-time lookups ----

os::Hmodule SimPc::LoadLibraryA(const std::string& fileName) {
  Log("LoadLibraryA " + Quote(fileName));
  const std::string name = SimSystem::ModuleName(fileName);
  if (!system.exports.count(name)) {
    m_LastError = os::kERROR_MOD_NOT_FOUND;
    return 0;
  }
  ++system.m_LoadCounts[name];
  return GetModuleHandleA(name);
}

os::Hmodule SimPc::GetModuleHandleA(const std::string& moduleName) {
  const std::string name = SimSystem::ModuleName(moduleName);
  auto it = system.exports.find(name);
  if (it == system.exports.end()) {
    m_LastError = os::kERROR_MOD_NOT_FOUND;
    return 0;
  }
  return kFirstModule + 0x10000 * os::Hmodule(std::distance(system.exports.begin(), it));
}

namespace {
const std::string* ModuleOf(const SimSystem& system, os::Hmodule module) {
  if (module < kFirstModule || (module - kFirstModule) % 0x10000) return nullptr;
  const auto index = std::size_t((module - kFirstModule) / 0x10000);
  if (index >= system.exports.size()) return nullptr;
  return &std::next(system.exports.begin(), std::ptrdiff_t(index))->first;
}
}  // namespace

os::FarProc SimPc::GetProcAddress(os::Hmodule module, const std::string& procName) {
  const std::string* name = ModuleOf(system, module);
  if (!name) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return 0;
  }
  if (!system.exports.at(*name).count(procName)) {
    m_LastError = os::kERROR_PROC_NOT_FOUND;
    return 0;
  }
  const std::string full = *name + "!" + procName;
  auto& procs = system.m_ProcNames;
  auto it = std::find(procs.begin(), procs.end(), full);
  if (it == procs.end()) it = procs.insert(procs.end(), full);
  return kFirstProc + os::FarProc(it - procs.begin());
}

bool SimPc::FreeLibrary(os::Hmodule module) {
  const std::string* name = ModuleOf(system, module);
  if (!name || system.m_LoadCounts[*name] == 0) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  Log("FreeLibrary " + Quote(*name));
  if (--system.m_LoadCounts[*name] == 0) system.m_LoadCounts.erase(*name);
  return true;
}

namespace {
// A call through an address is only sound when GetProcAddress returned it for that export.
bool CalledThrough(const std::vector<std::string>& procs, os::FarProc proc,
                   const std::string& full) {
  return proc >= kFirstProc && proc - kFirstProc < procs.size() && procs[proc - kFirstProc] == full;
}
}  // namespace

bool SimPc::IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64Process) {
  if (!CalledThrough(system.m_ProcNames, proc, "kernel32.dll!IsWow64Process") ||
      process != kCurrentProcess) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  *wow64Process = system.wow64;
  return true;
}

std::int32_t SimPc::RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) {
  if (!CalledThrough(system.m_ProcNames, proc, "ntdll.dll!RtlGetVersion"))
    return std::int32_t(0xC0000002);  // STATUS_NOT_IMPLEMENTED
  const SimWindowsVersion& v = system.version;
  *info = {v.major, v.minor, v.build, v.platformId, v.csdVersion.substr(0, 127)};
  return os::kSTATUS_SUCCESS;
}

bool SimPc::AllocateAndInitializeSid(os::FarProc proc, const os::SidIdentifierAuthority& authority,
                                     std::uint8_t subAuthorityCount,
                                     const std::array<std::uint32_t, 8>& subAuthority,
                                     os::Psid* sid) {
  if (!CalledThrough(system.m_ProcNames, proc, "advapi32.dll!AllocateAndInitializeSid") ||
      subAuthorityCount > 8) {
    m_LastError = os::kERROR_INVALID_PARAMETER;
    *sid = 0;
    return false;
  }
  *sid = NewHandle();
  system.m_Sids[*sid] = {
      authority,
      std::vector<std::uint32_t>(subAuthority.begin(), subAuthority.begin() + subAuthorityCount)};
  return true;
}

bool SimPc::CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid, bool* isMember) {
  auto it = system.m_Sids.find(sid);
  if (!CalledThrough(system.m_ProcNames, proc, "advapi32.dll!CheckTokenMembership") ||
      it == system.m_Sids.end() || (token && !system.m_Tokens.count(token))) {
    m_LastError = os::kERROR_INVALID_PARAMETER;
    return false;
  }
  const os::SidIdentifierAuthority nt = {0, 0, 0, 0, 0, os::kSECURITY_NT_AUTHORITY_VALUE};
  const std::vector<std::uint32_t> admins = {os::kSECURITY_BUILTIN_DOMAIN_RID,
                                             os::kDOMAIN_ALIAS_RID_ADMINS};
  *isMember =
      system.administrator && it->second.authority == nt && it->second.subAuthorities == admins;
  return true;
}

os::Psid SimPc::FreeSid(os::FarProc proc, os::Psid sid) {
  if (!CalledThrough(system.m_ProcNames, proc, "advapi32.dll!FreeSid") || !system.m_Sids.erase(sid))
    return sid;  // FreeSid hands back the SID it could not free
  return 0;
}

// ---- Token, privileges and restart ----

os::Handle SimPc::GetCurrentProcess() {
  return kCurrentProcess;
}

bool SimPc::OpenProcessToken(os::Handle process, std::uint32_t desiredAccess, os::Handle* token) {
  *token = 0;
  if (!system.IsNt()) {
    m_LastError = os::kERROR_CALL_NOT_IMPLEMENTED;
    return false;
  }
  if (process != kCurrentProcess) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  *token = NewHandle();
  system.m_Tokens[*token] = desiredAccess;
  return true;
}

bool SimPc::LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                  os::Luid* luid) {
  if (!system.IsNt()) {
    m_LastError = os::kERROR_CALL_NOT_IMPLEMENTED;
    return false;
  }
  if (!systemName.empty() || fw::UpperCase(name) != fw::UpperCase(os::kSE_SHUTDOWN_NAME)) {
    m_LastError = os::kERROR_NO_SUCH_PRIVILEGE;
    return false;
  }
  *luid = kShutdownLuid;
  return true;
}

bool SimPc::AdjustTokenPrivileges(os::Handle token, bool disableAllPrivileges,
                                  const std::vector<os::LuidAndAttributes>& newState) {
  auto it = system.m_Tokens.find(token);
  if (it == system.m_Tokens.end()) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  if (!(it->second & os::kTOKEN_ADJUST_PRIVILEGES)) {
    m_LastError = os::kERROR_ACCESS_DENIED;
    return false;
  }
  if (disableAllPrivileges) {
    system.m_ShutdownEnabled = false;
    m_LastError = os::kERROR_SUCCESS;
    return true;
  }
  bool allAssigned = true;
  for (const os::LuidAndAttributes& entry : newState) {
    if (entry.luid == kShutdownLuid && system.shutdownPrivilege)
      system.m_ShutdownEnabled = (entry.attributes & os::kSE_PRIVILEGE_ENABLED) != 0;
    else
      allAssigned = false;
  }
  // Windows reports success either way and tells a privilege the token lacks only here.
  m_LastError = allAssigned ? os::kERROR_SUCCESS : os::kERROR_NOT_ALL_ASSIGNED;
  return true;
}

bool SimPc::ExitWindowsEx(std::uint32_t flags, std::uint32_t) {
  if (system.IsNt() && !system.m_ShutdownEnabled) {
    m_LastError = os::kERROR_PRIVILEGE_NOT_HELD;
    return false;
  }
  Log("ExitWindowsEx " + Hex(flags));
  system.m_Restarts.push_back(flags);
  return true;
}

bool SimPc::CloseSystemHandle(os::Handle handle) {
  return system.m_Tokens.erase(handle) != 0;
}

// ---- Registry ----

std::int32_t SimPc::RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t,
                                  std::uint32_t samDesired, os::Hkey* result) {
  *result = 0;
  std::string base;
  if (key != os::kHKEY_LOCAL_MACHINE) {
    auto it = system.m_Keys.find(key);
    if (it == system.m_Keys.end()) return std::int32_t(os::kERROR_INVALID_HANDLE);
    base = it->second.path;
  }
  // Windows takes a subkey path relative to the key; a leading backslash is a bad path.
  if (!subKey.empty() && subKey[0] == '\\') return std::int32_t(os::kERROR_BAD_PATHNAME);
  const std::string path = SimRegistry::Normalise(base.empty()     ? subKey
                                                  : subKey.empty() ? base
                                                                   : base + "\\" + subKey);
  Log("RegOpenKeyExA " + Quote(path));
  if (!system.registry.HasKey(path)) return std::int32_t(os::kERROR_FILE_NOT_FOUND);
  *result = NewHandle();
  system.m_Keys[*result] = {path, samDesired};
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimPc::RegCreateKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t,
                                    std::uint32_t samDesired, os::Hkey* result,
                                    std::uint32_t* disposition) {
  *result = 0;
  std::string base;
  if (key != os::kHKEY_LOCAL_MACHINE) {
    auto it = system.m_Keys.find(key);
    if (it == system.m_Keys.end()) return std::int32_t(os::kERROR_INVALID_HANDLE);
    base = it->second.path;
  }
  if (!subKey.empty() && subKey[0] == '\\') return std::int32_t(os::kERROR_BAD_PATHNAME);
  const std::string path = SimRegistry::Normalise(base.empty()     ? subKey
                                                  : subKey.empty() ? base
                                                                   : base + "\\" + subKey);
  Log("RegCreateKeyExA " + Quote(path));
  const bool existed = system.registry.HasKey(path);
  // Only administrators may write under HKEY_LOCAL_MACHINE.
  if (!existed && !system.administrator) return std::int32_t(os::kERROR_ACCESS_DENIED);
  system.registry.AddKey(path);
  if (disposition) *disposition = existed ? os::kREG_OPENED_EXISTING_KEY : os::kREG_CREATED_NEW_KEY;
  *result = NewHandle();
  system.m_Keys[*result] = {path, samDesired};
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimPc::RegQueryValueExA(os::Hkey key, const std::string& valueName,
                                     std::uint32_t* type, std::uint8_t* data,
                                     std::uint32_t* cbData) {
  auto it = system.m_Keys.find(key);
  if (it == system.m_Keys.end()) return std::int32_t(os::kERROR_INVALID_HANDLE);
  if (!(it->second.access & os::kKEY_QUERY_VALUE)) return std::int32_t(os::kERROR_ACCESS_DENIED);
  if (data && !cbData) return std::int32_t(os::kERROR_INVALID_PARAMETER);
  const SimRegistry::Value* value = system.registry.GetValue(it->second.path, valueName);
  if (!value) return std::int32_t(os::kERROR_FILE_NOT_FOUND);
  if (type) *type = value->type;
  const auto size = std::uint32_t(value->data.size());
  if (!cbData) return std::int32_t(os::kERROR_SUCCESS);
  const std::uint32_t room = *cbData;
  *cbData = size;
  if (!data) return std::int32_t(os::kERROR_SUCCESS);
  if (room < size) return std::int32_t(os::kERROR_MORE_DATA);
  std::copy(value->data.begin(), value->data.end(), data);
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimPc::RegSetValueExA(os::Hkey key, const std::string& valueName, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t cbData) {
  auto it = system.m_Keys.find(key);
  if (it == system.m_Keys.end()) return std::int32_t(os::kERROR_INVALID_HANDLE);
  if (!(it->second.access & os::kKEY_SET_VALUE) || !system.administrator)
    return std::int32_t(os::kERROR_ACCESS_DENIED);
  if (!data && cbData) return std::int32_t(os::kERROR_INVALID_PARAMETER);
  Log("RegSetValueExA " + Quote(it->second.path) + " " + Quote(valueName));
  system.registry.SetValue(it->second.path, valueName,
                           {type, std::vector<std::uint8_t>(data, data + cbData)});
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimPc::RegCloseKey(os::Hkey key) {
  if (key == os::kHKEY_LOCAL_MACHINE) return std::int32_t(os::kERROR_SUCCESS);
  return system.m_Keys.erase(key) ? std::int32_t(os::kERROR_SUCCESS)
                                  : std::int32_t(os::kERROR_INVALID_HANDLE);
}

// ---- Service control manager ----

os::ScHandle SimPc::OpenSCManagerA(const std::string& machineName, const std::string&,
                                   std::uint32_t desiredAccess) {
  if (!system.IsNt()) {
    m_LastError = os::kERROR_CALL_NOT_IMPLEMENTED;
    return 0;
  }
  // Generic execute includes locking the database, which only administrators may do.
  if (!machineName.empty() || (!system.administrator && (desiredAccess & os::kGENERIC_EXECUTE))) {
    m_LastError = os::kERROR_ACCESS_DENIED;
    return 0;
  }
  const os::ScHandle h = NewHandle();
  system.m_ScHandles[h] = {"", desiredAccess};
  return h;
}

os::ScHandle SimPc::OpenServiceA(os::ScHandle manager, const std::string& serviceName,
                                 std::uint32_t desiredAccess) {
  auto it = system.m_ScHandles.find(manager);
  if (it == system.m_ScHandles.end() || !it->second.service.empty()) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return 0;
  }
  if (!system.Service(serviceName)) {
    m_LastError = os::kERROR_SERVICE_DOES_NOT_EXIST;
    return 0;
  }
  const os::ScHandle h = NewHandle();
  system.m_ScHandles[h] = {fw::UpperCase(serviceName), desiredAccess};
  return h;
}

bool SimPc::QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) {
  auto it = system.m_ScHandles.find(service);
  if (it == system.m_ScHandles.end() || it->second.service.empty()) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  if (!(it->second.access & os::kSERVICE_QUERY_STATUS)) {
    m_LastError = os::kERROR_ACCESS_DENIED;
    return false;
  }
  SimService& s = *system.Service(it->second.service);
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

bool SimPc::StartServiceA(os::ScHandle service, const std::vector<std::string>&) {
  auto it = system.m_ScHandles.find(service);
  if (it == system.m_ScHandles.end() || it->second.service.empty()) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  if (!(it->second.access & os::kSERVICE_START)) {
    m_LastError = os::kERROR_ACCESS_DENIED;
    return false;
  }
  Log("StartServiceA " + Quote(it->second.service));
  SimService& s = *system.Service(it->second.service);
  if (s.startError) {
    m_LastError = s.startError;
    return false;
  }
  if (s.state != os::kSERVICE_STOPPED) {
    m_LastError = os::kERROR_SERVICE_ALREADY_RUNNING;
    return false;
  }
  ++s.starts;
  s.state = s.queriesUntilRunning == 0 ? os::kSERVICE_RUNNING : os::kSERVICE_START_PENDING;
  s.pendingQueriesLeft = std::max(s.queriesUntilRunning, 0);
  return true;
}

bool SimPc::CloseServiceHandle(os::ScHandle handle) {
  if (system.m_ScHandles.erase(handle)) return true;
  m_LastError = os::kERROR_INVALID_HANDLE;
  return false;
}

// ---- Waits ----

// With MWMO_INPUTAVAILABLE, whatever is queued or due wakes the wait. Without it only input
// that arrives during the wait does: here, a timer that comes due.
std::uint32_t SimPc::MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                                 std::uint32_t milliseconds, std::uint32_t wakeMask,
                                                 std::uint32_t flags) {
  // Threads run to their end when created and mutexes are never contended here.
  for (os::Handle h : handles)
    if (!m_Threads.count(h) && !m_MutexHandles.count(h)) {
      m_LastError = os::kERROR_INVALID_HANDLE;
      return os::kWAIT_FAILED;
    }
  if (!handles.empty()) return os::kWAIT_OBJECT_0;
  const auto input = os::kWAIT_OBJECT_0 + std::uint32_t(handles.size());
  std::uint64_t nextTimer = UINT64_MAX;
  bool timerDue = false;
  for (const auto& [key, t] : m_Timers) {
    if (t.dueUs <= m_NowUs)
      timerDue = true;
    else
      nextTimer = std::min(nextTimer, t.dueUs);
  }
  const bool queued = !m_Queue.empty() || m_QuitPosted || timerDue;
  if (wakeMask && queued && (flags & os::kMWMO_INPUTAVAILABLE)) return input;
  if (!wakeMask) nextTimer = UINT64_MAX;
  if (milliseconds == os::kINFINITE && nextTimer == UINT64_MAX) {
    // Nothing can ever arrive; a real PC would hang here.
    m_Idled = true;
    Log("MsgWaitForMultipleObjectsEx: nothing left to wait for");
    m_LastError = os::kERROR_INVALID_PARAMETER;
    return os::kWAIT_FAILED;
  }
  const std::uint64_t timeout = m_NowUs + std::uint64_t(milliseconds) * 1000;
  if (nextTimer <= timeout) {
    m_NowUs = nextTimer;
    return input;
  }
  // Even a look that does not wait takes a moment, so a program polling the clock moves on.
  m_NowUs = milliseconds ? timeout : m_NowUs + 1;
  return os::kWAIT_TIMEOUT;
}

}  // namespace sim
