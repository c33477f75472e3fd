// TDevMgr on simulated PCs: the disk table, its order, the parent chains, the expected count
// from WMI and Winmgmt, missing exports, and the restart and rescan as the journal records
// them.
#include "devices/dev_mgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "discovery/dev_info.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"

namespace {

using devices::DiskEntry;
using devices::TDevMgr;
using fw::FieldText;

const std::string kMachines = std::string(TRAVOK_SOURCE_DIR) + "/tests/machines/";
constexpr const char* kController = R"(
[[device]]
instance_id = 'PCI\VEN_8086&DEV_2822\3&11583659&0&B9'
class = "scsiadapter"
service = "iaStorA"
)";
constexpr const char* kFillSet =
    "SetupDiGetClassDevsA {53f56307-b6bf-11d0-94f2-00a0c91efb8b} "
    "DIGCF_PRESENT|DIGCF_DEVICEINTERFACE";

// A disk below kController, named by its friendly name, with more keys of its own.
std::string Disk(const std::string& name, const std::string& keys) {
  return "[[disk]]\ninstance_id = 'SCSI\\DISK&VEN_&PROD_" + name + "\\4&2A37BD3B&0&" + name +
         "'\nparent = 'PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9'\nfriendly_name = \"" + name +
         "\"\n" + keys + "\n";
}

std::string DiskId(const std::string& name) {
  return "SCSI\\DISK&VEN_&PROD_" + name + "\\4&2A37BD3B&0&" + name;
}

class DevMgrTest : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override { os::Install(nullptr); }

  void Machine(const std::string& toml) { sim::LoadMachine(pc, toml, "test"); }
  int Journaled(const std::string& entry) const {
    return int(std::count(pc.Journal().begin(), pc.Journal().end(), entry));
  }
  int JournaledStarting(const std::string& prefix) const {
    return int(std::count_if(pc.Journal().begin(), pc.Journal().end(),
                             [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
  }
  static std::vector<std::string> Names(const TDevMgr& mgr) {
    std::vector<std::string> names;
    for (const DiskEntry& d : mgr.Disks()) names.push_back(FieldText(d.friendlyName));
    return names;
  }
  std::vector<std::string> Enumerated() {
    TDevMgr mgr;
    EXPECT_TRUE(mgr.EnumerateDisks());
    return Names(mgr);
  }

  sim::SimPc pc;
};

// ---- The table and its order ----

TEST_F(DevMgrTest, DisksComeByAddressKeyLaterFirstOnEqualKeysAndThoseWithoutAddressLast) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> disks;  // in enumeration order
    std::vector<std::string> order;
  };
  const Case cases[] = {
      {"port before target before LUN, the unopenable disk last",
       {{"D", "open_error = 32\nscsi_address = [0, 0, 0, 0]"},
        {"A", "scsi_address = [1, 0, 0, 0]"},
        {"B", "scsi_address = [0, 0, 1, 0]"},
        {"C", "scsi_address = [0, 0, 0, 0]"}},
       {"C", "B", "A", "D"}},
      {"equal keys: the later disk first (target 1 weighs as LUN 16)",
       {{"A", "scsi_address = [0, 0, 1, 0]"},
        {"B", "scsi_address = [0, 0, 1, 0]"},
        {"C", "scsi_address = [0, 0, 0, 16]"}},
       {"C", "B", "A"}},
      {"no address, or a short one, keeps the enumeration order",
       {{"A", ""},
        {"B", "scsi_address = [0, 0, 0, 0]\nscsi_address_bytes = 6"},
        {"C", "scsi_address = [5, 0, 0, 0]"}},
       {"C", "A", "B"}},
  };
  for (const Case& c : cases) {
    sim::SimPc machine;
    os::Install(&machine);
    std::string toml = kController;
    for (const auto& [name, keys] : c.disks) toml += Disk(name, keys);
    sim::LoadMachine(machine, toml, c.name);
    TDevMgr mgr;
    ASSERT_TRUE(mgr.EnumerateDisks()) << c.name;
    EXPECT_EQ(Names(mgr), c.order) << c.name;
  }
  os::Install(&pc);
}

TEST_F(DevMgrTest, ADiskThatCannotBeOpenedIsListedWithoutWhatTheQueriesWouldTell) {
  Machine(std::string(kController) + Disk("OPEN", "scsi_address = [0, 0, 0, 0]") +
          Disk("SHUT", "scsi_address = [0, 0, 1, 0]\nopen_error = 32\nrevision = \"R1\""));
  TDevMgr mgr;
  ASSERT_TRUE(mgr.EnumerateDisks());
  ASSERT_EQ(mgr.DiskCount(), 2);
  const DiskEntry& shut = mgr.Disks()[1];
  EXPECT_EQ(FieldText(shut.instanceId), DiskId("SHUT"));
  EXPECT_FALSE(shut.scsiAddressValid);
  EXPECT_EQ(shut.scsiAddress.TargetId, 0);
  EXPECT_EQ(shut.deviceNumber, 0xFF);
  EXPECT_EQ(shut.busType, 0);
  EXPECT_EQ(FieldText(shut.productRevision), "");
  EXPECT_EQ(shut.parentVid, 0x8086);  // the tree still knows where it hangs
  EXPECT_TRUE(mgr.Disks()[0].scsiAddressValid);
  EXPECT_EQ(mgr.Disks()[0].deviceNumber, 0);
}

TEST_F(DevMgrTest, EachDiskCarriesItsPropertiesAndWhatItsStorageStackReports) {
  sim::LoadMachineFile(pc, kMachines + "pci_and_usb.toml");
  TDevMgr mgr;
  ASSERT_TRUE(mgr.EnumerateDisks());
  ASSERT_EQ(mgr.DiskCount(), 3);
  const DiskEntry& k5 = mgr.Disks()[0];
  EXPECT_EQ(FieldText(k5.instanceId), "SCSI\\DISK&VEN_&PROD_CORVANE_K5_512GB\\4&2A37BD3B&0&000000");
  EXPECT_EQ(FieldText(k5.devicePath),
            "\\\\?\\scsi#disk&ven_&prod_corvane_k5_512gb#4&2a37bd3b&0&000000#"
            "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}");
  EXPECT_EQ(FieldText(k5.friendlyName), "CORVANE K5 512GB");
  EXPECT_EQ(FieldText(k5.enumeratorName), "SCSI");
  EXPECT_EQ(FieldText(k5.service), "disk");
  EXPECT_EQ(FieldText(k5.driverKey), "{4d36e967-e325-11ce-bfc1-08002be10318}\\0000");
  EXPECT_EQ(std::string(k5.hardwareIds, 29),
            std::string("SCSI\\DiskCORVANE_K5_512GB\0GenDisk", 29));
  EXPECT_EQ(k5.classGuid.Data1, 0x4D36E967u);
  EXPECT_FALSE(k5.isIdeEnumerator);
  EXPECT_EQ(k5.busType, os::kBusTypeSata);
  EXPECT_EQ(k5.deviceNumber, 0);
  EXPECT_EQ(FieldText(k5.productRevision), "K5FW0150");           // fills the field
  EXPECT_EQ(FieldText(k5.serialNumber), "CVK5A0123456789ABCDE");  // fills the field

  // A disk without a friendly name, location or hardware IDs is listed all the same.
  const DiskEntry& q7 = mgr.Disks()[1];
  EXPECT_TRUE(q7.isIdeEnumerator);
  EXPECT_EQ(FieldText(q7.friendlyName), "");
  EXPECT_EQ(FieldText(q7.productRevision), "Q7305A");
  EXPECT_EQ(FieldText(q7.serialNumber), "");
  EXPECT_EQ(q7.deviceNumber, 1);
  EXPECT_EQ(mgr.Disks()[2].busType, os::kBusTypeUsb);

  // Every set and every disk it opened is closed again.
  EXPECT_TRUE(pc.devices.sets.empty());
  EXPECT_TRUE(pc.devices.files.empty());
}

TEST_F(DevMgrTest, TheParentChainNamesTheControllerAndItsIds) {
  sim::LoadMachineFile(pc, kMachines + "pci_and_usb.toml");
  TDevMgr mgr;
  ASSERT_TRUE(mgr.EnumerateDisks());
  const auto disks = mgr.Disks();

  const devices::DeviceNode* rst = disks[0].parentNode.get();
  ASSERT_NE(rst, nullptr);
  EXPECT_EQ(FieldText(rst->instanceId),
            "PCI\\VEN_8086&DEV_2822&SUBSYS_86941043&REV_10\\3&11583659&0&B9");
  EXPECT_EQ(FieldText(rst->service), "iaStorA");
  EXPECT_EQ(FieldText(rst->description), "Intel(R) Chipset SATA/PCIe RST Premium Controller");
  EXPECT_EQ(FieldText(rst->friendlyName), "RST");
  EXPECT_EQ(FieldText(rst->driverKey), "{4d36e97b-e325-11ce-bfc1-08002be10318}\\0002");
  EXPECT_EQ(FieldText(rst->locationInformation), "PCI bus 0, device 23, function 1");
  EXPECT_EQ(rst->classGuid, os::kGUID_DEVCLASS_SCSIADAPTER);
  EXPECT_TRUE(rst->busNumberValid && rst->uiNumberValid && rst->deviceNumberValid);
  EXPECT_EQ(rst->uiNumber, 23);
  EXPECT_EQ(rst->deviceNumber, 23);
  EXPECT_EQ(rst->functionNumber, 1);
  ASSERT_NE(rst->next, nullptr);
  EXPECT_EQ(FieldText(rst->next->instanceId), "HTREE\\ROOT\\0");  // the top, without a class
  EXPECT_FALSE(rst->next->busNumberValid);
  EXPECT_EQ(rst->next->next, nullptr);
  EXPECT_EQ(disks[0].parentVid, 0x8086);
  EXPECT_EQ(disks[0].parentDid, 0x2822);

  // "VEN_80G6" is no vendor: the root port above the controller gives the IDs.
  EXPECT_EQ(disks[1].parentNode->vid, 0);
  EXPECT_EQ(FieldText(disks[1].parentNode->service), "storahci");
  EXPECT_EQ(disks[1].parentVid, 0x8086);
  EXPECT_EQ(disks[1].parentDid, 0xA340);

  // The bridge's VID and PID, not the xHCI controller's further up.
  EXPECT_EQ(disks[2].parentVid, 0x152D);
  EXPECT_EQ(disks[2].parentDid, 0x0578);
}

// ---- The expected count ----

TEST_F(DevMgrTest, WmiCountingMoreDisksThanInterfacesMeans11FillsThenTheShorterTable) {
  Machine("[system]\nwmi_disk_count = 5\n" + std::string(kController) +
          Disk("A", "scsi_address = [0, 0, 0, 0]") + Disk("B", "scsi_address = [0, 0, 1, 0]") +
          Disk("C", "scsi_address = [0, 0, 2, 0]"));
  EXPECT_EQ(Enumerated(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(Journaled(kFillSet), 11);
  EXPECT_EQ(Journaled("WMI ROOT\\CIMV2 \"Select * from Win32_DiskDrive\""), 1);
}

TEST_F(DevMgrTest, TheCountDecidesHowManyDisksAreTaken) {
  struct Case {
    const char* system;
    std::size_t disks;
    int fills;
  };
  for (const Case& c :
       {Case{"wmi_disk_count = 2", 2, 1}, Case{"wmi_disk_count = 0", 0, 1}, Case{"", 3, 1}}) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::LoadMachine(machine,
                     "[system]\n" + std::string(c.system) + "\n" + kController +
                         Disk("A", "scsi_address = [0, 0, 0, 0]") + Disk("B", "") + Disk("C", ""),
                     c.system);
    TDevMgr mgr;
    EXPECT_TRUE(mgr.EnumerateDisks()) << c.system;
    EXPECT_EQ(mgr.Disks().size(), c.disks) << c.system;
    EXPECT_EQ(std::count(machine.Journal().begin(), machine.Journal().end(), kFillSet), c.fills)
        << c.system;
  }
  os::Install(&pc);
}

// WMI is asked only when Winmgmt runs or can be made to run; otherwise the interfaces are
// counted, which takes a set of its own and then one fill, whatever WMI would have said.
TEST_F(DevMgrTest, WinmgmtIsStartedUpToThreeTimesExceptOnWinPE) {
  struct Case {
    const char* name;
    const char* system;
    int starts;
    bool wmi;
  };
  const Case cases[] = {
      {"running", "winmgmt = \"running\"", 0, true},
      {"stopped, starts after two queries", "winmgmt = \"stopped\"\nwinmgmt_start_queries = 2", 1,
       true},
      {"disabled: three refused starts", "winmgmt = \"disabled\"", 3, false},
      {"stuck starting", "winmgmt = \"stopped\"\nwinmgmt_start_queries = -1", 1, false},
      {"WinPE, stopped: not started", "winpe = true\nwinmgmt = \"stopped\"", 0, false},
      {"WinPE with WMI running", "winpe = true\nwinmgmt = \"running\"", 0, true},
      {"COM fails", "wmi_error = 0x80041003", 0, false},
  };
  for (const Case& c : cases) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::LoadMachine(machine,
                     "[system]\nwmi_disk_count = 4\n" + std::string(c.system) + "\n" + kController +
                         Disk("A", "scsi_address = [0, 0, 0, 0]") + Disk("B", ""),
                     c.name);
    TDevMgr mgr;
    ASSERT_TRUE(mgr.EnumerateDisks()) << c.name;
    EXPECT_EQ(mgr.DiskCount(), 2) << c.name;
    const auto& journal = machine.Journal();
    EXPECT_EQ(std::count(journal.begin(), journal.end(), "StartServiceA \"WINMGMT\""), c.starts)
        << c.name;
    EXPECT_EQ(std::count(journal.begin(), journal.end(), kFillSet), c.wmi ? 11 : 2) << c.name;
  }
  os::Install(&pc);
}

TEST_F(DevMgrTest, AStartThatNeverCompletesIsWaitedForTwentySeconds) {
  Machine("[system]\nwinmgmt = \"stopped\"\nwinmgmt_start_queries = -1\n");
  TDevMgr mgr;
  ASSERT_TRUE(mgr.EnumerateDisks());
  EXPECT_GE(pc.NowMicroseconds(), 20'000'000u);
  EXPECT_LT(pc.NowMicroseconds(), 21'000'000u);  // once: the later attempts find it pending
}

TEST_F(DevMgrTest, AnEnumerationThatEndsInAnErrorYieldsAnEmptyTable) {
  Machine("[system]\ndevice_enum_error = 1784\nwmi_disk_count = 2\n" + std::string(kController) +
          Disk("A", "scsi_address = [0, 0, 0, 0]"));
  TDevMgr mgr;
  EXPECT_TRUE(mgr.EnumerateDisks());
  EXPECT_EQ(mgr.DiskCount(), 0);
  EXPECT_EQ(Journaled(kFillSet), 11);
}

// ---- The table handed over ----

// The device object keeps the table it is handed for its whole life and counts its drives by
// it: exactly the records the enumeration filled go over, and the manager keeps none.
TEST_F(DevMgrTest, TheHandedTableHoldsOnlyTheFilledRecordsAndTheManagerKeepsNone) {
  struct Case {
    const char* name;
    std::string machine;
    std::vector<std::string> names;
  };
  const std::string a = Disk("A", "scsi_address = [0, 0, 0, 0]");
  const Case cases[] = {
      {"WMI counts more disks than there are",
       "[system]\nwmi_disk_count = 5\n" + std::string(kController) + a +
           Disk("B", "scsi_address = [0, 0, 1, 0]") + Disk("C", "scsi_address = [0, 0, 2, 0]"),
       {"A", "B", "C"}},
      {"the walk ends in an error",
       "[system]\ndevice_enum_error = 1784\nwmi_disk_count = 2\n" + std::string(kController) + a,
       {}},
      {"a required export is missing",
       "[libraries]\nmissing = [\"setupapi.dll!SetupDiGetClassDevsA\"]\n" +
           std::string(kController) + a,
       {}},
  };
  for (const Case& c : cases) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::LoadMachine(machine, c.machine, c.name);
    TDevMgr mgr;
    std::vector<std::string> names;
    for (const DiskEntry& d : mgr.BuildDiskTable()) names.push_back(FieldText(d.friendlyName));
    EXPECT_EQ(names, c.names) << c.name;
    EXPECT_EQ(mgr.DiskCount(), 0) << c.name;
    EXPECT_TRUE(mgr.Disks().empty()) << c.name;
  }
  os::Install(&pc);
}

// ---- Libraries ----

TEST_F(DevMgrTest, WithoutARequiredExportEveryOperationFails) {
  const char* const cases[] = {
      "[libraries]\nmissing = [\"setupapi.dll!SetupDiGetClassDevsA\"]",
      "[libraries]\nmissing = [\"setupapi.dll!SetupDiDestroyClassImageList\"]",
      "[libraries]\nmissing = [\"cfgmgr32.dll!CM_Reenumerate_DevNode\"]",
      "[libraries]\nabsent = [\"cfgmgr32.dll\"]",
  };
  for (const char* libraries : cases) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::LoadMachine(machine, std::string(libraries) + "\n" + kController +
                                  Disk("A", "scsi_address = [0, 0, 0, 0]"));
    {
      TDevMgr mgr;
      EXPECT_FALSE(mgr.EnumerateDisks()) << libraries;
      EXPECT_EQ(mgr.DiskCount(), 0);
      EXPECT_EQ(mgr.GetDeviceNumber("\\\\.\\PhysicalDrive0"), -1) << libraries;
      EXPECT_FALSE(mgr.RestartDisk(DiskId("A"))) << libraries;
      EXPECT_FALSE(mgr.RescanStorageControllers()) << libraries;
    }
    const auto& journal = machine.Journal();
    EXPECT_FALSE(std::any_of(journal.begin(), journal.end(), [](const std::string& e) {
      return e.starts_with("SetupDi") || e.starts_with("CM_") || e.starts_with("CreateFileA");
    })) << libraries;
    EXPECT_EQ(machine.system.LoadedLibraryCount("setupapi.dll"), 0) << libraries;
  }
  os::Install(&pc);
}

TEST_F(DevMgrTest, TheResourceDescriptorFunctionsAreNotRequiredAndTheLibrariesAreFreed) {
  Machine(
      "[libraries]\nmissing = [\"cfgmgr32.dll!CM_Get_First_Log_Conf\", "
      "\"cfgmgr32.dll!CM_Free_Log_Conf_Handle\"]\n" +
      std::string(kController) + Disk("A", "scsi_address = [0, 0, 0, 0]"));
  {
    TDevMgr mgr;
    EXPECT_EQ(pc.system.LoadedLibraryCount("setupapi.dll"), 1);
    EXPECT_EQ(pc.system.LoadedLibraryCount("cfgmgr32.dll"), 1);
    ASSERT_TRUE(mgr.EnumerateDisks());
    EXPECT_EQ(mgr.DiskCount(), 1);
  }
  EXPECT_EQ(Journaled("LoadLibraryA \"Setupapi.dll\""), 1);
  EXPECT_EQ(Journaled("LoadLibraryA \"cfgmgr32.dll\""), 1);
  EXPECT_EQ(pc.system.LoadedLibraryCount("setupapi.dll"), 0);
  EXPECT_EQ(pc.system.LoadedLibraryCount("cfgmgr32.dll"), 0);
}

// ---- Device numbers, restart and rescan ----

TEST_F(DevMgrTest, GetDeviceNumberOpensThePathAndAsksItsDriver) {
  Machine(std::string(kController) + Disk("A", "device_number = 3") +
          Disk("B", "open_error = 5\ndevice_number = 4"));
  TDevMgr mgr;
  EXPECT_EQ(mgr.GetDeviceNumber("\\\\.\\PhysicalDrive3"), 3);
  EXPECT_EQ(
      mgr.GetDeviceNumber(
          "\\\\?\\scsi#disk&ven_&prod_a#4&2a37bd3b&0&a#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}"),
      3);
  EXPECT_EQ(mgr.GetDeviceNumber("\\\\.\\PhysicalDrive4"), -1);  // cannot be opened
  EXPECT_EQ(mgr.GetDeviceNumber("\\\\.\\PhysicalDrive9"), -1);
  EXPECT_EQ(mgr.GetDeviceNumber(""), -1);
  EXPECT_TRUE(pc.devices.files.empty());
}

TEST_F(DevMgrTest, ARestartedDiskLeavesAndTheControllerRescanBringsItBack) {
  Machine(std::string(R"(
[[device]]
instance_id = 'PCI\VEN_8086&DEV_A352\3&11583659&0&B8'
class = "hdc"
service = "storahci"
[[device]]
instance_id = 'USB\VID_152D&PID_0578\1234'
class = "usb"
)") + kController +
          Disk("A", "scsi_address = [0, 0, 0, 0]") + Disk("B", "scsi_address = [0, 0, 1, 0]"));
  TDevMgr mgr;
  ASSERT_TRUE(mgr.RestartDisk(DiskId("B")));
  const std::vector<std::string> restart(pc.Journal().end() - 4, pc.Journal().end());
  EXPECT_EQ(restart, (std::vector<std::string>{
                         "SetupDiGetClassDevsA {53f56307-b6bf-11d0-94f2-00a0c91efb8b} "
                         "DIGCF_DEVICEINTERFACE",
                         "SetupDiSetClassInstallParamsA \"" + DiskId("B") +
                             "\" DIF_PROPERTYCHANGE DICS_STOP DICS_FLAG_CONFIGSPECIFIC profile 0",
                         "SetupDiCallClassInstaller DIF_REMOVE \"" + DiskId("B") + "\"",
                         "Device removed \"" + DiskId("B") + "\"",
                     }));
  EXPECT_EQ(Enumerated(), (std::vector<std::string>{"A"}));

  const std::size_t before = pc.Journal().size();
  ASSERT_TRUE(mgr.RescanStorageControllers());
  std::vector<std::string> rescan;
  for (std::size_t i = before; i < pc.Journal().size(); ++i)
    if (!pc.Journal()[i].starts_with("SetupDiGetClassDevsA")) rescan.push_back(pc.Journal()[i]);
  EXPECT_EQ(rescan, (std::vector<std::string>{
                        "CM_Reenumerate_DevNode \"PCI\\VEN_8086&DEV_A352\\3&11583659&0&B8\"",
                        "CM_Reenumerate_DevNode \"PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9\"",
                        "Device arrived \"" + DiskId("B") + "\"",
                    }));
  EXPECT_EQ(JournaledStarting("SetupDiGetClassDevsA NULL DIGCF_PRESENT|DIGCF_ALLCLASSES"), 2);
  EXPECT_EQ(Enumerated(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(DevMgrTest, RestartFindsNoOtherDiskAndADiskMayStayAway) {
  Machine(std::string(kController) + Disk("A", "returns_after_rescan = false"));
  TDevMgr mgr;
  EXPECT_FALSE(mgr.RestartDisk("SCSI\\DISK&VEN_&PROD_NONE\\1"));
  EXPECT_EQ(JournaledStarting("SetupDiCallClassInstaller"), 0);
  ASSERT_TRUE(mgr.RestartDisk(DiskId("A")));
  EXPECT_TRUE(mgr.RescanStorageControllers());
  EXPECT_EQ(JournaledStarting("Device arrived"), 0);
  EXPECT_TRUE(Enumerated().empty());
  EXPECT_TRUE(pc.devices.sets.empty());
}

// A disk that refuses its removal stays; a controller that refuses its rescan brings nothing
// back. Both are told as failures, the rest of the controllers still rescanned.
TEST_F(DevMgrTest, ARefusedRestartOrRescanIsAFailureAndLeavesTheTreeAsItWas) {
  Machine(std::string(kController) + "reenumerate_error = 0x13\n" +
          Disk("A", "remove_error = 5\nscsi_address = [0, 0, 0, 0]") +
          Disk("B", "scsi_address = [0, 0, 1, 0]"));
  TDevMgr mgr;
  EXPECT_FALSE(mgr.RestartDisk(DiskId("A")));
  ASSERT_TRUE(mgr.RestartDisk(DiskId("B")));
  EXPECT_EQ(Enumerated(), (std::vector<std::string>{"A"}));

  EXPECT_FALSE(mgr.RescanStorageControllers());
  EXPECT_EQ(Enumerated(), (std::vector<std::string>{"A"}));
}

// ---- The built-in machine ----

TEST_F(DevMgrTest, TheBuiltInMachineListsItsDisksInScanOrder) {
  sim::LoadMachine(pc, sim::BuiltInMachine(), "built-in");
  TDevMgr mgr;
  ASSERT_TRUE(mgr.EnumerateDisks());
  EXPECT_EQ(Names(mgr),
            (std::vector<std::string>{"CORVANE K5 512GB", "CORVANE Q7 2TB",
                                      "Samsung SSD 970 EVO Plus 1TB", "INTEL SSDPEKNW512G8",
                                      "JMicron Tech SCSI Disk Device", "WDC WD40EFRX-68N32N0"}));
  const auto disks = mgr.Disks();
  EXPECT_EQ(FieldText(disks[2].parentNode->service), "stornvme");
  EXPECT_EQ(disks[2].busType, os::kBusTypeNvme);
  EXPECT_EQ(FieldText(disks[3].parentNode->service), "iaStorA");
  EXPECT_EQ(disks[3].busType, os::kBusTypeRAID);
  EXPECT_EQ(disks[3].scsiAddress.PathId, 1);
  EXPECT_EQ(disks[4].parentVid, 0x152D);
  EXPECT_FALSE(disks[5].scsiAddressValid);
  EXPECT_EQ(pc.system.registry.GetString(
                "SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e97b-e325-11ce-bfc1-08002be10318}"
                "\\0002",
                "DriverVersion"),
            "17.9.1.1009");
}

}  // namespace
