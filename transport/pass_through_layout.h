// The pass-through requests the device object builds around the Windows structures
// (os/layouts/ntddscsi.h): the buffered and direct ATA and SCSI requests, and the CDBs it
// sends through the SCSI ones. The requests grow with the pointer width of the build, as the
// structures do; win32/transport_layout_checks.cpp proves them against the headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "os/layouts/basetsd.h"
#include "os/layouts/ntddscsi.h"

namespace transport::layout {

// A ULONG_PTR or PVOID field of the build's width, little-endian.
inline void PutPointerField(std::span<std::uint8_t> bytes, std::size_t at, std::uintptr_t value) {
  for (std::size_t i = 0; i < os::layout::kPointerSize; ++i)
    bytes[at + i] = std::uint8_t(value >> (8 * i));
}

// The buffered ATA request: the header, a 4-byte filler, then the 512-byte data area.
namespace ata_request {
inline constexpr std::size_t kDataOffset = os::layout::ata_pass_through::kSize + 4;
inline constexpr std::size_t kDataSize = 512;
inline constexpr std::size_t kSize = kDataOffset + kDataSize;
inline constexpr std::size_t kDirectSize = os::layout::ata_pass_through::kSize;
}  // namespace ata_request

// The SCSI requests: the header, a 4-byte filler, 32 bytes of sense, and in the buffered form
// the 512-byte data area.
namespace scsi_request {
inline constexpr std::size_t kSenseOffset = os::layout::scsi_pass_through::kSize + 4;
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
