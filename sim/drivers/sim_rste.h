// An Intel RSTe/VROC NVMe RAID controller of the simulated PC, on "\\.\Scsi<n>:": its driver
// answers IOCTL_SCSI_MINIPORT requests signed "NvmeRAID" with its counts of RAID volumes,
// pass-through, spare and journaling disks, the members of a RAID volume, the list of
// pass-through disks, and NVMe Identify Controller to any of its disks.
//
// Requests are decoded from their bytes here, and never with the program's builders. What the
// driver refuses:
// - what the port driver refuses in any SRB_IO_CONTROL (sim_miniport_header.h): a HeaderLength
//   other than 28, a Length that fits neither buffer, a zero Timeout; ERROR_INVALID_PARAMETER
//   before the miniport sees the request;
// - an unknown control code: ReturnCode 1;
// - a Length or return buffer length too small for the answer, a RAID volume number (offset
//   28) that is not one of its volumes, a queue other than the admin queue: ReturnCode 2;
// - a disk identifier it does not have: ReturnCode 3.
// Any other NVMe command than Identify Controller completes with an NVMe error status
// (Invalid Command Opcode; Invalid Field in Command for Identify with another CNS or without
// data from the device).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/drivers/sim_io_outcome.h"
#include "sim/drives/sim_nvme_identity.h"

namespace sim {

struct SimRsteDisk {
  std::uint32_t rsteDiskId = 0;
  SimNvmeIdentity identity;
};

struct SimRsteVolume {
  std::vector<SimRsteDisk> members;
};

// Requests by the names the program's diagnostics give them.
enum class RsteRequest {
  kAny,
  kNumberOfRaidVolumes,
  kNumberOfPassThroughDisks,
  kNumberOfSpareDisks,
  kNumberOfJournalingDisks,
  kRaidInformation,
  kRaidConfiguration,
  kPassThroughDiskInformation,
  kNvmePassThrough,
};
std::optional<RsteRequest> RsteRequestNamed(const std::string& name);

struct SimRsteFault {
  RsteRequest request = RsteRequest::kAny;
  std::optional<std::uint32_t> disk;        // the pass-through's target; any when left out
  int skip = 0;                             // matching requests let through first
  int times = 1;                            // -1: always
  std::uint32_t windowsError = 0;           // the request fails with it
  std::uint32_t returnCode = 0;             // else: the request completes with this ReturnCode
  std::optional<std::uint16_t> nvmeStatus;  // else: the pass-through completes with this status
};

struct SimRsteController {
  std::vector<SimRsteVolume> volumes;
  std::vector<SimRsteDisk> passThroughDisks;
  std::uint32_t spareDisks = 0;
  std::uint32_t journalingDisks = 0;
  // What the driver claims instead of the truth: a broken or hostile driver.
  std::optional<std::uint32_t> reportedVolumes, reportedPassThroughDisks, reportedMembers;
  std::vector<SimRsteFault> faults;
};

// The request's signature is "NvmeRAID".
bool IsRsteRequest(std::span<const std::uint8_t> in);

SimIoOutcome RsteIoControl(SimRsteController& controller, std::span<const std::uint8_t> in,
                           std::uint8_t* out, std::uint32_t outSize);

}  // namespace sim
