#include "platform/osinfo.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "sim/sim_pc.h"

namespace {

using sim::SimWindowsVersion;
using sim::VersionProbing;

constexpr const char* kProductOptions = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr const char* kQ246009 = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009";

constexpr std::uint32_t kNt = os::kVER_PLATFORM_WIN32_NT;
constexpr std::uint8_t kWorkstation = os::kVER_NT_WORKSTATION;
constexpr std::uint8_t kServer = os::kVER_NT_SERVER;
constexpr std::uint8_t kDomainController = os::kVER_NT_DOMAIN_CONTROLLER;

class OsInfoTest : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override { os::Install(nullptr); }
  sim::SimPc pc;
};

// ---- The version code ----

SimWindowsVersion Nt(std::uint32_t major, std::uint32_t minor, std::uint32_t build,
                     std::uint16_t servicePack, std::uint8_t productType,
                     std::uint16_t suiteMask = 0) {
  SimWindowsVersion v;
  v.platformId = kNt;
  v.major = major;
  v.minor = minor;
  v.build = build;
  v.servicePackMajor = servicePack;
  if (servicePack) v.csdVersion = "Service Pack " + std::to_string(servicePack);
  v.productType = productType;
  v.suiteMask = suiteMask;
  return v;
}

SimWindowsVersion Win9x(std::uint32_t platform, std::uint32_t minor, std::uint32_t build,
                        const char* csd) {
  SimWindowsVersion v;
  v.platformId = platform;
  v.major = 4;
  v.minor = minor;
  v.build = build;
  v.csdVersion = csd;
  v.productType = 0;
  v.suiteMask = 0;
  return v;
}

struct VersionCase {
  const char* name;
  SimWindowsVersion windows;
  std::function<void(sim::SimSystem&)> setUp;  // after Become: probing, layer, registry
  std::uint32_t code;
};

void ProbeEveryField(sim::SimSystem& s) {
  s.probing = VersionProbing::kEveryField;
}
void Nothing(sim::SimSystem&) {}

const VersionCase kVersionCases[] = {
    // Through the probe.
    {"Windows 7 SP1 Professional, probed", Nt(6, 1, 7601, 1, kWorkstation, 0x0100), ProbeEveryField,
     0x0E011000},
    {"a build in the top half of its range is still found",
     Nt(6, 1, 0xFFFFFFF0, 1, kWorkstation, 0x0100), ProbeEveryField, 0x0E011000},
    {"XP Home SP3 (the personal suite)", Nt(5, 1, 2600, 3, kWorkstation, 0x0300), ProbeEveryField,
     0x07023000},
    {"XP x64 SP2 is a 5.2 workstation", Nt(5, 2, 3790, 2, kWorkstation, 0x0100), ProbeEveryField,
     0x08012000},
    {"XP x64 with SM_SERVERR2 set", Nt(5, 2, 3790, 2, kWorkstation, 0x0100),
     [](sim::SimSystem& s) {
       s.probing = VersionProbing::kEveryField;
       s.serverR2 = 1;
     },
     0x09012000},
    {"Server 2003 Datacenter SP1", Nt(5, 2, 3790, 1, kServer, 0x0090), ProbeEveryField, 0x08081000},
    {"Server 2003 Enterprise", Nt(5, 2, 3790, 0, kServer, 0x0012), ProbeEveryField, 0x08040000},
    {"Server 2003 Web Edition (blade suite alone)", Nt(5, 2, 3790, 0, kServer, 0x0400),
     ProbeEveryField, 0x08110000},
    {"Server 2003 Standard", Nt(5, 2, 3790, 2, kServer, 0x0010), ProbeEveryField, 0x08072000},
    {"Server 2003 R2 Enterprise SP2", Nt(5, 2, 3790, 2, kServer, 0x0012),
     [](sim::SimSystem& s) {
       s.probing = VersionProbing::kEveryField;
       s.serverR2 = 1;
     },
     0x09042000},
    {"Windows 2000 Datacenter", Nt(5, 0, 2195, 0, kServer, 0x0080), ProbeEveryField, 0x06080000},
    {"Windows 2000 Advanced Server SP4", Nt(5, 0, 2195, 4, kDomainController, 0x0002),
     ProbeEveryField, 0x06044000},
    {"the blade suite is a web server on 5.2 only", Nt(5, 0, 2195, 0, kServer, 0x0400),
     ProbeEveryField, 0x06070000},
    {"Windows 2000 Professional SP4", Nt(5, 0, 2195, 4, kWorkstation), ProbeEveryField, 0x06014000},
    {"Vista SP2", Nt(6, 0, 6002, 2, kWorkstation, 0x0100), ProbeEveryField, 0x0A012000},
    {"Server 2008 Enterprise", Nt(6, 0, 6001, 1, kServer, 0x0112), ProbeEveryField, 0x0C041000},
    {"Server 2008 R2 domain controller", Nt(6, 1, 7601, 1, kDomainController, 0x0110),
     ProbeEveryField, 0x0D071000},
    {"Server 2012 R2 Standard, declared for it", Nt(6, 3, 9600, 0, kServer, 0x0110),
     [](sim::SimSystem& s) {
       s.probing = VersionProbing::kEveryField;
       s.compatibilityLayer = false;
     },
     0x11070000},
    {"Windows 10 behind the 6.2 layer, probed", Nt(10, 0, 19045, 0, kWorkstation, 0x0100),
     ProbeEveryField, 0x14010000},
    {"NT 4 workstation SP6, probed", Nt(4, 0, 1381, 6, kWorkstation), ProbeEveryField, 0x05136000},
    {"NT 4 server SP5, probed", Nt(4, 0, 1381, 5, kServer), ProbeEveryField, 0x05075000},
    // Windows itself will not compare the suite mask field by field: the registry fallback.
    {"Windows 7 SP1 Professional", Nt(6, 1, 7601, 1, kWorkstation, 0x0100), Nothing, 0x0E131000},
    {"the product type in any letter case", Nt(6, 1, 7601, 1, kWorkstation, 0x0100),
     [](sim::SimSystem& s) { s.registry.SetString(kProductOptions, "ProductType", "winnt"); },
     0x0E131000},
    {"Windows 10 behind the 6.2 layer", Nt(10, 0, 19045, 0, kWorkstation, 0x0100), Nothing,
     0x14130000},
    {"Windows 11 behind the 6.2 layer", Nt(10, 0, 22631, 0, kWorkstation, 0x0100), Nothing,
     0x14130000},
    {"Server 2019 behind the 6.2 layer", Nt(10, 0, 17763, 0, kServer, 0x0110), Nothing, 0x13040000},
    {"Windows 8.1 behind the 6.2 layer stays Windows 8", Nt(6, 3, 9600, 0, kWorkstation, 0x0100),
     Nothing, 0x10130000},
    {"Windows 10 whose RtlGetVersion is missing", Nt(10, 0, 19045, 0, kWorkstation, 0x0100),
     [](sim::SimSystem& s) { s.RemoveExport("ntdll.dll", "RtlGetVersion"); }, 0x10130000},
    {"Windows 8.1 declared for it", Nt(6, 3, 9600, 0, kWorkstation, 0x0100),
     [](sim::SimSystem& s) { s.compatibilityLayer = false; }, 0x12130000},
    {"Server 2012 domain controller", Nt(6, 2, 9200, 0, kDomainController, 0x0110), Nothing,
     0x0F070000},
    {"an unknown product type adds no edition", Nt(6, 1, 7601, 1, kWorkstation, 0x0100),
     [](sim::SimSystem& s) { s.registry.SetString(kProductOptions, "ProductType", "Other"); },
     0x0E001000},
    {"NT 4 SP6a without VerifyVersionInfoA", Nt(4, 0, 1381, 6, kWorkstation),
     [](sim::SimSystem& s) { s.registry.AddKey(kQ246009); }, 0x05136400},
    // The fallback has no service-pack number: only the hotfix key tells.
    {"NT 4 SP6 without VerifyVersionInfoA", Nt(4, 0, 1381, 6, kWorkstation), Nothing, 0x05130000},
    {"NT 3.51 server", Nt(3, 51, 1057, 5, kServer), Nothing, 0x05040000},
    {"the product type cannot be read", Nt(6, 1, 7601, 1, kWorkstation, 0x0100),
     [](sim::SimSystem& s) { s.registry.RemoveValue(kProductOptions, "ProductType"); }, 0},
    {"no product options key", Nt(6, 1, 7601, 1, kWorkstation, 0x0100),
     [](sim::SimSystem& s) { s.registry.RemoveKey(kProductOptions); }, 0},
    {"a product type longer than 80 bytes", Nt(6, 1, 7601, 1, kWorkstation, 0x0100),
     [](sim::SimSystem& s) {
       s.registry.SetString(kProductOptions, "ProductType", "WinNT" + std::string(80, ' '));
     },
     0},
    // Windows 9x and Win32s, from GetVersionExA.
    {"Win32s", Win9x(os::kVER_PLATFORM_WIN32s, 0, 0, ""), Nothing, 0x01000000},
    {"Windows 95", Win9x(1, 0, 950, " "), Nothing, 0x02000000},
    {"Windows 95 OSR2", Win9x(1, 0, 1111, " B"), Nothing, 0x02030000},
    {"Windows 95 OSR2.5", Win9x(1, 0, 1212, " C"), Nothing, 0x02030000},
    {"Windows 98", Win9x(1, 10, 1998, " "), Nothing, 0x03000000},
    {"Windows 98 SE", Win9x(1, 10, 2222, " A"), Nothing, 0x03030000},
    {"Windows Me", Win9x(1, 90, 3000, " "), Nothing, 0x04000000},
    {"an unknown 9x version", Win9x(1, 20, 2000, " "), Nothing, 0},
    {"an unknown platform", Win9x(3, 0, 0, ""), Nothing, 0},
};

TEST_F(OsInfoTest, TheVersionCodeOfEveryWindows) {
  for (const VersionCase& c : kVersionCases) {
    sim::SimPc machine;
    os::Install(&machine);
    machine.system.Become(c.windows);
    c.setUp(machine.system);
    EXPECT_EQ(platform::GetOSVersionCode(), c.code)
        << c.name << ": 0x" << std::hex << platform::GetOSVersionCode();
    EXPECT_EQ(machine.system.OpenRegistryKeys(), 0u) << c.name;
  }
  os::Install(&pc);
}

TEST_F(OsInfoTest, NtFlagsAreSetAtConstruction) {
  struct Case {
    SimWindowsVersion windows;
    bool nt, nt4;
  };
  for (const Case& c : {Case{Nt(4, 0, 1381, 6, kWorkstation), true, true},
                        Case{Nt(10, 0, 19045, 0, kWorkstation), true, false},
                        Case{Win9x(1, 10, 2222, " A"), false, false}}) {
    pc.system.Become(c.windows);
    const platform::OSInfo info;
    EXPECT_EQ(info.bIsNT, c.nt) << c.windows.major << "." << c.windows.minor;
    EXPECT_EQ(info.bIsNT4, c.nt4) << c.windows.major << "." << c.windows.minor;
  }
}

TEST(VerSetConditionMask, PutsThreeBitsPerFieldAndKeepsWhatWasSet) {
  EXPECT_EQ(os::VerSetConditionMask(0, os::kVER_MINORVERSION, os::kVER_EQUAL), 0x1u);
  EXPECT_EQ(os::VerSetConditionMask(0, os::kVER_PRODUCT_TYPE, os::kVER_GREATER), 0x400000u);
  EXPECT_EQ(os::VerSetConditionMask(0x1, os::kVER_MAJORVERSION, os::kVER_GREATER), 0x11u);
  // Several fields at once: Windows takes the highest.
  EXPECT_EQ(
      os::VerSetConditionMask(0, os::kVER_MAJORVERSION | os::kVER_MINORVERSION, os::kVER_GREATER),
      0x10u);
  EXPECT_EQ(os::VerSetConditionMask(0x8, os::kVER_BUILDNUMBER, 0), 0x8u);
}

// ---- WOW64, administrator, restart, WinPE ----

TEST_F(OsInfoTest, IsWow64AsksIsWow64ProcessWhenWindowsHasIt) {
  struct Case {
    const char* name;
    bool wow64;
    bool exported;
    bool expected;
  };
  for (const Case& c : {Case{"32-bit program on 64-bit Windows", true, true, true},
                        Case{"on 32-bit Windows", false, true, false},
                        Case{"Windows without IsWow64Process", true, false, false}}) {
    pc.system.Become(Nt(6, 1, 7601, 1, kWorkstation));
    pc.system.wow64 = c.wow64;
    if (!c.exported) pc.system.RemoveExport("kernel32.dll", "IsWow64Process");
    EXPECT_EQ(platform::IsWow64(), c.expected) << c.name;
  }
  pc.system.Become(Nt(5, 1, 2600, 1, kWorkstation));  // XP before SP2 has none
  EXPECT_FALSE(platform::IsWow64());
}

TEST_F(OsInfoTest, IsUserAdminAsksForAdministratorsMembershipAndCleansUp) {
  struct Case {
    const char* name;
    bool administrator;
    const char* missingExport;
    bool expected;
  };
  for (const Case& c :
       {Case{"an administrator", true, nullptr, true},
        Case{"a standard user", false, nullptr, false},
        Case{"no AllocateAndInitializeSid", true, "AllocateAndInitializeSid", false},
        Case{"no CheckTokenMembership", true, "CheckTokenMembership", false},
        Case{"no FreeSid", true, "FreeSid", false}}) {
    sim::SimPc machine;
    os::Install(&machine);
    machine.system.administrator = c.administrator;
    if (c.missingExport) machine.system.RemoveExport("advapi32.dll", c.missingExport);
    EXPECT_EQ(platform::IsUserAdmin(), c.expected) << c.name;
    EXPECT_EQ(machine.system.LoadedLibraryCount("advapi32.dll"), 0) << c.name;
    EXPECT_EQ(machine.system.AllocatedSids(), 0u) << c.name;
  }
  os::Install(&pc);
}

TEST_F(OsInfoTest, RebootSystemRestartsOnlyWithTheShutdownPrivilege) {
  EXPECT_TRUE(platform::EnableShutdownPrivilege());  // the privilege alone restarts nothing
  EXPECT_TRUE(pc.system.ShutdownPrivilegeEnabled());
  EXPECT_TRUE(pc.system.Restarts().empty());
  EXPECT_TRUE(platform::RebootSystem());
  EXPECT_EQ(pc.system.Restarts(), std::vector<std::uint32_t>{os::kEWX_REBOOT | os::kEWX_FORCE});
  EXPECT_EQ(pc.system.OpenTokens(), 0u);

  sim::SimPc withoutPrivilege;
  os::Install(&withoutPrivilege);
  withoutPrivilege.system.shutdownPrivilege = false;
  EXPECT_FALSE(platform::EnableShutdownPrivilege());
  EXPECT_FALSE(platform::RebootSystem());
  EXPECT_TRUE(withoutPrivilege.system.Restarts().empty());
  EXPECT_EQ(withoutPrivilege.system.OpenTokens(), 0u);

  sim::SimPc windows98;  // no tokens: the restart is asked for at once
  os::Install(&windows98);
  windows98.system.Become(Win9x(1, 10, 2222, " A"));
  EXPECT_TRUE(platform::RebootSystem());
  EXPECT_EQ(windows98.system.Restarts().size(), 1u);
  os::Install(&pc);
}

TEST_F(OsInfoTest, IsWinPEWhenTheMiniNtKeyExists) {
  EXPECT_FALSE(platform::IsWinPE());
  pc.system.registry.AddKey("SYSTEM\\CurrentControlSet\\Control\\MiniNT");
  EXPECT_TRUE(platform::IsWinPE());
  EXPECT_EQ(pc.system.OpenRegistryKeys(), 0u);
  // Windows takes no subkey path with a leading backslash.
  os::Hkey key = 0;
  EXPECT_EQ(
      pc.RegOpenKeyExA(os::kHKEY_LOCAL_MACHINE, "\\SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0,
                       os::kKEY_READ, &key),
      std::int32_t(os::kERROR_BAD_PATHNAME));
}

// ---- Services ----

TEST_F(OsInfoTest, IsServiceRunningOnlyForARunningService) {
  pc.system.AddService("Winmgmt", os::kSERVICE_RUNNING);
  pc.system.AddService("Spooler", os::kSERVICE_STOPPED);
  EXPECT_TRUE(platform::IsServiceRunning("Winmgmt"));
  EXPECT_TRUE(platform::IsServiceRunning("WINMGMT"));
  EXPECT_FALSE(platform::IsServiceRunning("Spooler"));
  EXPECT_FALSE(platform::IsServiceRunning("NoSuchService"));
  EXPECT_EQ(pc.system.OpenServiceHandles(), 0u);
}

TEST_F(OsInfoTest, StartServiceAndWaitPollsEveryHalfSecondUntilTheTimeOut) {
  struct Case {
    const char* name;
    std::uint32_t state;
    int queriesUntilRunning;
    std::uint32_t startError;
    int timeoutSeconds;
    bool started;
    int starts;
    std::uint64_t waitedMs;
  };
  const Case cases[] = {
      {"already running", os::kSERVICE_RUNNING, 0, 0, 10, true, 0, 0},
      {"runs at once", os::kSERVICE_STOPPED, 0, 0, 10, true, 1, 500},
      {"runs after three pending polls", os::kSERVICE_STOPPED, 3, 0, 10, true, 1, 2000},
      {"runs on the last poll", os::kSERVICE_STOPPED, 5, 0, 3, true, 1, 3000},
      {"runs one poll too late", os::kSERVICE_STOPPED, 6, 0, 3, false, 1, 3000},
      {"never runs", os::kSERVICE_STOPPED, -1, 0, 2, false, 1, 2000},
      {"paused", os::kSERVICE_PAUSED, 0, 0, 10, false, 0, 0},
      {"stopping", os::kSERVICE_STOP_PENDING, 0, 0, 10, false, 0, 0},
      {"disabled", os::kSERVICE_STOPPED, 0, os::kERROR_SERVICE_DISABLED, 10, false, 0, 0},
  };
  for (const Case& c : cases) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::SimService& service = machine.system.AddService("Winmgmt", c.state);
    service.queriesUntilRunning = c.queriesUntilRunning;
    service.startError = c.startError;
    EXPECT_EQ(platform::StartServiceAndWait("Winmgmt", c.timeoutSeconds), c.started) << c.name;
    EXPECT_EQ(service.starts, c.starts) << c.name;
    EXPECT_EQ(machine.NowMicroseconds() / 1000, c.waitedMs) << c.name;
    EXPECT_EQ(machine.system.OpenServiceHandles(), 0u) << c.name;
  }
  os::Install(&pc);
  EXPECT_FALSE(platform::StartServiceAndWait("NoSuchService", 1));
}

TEST_F(OsInfoTest, ServiceOperationsNeedTheManagerThatOnlyAnAdministratorOpens) {
  pc.system.AddService("Winmgmt", os::kSERVICE_RUNNING);
  pc.system.administrator = false;
  EXPECT_FALSE(platform::IsServiceRunning("Winmgmt"));
  EXPECT_FALSE(platform::StartServiceAndWait("Winmgmt", 1));
}

}  // namespace
