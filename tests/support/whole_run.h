// Whole runs of the program on a fresh simulated PC for scenario tests: a release, a machine of
// SATA disks below one AHCI controller and more, the answers to its boxes, and what its status
// box showed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/frmTravok.h"
#include "sim/machine/machine_toml.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"
#include "tests/unit/transport/transport_fixture.h"

namespace testing_support {

// Option positions of the package's digit string.
enum Option {
  kReBoot = 4,
  kAutoMode = 5,
  kSkipInfoRefresh = 6,
  kRebootSystem = 12,
  kUpdaterMode = 20,
  kPreformat = 22,
  kFOld = 24
};

// An Intel RST controller whose driver passes firmware requests to its NVMe disks: a machine
// puts its disks below it (parent kRstControllerId, bus type 8, SCSI port 2) and adds
// "[[irst]]\nport = 2\n".
constexpr const char* kRstControllerId = "PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9";
inline const std::string kRstController =
    std::string("[[device]]\ninstance_id = '") + kRstControllerId +
    "'\n"
    "class = \"scsiadapter\"\nservice = \"iaStorA\"\ndriver_version = \"17.9.1.1009\"\n"
    "description = \"Intel(R) Chipset SATA/PCIe RST Premium Controller\"\n"
    "driver_key = '{4d36e97b-e325-11ce-bfc1-08002be10318}\\0002'\n";

inline void SetOption(pack::Release& release, int position, bool on = true) {
  release.optionDigits[std::size_t(position - 2)] = on ? '1' : '0';
}

class WholeRun : public ::testing::Test {
 protected:
  // Runs `release` to its exit code on `machine` (after the AHCI controller), with the
  // command-line arguments after the program's name.
  int Run(const pack::Release& release, const std::string& machine,
          const std::string& arguments = "/S") {
    Load(Pack(release));
    pc.Reset();
    sim::LoadMachine(pc, transport_test::kController + machine, "test");
    if (prepare) prepare(pc);
    for (int answer : answers) pc.ScriptAnswer(answer);
    pc.commandLine = "\"" + pc.moduleFileName + "\" " + arguments;
    return sim::RunProgram(pc, [this](const app::TTravokMain& main) {
      statuses = main.StatusHistory();
      status = statuses.empty() ? "" : statuses.back();
      Observe(main);
    });
  }
  // What a test reads of the main window at the end of the run.
  virtual void Observe(const app::TTravokMain&) {}

  sim::SimPc pc;
  std::vector<int> answers;
  std::function<void(sim::SimPc&)> prepare;
  std::vector<std::string> statuses;  // the status box's texts in order
  std::string status;                 // the last of them
};

}  // namespace testing_support
