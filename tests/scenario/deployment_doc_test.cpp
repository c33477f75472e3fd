// What a deployment system sees of a run: the registry values it detects the result by, the
// boxes a silent run still shows, the restarts, the exit code of an automatic run and the files
// the boot-time path leaves on a 32-bit and a 64-bit Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/frmTravok.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"
#include "tests/support/whole_run.h"
#include "tests/unit/transport/transport_fixture.h"

namespace {

using namespace testing_support;

constexpr const char* kModel = "CORVANE K5 512GB";
constexpr const char* kTargetDevice = "SOFTWARE\\WOW6432Node\\Halbrook\\Corvane\\TargetDevice";
constexpr const char* kNoTargetDevice = "SOFTWARE\\WOW6432Node\\Halbrook\\Corvane\\NoTargetDevice";
constexpr const char* kRefuses = "[[disk.ata.fault]]\ncommand = 0x92\ntimes = -1\nstatus = 0x51\n";

std::string Sata(const std::string& name, int target, const std::string& more = "",
                 const std::string& model = kModel, const std::string& firmware = "K5FW0100") {
  const std::string vendor =
      more.find("vendor_version") == std::string::npos ? "vendor_version = \"A5FW010A\"\n" : "";
  return transport_test::Disk(name, target, "",
                              "[disk.ata]\nmodel = \"" + model + "\"\nfirmware = \"" + firmware +
                                  "\"\nserial = \"SN-" + name + "\"\n" + vendor + more);
}

pack::Release ReleaseFor(const std::string& model, int style = 20,
                         const std::string& target = "K5FW0200") {
  pack::Release release = SmallRelease();
  release.visualStyle = style;
  release.images[0].newFw = target;
  release.images[0].rows = {{"", "", model}};
  release.images[0].bytes = sim::MakeSimFirmwareImage(kModel, target, 8 * 512);
  return release;
}

class DeploymentRun : public WholeRun {
 protected:
  std::string Firmware(const std::string& name) {
    return pc.devices.Find(transport_test::DiskId(name))->disk->ata->identity.firmware;
  }
};

// A detection script reads what the last run that got as far as the registry left; nothing is
// ever removed, and a failure writes nothing.
TEST_F(DeploymentRun, TheKeysHoldWhatSucceededAndKeepWhatEarlierRunsLeft) {
  struct Case {
    const char* name;
    pack::Release release;
    std::string machine;
    bool earlierFwVersion, earlierNoTarget;  // left by an earlier run
    int exitCode;
    std::string fwVersion;  // "" for no value
    bool noTarget;
    std::string firmwareAfter;
  };
  pack::Release automatic = ReleaseFor(kModel);
  SetOption(automatic, kAutoMode);
  pack::Release restartsLater = ReleaseFor(kModel);
  SetOption(restartsLater, kReBoot);
  SetOption(restartsLater, kSkipInfoRefresh);
  const Case cases[] = {
      {"updated", ReleaseFor(kModel), Sata("K5", 0), false, true, 0, "K5FW0200", true, "K5FW0200"},
      {"a failed download writes nothing", ReleaseFor(kModel), Sata("K5", 0, kRefuses), true, false,
       1, "K5FW0100", false, "K5FW0100"},
      {"no eligible drive adds NoTargetDevice beside the old value", ReleaseFor("NOT HERE"),
       Sata("K5", 0), true, false, 3, "K5FW0100", true, "K5FW0100"},
      // This family runs the new image only from the drive's next power cycle: the value is the
      // release's target, not what the drive reads back.
      {"the value is the target, not a revision read back", restartsLater,
       Sata("K5", 0, "vendor_version = \"K5FW010A\"\n"), false, false, 0, "K5FW0200", false,
       "K5FW0100"},
      {"no drive at all: no key", ReleaseFor(kModel), "", false, false, 2, "", false, ""},
      {"an automatic run keeps the value of the drive before a failure", automatic,
       Sata("A", 0) + Sata("K5", 1, kRefuses), false, false, 1, "K5FW0200", false, "K5FW0100"},
      {"other styles write nothing", ReleaseFor(kModel, 0), Sata("K5", 0), false, false, 0, "",
       false, "K5FW0200"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    prepare = [&](sim::SimPc& p) {
      if (c.earlierFwVersion) p.system.registry.SetString(kTargetDevice, "FWVersion", "K5FW0100");
      if (c.earlierNoTarget) p.system.registry.AddKey(kNoTargetDevice);
    };
    EXPECT_EQ(Run(c.release, c.machine), c.exitCode);
    const bool hasValue = pc.system.registry.GetValue(kTargetDevice, "FWVersion") != nullptr;
    EXPECT_EQ(hasValue, !c.fwVersion.empty());
    if (hasValue) {
      EXPECT_EQ(pc.system.registry.GetString(kTargetDevice, "FWVersion"), c.fwVersion);
    }
    EXPECT_EQ(pc.system.registry.HasKey(kNoTargetDevice), c.noTarget);
    if (!c.machine.empty()) {
      EXPECT_EQ(Firmware("K5"), c.firmwareAfter);
    }
  }
}

TEST_F(DeploymentRun, ASilentRunShowsOnlyTheStyle9FinishBoxAndRestartsWithoutAsking) {
  struct Case {
    const char* name;
    int style;
    bool rebootSystem;
    std::string more, firmware;
    int exitCode;
    std::vector<std::string> boxes;
    std::size_t restarts;
  };
  const Case cases[] = {
      {"style 9 tells the end and waits for OK",
       9,
       false,
       "",
       "K5FW0100",
       0,
       {"Information: Flash finished !"},
       0},
      {"style 9, failed: no box", 9, false, kRefuses, "K5FW0100", 1, {}, 0},
      {"style 9, up to date: no box", 9, false, "", "K5FW0300", 0, {}, 0},
      {"restart after the update, not asked", 0, true, "", "K5FW0100", 0, {}, 1},
      {"no restart after a failure", 0, true, kRefuses, "K5FW0100", 1, {}, 0},
      {"no restart for a drive already up to date", 0, true, "", "K5FW0300", 0, {}, 0},
      {"style 9 with a restart: the box, then the restart",
       9,
       true,
       "",
       "K5FW0100",
       0,
       {"Information: Flash finished !"},
       1},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pack::Release release = ReleaseFor(kModel, c.style);
    if (c.rebootSystem) SetOption(release, kRebootSystem);
    EXPECT_EQ(Run(release, Sata("K5", 0, c.more, kModel, c.firmware)), c.exitCode);
    std::vector<std::string> boxes;
    for (const auto& box : pc.MessageBoxes()) boxes.push_back(box.caption + ": " + box.text);
    EXPECT_EQ(boxes, c.boxes);
    ASSERT_EQ(pc.system.Restarts().size(), c.restarts);
    // Forced: open programs are not asked to agree.
    for (std::uint32_t flags : pc.system.Restarts())
      EXPECT_EQ(flags, os::kEWX_REBOOT | os::kEWX_FORCE);
  }
}

// The list order is the scan order; the run's exit code is the last updated drive's, and only
// the last drive's own success restarts Windows and tells the end.
TEST_F(DeploymentRun, AnAutomaticRunEndsWithTheCodeOfTheLastDriveItUpdated) {
  struct Case {
    const char* name;
    std::string machine;
    int exitCode;
    std::size_t restarts;
  };
  const Case cases[] = {
      {"the last drive is not the release's: the first's success stands, no restart",
       Sata("A", 0) + Sata("X", 1, "", "OTHER SSD"), 0, 0},
      {"the last drive is not the release's: the first's failure stands",
       Sata("A", 0, kRefuses) + Sata("X", 1, "", "OTHER SSD"), 1, 0},
      {"an earlier failure is not in the code when the last succeeds",
       Sata("A", 0, kRefuses) + Sata("B", 1), 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pack::Release release = ReleaseFor(kModel, 9);
    SetOption(release, kAutoMode);
    SetOption(release, kRebootSystem);
    EXPECT_EQ(Run(release, c.machine), c.exitCode);
    EXPECT_EQ(pc.system.Restarts().size(), c.restarts);
    // The finish box of style 9 belongs to the last drive as well.
    EXPECT_EQ(pc.MessageBoxes().size(), c.restarts);
  }
}

// Updater mode reaches the one drive the command line names, and writes its result like any run.
TEST_F(DeploymentRun, UpdaterModeUpdatesTheDriveTheCommandLineNames) {
  const std::string csmi =
      "[[csmi]]\nport = 3\n\n[[csmi.phy]]\nphy = 0\nsas_address = [1, 2, 3, 4, 5, 6, 7, 8]\n\n"
      "[csmi.phy.ata]\nmodel = \"" +
      std::string(kModel) + "\"\nfirmware = \"K5FW0100\"\nserial = \"SN-CSMI\"\n";
  struct Case {
    const char* arguments;
    int exitCode;
    std::string updated;  // the drive that received the image: A, B or the CSMI one
  };
  const Case cases[] = {
      {"/T:\\\\.\\PhysicalDrive0", 0, "A"},
      {"/T:\\\\.\\PhysicalDrive1", 0, "B"},
      {"/T:\\\\.\\PhysicalDrive7", 3, ""},  // no such drive
      {"/C:3,0102030405060708", 0, "CSMI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    pack::Release release = ReleaseFor(kModel);
    SetOption(release, kUpdaterMode);
    EXPECT_EQ(Run(release, Sata("A", 0) + Sata("B", 1) + csmi, c.arguments), c.exitCode);
    const auto downloads = [](const sim::SimSataDrive& drive) {
      return std::count_if(drive.Records().begin(), drive.Records().end(),
                           [](const sim::SimAtaRecord& r) {
                             return r.command.registers[sim::ata::kCommand] == 0x92;
                           });
    };
    const sim::SimSataDrive& phyDrive = *pc.scsiPorts.at(3).csmi->phys.at(0).drive;
    EXPECT_EQ(downloads(*pc.devices.Find(transport_test::DiskId("A"))->disk->ata) > 0,
              c.updated == "A");
    EXPECT_EQ(downloads(*pc.devices.Find(transport_test::DiskId("B"))->disk->ata) > 0,
              c.updated == "B");
    EXPECT_EQ(downloads(phyDrive) > 0, c.updated == "CSMI");
    EXPECT_EQ(pc.system.registry.GetValue(kTargetDevice, "FWVersion") != nullptr,
              !c.updated.empty());
  }
}

// After an update the disk is restarted so that Windows reads the drive again, unless something
// else will: a restart of Windows, a rescan that saw the new revision.
TEST_F(DeploymentRun, TheDiskIsRestartedAfterAnUpdateUnlessTheReleaseOrTheDriveSaysOtherwise) {
  struct Case {
    const char* name;
    std::function<void(pack::Release&)> options;
    bool systemDrive;
    bool refreshed;
    std::string firmware = "K5FW0100";
    std::string arguments = "/S";
  };
  const Case cases[] = {
      {"a plain update", [](pack::Release&) {}, false, true},
      {"skip_info_refresh", [](pack::Release& r) { SetOption(r, kSkipInfoRefresh); }, false, false},
      {"reboot_system", [](pack::Release& r) { SetOption(r, kRebootSystem); }, false, false},
      {"updater_mode", [](pack::Release& r) { SetOption(r, kUpdaterMode); }, false, false,
       "K5FW0100", "/T:\\\\.\\PhysicalDrive0"},
      // Deployment style sends no vendor version command, so the extended revision the rescan
      // checks is the revision itself; this family activates the image at once.
      {"the rescan after the drive's restart saw the new revision",
       [](pack::Release& r) {
         r = ReleaseFor(kModel, 20, "A5FW0200");
         SetOption(r, kReBoot);
       },
       false, false, "A5FW0100"},
      {"the system drive", [](pack::Release&) {}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pack::Release release = ReleaseFor(kModel, 0);
    c.options(release);
    prepare = [&](sim::SimPc& p) {
      if (c.systemDrive) p.devices.Find(transport_test::DiskId("K5"))->disk->volumes = "C";
    };
    EXPECT_EQ(Run(release, Sata("K5", 0, "", kModel, c.firmware), c.arguments), 0);
    // The disk is removed through its class installer, then found again by the rescan.
    const auto stops = std::count_if(pc.Journal().begin(), pc.Journal().end(), [](const auto& e) {
      return e.starts_with("SetupDiCallClassInstaller ") &&
             e.find(transport_test::DiskId("K5")) != std::string::npos;
    });
    EXPECT_EQ(stops > 0, c.refreshed);
  }
}

// The program is a 32-bit process: on 64-bit Windows its system directory is SysWOW64, and a
// copy program is written and started beside the files.
TEST_F(DeploymentRun, TheHandOffLeavesItsFilesInTheSystemDirectoryTheProgramSees) {
  for (const bool wow64 : {false, true}) {
    SCOPED_TRACE(wow64);
    pack::Release release = BootTimeRelease();
    release.visualStyle = 20;
    release.images[0].rows = {{"", "", kModel}};
    prepare = [&](sim::SimPc& p) { p.system.wow64 = wow64; };
    answers = {os::kIDNO};
    EXPECT_EQ(Run(release, Sata("K5", 0)), 11);
    const std::string directory = wow64 ? "C:\\Windows\\SysWOW64\\" : "C:\\Windows\\system32\\";
    EXPECT_TRUE(pc.files.Exists(directory + "FW.bin"));
    EXPECT_TRUE(pc.files.Exists(directory + "NtKavlo.exe"));
    EXPECT_EQ(pc.files.Exists("C:\\Windows\\SysWOW64\\CopyFile.exe"), wow64);
    EXPECT_EQ(pc.processes.ShellStarts().size(), wow64 ? 1u : 0u);
    const auto* bootExecute = pc.system.registry.GetValue(
        "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "BootExecute");
    ASSERT_NE(bootExecute, nullptr);
    EXPECT_EQ(std::string(bootExecute->data.begin(), bootExecute->data.end()),
              std::string("autocheck autochk *\0NtKavlo FW.bin\0\0", 36));
    EXPECT_EQ(pc.system.registry.GetValue(kTargetDevice, "FWVersion"), nullptr);
    EXPECT_EQ(Firmware("K5"), "K5FW0100");
    EXPECT_TRUE(pc.system.Restarts().empty());  // the question was answered No
  }

  // A drive already up to date is not handed over.
  pack::Release upToDate = BootTimeRelease();
  upToDate.images[0].rows = {{"", "", kModel}};
  prepare = nullptr;
  answers.clear();
  EXPECT_EQ(Run(upToDate, Sata("K5", 0, "", kModel, "K5FW0300")), 0);
  EXPECT_FALSE(pc.files.Exists("C:\\Windows\\SysWOW64\\FW.bin"));
  EXPECT_TRUE(pc.MessageBoxes().empty());

  // An image file Windows refuses: nothing else is written, nothing is asked, and the exit code
  // is the same 11.
  pack::Release release = BootTimeRelease();
  release.images[0].rows = {{"", "", kModel}};
  prepare = [](sim::SimPc& p) { p.files.DenyWrites("C:\\Windows\\SysWOW64\\FW.bin"); };
  answers.clear();
  EXPECT_EQ(Run(release, Sata("K5", 0)), 11);
  EXPECT_FALSE(pc.files.Exists("C:\\Windows\\SysWOW64\\NtKavlo.exe"));
  EXPECT_TRUE(pc.MessageBoxes().empty());
}

}  // namespace
