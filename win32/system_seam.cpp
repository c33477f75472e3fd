// The system on Windows: version, locale, run-time lookups, token, restart and services.
#include "win32/seam.h"

#include <winsvc.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace win32 {
namespace {

SC_HANDLE Sc(os::ScHandle handle) {
  return reinterpret_cast<SC_HANDLE>(handle);
}

}  // namespace

int WindowsSeam::CompareStringA(const std::string& a, const std::string& b) {
  return ::CompareStringA(LOCALE_USER_DEFAULT, 0, a.data(), int(a.size()), b.data(), int(b.size()));
}

bool WindowsSeam::GetVersionExA(os::OsVersionInfoA* info) {
  OSVERSIONINFOA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  if (!::GetVersionExA(&v)) return false;
  *info = {v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.dwPlatformId,
           std::string(v.szCSDVersion, ::strnlen(v.szCSDVersion, sizeof v.szCSDVersion))};
  return true;
}

bool WindowsSeam::VerifyVersionInfoA(const os::OsVersionInfoExA& info, std::uint32_t typeMask,
                                     std::uint64_t conditionMask) {
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

int WindowsSeam::GetSystemMetrics(int index) {
  return ::GetSystemMetrics(index);
}

os::Hmodule WindowsSeam::LoadLibraryA(const std::string& fileName) {
  return reinterpret_cast<os::Hmodule>(::LoadLibraryA(fileName.c_str()));
}

os::Hmodule WindowsSeam::GetModuleHandleA(const std::string& moduleName) {
  return reinterpret_cast<os::Hmodule>(::GetModuleHandleA(moduleName.c_str()));
}

os::FarProc WindowsSeam::GetProcAddress(os::Hmodule module, const std::string& procName) {
  return reinterpret_cast<os::FarProc>(
      ::GetProcAddress(reinterpret_cast<HMODULE>(module), procName.c_str()));
}

bool WindowsSeam::FreeLibrary(os::Hmodule module) {
  return ::FreeLibrary(reinterpret_cast<HMODULE>(module));
}

bool WindowsSeam::IsWow64Process(os::FarProc proc, os::Handle process, bool* wow64) {
  BOOL value = FALSE;
  const bool ok = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(proc)(K(process), &value);
  *wow64 = value;
  return ok;
}

std::int32_t WindowsSeam::RtlGetVersion(os::FarProc proc, os::OsVersionInfoA* info) {
  RTL_OSVERSIONINFOW v = {};
  v.dwOSVersionInfoSize = sizeof v;
  const LONG status = reinterpret_cast<LONG(WINAPI*)(PRTL_OSVERSIONINFOW)>(proc)(&v);
  std::string csd;
  for (std::size_t i = 0; i < std::size(v.szCSDVersion) && v.szCSDVersion[i]; ++i)
    csd += char(v.szCSDVersion[i]);
  *info = {v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber, v.dwPlatformId, csd};
  return status;
}

bool WindowsSeam::AllocateAndInitializeSid(os::FarProc proc,
                                           const os::SidIdentifierAuthority& authority,
                                           std::uint8_t count,
                                           const std::array<std::uint32_t, 8>& sub, os::Psid* sid) {
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

bool WindowsSeam::CheckTokenMembership(os::FarProc proc, os::Handle token, os::Psid sid,
                                       bool* isMember) {
  BOOL member = FALSE;
  const bool ok = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PSID, PBOOL)>(proc)(
      K(token), reinterpret_cast<PSID>(sid), &member);
  *isMember = member;
  return ok;
}

os::Psid WindowsSeam::FreeSid(os::FarProc proc, os::Psid sid) {
  return reinterpret_cast<os::Psid>(
      reinterpret_cast<PVOID(WINAPI*)(PSID)>(proc)(reinterpret_cast<PSID>(sid)));
}

bool WindowsSeam::OpenProcessToken(os::Handle process, std::uint32_t access, os::Handle* token) {
  HANDLE result = nullptr;
  const bool ok = ::OpenProcessToken(K(process), access, &result);
  *token = O(result);
  return ok;
}

bool WindowsSeam::LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                        os::Luid* luid) {
  LUID value = {};
  const bool ok = ::LookupPrivilegeValueA(systemName.empty() ? nullptr : systemName.c_str(),
                                          name.c_str(), &value);
  *luid = {value.LowPart, value.HighPart};
  return ok;
}

bool WindowsSeam::AdjustTokenPrivileges(os::Handle token, bool disableAll,
                                        const std::vector<os::LuidAndAttributes>& newState) {
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

bool WindowsSeam::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
  return ::ExitWindowsEx(flags, reason);
}

os::ScHandle WindowsSeam::OpenSCManagerA(const std::string& machine, const std::string& database,
                                         std::uint32_t access) {
  return reinterpret_cast<os::ScHandle>(
      ::OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(),
                       database.empty() ? nullptr : database.c_str(), access));
}

os::ScHandle WindowsSeam::OpenServiceA(os::ScHandle manager, const std::string& name,
                                       std::uint32_t access) {
  return reinterpret_cast<os::ScHandle>(::OpenServiceA(Sc(manager), name.c_str(), access));
}

bool WindowsSeam::QueryServiceStatus(os::ScHandle service, os::ServiceStatus* status) {
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

bool WindowsSeam::StartServiceA(os::ScHandle service, const std::vector<std::string>& arguments) {
  std::vector<const char*> argv;
  for (const std::string& a : arguments) argv.push_back(a.c_str());
  return ::StartServiceA(Sc(service), DWORD(argv.size()), argv.empty() ? nullptr : argv.data());
}

bool WindowsSeam::CloseServiceHandle(os::ScHandle handle) {
  return ::CloseServiceHandle(Sc(handle));
}

}  // namespace win32
