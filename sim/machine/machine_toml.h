// Machines described in TOML: the device tree of a simulated PC (buses, controllers, hubs and
// disks), what WMI says, the state of Winmgmt, WinPE, and the exports its SetupAPI and
// configuration manager lack. sim/machines/demo.toml describes the built-in machine and
// tells the format.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/sim_pc.h"

namespace sim {

class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Gives the PC the machine's devices and settings; MachineError names the line at fault. The
// files the machine names by relative paths (captured identify data) are taken from `folder`;
// a machine file's are taken from the file's own folder.
void LoadMachine(SimPc& pc, std::string_view toml, const std::string& sourceName = "machine",
                 const std::filesystem::path& folder = {});
void LoadMachineFile(SimPc& pc, const std::string& path);
// The built-in machine of the demo: the text of sim/machines/demo.toml.
std::string_view BuiltInMachine();

}  // namespace sim
