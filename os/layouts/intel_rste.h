// The requests of the Intel RSTe/VROC NVMe RAID driver: IOCTL_SCSI_MINIPORT on "\\.\Scsi<n>:"
// with an SRB_IO_CONTROL header signed "NvmeRAID" and one buffer as input and output. Nothing
// in them is pointer-sized, so the offsets hold in both widths. Intel publishes no header for
// this interface: the offsets and sizes are asserted here, against the sizes the driver takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/layouts/ntddscsi.h"

namespace os::layout::rste {

inline constexpr const char* kSignature = "NvmeRAID";

// Control codes.
inline constexpr std::uint32_t kNvmePassThrough = 0xE0002000;
inline constexpr std::uint32_t kNumberOfRaidVolumes = 0xE0002014;
inline constexpr std::uint32_t kRaidInformation = 0xE0002018;
inline constexpr std::uint32_t kRaidConfiguration = 0xE000201C;
inline constexpr std::uint32_t kNumberOfSpareDisks = 0xE0002020;
inline constexpr std::uint32_t kNumberOfPassThroughDisks = 0xE0002028;
inline constexpr std::uint32_t kPassThroughDiskInformation = 0xE000202C;
inline constexpr std::uint32_t kNumberOfJournalingDisks = 0xE0002030;

// What the RAID information and configuration requests carry at offset 28; its meaning is
// the driver's.
inline constexpr std::uint32_t kRaidSelector = 1;

// The four counts: one DWORD after the header.
namespace count {
inline constexpr std::size_t kValue = 28;
inline constexpr std::size_t kSize = 32;
}  // namespace count

namespace raid_information {
inline constexpr std::size_t kSelector = 28;      // in: kRaidSelector
inline constexpr std::size_t kMemberCount = 128;  // out: the volume's member disks
inline constexpr std::size_t kSize = 132;
}  // namespace raid_information

// One disk as the configuration and pass-through disk lists give it.
namespace disk_entry {
inline constexpr std::size_t kDiskId = 0;  // what requests address the disk by
inline constexpr std::size_t kModel = 4;
inline constexpr std::size_t kModelSize = 40;
inline constexpr std::size_t kFirmware = 44;
inline constexpr std::size_t kFirmwareSize = 8;
inline constexpr std::size_t kSerial = 52;  // zero-terminated
inline constexpr std::size_t kSerialSize = 40;
inline constexpr std::size_t kSize = 92;
}  // namespace disk_entry

namespace raid_configuration {
inline constexpr std::size_t kSelector = 28;         // in: kRaidSelector
inline constexpr std::size_t kReturnBufferLen = 32;  // in: 92 x the entries asked for
inline constexpr std::size_t kEntries = 36;
inline constexpr std::size_t kFixedSize = 40;  // the entries' start and a trailing DWORD
constexpr std::size_t Size(std::size_t entries) {
  return kFixedSize + disk_entry::kSize * entries;
}
}  // namespace raid_configuration

// NVME_GET_PASSTHROUGH_DISKS_INFORMATION_IOCTL and its entries.
namespace pass_through_disks {
inline constexpr std::size_t kReturnBufferLen = 28;  // in: 92 x the entries asked for
inline constexpr std::size_t kEntries = 32;
inline constexpr std::size_t kFixedSize = 36;  // the entries' start and a trailing DWORD
constexpr std::size_t Size(std::size_t entries) {
  return kFixedSize + disk_entry::kSize * entries;
}
}  // namespace pass_through_disks

// One NVMe command with its data. ReturnCode carries the target disk's identifier in.
namespace nvme_pass_through {
inline constexpr std::size_t kVendorSpecific = 28;  // 24 bytes, sent as 0
inline constexpr std::size_t kVendorSpecificSize = 24;
inline constexpr std::size_t kCommand = 52;      // the 64-byte submission queue entry
inline constexpr std::size_t kCompletion = 116;  // the 16-byte completion entry, returned
inline constexpr std::size_t kCompletionStatus = kCompletion + 14;  // phase tag and status
inline constexpr std::size_t kDirection = 132;
inline constexpr std::size_t kQueueId = 136;
inline constexpr std::size_t kDataBufferLength = 140;  // data to the device only
inline constexpr std::size_t kMetadataLength = 144;
inline constexpr std::size_t kReturnBufferLength = 148;  // the whole block
inline constexpr std::size_t kData = 152;
// The block is the data area's start, the data and a trailing DWORD: 156 + data.
inline constexpr std::size_t kFixedSize = 156;
// The Length of the header in a general pass-through request.
inline constexpr std::size_t kLength = 132;
constexpr std::size_t Size(std::size_t dataLength) {
  return kFixedSize + dataLength;
}
}  // namespace nvme_pass_through

inline constexpr std::size_t kIdentifySize = 4096;
// The RAID member Identify: the whole block counts as Length after the header.
inline constexpr std::size_t kMemberIdentifySize = nvme_pass_through::Size(kIdentifySize);
inline constexpr std::uint32_t kMemberIdentifyLength =
    std::uint32_t(kMemberIdentifySize - srb_io_control::kSize);

static_assert(srb_io_control::kSize == 28);
static_assert(count::kSize == 32 && count::kSize - srb_io_control::kSize == 4);
static_assert(raid_information::kSize == 132 &&
              raid_information::kSize - srb_io_control::kSize == 104);
static_assert(raid_information::kMemberCount + 4 == raid_information::kSize);
static_assert(disk_entry::kSize == 92 && disk_entry::kSerial + disk_entry::kSerialSize == 92);
static_assert(disk_entry::kModel + disk_entry::kModelSize == disk_entry::kFirmware);
static_assert(disk_entry::kFirmware + disk_entry::kFirmwareSize == disk_entry::kSerial);
static_assert(raid_configuration::Size(3) == 40 + 92 * 3);
static_assert(raid_configuration::Size(3) - srb_io_control::kSize == 12 + 92 * 3);
static_assert(pass_through_disks::Size(2) == 36 + 92 * 2);
static_assert(pass_through_disks::Size(2) - srb_io_control::kSize == 8 + 92 * 2);
static_assert(nvme_pass_through::kCommand + 64 == nvme_pass_through::kCompletion);
static_assert(nvme_pass_through::kCompletion + 16 == nvme_pass_through::kDirection);
static_assert(nvme_pass_through::kData == 152 && nvme_pass_through::Size(0) == 156);
static_assert(kMemberIdentifySize == 4252 && kMemberIdentifyLength == 4224);

}  // namespace os::layout::rste
