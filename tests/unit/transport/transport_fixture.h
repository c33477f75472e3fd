// A simulated PC for the device object: SATA disks below one controller, described in TOML,
// and readers of what the simulated drivers journaled.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "devices/dev_mgr.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"
#include "transport/ata_device.h"

namespace transport_test {

constexpr const char* kController = R"(
[[device]]
instance_id = 'PCI\VEN_8086&DEV_A352\3&11583659&0&B8'
class = "hdc"
service = "storahci"
)";

inline std::string DiskId(const std::string& name) {
  return "SCSI\\DISK&VEN_&PROD_" + name + "\\4&2A37BD3B&0&" + name;
}

// A disk below kController at target `target`, with more keys of its own (an [disk.ata]
// table goes last).
inline std::string Disk(const std::string& name, int target, const std::string& keys = "",
                        const std::string& ata = "[disk.ata]\n") {
  return "[[disk]]\ninstance_id = '" + DiskId(name) +
         "'\nparent = 'PCI\\VEN_8086&DEV_A352\\3&11583659&0&B8'\nfriendly_name = \"" + name +
         "\"\nscsi_address = [0, 0, " + std::to_string(target) + ", 0]\n" + keys + "\n" + ata +
         "\n";
}

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override {
    device.reset();
    devMgr.reset();
    os::Install(nullptr);
  }

  // Loads the machine and builds the device object on it the way start-up does. A device
  // object built earlier goes before its manager, as at the end of a test.
  transport::TAtaDevice& Machine(const std::string& toml) {
    sim::LoadMachine(pc, kController + toml, "test");
    auto manager = std::make_unique<devices::TDevMgr>();
    auto built = std::make_unique<transport::TAtaDevice>(manager->BuildDiskTable());
    device = std::move(built);
    devMgr = std::move(manager);
    return *device;
  }
  sim::SimSataDrive& Drive(const std::string& name) {
    return *pc.devices.Find(DiskId(name))->disk->ata;
  }
  sim::SimDisk& DiskOf(const std::string& name) { return *pc.devices.Find(DiskId(name))->disk; }

  // Journal entries from here on.
  void Mark() { m_Mark = pc.Journal().size(); }
  std::vector<std::string> Since() const {
    return {pc.Journal().begin() + std::ptrdiff_t(m_Mark), pc.Journal().end()};
  }
  // What the drivers made of the requests since the mark: their detail lines, without the
  // outcome.
  std::vector<std::string> Requests(bool withOutcome = false) const {
    std::vector<std::string> out;
    for (const std::string& e : Since())
      if (e.rfind("  ", 0) == 0)
        out.push_back(withOutcome ? e.substr(2) : e.substr(2, e.find(" ->") - 2));
    return out;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& e : Since()) n += e.rfind(prefix, 0) == 0;
    return n;
  }

  sim::SimPc pc;
  std::unique_ptr<devices::TDevMgr> devMgr;  // the enumeration's owner
  std::unique_ptr<transport::TAtaDevice> device;

 private:
  std::size_t m_Mark = 0;
};

}  // namespace transport_test
