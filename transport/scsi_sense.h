// Reading the sense data that a SCSI request returns: fixed (70h, 71h) and descriptor (72h,
// 73h) format, and the ATA Status Return descriptor through which a SAT layer hands back the
// registers of the ATA command it ran.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/ata_types.h"

namespace transport {

struct ScsiSense {
  // Byte 0 response code, 1 sense key, 2 ASC, 3 ASCQ, 7 additional length (descriptor format
  // only); the others 0.
  std::array<std::uint8_t, 8> parsed = {};
  bool bValid = false;  // bits 70h of byte 0 all set

  // The first ATA Status Return descriptor (type 09h), as far as the sense area holds it; bytes
  // past its end read 0. Its length is its additional length + 2, held to 12..14.
  bool bHasAtaReturn = false;
  std::array<std::uint8_t, 14> ataReturn = {};
  std::size_t ataReturnLength = 0;

  std::uint8_t ResponseCode() const { return parsed[0]; }
  std::uint8_t SenseKey() const { return parsed[1]; }
  std::uint8_t Asc() const { return parsed[2]; }
  std::uint8_t Ascq() const { return parsed[3]; }
};

inline constexpr std::uint8_t kAtaStatusReturnDescriptor = 0x09;

// Never reads past the given bytes, whatever lengths the sense data claims.
ScsiSense ParseSense(std::span<const std::uint8_t> sense);

// The registers of an ATA Status Return descriptor written into a register block: error,
// count, LBA low, mid, high, device, status; byte 7 is left alone.
void WriteBackRegisters(const ScsiSense& sense, TaskFile& taskFile);

}  // namespace transport
