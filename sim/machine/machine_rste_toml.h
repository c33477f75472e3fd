// The [[rste]] entries of a machine description: Intel RSTe/VROC controllers on SCSI ports,
// with their RAID volumes, pass-through disks and faults. The format is told in
// sim/machines/demo.toml.
#pragma once

#include <toml++/toml.h>

#include <string>

#include "sim/machine/toml_reader.h"
#include "sim/sim_pc.h"

namespace sim {

void ReadRsteControllers(const toml::table& root, SimPc& pc, const MachineSource& source);

}  // namespace sim
