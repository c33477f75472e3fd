// Control codes, flags and errors of the storage pass-through and miniport requests
// (ntddscsi.h, winioctl.h, winerror.h), under their Windows names with a k in front. Both the
// program and the simulated drivers speak them; win32/ checks each against the headers.
#pragma once

#include <cstdint>

namespace os {

// DeviceIoControl codes of the SCSI port family (FILE_DEVICE_CONTROLLER, METHOD_BUFFERED,
// read and write access).
inline constexpr std::uint32_t kIOCTL_SCSI_PASS_THROUGH = 0x0004D004;
inline constexpr std::uint32_t kIOCTL_SCSI_MINIPORT = 0x0004D008;
inline constexpr std::uint32_t kIOCTL_SCSI_PASS_THROUGH_DIRECT = 0x0004D014;
inline constexpr std::uint32_t kIOCTL_ATA_PASS_THROUGH = 0x0004D02C;
inline constexpr std::uint32_t kIOCTL_ATA_PASS_THROUGH_DIRECT = 0x0004D030;

// ATA_PASS_THROUGH_EX.AtaFlags.
inline constexpr std::uint16_t kATA_FLAGS_DRDY_REQUIRED = 0x0001;
inline constexpr std::uint16_t kATA_FLAGS_DATA_IN = 0x0002;
inline constexpr std::uint16_t kATA_FLAGS_DATA_OUT = 0x0004;

// SCSI_PASS_THROUGH.DataIn.
inline constexpr std::uint8_t kSCSI_IOCTL_DATA_OUT = 0;
inline constexpr std::uint8_t kSCSI_IOCTL_DATA_IN = 1;
inline constexpr std::uint8_t kSCSI_IOCTL_DATA_UNSPECIFIED = 2;

// What a failed request leaves in GetLastError besides the generic codes.
inline constexpr std::uint32_t kERROR_PATH_NOT_FOUND = 3;
inline constexpr std::uint32_t kERROR_SEM_TIMEOUT = 121;
inline constexpr std::uint32_t kERROR_IO_DEVICE = 1117;
inline constexpr std::uint32_t kERROR_TIMEOUT = 1460;

// CreateFileA and GetFileAttributesA.
inline constexpr std::uint32_t kFILE_SHARE_DELETE = 0x00000004;
inline constexpr std::uint32_t kFILE_ATTRIBUTE_DIRECTORY = 0x00000010;
inline constexpr std::uint32_t kFILE_ATTRIBUTE_NORMAL = 0x00000080;
inline constexpr std::uint32_t kINVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

}  // namespace os
