// A CSMI-capable SAS/RAID controller of the simulated PC, opened as "\\.\SCSI<number>:": its
// driver answers IOCTL_SCSI_MINIPORT with the CSMI driver information, the phy information and
// the STP pass-through, which carries ATA commands to the SATA drive on a phy.
//
// Requests are decoded from their bytes here, from the published CSMI layouts, and never with
// the program's builders.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/drivers/sim_io_outcome.h"
#include "sim/drives/sim_sata_drive.h"

namespace sim {

struct SimCsmiPhy {
  std::uint8_t phyIdentifier = 0;
  std::uint8_t portIdentifier = 0;             // FFh on old Intel RST drivers
  std::uint8_t deviceType = 0x10;              // the phy's own frame: an end device (0: unused phy)
  std::uint8_t attachedDeviceType = 0x10;      // 0: nothing attached
  std::uint8_t attachedTargetProtocol = 0x01;  // SATA; 04h STP, 08h SSP
  std::array<std::uint8_t, 8> attachedSasAddress = {};  // all zeros behind RST
  std::shared_ptr<SimSataDrive> drive;                  // what answers STP; none for an SSP target
};

struct SimCsmiController {
  int number = 0;
  std::string driverName = "simsas";
  std::string description = "Simulated SAS controller";
  // The driver takes no CSMI request: IOCTL_SCSI_MINIPORT fails with this Windows error.
  std::uint32_t miniportError = 0;
  std::uint32_t driverInfoReturnCode = 0;  // a non-zero ReturnCode for driver information
  std::uint32_t phyInfoReturnCode = 0;
  std::optional<std::uint8_t> reportedPhys;  // bNumberOfPhys, when not the number of phys
  // STP finds its target by phy and port identifier (FFh: any) and, unless told not to, by the
  // attached SAS address.
  bool matchSasAddress = true;
  std::array<std::uint8_t, 8> hbaSasAddress = {0x50, 0x0A, 0x0B, 0x0C, 0, 0, 0, 0x01};
  std::vector<SimCsmiPhy> phys;  // at most 32 are reported
};

// The Windows error for "this path is no CSMI controller" is the caller's business; this
// answers a request that reached the controller.
SimIoOutcome CsmiIoControl(SimCsmiController& controller, std::uint32_t ioControlCode,
                           std::span<const std::uint8_t> in, std::uint8_t* out,
                           std::uint32_t outSize);

}  // namespace sim
