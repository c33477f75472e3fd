// What an NVMe SSD of the simulated PC says of itself: the fields of its IDENTIFY CONTROLLER
// data. The drive model, the inbox driver, the Intel RST controller and the RSTe members all
// build their 4,096 bytes from it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

inline constexpr std::size_t kNvmeIdentifySize = 4096;
using NvmeIdentifyData = std::array<std::uint8_t, kNvmeIdentifySize>;
// OACS, byte 256: bit 2 the drive takes the two firmware commands.
inline constexpr std::size_t kNvmeOacs = 256;
inline constexpr std::uint8_t kNvmeOacsFirmware = 0x04;

struct SimNvmeIdentity {
  std::uint16_t vendorId = 0x1E4B;           // PCI vendor identifier, bytes 0-1
  std::uint16_t subsystemVendorId = 0x1E4B;  // bytes 2-3
  std::string serial = "TVK0000000000001";   // bytes 4-23, blank padded
  std::string model = "Travok NV3 1TB";      // bytes 24-63, blank padded
  std::string firmware = "NV3R1000";         // bytes 64-71: the running revision
  std::uint16_t controllerId = 1;            // bytes 78-79
  // FRMW, byte 260: bit 0 slot 1 read-only, bits 3:1 the number of slots.
  std::uint8_t frmw = 0x06;
  // FWUG, byte 319: the download granularity in 4 KiB units; 0 unknown, FFh no restriction.
  std::uint8_t fwug = 0x01;
  std::string partId;  // bytes 3,072-3,103 of the vendor area, zero padded
  // Identify Controller as a real drive returned it: replayed, with the fields above written
  // over it where they differ from what it says.
  std::optional<NvmeIdentifyData> captured;
};

// The number of firmware slots FRMW tells (1 when it says 0, as NVMe reads it).
int NvmeSlotCount(std::uint8_t frmw);

// IDENTIFY CONTROLLER (CNS 1) as the drive returns it; `firmware` is the revision it runs,
// which after an activation is no longer the identity's.
NvmeIdentifyData BuildIdentifyController(const SimNvmeIdentity& identity,
                                         std::string_view firmware);

// The identity a captured drive tells of itself, which keeps the capture for replay.
SimNvmeIdentity NvmeIdentityFromCapture(const NvmeIdentifyData& captured);

}  // namespace sim
