// The NVMe side of the requests that carry commands and firmware to a drive: the command the
// program sends, where the requests it builds put their data, and the program's own timeouts,
// chunk sizes and retries. The Windows and Intel structures they are made of live in
// os/layouts/ (winioctl.h, ntddscsi.h, ntddstor.h, intel_rst.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/layouts/intel_rst.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/ntddstor.h"
#include "os/layouts/winioctl.h"

namespace transport::nvme {

inline constexpr std::size_t kCompletionSize = 16;  // completion queue entry
inline constexpr std::size_t kIdentifySize = 4096;

// IDENTIFY and the CNS value the program sends.
inline constexpr std::uint8_t kOpcodeIdentify = 0x06;
inline constexpr std::uint32_t kCnsController = 1;
inline constexpr std::size_t kCdw10 = 40;  // command dword 10 within the command

// IDENTIFY CONTROLLER: FRMW, bit 0 slot 1 read-only, bits 3:1 the number of slots.
inline constexpr std::size_t kIdentifyFrmw = 260;

// IOCTL_STORAGE_QUERY_PROPERTY for NVMe data as one block: STORAGE_PROPERTY_QUERY with a
// STORAGE_PROTOCOL_SPECIFIC_DATA in its AdditionalParameters, then the data. The answer, a
// STORAGE_PROTOCOL_DATA_DESCRIPTOR, puts the same specific data at the same place, so the data
// comes back at the same offset.
namespace protocol_query {
inline constexpr std::size_t kSpecific = os::layout::property_query::kAdditionalParameters;
inline constexpr std::size_t kData = kSpecific + os::layout::protocol_specific_data::kSize;
inline constexpr std::size_t kIdentifyRequestSize = kData + kIdentifySize;
static_assert(kData == 48 && kIdentifyRequestSize == 4144);
}  // namespace protocol_query

// The miniport firmware request: SRB_IO_CONTROL, FIRMWARE_REQUEST_BLOCK, the function data.
namespace miniport_fw {
inline constexpr std::uint32_t kTimeoutSeconds = 30;
inline constexpr std::size_t kRequestBlock = os::layout::srb_io_control::kSize;
inline constexpr std::size_t kData =
    kRequestBlock + os::layout::firmware_request_block::kStructSize;
static_assert(kData == 52);
}  // namespace miniport_fw

// The Intel RST firmware request.
inline constexpr std::uint32_t kIrstFirmwareTimeoutSeconds = 30;

// Chunk sizes of an image download.
inline constexpr std::uint32_t kChunkSmall = 4096;
inline constexpr std::uint32_t kChunkLarge = 16384;
// The activation request is sent this many times at most when the call itself fails.
inline constexpr int kActivationAttempts = 5;

}  // namespace transport::nvme
