// The storage queries a disk's own stack answers, beside the pass-through: its SCSI address,
// its device number and its device descriptor.
#include "sim/drivers/sim_storage_queries.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"

namespace sim {
namespace {

// The Windows layouts as the disk stack reads and writes them (ntddscsi.h, winioctl.h).
constexpr std::size_t kScsiAddressSize = 8;    // Length, PortNumber, PathId, TargetId, Lun
constexpr std::size_t kDeviceNumberSize = 12;  // DeviceType, DeviceNumber, PartitionNumber
constexpr std::size_t kQueryPropertyIdAt = 0, kQueryTypeAt = 4;
constexpr std::size_t kDescriptorFixedSize =
    40;  // STORAGE_DEVICE_DESCRIPTOR up to RawDeviceProperties[1]
constexpr std::uint32_t kPropertyExistsQuery = 1;

std::uint32_t ScsiAddress(const SimDisk& disk, std::uint8_t* out, std::uint32_t outSize,
                          std::uint32_t* returned) {
  if (!disk.scsiAddress) return os::kERROR_INVALID_FUNCTION;
  if (outSize < kScsiAddressSize) return os::kERROR_INSUFFICIENT_BUFFER;
  std::span<std::uint8_t> o(out, outSize);
  fw::PutU32le(o, 0, kScsiAddressSize);
  for (std::size_t i = 0; i < 4; ++i) o[4 + i] = (*disk.scsiAddress)[i];
  *returned = std::min<std::uint32_t>(disk.scsiAddressBytes, kScsiAddressSize);
  return os::kERROR_SUCCESS;
}

std::uint32_t DeviceNumber(const SimDisk& disk, std::uint8_t* out, std::uint32_t outSize,
                           std::uint32_t* returned) {
  if (outSize < kDeviceNumberSize) return os::kERROR_INSUFFICIENT_BUFFER;
  std::span<std::uint8_t> o(out, outSize);
  fw::PutU32le(o, 0, os::kFILE_DEVICE_DISK);
  fw::PutU32le(o, 4, disk.deviceNumber.value_or(0));
  fw::PutU32le(o, 8, 0);  // the whole disk
  *returned = kDeviceNumberSize;
  return os::kERROR_SUCCESS;
}

// The descriptor with its strings after the fixed part, as much of it as the caller made room
// for: the Size field tells the whole.
std::uint32_t DeviceDescriptor(const SimDisk& disk, const std::vector<std::uint8_t>& in,
                               std::uint8_t* out, std::uint32_t outSize, std::uint32_t* returned) {
  if (in.size() < 8) return os::kERROR_INVALID_PARAMETER;
  if (fw::GetU32le(in, kQueryPropertyIdAt) != os::kStorageDeviceProperty)
    return os::kERROR_NOT_SUPPORTED;
  const std::uint32_t queryType = fw::GetU32le(in, kQueryTypeAt);
  if (queryType == kPropertyExistsQuery) return os::kERROR_SUCCESS;
  if (queryType != os::kPropertyStandardQuery) return os::kERROR_INVALID_PARAMETER;
  std::vector<std::uint8_t> d(kDescriptorFixedSize, 0);
  const auto append = [&](const std::string& text, std::size_t field) {
    if (text.empty()) return;
    fw::PutU32le(d, field, std::uint32_t(d.size()));
    d.insert(d.end(), text.begin(), text.end());
    d.push_back(0);
  };
  append(disk.vendorId, 12);
  append(disk.productId, 16);
  append(disk.revision, 20);
  append(disk.serial, 24);
  fw::PutU32le(d, 0, std::uint32_t(d.size()));  // Version
  fw::PutU32le(d, 4, std::uint32_t(d.size()));  // Size
  d[8] = 0;                                     // DeviceType: direct access
  d[10] = disk.removable;
  d[11] = 1;  // CommandQueueing
  fw::PutU32le(d, 28, disk.busType);
  if (outSize < 8) return os::kERROR_INSUFFICIENT_BUFFER;
  *returned = std::min<std::uint32_t>(outSize, std::uint32_t(d.size()));
  std::memcpy(out, d.data(), *returned);
  return os::kERROR_SUCCESS;
}

}  // namespace

std::uint32_t DiskIoControl(const SimDisk& disk, std::uint32_t ioControlCode,
                            const std::vector<std::uint8_t>& in, std::uint8_t* out,
                            std::uint32_t outSize, std::uint32_t* bytesReturned) {
  *bytesReturned = 0;
  if (outSize && !out) return os::kERROR_INVALID_USER_BUFFER;
  switch (ioControlCode) {
    case os::kIOCTL_SCSI_GET_ADDRESS:
      return ScsiAddress(disk, out, outSize, bytesReturned);
    case os::kIOCTL_STORAGE_GET_DEVICE_NUMBER:
      return DeviceNumber(disk, out, outSize, bytesReturned);
    case os::kIOCTL_STORAGE_QUERY_PROPERTY:
      return DeviceDescriptor(disk, in, out, outSize, bytesReturned);
    default:
      return os::kERROR_INVALID_FUNCTION;
  }
}

}  // namespace sim
