// The Intel RST driver check on simulated PCs: which device is the RST controller, the
// version gate with its ordinal comparison, devices without a DriverVersion, enumeration
// errors and a system without SetupAPI. Every case also shows that no key or set is left open.
#include "discovery/irst_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "devices/dev_mgr.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"

namespace {

using devices::TDevMgr;
using discovery::CheckIrstDriver;
using discovery::GetIrstDriverVersion;

constexpr const char* kPremium = "Intel(R) SATA/PCIe Premium Controller";
constexpr const char* kSataRaid =
    "Intel Desktop/Workstation/Server Express Chipset SATA RAID Controller";

// A device of the SCSI and RAID class; an empty version writes no DriverVersion value, an
// empty key gives the device no driver key at all.
std::string Device(const std::string& id, const std::string& description,
                   const std::string& version, const std::string& key = "0001") {
  std::string t = "[[device]]\ninstance_id = '" + id + "'\nclass = \"scsiadapter\"\n" +
                  "description = \"" + description + "\"\n";
  if (!key.empty()) t += "driver_key = '{4d36e97b-e325-11ce-bfc1-08002be10318}\\" + key + "'\n";
  if (!version.empty()) t += "driver_version = \"" + version + "\"\n";
  return t;
}

struct Outcome {
  bool found;
  std::string description, version;
  bool check;
  std::string why;
};

class IrstDriverTest : public ::testing::Test {
 protected:
  // The two calls on a fresh PC described by `toml`.
  Outcome Run(const std::string& toml) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::LoadMachine(machine, toml, "test");
    Outcome o;
    {
      TDevMgr mgr;
      o.found = GetIrstDriverVersion(mgr, o.description, o.version);
      o.check = CheckIrstDriver(mgr, &o.why);
    }
    EXPECT_EQ(machine.system.OpenRegistryKeys(), 0u);
    EXPECT_TRUE(machine.devices.sets.empty());
    journal = machine.Journal();
    os::Install(nullptr);
    return o;
  }

  std::vector<std::string> journal;
};

TEST_F(IrstDriverTest, VersionsFrom14Point8OnPassAndTheComparisonIsByText) {
  const std::pair<const char*, bool> cases[] = {
      {"14.8.0.1010", true},  {"15.2.0.1020", true},
      {"14.5.0.1081", false}, {"9.6.0.1014", true},  // sorts after "14.8.0.0"
      {"14.8.0.0", true},
  };
  for (const auto& [version, passes] : cases) {
    const Outcome o = Run(Device("PCI\\VEN_8086&DEV_2822\\3&0&0&B9", kSataRaid, version));
    EXPECT_TRUE(o.found) << version;
    EXPECT_EQ(o.description, kSataRaid);
    EXPECT_EQ(o.version, version);
    EXPECT_EQ(o.check, passes) << version;
    EXPECT_EQ(o.why, "") << version;
  }
}

TEST_F(IrstDriverTest, TheControllerIsKnownByOneOfTwoDescriptions) {
  const std::pair<const char*, bool> cases[] = {
      {kSataRaid, true},
      {"intel sata raid controller", true},
      {kPremium, true},
      {"intel(r) sata/pcie premium controller", true},
      {"INTEL(R) SATA/PCIE PREMIUM CONTROLLER", true},
      // "Intel" is followed by "(R)", nowhere by a blank: the first test fails, and the second
      // wants SATA/PCIe.
      {"Intel(R) Chipset SATA RAID Controller", false},
      {"Intel(R) SATA/PCIe RAID Controller", false},
      {"Intel SATA AHCI Controller", false},
      {"Standard NVM Express Controller", false},
  };
  for (const auto& [description, matches] : cases) {
    EXPECT_EQ(discovery::IsIrstControllerDescription(description), matches) << description;
    const Outcome o = Run(Device("PCI\\VEN_8086&DEV_2822\\3&0&0&B9", description, "15.2.0.1020"));
    EXPECT_EQ(o.found, matches) << description;
    EXPECT_EQ(o.check, matches) << description;
    // A device with a version is seen whether it matches or not.
    EXPECT_EQ(o.description, description);
    EXPECT_EQ(o.version, "15.2.0.1020");
  }
}

TEST_F(IrstDriverTest, TheWalkSkipsDevicesWithoutADriverVersionAndStopsAtTheFirstMatch) {
  struct Case {
    const char* name;
    std::string toml;
    Outcome want;
  };
  const Case cases[] = {
      {"a matching controller without DriverVersion, then one with it",
       Device("PCI\\A", kPremium, "") + Device("PCI\\B", kSataRaid, "14.8.0.1010", "0002") +
           Device("PCI\\C", kPremium, "16.0.0.1", "0003"),
       {true, kSataRaid, "14.8.0.1010", true, ""}},
      {"a matching controller without a driver key is skipped too",
       Device("PCI\\A", kPremium, "", "") + Device("PCI\\B", kPremium, "14.5.0.1081", "0002"),
       {true, kPremium, "14.5.0.1081", false, ""}},
      {"no match: the texts tell the last device with a version",
       Device("PCI\\A", "Standard NVM Express Controller", "10.0.19041.1") +
           Device("PCI\\B", "Intel(R) Chipset SATA RAID Controller", "13.2.0.1022", "0002") +
           Device("PCI\\C", kSataRaid, "", "0003"),
       {false, "Intel(R) Chipset SATA RAID Controller", "13.2.0.1022", false,
        discovery::kIrstVersionUnavailable}},
      {"no device with a version: both texts NA",
       Device("PCI\\A", kSataRaid, ""),
       {false, "NA", "NA", false, discovery::kIrstVersionUnavailable}},
      {"an enumeration error after the controller: it was found before",
       "[system]\ndevice_enum_error = 13\n" + Device("PCI\\A", kPremium, "15.2.0.1020"),
       {true, kPremium, "15.2.0.1020", true, ""}},
      {"an enumeration error and no controller",
       "[system]\ndevice_enum_error = 13\n" + Device("PCI\\A", "Intel SATA AHCI", "15.2.0.1020"),
       {false, "Intel SATA AHCI", "15.2.0.1020", false, discovery::kIrstVersionUnavailable}},
      {"no SetupAPI",
       "[libraries]\nabsent = [\"setupapi.dll\"]\n" + Device("PCI\\A", kPremium, "15.2"),
       {false, "NA", "NA", false, discovery::kIrstVersionUnavailable}},
      {"SetupAPI without SetupDiOpenDevRegKey",
       "[libraries]\nmissing = [\"setupapi.dll!SetupDiOpenDevRegKey\"]\n" +
           Device("PCI\\A", kPremium, "15.2"),
       {false, "NA", "NA", false, discovery::kIrstVersionUnavailable}},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(c.toml);
    EXPECT_EQ(o.found, c.want.found) << c.name;
    EXPECT_EQ(o.description, c.want.description) << c.name;
    EXPECT_EQ(o.version, c.want.version) << c.name;
    EXPECT_EQ(o.check, c.want.check) << c.name;
    EXPECT_EQ(o.why, c.want.why) << c.name;
  }
}

TEST_F(IrstDriverTest, AllPresentDevicesOfAllClassesAndTheirDriverKeysWithFullAccess) {
  Run("[[device]]\ninstance_id = 'PCI\\GONE'\nclass = \"scsiadapter\"\npresent = false\n"
      "description = \"Intel SATA RAID Controller\"\ndriver_key = 'x\\0009'\n"
      "driver_version = \"15.0\"\n" +
      Device("PCI\\A", kPremium, "15.2.0.1020"));
  const auto has = [&](const std::string& entry) {
    return std::count(journal.begin(), journal.end(), entry);
  };
  EXPECT_EQ(has("SetupDiGetClassDevsA NULL DIGCF_PRESENT|DIGCF_ALLCLASSES"), 2);
  EXPECT_EQ(has("SetupDiOpenDevRegKey \"PCI\\A\" DIREG_DRV DICS_FLAG_GLOBAL profile 0 access "
                "0xF003F"),
            2);
  EXPECT_EQ(has("SetupDiOpenDevRegKey \"PCI\\GONE\" DIREG_DRV DICS_FLAG_GLOBAL profile 0 access "
                "0xF003F"),
            0);
}

TEST_F(IrstDriverTest, TheEnumerationDoesNotNeedSetupDiOpenDevRegKey) {
  sim::SimPc machine;
  os::Install(&machine);
  sim::LoadMachine(machine, "[libraries]\nmissing = [\"setupapi.dll!SetupDiOpenDevRegKey\"]\n",
                   "test");
  {
    TDevMgr mgr;
    EXPECT_TRUE(mgr.EnumerateDisks());
  }
  os::Install(nullptr);
}

}  // namespace
