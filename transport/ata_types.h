// The vocabulary every ATA-level operation shares: result codes, data directions, transport
// kinds and the 8-byte register block.
#pragma once

#include <array>
#include <cstdint>

namespace transport {

// Result of every ATA-level operation.
inline constexpr std::uint8_t ATACMD_OK = 0;
inline constexpr std::uint8_t ATACMD_ERR = 1;      // the device reported an error
inline constexpr std::uint8_t ATACMD_TIMEOUT = 2;  // Windows or the command timer said so
inline constexpr std::uint8_t ATACMD_FAIL = 254;   // anything else
inline constexpr std::uint8_t ATACMD_SYS_NOT_SUPPORT = 255;

// Directions: the values of ATA_FLAGS_DATA_IN and ATA_FLAGS_DATA_OUT, so they go into AtaFlags
// unchanged.
inline constexpr int DATA_NONE = 0;
inline constexpr int DATA_IN = 2;
inline constexpr int DATA_OUT = 4;

// Transport kinds. The number is also what the boot-time hand-off writes as "PROTOCOL=".
inline constexpr int kKindNone = 0;
inline constexpr int kKindAtaPassThrough = 1;
inline constexpr int kKindScsiVendorCdb = 3;
inline constexpr int kKindSat = 5;
inline constexpr int kKindCsmi = 14;
inline constexpr int kKindNvme = 16;

const char* TransportKindName(int kind);

// The register block in the order of the Windows IDEREGS type. On return byte 0 holds the
// error register and byte 6 the status.
using TaskFile = std::array<std::uint8_t, 8>;
namespace reg {
inline constexpr std::size_t kFeatures = 0;  // error on return
inline constexpr std::size_t kCount = 1;
inline constexpr std::size_t kLbaLow = 2;
inline constexpr std::size_t kLbaMid = 3;
inline constexpr std::size_t kLbaHigh = 4;
inline constexpr std::size_t kDevice = 5;
inline constexpr std::size_t kCommand = 6;  // status on return
inline constexpr std::size_t kReserved = 7;
}  // namespace reg

inline constexpr std::uint8_t kAtaStatusErr = 0x01;

// Windows error of a failed request -> result code.
std::uint8_t MapOsError(std::uint32_t error);

// The driver's TimeOutValue: whole seconds, truncated toward zero.
std::uint32_t DriverTimeoutSeconds(float seconds);

}  // namespace transport
