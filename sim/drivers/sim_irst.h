// The Intel RST RAID driver (iaStorA, iaStorAC) on a SCSI port of the simulated PC, for the NVMe
// drives behind it: IOCTL_SCSI_MINIPORT with the "IntelNvm" NVMe pass-through and the "IntelFw "
// firmware interface. The drives are the NVMe disks whose SCSI address names the controller's
// port; a request finds its drive by path identifier (and target and LUN).
//
// Intel publishes no layout for either interface. The requests are decoded from their bytes
// here, after the request tables this project keeps of the driver's observed interface (the
// same tables the program follows, read independently), and never with the program's
// builders. The header is read as every miniport's (sim_miniport_header.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "sim/drivers/sim_io_outcome.h"
#include "sim/machine/sim_device_tree.h"

namespace sim {

struct SimIrstController {
  int port = 0;
  // Whose driver version counts: this device of the tree; left empty, the parent of the disks
  // on the port. `driverVersion`, when set, is taken instead.
  std::string instanceId;
  std::string driverVersion;
  // "IntelNvm" fails with this Windows error whatever the version (1117 under VMD).
  std::uint32_t passThroughError = 0;
  std::uint32_t firmwareError = 0;  // "IntelFw " fails with this Windows error
};

// The pass-through exists from driver 14.8 on; older drivers refuse it with ERROR_INVALID_FUNCTION.
inline constexpr int kIrstPassThroughMajor = 14, kIrstPassThroughMinor = 8;
// Whether a dotted driver version is at least major.minor, compared as numbers.
bool DriverVersionAtLeast(const std::string& version, int major, int minor);
// The driver version the controller runs, as the tree or its description tells it.
std::string IrstDriverVersion(const SimIrstController& controller, const SimDeviceTree& devices);

// Whether a request is the RST driver's (signature "IntelNvm" or "IntelFw ").
bool IsIrstRequest(std::span<const std::uint8_t> in);
SimIoOutcome IrstIoControl(const SimIrstController& controller, const SimDeviceTree& devices,
                           std::uint32_t ioControlCode, std::span<const std::uint8_t> in,
                           std::uint8_t* out, std::uint32_t outSize);

}  // namespace sim
