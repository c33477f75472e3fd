// The system the program runs on: its version and metrics, the user's locale, the libraries
// and exports looked up at run time, the process token and its privileges, restart, and the
// service control manager.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "os/handles.h"

namespace os {

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

class System {
 public:
  virtual ~System() = default;

  // Version. GetVersionExA fills the basic structure; the compatibility layer of Windows 8.1
  // and later may answer both calls with 6.2 for a program not declared for newer systems.
  virtual bool GetVersionExA(OsVersionInfoA* info) = 0;
  virtual bool VerifyVersionInfoA(const OsVersionInfoExA& info, std::uint32_t typeMask,
                                  std::uint64_t conditionMask) = 0;
  virtual int GetSystemMetrics(int index) = 0;

  // CompareStringA with the current user's locale and no flags: returns CSTR_LESS_THAN,
  // CSTR_EQUAL or CSTR_GREATER_THAN (1, 2, 3), 0 on failure.
  virtual int CompareStringA(const std::string& a, const std::string& b) = 0;

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
  virtual bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) = 0;
  virtual bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                     Luid* luid) = 0;
  // Without the previous state. Succeeds with ERROR_NOT_ALL_ASSIGNED when the token lacks a
  // privilege, as on Windows.
  virtual bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                     const std::vector<LuidAndAttributes>& newState) = 0;
  virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;

  // Service control manager. Empty machine and database names are the local active database.
  virtual ScHandle OpenSCManagerA(const std::string& machineName, const std::string& databaseName,
                                  std::uint32_t desiredAccess) = 0;
  virtual ScHandle OpenServiceA(ScHandle manager, const std::string& serviceName,
                                std::uint32_t desiredAccess) = 0;
  virtual bool QueryServiceStatus(ScHandle service, ServiceStatus* status) = 0;
  virtual bool StartServiceA(ScHandle service, const std::vector<std::string>& arguments) = 0;
  virtual bool CloseServiceHandle(ScHandle handle) = 0;
};

}  // namespace os
