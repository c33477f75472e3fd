#include "platform/osinfo.h"

#include <algorithm>
#include <array>
#include <optional>

#include "framework/conversions.h"
#include "framework/fixed_text.h"
#include "os/os.h"
#include "platform/hi_timer.h"

namespace platform {
namespace {

constexpr const char* kProductOptionsKey = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr const char* kQ246009Key =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";
// Relative to HKEY_LOCAL_MACHINE: Windows refuses a subkey path that starts with a backslash
// (ERROR_BAD_PATHNAME), which would hide every WinPE.
constexpr const char* kMiniNtKey = "SYSTEM\\CurrentControlSet\\Control\\MiniNT";
constexpr std::uint32_t kProductTypeRoom = 80;

// ---- Handles that close themselves ----

class RegKey {
 public:
  RegKey(const std::string& path, std::uint32_t access) {
    if (os::Current().RegOpenKeyExA(os::kHKEY_LOCAL_MACHINE, path, 0, access, &m_Key) !=
        std::int32_t(os::kERROR_SUCCESS))
      m_Key = 0;
  }
  ~RegKey() {
    if (m_Key) os::Current().RegCloseKey(m_Key);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  explicit operator bool() const { return m_Key != 0; }
  os::Hkey Get() const { return m_Key; }

 private:
  os::Hkey m_Key = 0;
};

class ScHandle {
 public:
  explicit ScHandle(os::ScHandle handle) : m_Handle(handle) {}
  ~ScHandle() {
    if (m_Handle) os::Current().CloseServiceHandle(m_Handle);
  }
  ScHandle(const ScHandle&) = delete;
  ScHandle& operator=(const ScHandle&) = delete;
  explicit operator bool() const { return m_Handle != 0; }
  os::ScHandle Get() const { return m_Handle; }

 private:
  os::ScHandle m_Handle;
};

class Library {
 public:
  explicit Library(const std::string& name) : m_Module(os::Current().LoadLibraryA(name)) {}
  ~Library() {
    if (m_Module) os::Current().FreeLibrary(m_Module);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  os::FarProc Find(const std::string& name) const {
    return m_Module ? os::Current().GetProcAddress(m_Module, name) : 0;
  }

 private:
  os::Hmodule m_Module;
};

// A function of a module the process has loaded anyway; 0 when either is missing.
os::FarProc LoadedExport(const std::string& module, const std::string& name) {
  auto& sys = os::Current();
  const os::Hmodule handle = sys.GetModuleHandleA(module);
  return handle ? sys.GetProcAddress(handle, name) : 0;
}

// ---- The version by probing ----

struct ProbedField {
  std::uint32_t typeBit;
  std::uint64_t high;
  void (*set)(os::OsVersionInfoExA&, std::uint64_t);
};

// The order and ranges of the probe. The minor version of every Windows is small.
const std::array<ProbedField, 8> kProbedFields = {{
    {os::kVER_PLATFORMID, 0xFFFFFFFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.dwPlatformId = std::uint32_t(x); }},
    {os::kVER_MAJORVERSION, 0xFFFFFFFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.dwMajorVersion = std::uint32_t(x); }},
    {os::kVER_MINORVERSION, 16,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.dwMinorVersion = std::uint32_t(x); }},
    {os::kVER_BUILDNUMBER, 0xFFFFFFFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.dwBuildNumber = std::uint32_t(x); }},
    {os::kVER_SERVICEPACKMAJOR, 0xFFFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.wServicePackMajor = std::uint16_t(x); }},
    {os::kVER_SERVICEPACKMINOR, 0xFFFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.wServicePackMinor = std::uint16_t(x); }},
    {os::kVER_SUITENAME, 0xFFFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.wSuiteMask = std::uint16_t(x); }},
    {os::kVER_PRODUCT_TYPE, 0xFF,
     [](os::OsVersionInfoExA& v, std::uint64_t x) { v.wProductType = std::uint8_t(x); }},
}};

bool Holds(os::OsVersionInfoExA& info, const ProbedField& field, std::uint64_t value,
           std::uint8_t condition) {
  field.set(info, value);
  return os::Current().VerifyVersionInfoA(info, field.typeBit,
                                          os::VerSetConditionMask(0, field.typeBit, condition));
}

// Binary search on [0, high]. The sums are 64-bit: the upper half of a 32-bit range would
// overflow a 32-bit sum and send the search back to the bottom.
bool SearchField(os::OsVersionInfoExA& info, const ProbedField& field) {
  std::uint64_t low = 0, high = field.high;
  std::uint64_t probe = (low + high) / 2;
  for (;;) {
    if (Holds(info, field, probe, os::kVER_EQUAL)) return true;
    if (Holds(info, field, probe, os::kVER_GREATER))
      low = probe;
    else
      high = probe;
    const std::uint64_t next = (low + high) / 2;
    if (next == low) {
      if (Holds(info, field, low, os::kVER_EQUAL) || Holds(info, field, high, os::kVER_EQUAL))
        return true;
      field.set(info, 0);
      return false;
    }
    probe = next;
  }
}

// Every field is searched, so that a field Windows will not compare leaves the others known.
bool ProbeVersion(os::OsVersionInfoExA& info) {
  bool all = true;
  for (const ProbedField& field : kProbedFields) all = SearchField(info, field) && all;
  return all;
}

// ---- The version code ----

std::uint32_t Code(std::uint32_t family) {
  return family << 24;
}

std::uint32_t Windows9xCode(const os::OsVersionInfoExA& v) {
  const char second = v.szCSDVersion.size() > 1 ? v.szCSDVersion[1] : '\0';
  if (v.dwMajorVersion == 4 && v.dwMinorVersion == 0)
    return Code(kFamilyWindows95) | (second == 'C' || second == 'B' ? 0x030000 : 0);
  if (v.dwMajorVersion == 4 && v.dwMinorVersion == 10)
    return Code(kFamilyWindows98) | (second == 'A' ? 0x030000 : 0);
  if (v.dwMajorVersion == 4 && v.dwMinorVersion == 90) return Code(kFamilyWindowsMe);
  return 0;
}

// Windows 8.1 and later tell a program not declared for them that they are 6.2; RtlGetVersion
// tells the truth. Only Windows 10 is recognised through it.
std::uint32_t Family62(os::OsVersionInfoExA& v, bool workstation) {
  std::uint32_t family = workstation ? kFamilyWindows8 : kFamilyServer2012;
  const os::FarProc rtlGetVersion = LoadedExport("ntdll.dll", "RtlGetVersion");
  os::OsVersionInfoA truth;
  if (rtlGetVersion && os::Current().RtlGetVersion(rtlGetVersion, &truth) == os::kSTATUS_SUCCESS) {
    v.dwMajorVersion = truth.dwMajorVersion;
    v.dwMinorVersion = truth.dwMinorVersion;
    v.dwBuildNumber = truth.dwBuildNumber;
    if (v.dwMajorVersion == 10) family = workstation ? kFamilyWindows10 : kFamilyServer10;
  }
  return family;
}

std::uint32_t NtFamily(os::OsVersionInfoExA& v) {
  const bool workstation = v.wProductType == os::kVER_NT_WORKSTATION;
  const auto is = [&v](std::uint32_t major, std::uint32_t minor) {
    return v.dwMajorVersion == major && v.dwMinorVersion == minor;
  };
  std::uint32_t family = 0;
  if (is(6, 4) || is(10, 0))
    family = workstation ? kFamilyWindows10 : kFamilyServer10;
  else if (is(6, 3))
    family = workstation ? kFamilyWindows81 : kFamilyServer2012R2;
  else if (is(6, 2))
    family = Family62(v, workstation);
  else if (is(6, 1))
    family = workstation ? kFamilyWindows7 : kFamilyServer2008R2;
  else if (is(6, 0))
    family = workstation ? kFamilyVista : kFamilyServer2008;
  else if (is(5, 2))
    family =
        os::Current().GetSystemMetrics(os::kSM_SERVERR2) ? kFamilyServer2003R2 : kFamilyServer2003;
  if (is(5, 1))
    family = kFamilyWindowsXp;
  else if (is(5, 0))
    family = kFamilyWindows2000;
  else if (v.dwMajorVersion <= 4)
    family = kFamilyNt4;
  return family;
}

std::uint32_t ProbedEdition(const os::OsVersionInfoExA& v, std::uint32_t code) {
  const bool v52 = v.dwMajorVersion == 5 && v.dwMinorVersion == 2;
  const bool v50 = v.dwMajorVersion == 5 && v.dwMinorVersion == 0;
  if (v.wProductType == os::kVER_NT_WORKSTATION) {
    if (v.dwMajorVersion == 4) return 0x05130000;
    return code | (v.wSuiteMask & os::kVER_SUITE_PERSONAL ? 0x020000 : 0x010000);
  }
  if (v.wProductType != os::kVER_NT_DOMAIN_CONTROLLER && v.wProductType != os::kVER_NT_SERVER)
    return code;
  if (v52 || v50) {
    if (v.wSuiteMask & os::kVER_SUITE_DATACENTER) return code | 0x080000;
    if (v.wSuiteMask & os::kVER_SUITE_ENTERPRISE) return code | 0x040000;
    if (v52 && v.wSuiteMask == os::kVER_SUITE_BLADE) return code | 0x110000;
    return code | 0x070000;
  }
  return code | (v.wSuiteMask & os::kVER_SUITE_ENTERPRISE ? 0x040000 : 0x070000);
}

// The NT edition from the product options; nothing when they cannot be read.
std::optional<std::uint32_t> RegistryEdition() {
  const RegKey key(kProductOptionsKey, os::kKEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  std::array<std::uint8_t, kProductTypeRoom> text = {};
  std::uint32_t size = kProductTypeRoom, type = 0;
  if (os::Current().RegQueryValueExA(key.Get(), "ProductType", &type, text.data(), &size) !=
      std::int32_t(os::kERROR_SUCCESS))
    return std::nullopt;
  const std::string productType =
      fw::UpperCase(fw::ReadFixedText(text.data(), std::min(size, kProductTypeRoom)));
  if (productType == "WINNT") return 0x130000;
  if (productType == "LANMANNT") return 0x070000;
  if (productType == "SERVERNT") return 0x040000;
  return 0;
}

std::uint32_t ServicePack(const os::OsVersionInfoExA& v) {
  // Bits 12-15: a service pack number past 15 must not spill into the edition.
  const std::uint32_t servicePack = std::uint32_t(v.wServicePackMajor & 0xF) << 12;
  if (v.dwMajorVersion != 4 || fw::UpperCase(v.szCSDVersion) != "SERVICE PACK 6")
    return servicePack;
  // Service Pack 6a is Service Pack 6 with this hotfix.
  return RegKey(kQ246009Key, os::kKEY_READ) ? 0x6400 : servicePack;
}

bool IsNtPlatform(std::uint32_t* major = nullptr) {
  os::OsVersionInfoA v;
  if (!os::Current().GetVersionExA(&v)) return false;
  if (major) *major = v.dwMajorVersion;
  return v.dwPlatformId == os::kVER_PLATFORM_WIN32_NT;
}

}  // namespace

std::uint32_t GetOSVersionCode() {
  os::OsVersionInfoExA v;
  const bool probed = ProbeVersion(v);
  if (!probed) {
    os::OsVersionInfoA basic;
    if (os::Current().GetVersionExA(&basic)) static_cast<os::OsVersionInfoA&>(v) = basic;
  }
  if (v.dwPlatformId == os::kVER_PLATFORM_WIN32s) return Code(kFamilyWin32s);
  if (v.dwPlatformId == os::kVER_PLATFORM_WIN32_WINDOWS) return Windows9xCode(v);
  if (v.dwPlatformId != os::kVER_PLATFORM_WIN32_NT) return 0;

  std::uint32_t code = Code(NtFamily(v));
  if (probed) {
    code = ProbedEdition(v, code);
  } else {
    const auto edition = RegistryEdition();
    if (!edition) return 0;
    code |= *edition;
  }
  return code | ServicePack(v);
}

bool IsWow64() {
  const os::FarProc isWow64Process = LoadedExport("kernel32", "IsWow64Process");
  if (!isWow64Process) return false;
  auto& sys = os::Current();
  bool wow64 = false;
  return sys.IsWow64Process(isWow64Process, sys.GetCurrentProcess(), &wow64) && wow64;
}

bool IsUserAdmin() {
  const Library advapi32("advapi32.dll");
  const os::FarProc allocate = advapi32.Find("AllocateAndInitializeSid");
  const os::FarProc check = advapi32.Find("CheckTokenMembership");
  const os::FarProc freeSid = advapi32.Find("FreeSid");
  if (!allocate || !check || !freeSid) return false;
  auto& sys = os::Current();
  const os::SidIdentifierAuthority ntAuthority = {0, 0, 0, 0, 0, os::kSECURITY_NT_AUTHORITY_VALUE};
  os::Psid administrators = 0;
  if (!sys.AllocateAndInitializeSid(
          allocate, ntAuthority, 2,
          {os::kSECURITY_BUILTIN_DOMAIN_RID, os::kDOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0},
          &administrators))
    return false;
  bool member = false;
  if (!sys.CheckTokenMembership(check, 0, administrators, &member)) member = false;
  sys.FreeSid(freeSid, administrators);
  return member;
}

// AdjustTokenPrivileges succeeds even when the token lacks the privilege; only the last error
// tells, so that is what decides.
bool EnableShutdownPrivilege() {
  auto& sys = os::Current();
  os::Handle token = 0;
  if (!sys.OpenProcessToken(sys.GetCurrentProcess(),
                            os::kTOKEN_ADJUST_PRIVILEGES | os::kTOKEN_QUERY, &token))
    return false;
  os::Luid shutdown;
  bool granted = false;
  if (sys.LookupPrivilegeValueA("", os::kSE_SHUTDOWN_NAME, &shutdown)) {
    sys.AdjustTokenPrivileges(token, false, {{shutdown, os::kSE_PRIVILEGE_ENABLED}});
    granted = sys.GetLastError() == os::kERROR_SUCCESS;
  }
  sys.CloseHandle(token);
  return granted;
}

bool RebootSystem() {
  auto& sys = os::Current();
  constexpr std::uint32_t kFlags = os::kEWX_REBOOT | os::kEWX_FORCE;
  if (!IsNtPlatform()) return sys.ExitWindowsEx(kFlags, 0);
  return EnableShutdownPrivilege() && sys.ExitWindowsEx(kFlags, 0);
}

bool IsWinPE() {
  return bool(RegKey(kMiniNtKey, os::kKEY_READ));
}

bool IsServiceRunning(const std::string& name) {
  auto& sys = os::Current();
  const ScHandle manager(sys.OpenSCManagerA("", "", os::kGENERIC_EXECUTE));
  if (!manager) return false;
  const ScHandle service(sys.OpenServiceA(manager.Get(), name, os::kSERVICE_QUERY_STATUS));
  os::ServiceStatus status;
  return service && sys.QueryServiceStatus(service.Get(), &status) &&
         status.dwCurrentState == os::kSERVICE_RUNNING;
}

bool StartServiceAndWait(const std::string& name, int timeoutSeconds) {
  auto& sys = os::Current();
  const ScHandle manager(sys.OpenSCManagerA("", "", os::kGENERIC_EXECUTE));
  if (!manager) return false;
  const ScHandle service(
      sys.OpenServiceA(manager.Get(), name, os::kSERVICE_START | os::kSERVICE_QUERY_STATUS));
  os::ServiceStatus status;
  if (!service || !sys.QueryServiceStatus(service.Get(), &status)) return false;
  if (status.dwCurrentState == os::kSERVICE_RUNNING) return true;
  if (status.dwCurrentState != os::kSERVICE_STOPPED) return false;
  // A start that Windows refused (a disabled service, say) will not come true by waiting;
  // one that another caller made in the meantime may.
  if (!sys.StartServiceA(service.Get(), {}) &&
      sys.GetLastError() != os::kERROR_SERVICE_ALREADY_RUNNING)
    return false;
  HiTimer timer;
  for (int poll = 0; poll < 2 * timeoutSeconds; ++poll) {
    timer.WaitMilliseconds(500);
    if (sys.QueryServiceStatus(service.Get(), &status) &&
        status.dwCurrentState == os::kSERVICE_RUNNING)
      return true;
  }
  return false;
}

OSInfo::OSInfo() {
  std::uint32_t major = 0;
  bIsNT = IsNtPlatform(&major);
  bIsNT4 = bIsNT && major == 4;
}

OSInfo::~OSInfo() = default;

}  // namespace platform
