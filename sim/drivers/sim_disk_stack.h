// The pass-through part of a simulated disk's storage stack: IOCTL_ATA_PASS_THROUGH(_DIRECT)
// and IOCTL_SCSI_PASS_THROUGH(_DIRECT) with the CDBs a SATA drive can be reached by, the SAT
// ATA PASS-THROUGH (12) of the Windows SATA stack and the vendor CDB CCh of some bridges.
//
// Requests are decoded from their bytes here, from the Windows and SAT layouts, and never with
// the program's builders; the ATA command inside goes to the disk's SimSataDrive.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "sim/drivers/sim_io_outcome.h"
#include "sim/drives/sim_sata_drive.h"

namespace sim {

// Which pass-through requests the controller below a disk carries.
struct SimDiskTransports {
  bool ataPassThrough = true;  // IOCTL_ATA_PASS_THROUGH(_DIRECT)
  // Without it, the ATA requests fail with this Windows error, as USB and RAID stacks do.
  std::uint32_t ataPassThroughError = 1;  // ERROR_INVALID_FUNCTION
  bool sat = true;                        // SAT ATA PASS-THROUGH (12) through the SCSI requests
  bool vendorCdb = false;                 // the CDB CCh of a bridge
  // Every pass-through request fails with this Windows error (1, 50: a stack that has none).
  std::uint32_t passThroughError = 0;
  // How the SAT layer reports an ATA error: descriptor sense with the ATA Status Return
  // descriptor, or fixed sense with the registers in its information fields.
  bool satDescriptorSense = true;
};

bool IsPassThroughRequest(std::uint32_t ioControlCode);
const char* PassThroughRequestName(std::uint32_t ioControlCode);  // "IOCTL_ATA_PASS_THROUGH"...

// Answers one pass-through request on a disk. `drive` may be null: a disk that is no ATA
// device (an NVMe drive) refuses the ATA request and rejects the CDBs.
SimIoOutcome PassThroughIoControl(SimSataDrive* drive, const SimDiskTransports& transports,
                                  std::uint32_t ioControlCode, std::span<const std::uint8_t> in,
                                  std::uint8_t* out, std::uint32_t outSize);

}  // namespace sim
