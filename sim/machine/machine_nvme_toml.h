// The parts of a machine description that describe NVMe drives and their drivers: the NVMe
// drive behind a disk with its slots, faults and inbox driver ([disk.nvme]), and the Intel RST
// controllers on SCSI ports ([[irst]]). The machine reader hands these
// tables over; the format is told in sim/machines/demo.toml.
#pragma once

#include <toml++/toml.h>

#include <string>
#include <string_view>

#include "sim/machine/toml_reader.h"
#include "sim/sim_pc.h"

namespace sim {

// The keys of [[disk]] read here.
inline constexpr std::string_view kDiskNvmeKeys[] = {"nvme"};

void ReadDiskNvme(const toml::table& disk, SimDisk& out, const MachineSource& source);
// The [[irst]] entries of the root; the device tree is read before them.
void ReadIrstControllers(const toml::table& root, SimPc& pc, const MachineSource& source);

}  // namespace sim
