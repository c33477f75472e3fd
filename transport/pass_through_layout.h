// The pass-through requests as Windows lays them out (ntddscsi.h): ATA_PASS_THROUGH_EX and
// ATA_PASS_THROUGH_DIRECT, SCSI_PASS_THROUGH and SCSI_PASS_THROUGH_DIRECT, and the requests
// the device object builds around them. Every offset and size of this family lives here.
//
// DataBufferOffset (ULONG_PTR) and DataBuffer (PVOID) are pointer-sized and pointer-aligned, so
// everything after them moves with the pointer width of the build, as in the Windows headers.
// win32/transport_layout_checks.cpp proves each constant against those headers in both widths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace transport::layout {

inline constexpr std::size_t kPointerSize = sizeof(void*);

constexpr std::size_t AlignUp(std::size_t value, std::size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// A ULONG_PTR or PVOID field of the build's width, little-endian.
inline void PutPointerField(std::span<std::uint8_t> bytes, std::size_t at, std::uintptr_t value) {
  for (std::size_t i = 0; i < kPointerSize; ++i) bytes[at + i] = std::uint8_t(value >> (8 * i));
}

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

// The buffered ATA request: the header, a 4-byte filler, then the 512-byte data area.
namespace ata_request {
inline constexpr std::size_t kDataOffset = ata_pass_through::kSize + 4;
inline constexpr std::size_t kDataSize = 512;
inline constexpr std::size_t kSize = kDataOffset + kDataSize;
inline constexpr std::size_t kDirectSize = ata_pass_through::kSize;
}  // namespace ata_request

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

// The SCSI requests: the header, a 4-byte filler, 32 bytes of sense, and in the buffered form
// the 512-byte data area.
namespace scsi_request {
inline constexpr std::size_t kSenseOffset = scsi_pass_through::kSize + 4;
inline constexpr std::size_t kSenseSize = 32;
inline constexpr std::size_t kDataOffset = kSenseOffset + kSenseSize;
inline constexpr std::size_t kDataSize = 512;
inline constexpr std::size_t kSize = kDataOffset + kDataSize;
inline constexpr std::size_t kDirectSize = kSenseOffset + kSenseSize;
}  // namespace scsi_request

// Transfers up to the data area go through the buffered requests, longer ones through the
// direct ones, where the driver maps the caller's buffer.
inline constexpr std::size_t kBufferedLimit = 512;

// CDBs the device object sends through the SCSI requests.
namespace cdb {
// The vendor ATA pass-through of some bridges: CCh, 0, then the register block as is.
inline constexpr std::uint8_t kVendorAtaOpcode = 0xCC;
inline constexpr std::size_t kVendorAtaLength = 10;
inline constexpr std::size_t kVendorAtaTaskFile = 2;

// SAT ATA PASS-THROUGH (12).
inline constexpr std::uint8_t kSatAta12Opcode = 0xA1;
inline constexpr std::size_t kSatAta12Length = 12;
inline constexpr std::size_t kSatProtocol = 1;  // protocol << 1; EXTEND is bit 0
inline constexpr std::size_t kSatFlags = 2;     // OFF_LINE, CK_COND, T_DIR, BYT_BLOK, T_LENGTH
inline constexpr std::size_t kSatFeatures = 3;  // then count, LBA low, mid, high, device, command
inline constexpr std::uint8_t kSatProtocolNonData = 3;
inline constexpr std::uint8_t kSatProtocolPioIn = 4;
inline constexpr std::uint8_t kSatProtocolPioOut = 5;
inline constexpr std::uint8_t kSatFlagsNonData = 0x0C;  // BYT_BLOK, CK_COND clear, no length
inline constexpr std::uint8_t kSatFlagsPioIn = 0x0E;    // T_DIR in, BYT_BLOK, length in count
inline constexpr std::uint8_t kSatFlagsPioOut = 0x06;   // T_DIR out, BYT_BLOK, length in count
}  // namespace cdb

// What the device object puts in the fields it fills.
inline constexpr std::uint8_t kVendorCdbTarget = 1;  // the bridges answer on target 1
inline constexpr std::uint8_t kVendorCdbSenseLength = 24;
inline constexpr std::uint8_t kSatSenseLength = 32;
inline constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;

}  // namespace transport::layout
