// What the program needs to know about the running Windows, packed into one comparable
// version code, and the few things it asks of it: WOW64, administrator membership, a restart,
// WinPE, and starting a service.
//
// Version code: family in bits 24-31, edition in bits 16-23, service pack in bits 12-15, and
// 4 in bits 8-11 (with service pack 6) for NT 4.0 Service Pack 6a.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Families of the version code.
inline constexpr std::uint32_t kFamilyWin32s = 0x01;
inline constexpr std::uint32_t kFamilyWindows95 = 0x02;
inline constexpr std::uint32_t kFamilyWindows98 = 0x03;
inline constexpr std::uint32_t kFamilyWindowsMe = 0x04;
inline constexpr std::uint32_t kFamilyNt4 = 0x05;
inline constexpr std::uint32_t kFamilyWindows2000 = 0x06;
inline constexpr std::uint32_t kFamilyWindowsXp = 0x07;
inline constexpr std::uint32_t kFamilyServer2003 = 0x08;
inline constexpr std::uint32_t kFamilyServer2003R2 = 0x09;
inline constexpr std::uint32_t kFamilyVista = 0x0A;
inline constexpr std::uint32_t kFamilyServer2008 = 0x0C;
inline constexpr std::uint32_t kFamilyServer2008R2 = 0x0D;
inline constexpr std::uint32_t kFamilyWindows7 = 0x0E;
inline constexpr std::uint32_t kFamilyServer2012 = 0x0F;
inline constexpr std::uint32_t kFamilyWindows8 = 0x10;
inline constexpr std::uint32_t kFamilyServer2012R2 = 0x11;
inline constexpr std::uint32_t kFamilyWindows81 = 0x12;
inline constexpr std::uint32_t kFamilyServer10 = 0x13;
inline constexpr std::uint32_t kFamilyWindows10 = 0x14;

// The operations, for callers that hold no OSInfo.
std::uint32_t GetOSVersionCode();  // 0 when the NT edition cannot be read
bool IsWow64();
bool IsUserAdmin();
// Enables SeShutdownPrivilege in the process token; false when the token does not hold it.
bool EnableShutdownPrivilege();
// A forced restart (the shutdown privilege enabled first on NT); not waited for.
bool RebootSystem();
bool IsWinPE();
bool IsServiceRunning(const std::string& name);
bool StartServiceAndWait(const std::string& name, int timeoutSeconds);

class OSInfo {
 public:
  OSInfo();
  ~OSInfo();

  bool bIsNT = false;   // the NT platform
  bool bIsNT4 = false;  // the NT platform, major version 4

  std::uint32_t GetOSVersionCode() { return platform::GetOSVersionCode(); }
  bool IsWow64() { return platform::IsWow64(); }
  bool IsUserAdmin() { return platform::IsUserAdmin(); }
  bool RebootSystem() { return platform::RebootSystem(); }
  bool IsWinPE() { return platform::IsWinPE(); }
  bool IsServiceRunning(const std::string& name) { return platform::IsServiceRunning(name); }
  bool StartServiceAndWait(const std::string& name, int timeoutSeconds) {
    return platform::StartServiceAndWait(name, timeoutSeconds);
  }
};

}  // namespace platform
