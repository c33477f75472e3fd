// Whole runs under every failure the simulated PC can inject, for each update flow and each
// command that flow sends. Whatever the failure, the run must end, say success only when the
// drive took the image, and send nothing that changes a drive to a drive the package does not
// name. A broken invariant prints the case and the run's account.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "tests/support/release.h"
#include "tests/support/whole_run.h"
#include "tests/unit/transport/transport_fixture.h"
#include "tools/travok-sim/account.h"

namespace {

using namespace testing_support;

constexpr const char* kModel = "CORVANE K5 512GB";
constexpr const char* kNvmeModel = "CORVANE N7 1TB";
constexpr const char* kBystander = "OTHER SSD 256GB";  // on the same controller, never admitted
constexpr const char* kSataTarget = "K5FW0200";
constexpr const char* kNvmeTarget = "N7FW0200";

enum class Flow { kSataNormal, kSataEnterprise, kSataBridge, kSataCsmi, kInboxNvme, kRstNvme };

const char* FlowName(Flow f) {
  switch (f) {
    case Flow::kSataNormal:
      return "SATA normal flow";
    case Flow::kSataEnterprise:
      return "SATA enterprise flow";
    case Flow::kSataBridge:
      return "SATA behind a SAT bridge";
    case Flow::kSataCsmi:
      return "SATA behind CSMI";
    case Flow::kInboxNvme:
      return "NVMe on the inbox driver";
    case Flow::kRstNvme:
      return "NVMe behind Intel RST";
  }
  return "";
}

bool IsNvme(Flow f) {
  return f == Flow::kInboxNvme || f == Flow::kRstNvme;
}

// A command of a flow, as a fault matches it; or one of the two requests to the device tree.
struct Command {
  const char* name;
  int opcode;
  int features = -1;  // SATA: only these features; -1 any
};
constexpr int kBusRescan = -2;    // CM_Reenumerate_DevNode on the controllers
constexpr int kDiskRestart = -3;  // DIF_REMOVE of the disk, so that Windows loads it again

bool IsTreeRequest(const Command& c) {
  return c.opcode == kBusRescan || c.opcode == kDiskRestart;
}

std::vector<Command> CommandsOf(Flow f) {
  if (IsNvme(f))
    return {{"identify", sim::nvme::kIdentify},
            {"slot log", sim::nvme::kGetLogPage},
            {"image download", sim::nvme::kFirmwareImageDownload},
            {"commit", sim::nvme::kFirmwareCommit},
            {"bus rescan", kBusRescan},
            {"disk restart", kDiskRestart}};
  std::vector<Command> c = {{"identify", 0xEC}};
  if (f != Flow::kSataCsmi) c.push_back({"vendor version", 0xFF});
  if (f == Flow::kSataEnterprise) {
    c.push_back({"deferred segment", 0x92, 0x0E});
    c.push_back({"activation", 0x92, 0x0F});
  } else {
    c.push_back({"segment", 0x92, 0x03});
    c.push_back({"closing command", 0x92, 0x07});
  }
  // A CSMI drive is reached through its controller's port, not through the device tree. The
  // enterprise flow's drive runs its image after the activation, and the scan that verifies it
  // leaves no disk to restart.
  if (f != Flow::kSataCsmi) c.push_back({"bus rescan", kBusRescan});
  if (f != Flow::kSataCsmi && f != Flow::kSataEnterprise)
    c.push_back({"disk restart", kDiskRestart});
  return c;
}

enum class Kind {
  kWindowsError,
  kDeviceError,
  kTimeout,
  kCheckCondition,
  kPowerLoss,
  kGone,
  kRefused  // a device-tree request fails
};

const char* KindName(Kind k) {
  switch (k) {
    case Kind::kWindowsError:
      return "Windows error";
    case Kind::kDeviceError:
      return "device error status";
    case Kind::kTimeout:
      return "time-out";
    case Kind::kCheckCondition:
      return "CHECK CONDITION";
    case Kind::kPowerLoss:
      return "power lost";
    case Kind::kGone:
      return "gone until a rescan";
    case Kind::kRefused:
      return "refused";
  }
  return "";
}

std::vector<Kind> KindsFor(Flow f, const Command& c) {
  if (IsTreeRequest(c)) return {Kind::kRefused};
  std::vector<Kind> k = {Kind::kWindowsError, Kind::kDeviceError, Kind::kTimeout};
  if (f == Flow::kSataBridge) k.push_back(Kind::kCheckCondition);
  if (IsNvme(f) && c.opcode == sim::nvme::kFirmwareImageDownload) k.push_back(Kind::kPowerLoss);
  if (!IsNvme(f) && c.opcode == 0x92 && (c.features == 0x03 || c.features == 0x0E))
    k.push_back(Kind::kPowerLoss);
  if (!IsNvme(f) && c.opcode == 0x92 && (c.features == 0x07 || c.features == 0x0F))
    k.push_back(Kind::kGone);
  return k;
}

struct Case {
  Flow flow;
  Command command;
  Kind kind;
  int times;  // -1: every matching command
  int skip;   // matching commands let through first
  std::string Name() const {
    return std::string(FlowName(flow)) + ", " + command.name + ", " + KindName(kind) +
           (times < 0 ? ", always" : ", once") + (skip ? " after " + std::to_string(skip) : "");
  }
};

// `table`: the drive's table, "disk.ata" or "csmi.phy.ata".
std::string SataFault(const Case& c, const std::string& table = "disk.ata") {
  // The drive leaves the bus on activation, so that the rescan is needed to find it again.
  if (c.kind == Kind::kGone || c.command.opcode == kBusRescan)
    return "leaves_bus_on_activation = true\n";
  if (IsTreeRequest(c.command)) return "";
  std::string f = "[[" + table + ".fault]]\ncommand = " + std::to_string(c.command.opcode) + "\n";
  if (c.command.features >= 0) f += "features = " + std::to_string(c.command.features) + "\n";
  f += "times = " + std::to_string(c.times) + "\nskip = " + std::to_string(c.skip) + "\n";
  switch (c.kind) {
    case Kind::kWindowsError:
      return f + "windows_error = 31\n";
    case Kind::kDeviceError:
      return f + "status = 0x51\nerror = 0x04\n";
    case Kind::kTimeout:
      return f + "delay_ms = 100000\n";  // past every time-out the program gives
    case Kind::kCheckCondition:
      return f + "sense = [5, 0x24, 0]\n";
    case Kind::kPowerLoss:
      return f + "power_loss = true\n";
    default:
      return f;
  }
}

std::string NvmeFault(const Case& c) {
  if (IsTreeRequest(c.command)) return "";
  std::string f = "[[disk.nvme.fault]]\nopcode = " + std::to_string(c.command.opcode) +
                  "\ntimes = " + std::to_string(c.times) + "\nskip = " + std::to_string(c.skip) +
                  "\n";
  switch (c.kind) {
    case Kind::kWindowsError:
      return f + "windows_error = 31\n";
    case Kind::kDeviceError:
      return f + "status = 0x107\n";  // Invalid Firmware Image
    case Kind::kTimeout:
      return f + "delay_ms = 100000\n";
    case Kind::kPowerLoss:
      return f + "power_loss = true\n";
    default:
      return f;
  }
}

// The keys that make the controller refuse its rescan, or the updated disk its restart.
std::string ControllerKeys(const Case& c) {
  return c.command.opcode == kBusRescan ? "reenumerate_error = 0x13\n" : "";  // CR_FAILURE
}
std::string DiskKeys(const Case& c) {
  return c.command.opcode == kDiskRestart ? "remove_error = 5\n" : "";  // ERROR_ACCESS_DENIED
}

std::string AtaKeys(const std::string& model, const std::string& serial, Flow flow,
                    const std::string& more) {
  return "model = \"" + model + "\"\nfirmware = \"K5FW0100\"\nserial = \"" + serial +
         "\"\nvendor_version = \"A5FW010A\"\n" +
         (flow == Flow::kSataEnterprise ? "word159 = 1\n" : "") + more;
}

std::string SataDisk(const std::string& name, int target, const std::string& model, Flow flow,
                     const std::string& more, const std::string& diskKeys = "") {
  const std::string transports = flow == Flow::kSataBridge ? "transports = [\"sat\"]\n" : "";
  return transport_test::Disk(name, target, transports + diskKeys,
                              "[disk.ata]\n" + AtaKeys(model, "SN-" + name, flow, more));
}

std::string NvmeDisk(Flow flow, int index, const std::string& model, const std::string& more,
                     const std::string& diskKeys = "") {
  const std::string n = std::to_string(index);
  const bool rst = flow == Flow::kRstNvme;
  return "[[disk]]\ninstance_id = 'SCSI\\DISK&VEN_NVME&PROD_N" + n + "\\5&1&0&00" + n +
         "000'\nparent = '" + (rst ? kRstControllerId : "PCI\\VEN_144D&DEV_A808\\4&1F7E&0") +
         "'\nbus_type = " + (rst ? "8" : "0x11") + "\nscsi_address = [" + (rst ? "2, " : "1, 0, ") +
         n + (rst ? ", 0, 0" : ", 0") + "]\nfriendly_name = \"" + model + "\"\n" + diskKeys +
         "[disk.nvme]\nmodel = \"" + model + "\"\nserial = \"SN-N" + n +
         "\"\nfirmware = \"N7FW0100\"\nfrmw = 0x16\n" + more;
}

std::string Machine(const Case& c) {
  switch (c.flow) {
    case Flow::kSataNormal:
    case Flow::kSataEnterprise:
    case Flow::kSataBridge:
      return std::string(transport_test::kController) + ControllerKeys(c) +
             SataDisk("K5", 0, kModel, c.flow, SataFault(c), DiskKeys(c)) +
             SataDisk("BY", 1, kBystander, c.flow, "");
    case Flow::kSataCsmi:
      return "[[csmi]]\nport = 2\n"
             "[[csmi.phy]]\nphy = 0\nport = 0\n[csmi.phy.ata]\n" +
             AtaKeys(kModel, "SN-K5", c.flow, SataFault(c, "csmi.phy.ata")) +
             "[[csmi.phy]]\nphy = 1\nport = 1\n[csmi.phy.ata]\n" +
             AtaKeys(kBystander, "SN-BY", c.flow, "");
    case Flow::kInboxNvme:
      return "[[device]]\ninstance_id = 'PCI\\VEN_144D&DEV_A808\\4&1F7E&0'\n"
             "class = \"scsiadapter\"\nservice = \"stornvme\"\n" +
             ControllerKeys(c) + NvmeDisk(c.flow, 0, kNvmeModel, NvmeFault(c), DiskKeys(c)) +
             NvmeDisk(c.flow, 1, kBystander, "");
    case Flow::kRstNvme:
      return kRstController + ControllerKeys(c) +
             NvmeDisk(c.flow, 1, kNvmeModel, NvmeFault(c), DiskKeys(c)) +
             NvmeDisk(c.flow, 2, kBystander, "") + "[[irst]]\nport = 2\n";
  }
  return "";
}

pack::Release ReleaseFor(const Case& c) {
  const bool nvme = IsNvme(c.flow);
  const std::string model = nvme ? kNvmeModel : kModel;
  const std::string target = nvme ? kNvmeTarget : kSataTarget;
  pack::Release release = SmallRelease();
  release.visualStyle = 20;
  release.images[0].newFw = target;
  release.images[0].rows = {{"", "", model}};
  release.images[0].bytes = sim::MakeSimFirmwareImage(model, target, 16 * 512);
  SetOption(release, kReBoot);  // wait for the drive and scan again
  if (c.flow == Flow::kSataCsmi) SetOption(release, kUpdaterMode);
  return release;
}

std::vector<Case> CasesOf(Flow flow) {
  std::vector<Case> cases;
  for (const Command& command : CommandsOf(flow))
    for (Kind kind : KindsFor(flow, command)) {
      cases.push_back({flow, command, kind, -1, 0});
      // A single failure, in the middle of the download for its pieces.
      const bool piece = command.opcode == sim::nvme::kFirmwareImageDownload ||
                         command.features == 0x03 || command.features == 0x0E;
      if (kind != Kind::kGone && !IsTreeRequest(command))
        cases.push_back({flow, command, kind, 1, piece ? 3 : 0});
    }
  return cases;
}

// What the drive knows: it runs the target revision, or holds the image for its next restart.
bool TookImage(const travok_sim::DriveAccount& d, const std::string& target) {
  return d.revisionAfter == target || d.imageWaiting;
}

bool ChangesADrive(const std::string& command) {
  return command.find("DOWNLOAD MICROCODE") != std::string::npos ||
         command.find("Firmware Image Download") != std::string::npos ||
         command.find("Firmware Commit") != std::string::npos;
}

// One flow per test, so that the flows run side by side.
class FaultMatrix : public ::testing::TestWithParam<Flow> {};

TEST_P(FaultMatrix, EveryFailureOfEveryCommandEndsTheRunTruthfully) {
  const std::vector<Case> cases = CasesOf(GetParam());
  int succeeded = 0, failed = 0;
  for (const Case& c : cases) {
    sim::SimPc pc;
    Load(Pack(ReleaseFor(c)));
    sim::LoadMachine(pc, Machine(c), "fault matrix");
    pc.commandLine = "\"" + pc.moduleFileName + "\" /S" +
                     (c.flow == Flow::kSataCsmi ? " /C:2,0000000000000000" : "");
    const travok_sim::RunAccount a = travok_sim::RunWithAccount(pc);
    const std::string account = c.Name() + "\n" + travok_sim::AccountText(a);

    const bool nvme = IsNvme(c.flow);
    const std::string target = nvme ? kNvmeTarget : kSataTarget;
    const auto drive = [&](const std::string& model) -> const travok_sim::DriveAccount* {
      for (const auto& d : a.drives)
        if (d.model == model) return &d;
      return nullptr;
    };
    const travok_sim::DriveAccount* updated = drive(nvme ? kNvmeModel : kModel);
    const travok_sim::DriveAccount* bystander = drive(kBystander);
    ASSERT_TRUE(updated && bystander) << account;

    // The exit codes a run with one admitted drive can end with.
    EXPECT_TRUE(a.exitCode == 0 || a.exitCode == 1 || a.exitCode == 2 || a.exitCode == 3)
        << account;
    // Success only when the drive took the image.
    if (a.exitCode == 0) {
      EXPECT_TRUE(TookImage(*updated, target)) << account;
    }
    // Nothing that changes a drive reaches the drive the package does not name.
    EXPECT_EQ(bystander->revisionAfter, bystander->revisionBefore) << account;
    EXPECT_FALSE(bystander->imageWaiting) << account;
    for (const std::string& command : bystander->commands)
      EXPECT_FALSE(ChangesADrive(command)) << account;
    // A refused device-tree request was sent, or the case proves nothing.
    if (c.kind == Kind::kRefused) {
      const auto& journal = pc.Journal();
      const std::string request = c.command.opcode == kBusRescan
                                      ? "CM_Reenumerate_DevNode"
                                      : "SetupDiCallClassInstaller DIF_REMOVE";
      bool refused = false;
      for (std::size_t i = 0; i + 1 < journal.size(); ++i)
        refused = refused || (journal[i].starts_with(request) && journal[i + 1] == "  refused");
      EXPECT_TRUE(refused) << "the run never sent the " << c.command.name << "\n" << account;
    }
    // The run ends on the virtual clock in a bounded time (the retries included).
    EXPECT_LT(a.runMicroseconds, 3'600'000'000ull) << account;
    (a.exitCode == 0 ? succeeded : failed) += 1;
  }
  // Both outcomes occur: the matrix holds faults the program rides out and faults that fail it.
  EXPECT_GT(succeeded, 0);
  EXPECT_GT(failed, 0);
  std::printf("%s: %zu runs, %d ended with 0, %d with another exit code\n", FlowName(GetParam()),
              cases.size(), succeeded, failed);
}

std::string FlowTestName(const ::testing::TestParamInfo<Flow>& param) {
  static const char* const kNames[] = {"SataNormal", "SataEnterprise", "SataBridge",
                                       "SataCsmi",   "InboxNvme",      "RstNvme"};
  return kNames[int(param.param)];
}

INSTANTIATE_TEST_SUITE_P(Flows, FaultMatrix,
                         ::testing::Values(Flow::kSataNormal, Flow::kSataEnterprise,
                                           Flow::kSataBridge, Flow::kSataCsmi, Flow::kInboxNvme,
                                           Flow::kRstNvme),
                         FlowTestName);

}  // namespace
