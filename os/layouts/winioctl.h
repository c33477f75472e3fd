// The storage requests of winioctl.h: control codes, property queries and their answers, the
// device number, and the disk interface class. Constants take the Windows names with a k in
// front; the layouts are offsets in namespaces named after the structures. None holds a
// pointer, so the offsets hold in both widths. win32/storage_layout_checks.cpp and
// win32/nvme_layout_checks.cpp prove them against the headers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/device_types.h"

namespace os {

inline constexpr std::uint32_t kIOCTL_STORAGE_GET_DEVICE_NUMBER = 0x002D1080;
inline constexpr std::uint32_t kIOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400;
inline constexpr std::uint32_t kFILE_DEVICE_DISK = 0x00000007;

// STORAGE_PROPERTY_ID, STORAGE_QUERY_TYPE.
inline constexpr std::uint32_t kStorageDeviceProperty = 0;
inline constexpr std::uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr std::uint32_t kPropertyStandardQuery = 0;

// STORAGE_BUS_TYPE.
inline constexpr std::uint8_t kBusTypeUsb = 0x07;
inline constexpr std::uint8_t kBusTypeRAID = 0x08;
inline constexpr std::uint8_t kBusTypeSata = 0x0B;
inline constexpr std::uint8_t kBusTypeNvme = 0x11;

// STORAGE_PROTOCOL_TYPE, STORAGE_PROTOCOL_NVME_DATA_TYPE.
inline constexpr std::uint32_t kProtocolTypeNvme = 3;
inline constexpr std::uint32_t kNVMeDataTypeIdentify = 1;

inline constexpr Guid kGUID_DEVINTERFACE_DISK = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

namespace layout {

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

// STORAGE_PROTOCOL_SPECIFIC_DATA: what a protocol-specific query carries in the query's
// AdditionalParameters, and its answer, STORAGE_PROTOCOL_DATA_DESCRIPTOR, at the same offset.
namespace protocol_specific_data {
inline constexpr std::size_t kProtocolType = 0;
inline constexpr std::size_t kDataType = 4;
inline constexpr std::size_t kProtocolDataRequestValue = 8;
inline constexpr std::size_t kProtocolDataRequestSubValue = 12;
inline constexpr std::size_t kProtocolDataOffset = 16;  // from the start of the specific data
inline constexpr std::size_t kProtocolDataLength = 20;
inline constexpr std::size_t kSize = 40;
}  // namespace protocol_specific_data

namespace protocol_data_descriptor {  // STORAGE_PROTOCOL_DATA_DESCRIPTOR
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kProtocolSpecificData = 8;
}  // namespace protocol_data_descriptor

}  // namespace layout
}  // namespace os
