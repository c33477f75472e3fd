// Whole updates on the simulated PC: from the start-up through the update of the selected drive
// to the exit code, with the drives' own account of what they received and run afterwards.
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
constexpr const char* kNvmeModel = "CORVANE N7 1TB";
constexpr std::uint8_t kDownloadMicrocode = 0x92;

// The vendor version reply is left as "A5FW010A" unless `more` gives one: its first letter
// keeps the package's download mode.
std::string Sata(const std::string& name, int target, const std::string& firmware,
                 const std::string& more = "", const std::string& model = kModel) {
  const std::string vendor =
      more.find("vendor_version") == std::string::npos ? "vendor_version = \"A5FW010A\"\n" : "";
  return transport_test::Disk(name, target, "",
                              "[disk.ata]\nmodel = \"" + model + "\"\nfirmware = \"" + firmware +
                                  "\"\nserial = \"SN-" + name + "\"\n" + vendor + more);
}

constexpr const char* kNvmeController = R"(
[[device]]
instance_id = 'PCI\VEN_144D&DEV_A808\4&1F7E4B4B&0&00E0'
class = "scsiadapter"
service = "stornvme"
)";

std::string InboxNvme(const std::string& firmware) {
  return std::string(kNvmeController) +
         "[[disk]]\ninstance_id = 'SCSI\\DISK&VEN_NVME&PROD_N7\\5&1&0&000000'\n"
         "parent = 'PCI\\VEN_144D&DEV_A808\\4&1F7E4B4B&0&00E0'\nbus_type = 0x11\n"
         "friendly_name = \"" +
         kNvmeModel +
         "\"\n"
         "scsi_address = [1, 0, 0, 0]\n\n[disk.nvme]\nmodel = \"" +
         kNvmeModel + "\"\nserial = \"SN-N7\"\nfirmware = \"" + firmware + "\"\n";
}

// A release for one model whose image the simulated drive of that model takes.
pack::Release ReleaseFor(const std::string& model, const std::string& target = "K5FW0200",
                         const std::string& imageModel = "") {
  pack::Release release = SmallRelease();
  release.images[0].newFw = target;
  release.images[0].rows = {{"", "", model}};
  release.images[0].bytes =
      sim::MakeSimFirmwareImage(imageModel.empty() ? model : imageModel, target, 8 * 512);
  return release;
}

class UpdateRun : public WholeRun {
 protected:
  void Observe(const app::TTravokMain& main) override {
    updateState = main.UpdateState();
    if (observe) observe(main);
  }
  sim::SimSataDrive& Drive(const std::string& name) {
    return *pc.devices.Find(transport_test::DiskId(name))->disk->ata;
  }
  sim::SimNvmeDrive& Nvme() {
    return *pc.devices.Find("SCSI\\DISK&VEN_NVME&PROD_N7\\5&1&0&000000")->disk->nvme;
  }
  static int Commands(const sim::SimSataDrive& drive, std::uint8_t opcode) {
    const auto& records = drive.Records();
    return int(std::count_if(records.begin(), records.end(), [&](const sim::SimAtaRecord& r) {
      return r.command.registers[sim::ata::kCommand] == opcode;
    }));
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> out;
    for (const auto& box : pc.MessageBoxes()) out.push_back(box.caption + ": " + box.text);
    return out;
  }

  std::function<void(const app::TTravokMain&)> observe;
  int updateState = 0;
};

// ---- One drive, the outcomes of the exit-code table ----

TEST_F(UpdateRun, EachOutcomeEndsWithItsExitCodeAndLeavesTheDriveAsItSays) {
  struct Case {
    const char* name;
    std::function<void(pack::Release&)> options;
    std::string firmware;  // of the drive before the run
    std::string more;      // its further [disk.ata] keys
    std::string arguments;
    int exitCode;
    std::string status;
    std::string firmwareAfter;
    int downloads;  // DOWNLOAD MICROCODE commands the drive received
  };
  const Case cases[] = {
      {"updated, the drive found again after its restart",
       [](pack::Release& r) { SetOption(r, kReBoot); }, "K5FW0100", "", "/S", 0, "Done !",
       "K5FW0200", 1},
      {"updated, no restart wait", [](pack::Release&) {}, "K5FW0100", "", "/S", 0, "Done !",
       "K5FW0200", 1},
      // A "K" revision family takes the flow without the closing command: the image runs at the
      // drive's next restart, and the rescan finds the old revision.
      {"found again with the old revision, the worker's result stands",
       [](pack::Release& r) {
         SetOption(r, kReBoot);
         SetOption(r, kSkipInfoRefresh);
       },
       "K5FW0100", "vendor_version = \"K5FW010A\"\n", "/S", 0, "Done !", "K5FW0100", 1},
      // ...and its last segment is the only word on the image: one the drive did not take
      // whole (it still waits for more) is a failure, not a success found again unchanged.
      {"the flow without closing command, an image the drive does not take",
       [](pack::Release& r) {
         SetOption(r, kReBoot);
         SetOption(r, kSkipInfoRefresh);
         r.images[0].bytes.assign(8 * 512, 'K');
       },
       "K5FW0100", "vendor_version = \"K5FW010A\"\n", "/S", 1,
       "ERROR: ATACMD_ERR, STATUS_REGISTER:0x50", "K5FW0100", 1},
      {"a newer drive is already up to date", [](pack::Release&) {}, "K5FW0300", "", "/S", 0,
       "This drive is the latest firmware.", "K5FW0300", 0},
      {"going back is allowed with bFOld", [](pack::Release& r) { SetOption(r, kFOld); },
       "K5FW0300", "", "/S", 0, "Done !", "K5FW0200", 1},
      {"the drive refuses an image for another model",
       [](pack::Release& r) { r = ReleaseFor(kModel, "K5FW0200", "OTHER MODEL"); }, "K5FW0100", "",
       "/S", 1, "ERROR: ATACMD_ERR, STATUS_REGISTER:0x51", "K5FW0100", 1},
      {"a drive of the faulty family with a vendor block is faulty", [](pack::Release&) {},
       "K5FW0100", "vendor_version = \"QTH51415\"\nrpe = { 3 = [0, 7] }\n", "/S", 1, "", "K5FW0100",
       0},
      {"a faulty-family drive whose vendor block reads empty is healthy", [](pack::Release&) {},
       "K5FW0100", "vendor_version = \"QTH51415\"\nrpe = { 3 = [0, 0] }\n", "/S", 0, "Done !",
       "K5FW0200", 1},
      {"erase-all loads no image", [](pack::Release&) {}, "K5FW0100", "", "/S /ERASE", 0,
       "Erasing ...", "K5FW0100", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pack::Release release = ReleaseFor(kModel);
    c.options(release);
    EXPECT_EQ(Run(release, Sata("K5", 0, c.firmware, c.more), c.arguments), c.exitCode);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(Drive("K5").identity.firmware, c.firmwareAfter);
    EXPECT_EQ(Commands(Drive("K5"), kDownloadMicrocode) > 0 ? 1 : 0, c.downloads);
    EXPECT_TRUE(pc.MessageBoxes().empty());  // a silent run shows none of these
  }
}

TEST_F(UpdateRun, EraseAllThatFailsEndsWith1AndNamesTheWindowsError) {
  const std::string fault = "[[disk.ata.fault]]\ncommand = 0xFF\ntimes = -1\nwindows_error = 31\n";
  EXPECT_EQ(Run(ReleaseFor(kModel), Sata("K5", 0, "K5FW0100", fault), "/S /ERASE"), 1);
  EXPECT_EQ(status, "ERASE ERROR:0x1F");
  EXPECT_EQ(Commands(Drive("K5"), kDownloadMicrocode), 0);
}

TEST_F(UpdateRun, APreformatPackageStopsAtTheSystemDriveWith3) {
  pack::Release release = ReleaseFor(kModel);
  SetOption(release, kPreformat);
  prepare = [](sim::SimPc& p) {
    p.devices.Find(transport_test::DiskId("K5"))->disk->volumes = "C";
  };
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100")), 3);
  EXPECT_EQ(Drive("K5").Preformats(), 0);
  EXPECT_EQ(Commands(Drive("K5"), kDownloadMicrocode), 0);
  EXPECT_TRUE(pc.MessageBoxes().empty());

  // The same package on a data drive preformats it after the update.
  prepare = nullptr;
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100")), 0);
  EXPECT_EQ(Drive("K5").Preformats(), 1);
  EXPECT_EQ(Drive("K5").identity.firmware, "K5FW0200");
}

TEST_F(UpdateRun, DeploymentStyleRecordsTheRevisionTheDriveNowCarries) {
  for (const char* before : {"K5FW0100", "K5FW0300"}) {
    pack::Release release = ReleaseFor(kModel);
    release.visualStyle = 20;
    EXPECT_EQ(Run(release, Sata("K5", 0, before)), 0);
    const std::string expected = std::string(before) == "K5FW0100" ? "K5FW0200" : "K5FW0300";
    EXPECT_EQ(pc.system.registry.GetString("SOFTWARE\\WOW6432Node\\Halbrook\\Corvane\\TargetDevice",
                                           "FWVersion"),
              expected);
  }
}

TEST_F(UpdateRun, AFailedDownloadShowsNoBoxEvenWithoutSlashS) {
  // Without "/S" the command line still switches silent mode on: no box either way.
  pack::Release release = ReleaseFor(kModel, "K5FW0200", "OTHER MODEL");
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100"), ""), 1);
  EXPECT_TRUE(pc.MessageBoxes().empty());
}

// ---- The boot-time hand-off ----

TEST_F(UpdateRun, TheHandOffLeavesTheExitCodeAndSendsNoImageToTheDrive) {
  pack::Release release = BootTimeRelease();
  release.images[0].rows = {{"", "", kModel}};
  answers = {os::kIDNO};  // the restart question is asked even when silent
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100")), 11);
  EXPECT_EQ(Commands(Drive("K5"), kDownloadMicrocode), 0);
  EXPECT_TRUE(pc.files.Exists("C:\\Windows\\SysWOW64\\FW.bin"));
  ASSERT_FALSE(pc.MessageBoxes().empty());
  EXPECT_EQ(pc.MessageBoxes().back().caption, "Question");
  EXPECT_TRUE(pc.system.Restarts().empty());
}

// ---- NVMe on the inbox driver ----

TEST_F(UpdateRun, InboxNvmeOnWindows7NeedsTheRstDriverAndWindows8Passes) {
  struct Case {
    std::uint32_t major, minor;
    int exitCode;
    std::string running;
  } cases[] = {
      {6, 1, 7, "N7FW0100"},   // Windows 7: 0E010000h
      {6, 2, 0, "N7FW0200"},   // Windows 8: 10010000h
      {10, 0, 0, "N7FW0200"},  // Windows 10: 14010000h
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.major);
    prepare = [&](sim::SimPc& p) {
      sim::SimWindowsVersion v;
      v.major = c.major;
      v.minor = c.minor;
      p.system.Become(v);
    };
    EXPECT_EQ(Run(ReleaseFor(kNvmeModel, "N7FW0200"), InboxNvme("N7FW0100")), c.exitCode);
    EXPECT_EQ(Nvme().RunningRevision(), c.running);
  }
}

// ---- NVMe behind Intel RST ----

TEST_F(UpdateRun, TheImageGoesToTheRstDriveOnItsOwnPath) {
  // Two drives on the RST controller of port 2; only the one on path 1 is the package's.
  const auto rstDisk = [](int path, const std::string& model) {
    const std::string id = "SCSI\\DISK&VEN_NVME&PROD_" + std::to_string(path) + "\\5&2&0&0" +
                           std::to_string(path) + "0000";
    return "[[disk]]\ninstance_id = '" + id + "'\nparent = '" + kRstControllerId +
           "'\nbus_type = 8\n"
           "scsi_address = [2, " +
           std::to_string(path) + ", 0, 0]\nfriendly_name = \"" + model +
           "\"\n[disk.nvme]\nmodel = \"" + model + "\"\nserial = \"SN-" + std::to_string(path) +
           "\"\nfirmware = \"N7FW0100\"\nfrmw = 0x12\n";
  };
  const std::string machine =
      kRstController + rstDisk(1, kNvmeModel) + rstDisk(2, "OTHER NVME") + "[[irst]]\nport = 2\n";
  EXPECT_EQ(Run(ReleaseFor(kNvmeModel, "N7FW0200"), machine), 0);
  const auto downloads = [this](const std::string& id) {
    const auto& records = pc.devices.Find(id)->disk->nvme->Records();
    return std::count_if(records.begin(), records.end(), [](const sim::SimNvmeRecord& r) {
      return r.command[0] == sim::nvme::kFirmwareImageDownload;
    });
  };
  EXPECT_GT(downloads("SCSI\\DISK&VEN_NVME&PROD_1\\5&2&0&010000"), 0);
  EXPECT_EQ(downloads("SCSI\\DISK&VEN_NVME&PROD_2\\5&2&0&020000"), 0);
  EXPECT_EQ(
      pc.devices.Find("SCSI\\DISK&VEN_NVME&PROD_1\\5&2&0&010000")->disk->nvme->RunningRevision(),
      "N7FW0200");
}

// ---- The wait for the drive after its restart ----

TEST_F(UpdateRun, ADriveThatLeavesTheBusIsFoundAgainAfterTheControllersAreEnumeratedAgain) {
  pack::Release release = ReleaseFor(kModel);
  SetOption(release, kReBoot);
  const std::string leaves = "leaves_bus_on_activation = true\n";
  const auto journalHas = [this](const std::string& start) {
    return std::any_of(pc.Journal().begin(), pc.Journal().end(),
                       [&](const std::string& line) { return line.starts_with(start); });
  };
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100", leaves)), 0);
  EXPECT_EQ(status, "Done !");
  EXPECT_EQ(Drive("K5").identity.firmware, "K5FW0200");
  EXPECT_TRUE(journalHas("Device left the bus"));
  EXPECT_TRUE(journalHas("Device arrived"));

  // Under the system drive the bus is left alone: the drive is not found again, and the
  // worker's success stands.
  prepare = [](sim::SimPc& p) {
    p.devices.Find(transport_test::DiskId("K5"))->disk->volumes = "C";
  };
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100", leaves)), 0);
  EXPECT_FALSE(pc.devices.Attached(*pc.devices.Find(transport_test::DiskId("K5"))));
  EXPECT_FALSE(journalHas("CM_Reenumerate_DevNode"));
  EXPECT_EQ(Drive("K5").identity.firmware, "K5FW0200");
}

// ---- Power events while the worker runs ----

TEST_F(UpdateRun, SuspendIsRefusedOnlyWhileAWorkerRuns) {
  std::vector<std::intptr_t> during;
  std::intptr_t after = 0;
  const auto suspendQuery = [this]() {
    const os::Hwnd main =
        pc.desktop.FindWindowA("TfrmTravok", "Corvane Travok Utility for Windows (v3.2.0.1)");
    return main ? pc.Window(main)->proc(main, os::kWM_POWERBROADCAST, 0, 0) : -1;
  };
  prepare = [&](sim::SimPc& p) {
    p.processes.onThreadStart = [&] { during.push_back(suspendQuery()); };
  };
  observe = [&](const app::TTravokMain&) { after = suspendQuery(); };
  pack::Release release = ReleaseFor(kModel);
  EXPECT_EQ(Run(release, Sata("K5", 0, "K5FW0100")), 0);
  ASSERT_FALSE(during.empty());
  for (std::intptr_t answer : during) EXPECT_EQ(answer, os::kBROADCAST_QUERY_DENY);
  EXPECT_NE(after, os::kBROADCAST_QUERY_DENY);
}

// ---- The automatic run ----

TEST_F(UpdateRun, TheAutomaticRunUpdatesEveryDriveAndOnlyTheLastWaitsAndRestarts) {
  struct Case {
    const char* name;
    std::string secondFault, thirdFault;
    int exitCode;
  } cases[] = {
      {"all three take the image", "", "", 0},
      {"the second fails: the third decides",
       "[[disk.ata.fault]]\ncommand = 0x92\ntimes = -1\n"
       "status = 0x51\n",
       "", 0},
      {"the third fails", "", "[[disk.ata.fault]]\ncommand = 0x92\ntimes = -1\nstatus = 0x51\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pack::Release release = ReleaseFor(kModel);
    SetOption(release, kAutoMode);
    SetOption(release, kReBoot);
    SetOption(release, kRebootSystem);
    const std::string machine = Sata("A", 0, "K5FW0100") + Sata("B", 1, "K5FW0100", c.secondFault) +
                                Sata("C", 2, "K5FW0100", c.thirdFault);
    EXPECT_EQ(Run(release, machine), c.exitCode);
    EXPECT_EQ(Drive("A").identity.firmware, "K5FW0200");
    EXPECT_EQ(Drive("B").identity.firmware, c.secondFault.empty() ? "K5FW0200" : "K5FW0100");
    EXPECT_EQ(Drive("C").identity.firmware, c.thirdFault.empty() ? "K5FW0200" : "K5FW0100");
    // Only the last drive is waited for and scanned again after its download; the others end
    // with "Next", or with their failure.
    const auto count = [this](const std::string& text) {
      return std::count(statuses.begin(), statuses.end(), text);
    };
    EXPECT_EQ(count("Wait for device to be ready ..."), 1);
    EXPECT_EQ(count("FW updating ..."), 3);
    EXPECT_EQ(count("Next"), c.secondFault.empty() ? 2 : 1);
    const auto wait =
        std::find(statuses.begin(), statuses.end(), "Wait for device to be ready ...");
    EXPECT_EQ(std::count(wait, statuses.end(), "FW updating ..."), 0);  // after the third's
    EXPECT_EQ(pc.system.Restarts().size(), c.thirdFault.empty() ? 1u : 0u);
  }
}

// ---- Drives behind the RSTe driver ----

TEST_F(UpdateRun, ADriveOfTheRstePassIsListedButNoCommandThatChangesADriveReachesAnyDisk) {
  // The RSTe drive's index in its driver's list is 0, which in the disk table is this disk.
  const std::string machine = Sata("X9", 0, "K5FW0100", "", "OTHER SSD") +
                              "[[rste]]\nport = 4\n\n[[rste.pass_through]]\nmodel = \"" + kModel +
                              "\"\nserial = \"SN-RSTE\"\nfirmware = \"K5FW0100\"\n";
  EXPECT_EQ(Run(ReleaseFor(kModel), machine, "/S /RSTE"), 3);
  EXPECT_EQ(Commands(Drive("X9"), kDownloadMicrocode), 0);
  EXPECT_EQ(Drive("X9").Preformats(), 0);
  EXPECT_EQ(Drive("X9").Records().size(), 0u);  // not even probed by a binding
}

}  // namespace
