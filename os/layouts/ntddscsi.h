// The SCSI port requests of ntddscsi.h: control codes and flags, SCSI_ADDRESS, the ATA and
// SCSI pass-through structures, SRB_IO_CONTROL (the header of every IOCTL_SCSI_MINIPORT
// request) and the miniport firmware interface's FIRMWARE_REQUEST_BLOCK. Constants take the
// Windows names with a k in front; the layouts are offsets in namespaces named after the
// structures.
//
// DataBufferOffset (ULONG_PTR) and DataBuffer (PVOID) are pointer-sized and pointer-aligned, so
// everything after them in the pass-through structures moves with the pointer width of the
// build, as in the Windows headers. win32/transport_layout_checks.cpp, storage_layout_checks.cpp
// and nvme_layout_checks.cpp prove each against the headers in both widths.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/layouts/basetsd.h"

namespace os {

// DeviceIoControl codes of the SCSI port family (FILE_DEVICE_CONTROLLER, METHOD_BUFFERED).
inline constexpr std::uint32_t kIOCTL_SCSI_GET_ADDRESS = 0x00041018;
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

// The miniport firmware interface: SRB_IO_CONTROL.ControlCode and Signature, the functions of
// FIRMWARE_REQUEST_BLOCK, and what ReturnCode answers.
inline constexpr std::uint32_t kIOCTL_SCSI_MINIPORT_FIRMWARE = 0x001B0780;
inline constexpr const char* kIOCTL_MINIPORT_SIGNATURE_FIRMWARE = "FIRMWARE";
inline constexpr std::uint32_t kFIRMWARE_FUNCTION_GET_INFO = 1;
inline constexpr std::uint32_t kFIRMWARE_FUNCTION_DOWNLOAD = 2;
inline constexpr std::uint32_t kFIRMWARE_FUNCTION_ACTIVATE = 3;
inline constexpr std::uint32_t kFIRMWARE_REQUEST_BLOCK_STRUCTURE_VERSION = 1;
inline constexpr std::uint32_t kFIRMWARE_REQUEST_FLAG_CONTROLLER = 1;
inline constexpr std::uint32_t kFIRMWARE_STATUS_SUCCESS = 0x00;
inline constexpr std::uint32_t kFIRMWARE_STATUS_POWER_CYCLE_REQUIRED = 0x20;

namespace layout {

namespace scsi_address {  // SCSI_ADDRESS, the answer of IOCTL_SCSI_GET_ADDRESS
inline constexpr std::size_t kLength = 0;
inline constexpr std::size_t kPortNumber = 4;
inline constexpr std::size_t kPathId = 5;
inline constexpr std::size_t kTargetId = 6;
inline constexpr std::size_t kLun = 7;
inline constexpr std::size_t kSize = 8;
}  // namespace scsi_address

// ATA_PASS_THROUGH_EX; ATA_PASS_THROUGH_DIRECT has the same shape with DataBuffer in the place
// of DataBufferOffset.
namespace ata_pass_through {
inline constexpr std::size_t kLength = 0;    // USHORT
inline constexpr std::size_t kAtaFlags = 2;  // USHORT
inline constexpr std::size_t kPathId = 4;
inline constexpr std::size_t kTargetId = 5;
inline constexpr std::size_t kLun = 6;
inline constexpr std::size_t kReservedAsUchar = 7;
inline constexpr std::size_t kDataTransferLength = 8;  // ULONG
inline constexpr std::size_t kTimeOutValue = 12;       // ULONG, seconds
inline constexpr std::size_t kReservedAsUlong = 16;
inline constexpr std::size_t kDataBuffer = AlignUp(20, kPointerSize);  // offset or address
inline constexpr std::size_t kPreviousTaskFile = kDataBuffer + kPointerSize;
inline constexpr std::size_t kCurrentTaskFile = kPreviousTaskFile + 8;
inline constexpr std::size_t kSize = AlignUp(kCurrentTaskFile + 8, kPointerSize);
}  // namespace ata_pass_through

// SCSI_PASS_THROUGH; SCSI_PASS_THROUGH_DIRECT has DataBuffer in the place of DataBufferOffset.
namespace scsi_pass_through {
inline constexpr std::size_t kLength = 0;  // USHORT
inline constexpr std::size_t kScsiStatus = 2;
inline constexpr std::size_t kPathId = 3;
inline constexpr std::size_t kTargetId = 4;
inline constexpr std::size_t kLun = 5;
inline constexpr std::size_t kCdbLength = 6;
inline constexpr std::size_t kSenseInfoLength = 7;
inline constexpr std::size_t kDataIn = 8;
inline constexpr std::size_t kDataTransferLength = 12;                       // ULONG
inline constexpr std::size_t kTimeOutValue = 16;                             // ULONG, seconds
inline constexpr std::size_t kDataBuffer = AlignUp(20, kPointerSize);        // offset or address
inline constexpr std::size_t kSenseInfoOffset = kDataBuffer + kPointerSize;  // ULONG
inline constexpr std::size_t kCdb = kSenseInfoOffset + 4;
inline constexpr std::size_t kCdbSize = 16;
inline constexpr std::size_t kSize = AlignUp(kCdb + kCdbSize, kPointerSize);
}  // namespace scsi_pass_through

// SRB_IO_CONTROL, the 28-byte header in front of every IOCTL_SCSI_MINIPORT request: CSMI, the
// miniport firmware interface, and the Intel RST and RSTe interfaces. No pointer in it.
namespace srb_io_control {
inline constexpr std::size_t kHeaderLength = 0;
inline constexpr std::size_t kSignature = 4;  // 8 bytes, no terminator, zero-padded
inline constexpr std::size_t kSignatureSize = 8;
inline constexpr std::size_t kTimeout = 12;  // seconds
inline constexpr std::size_t kControlCode = 16;
inline constexpr std::size_t kReturnCode = 20;
inline constexpr std::size_t kLength = 24;  // bytes after the header
inline constexpr std::size_t kSize = 28;
}  // namespace srb_io_control

// FIRMWARE_REQUEST_BLOCK, which follows the header; the function data follows it. mingw-w64
// does not declare it.
namespace firmware_request_block {
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kFunction = 8;
inline constexpr std::size_t kFlags = 12;
inline constexpr std::size_t kDataBufferOffset = 16;  // from the start of the header
inline constexpr std::size_t kDataBufferLength = 20;
inline constexpr std::size_t kStructSize = 24;
}  // namespace firmware_request_block

}  // namespace layout
}  // namespace os
