// The SCSI port objects of the simulated PC, "\\.\Scsi<n>:" in any letter case: what a storage
// controller's miniport answers when a program opens the port itself rather than a disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sim/drivers/sim_csmi.h"
#include "sim/drivers/sim_irst.h"
#include "sim/drivers/sim_rste.h"

namespace sim {

struct SimScsiPort {
  std::uint32_t openError = 0;            // CreateFileA fails with this Windows error
  std::optional<SimCsmiController> csmi;  // a driver that speaks CSMI
  std::optional<SimIrstController> irst;  // the Intel RST driver's NVMe interfaces
  std::optional<SimRsteController> rste;  // the Intel RSTe/VROC driver ("NvmeRAID")
};

// n of "\\.\SCSI<n>:", without regard to letter case; none for any other path.
std::optional<int> ScsiPortNumber(const std::string& path);

}  // namespace sim
