// The requests of the Intel RSTe/VROC NVMe RAID driver on one SCSI port: how many RAID
// volumes, pass-through, spare and journaling disks it has, the members of its RAID volume,
// its pass-through disks, and NVMe Identify Controller to each disk. ListRsteDisks is the
// sequence the scan runs per port; the single requests are there for it and for diagnostics.
//
// Every buffer is zeroed before it is sent, so a request that fails reads as zeros (or, for
// the member Identify, as its 55h fill): the counts read 0, the entries are empty.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "os/layouts/intel_rste.h"
#include "os/os.h"
#include "transport/nvme_command.h"

namespace transport {

class TAtaDevice;

// A member or pass-through disk count above this is not believed and nothing is asked of those
// disks: the driver would have the program allocate a buffer for every one. No RSTe/VROC
// platform carries this many NVMe disks, and the scan records no more than 16 drives.
inline constexpr std::uint32_t kMaxRsteDisks = 64;

// What the program puts into its RSTe requests: the driver's time-out, and the byte a member
// Identify block is filled with before the driver answers, so an unanswered block reads "UUUU".
inline constexpr std::uint32_t kRsteTimeoutSeconds = 40;
inline constexpr std::uint8_t kRsteIdentifyFill = 0x55;

using NvmeIdentify = std::array<std::uint8_t, os::layout::rste::kIdentifySize>;

// One entry of the RAID configuration or the pass-through disk list.
struct RsteDiskEntry {
  std::uint32_t rsteDiskId = 0;
  std::string model;     // up to 40 characters
  std::string firmware;  // up to 8
  std::string serial;    // up to 40
};

// The counts; each answers whether the driver completed the request and leaves 0 when not.
bool numberOfRaidVolumesIoctl(os::Handle port, std::uint32_t& count);
bool numberOfPassThroughDisksIoctl(os::Handle port, std::uint32_t& count);
bool numberOfSpareDisksIoctl(os::Handle port, std::uint32_t& count);
bool numberOfJournalingDisksIoctl(os::Handle port, std::uint32_t& count);
// The number of member disks of the RAID volume; 0 when the request fails.
bool raidInformationIoctl(os::Handle port, std::uint32_t& memberCount);
// `count` entries: the RAID volume's members, or the pass-through disks. The entries are
// zero-filled ones where the driver gave none. False, and no request, for a count above
// kMaxRsteDisks.
bool raidConfigurationIoctl(os::Handle port, std::uint32_t count,
                            std::vector<RsteDiskEntry>& members);
bool PassThroughDiskInformationIoctl(os::Handle port, std::uint32_t count,
                                     std::vector<RsteDiskEntry>& disks);
// Identify Controller of a RAID member in the driver's own block of 4,252 bytes. `data` holds
// the 4,096 bytes of the data area on return, its 55h fill where the driver wrote nothing.
bool raidMemberIdentifyIoctl(os::Handle port, std::uint32_t rsteDiskId, NvmeIdentify& data);

struct RsteDisk {
  RsteDiskEntry entry;
  bool identified = false;  // the Identify request completed
  NvmeIdentify identify{};  // Identify Controller data, or what the failed request left
};

struct RstePort {
  std::uint32_t raidVolumes = 0, passThroughDisks = 0, spareDisks = 0, journalingDisks = 0;
  std::uint32_t members = 0;  // of the RAID volume, as the driver reported them
  // The disks that reached their Identify, in the driver's order: every RAID member (one whose
  // Identify failed carries the 55h fill), or the pass-through disks up to the first whose
  // Identify failed.
  std::vector<RsteDisk> disks;
  bool countRefused = false;  // the member or disk count was above kMaxRsteDisks
  bool outOfMemory = false;   // a buffer could not be had: the scan gives up
};

// The scan's sequence on an open RSTe port: the four counts; with RAID volumes the RAID
// information, the configuration and one Identify per member; else, with pass-through disks,
// their list and one Identify per disk through TAtaDevice::nvmePassThroughIoctl.
RstePort ListRsteDisks(TAtaDevice& device, os::Handle port);

}  // namespace transport
