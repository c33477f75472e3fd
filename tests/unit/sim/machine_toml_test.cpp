// Machine descriptions: a mistake names its line, and the built-in machine is its file.
#include "sim/machine/machine_toml.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

TEST(MachineToml, AMistakeIsRefusedWithItsLine) {
  struct Case {
    const char* toml;
    const char* message;
  };
  const Case cases[] = {
      {"[system]\nwinpe = true\nwmi_disks = 3\n", "m.toml:3: unknown key 'wmi_disks'"},
      {"[[disk]]\ninstance_id = 'SCSI\\A'\nparent = 'PCI\\NONE'\n",
       "m.toml:3: parent: no device \"PCI\\NONE\" above this one"},
      {"[[device]]\ninstance_id = 'PCI\\A'\n[[device]]\ninstance_id = 'pci\\a'\n",
       "m.toml:3: instance_id: \"pci\\a\" twice"},
      {"[[device]]\ninstance_id = 'PCI\\A'\nscsi_address = [0, 0, 0, 0]\n",
       "m.toml:3: unknown key 'scsi_address'"},  // only disks have one
      {"[[disk]]\ninstance_id = 'SCSI\\A'\nscsi_address = [0, 0, 256, 0]\n",
       "m.toml:3: scsi_address: each part is a whole number 0..255"},
      {"[system]\nwinmgmt = \"paused\"\n", "m.toml:2: winmgmt: running, stopped or disabled"},
      {"[libraries]\nmissing = [\"CM_Get_Parent\"]\n",
       "m.toml:2: missing: \"CM_Get_Parent\" is not \"library!export\""},
  };
  for (const Case& c : cases) {
    sim::SimPc pc;
    try {
      sim::LoadMachine(pc, c.toml, "m.toml");
      ADD_FAILURE() << "accepted: " << c.toml;
    } catch (const sim::MachineError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(MachineToml, TheBuiltInMachineIsItsDescriptionFile) {
  std::ifstream in(std::string(TRAVOK_SOURCE_DIR) + "/sim/machines/demo.toml", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(sim::BuiltInMachine(), text.str());
  sim::SimPc pc;
  sim::LoadMachine(pc, sim::BuiltInMachine(), "built-in");
  EXPECT_EQ(pc.devices.AttachedDisks().size(), 6u);
}

}  // namespace
