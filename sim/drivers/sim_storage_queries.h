// The storage queries of a simulated disk: IOCTL_SCSI_GET_ADDRESS,
// IOCTL_STORAGE_GET_DEVICE_NUMBER and the device descriptor of IOCTL_STORAGE_QUERY_PROPERTY.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/machine/sim_device_tree.h"

namespace sim {

// The disk stack's answer to a storage request: the Windows error, 0 for success.
std::uint32_t DiskIoControl(const SimDisk& disk, std::uint32_t ioControlCode,
                            const std::vector<std::uint8_t>& in, std::uint8_t* out,
                            std::uint32_t outSize, std::uint32_t* bytesReturned);

}  // namespace sim
