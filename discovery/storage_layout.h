// The storage requests of the enumeration, as Windows lays them out (ntddscsi.h, winioctl.h).
// Every offset and size of these structures lives here; win32/ proves them against the
// headers in both pointer widths.
#pragma once

#include <cstddef>

namespace discovery::layout {

namespace scsi_address {  // SCSI_ADDRESS, the answer of IOCTL_SCSI_GET_ADDRESS
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kPortNumber = 4;
inline constexpr std::size_t kPathId = 5;
inline constexpr std::size_t kTargetId = 6;
inline constexpr std::size_t kLun = 7;
inline constexpr std::size_t kSize = 8;
}  // namespace scsi_address

namespace device_number {  // STORAGE_DEVICE_NUMBER, the answer of IOCTL_STORAGE_GET_DEVICE_NUMBER
inline constexpr std::size_t kDeviceType = 0;
inline constexpr std::size_t kDeviceNumber = 4;
inline constexpr std::size_t kPartitionNumber = 8;
inline constexpr std::size_t kSize = 12;
}  // namespace device_number

namespace property_query {  // STORAGE_PROPERTY_QUERY
inline constexpr std::size_t kPropertyId = 0;
inline constexpr std::size_t kQueryType = 4;
inline constexpr std::size_t kAdditionalParameters = 8;
inline constexpr std::size_t kSize = 12;
}  // namespace property_query

namespace device_descriptor {  // STORAGE_DEVICE_DESCRIPTOR, the answer for StorageDeviceProperty
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;  // the Size field: what the whole descriptor needs
inline constexpr std::size_t kDeviceType = 8;
inline constexpr std::size_t kDeviceTypeModifier = 9;
inline constexpr std::size_t kRemovableMedia = 10;
inline constexpr std::size_t kCommandQueueing = 11;
inline constexpr std::size_t kVendorIdOffset = 12;
inline constexpr std::size_t kProductIdOffset = 16;
inline constexpr std::size_t kProductRevisionOffset = 20;
inline constexpr std::size_t kSerialNumberOffset = 24;
inline constexpr std::size_t kBusType = 28;
inline constexpr std::size_t kRawPropertiesLength = 32;
inline constexpr std::size_t kRawDeviceProperties = 36;
inline constexpr std::size_t kStructSize = 40;  // sizeof, with one byte of raw properties
}  // namespace device_descriptor

}  // namespace discovery::layout
