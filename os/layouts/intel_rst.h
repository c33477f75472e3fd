// The Intel RST driver's miniport interfaces: the NVMe pass-through signed "IntelNvm" and the
// firmware interface signed "IntelFw ". Both follow an SRB_IO_CONTROL header and travel over
// IOCTL_SCSI_MINIPORT; neither holds a pointer, so the offsets are the same in both widths.
// Intel publishes no header: win32/nvme_layout_checks.cpp asserts the request sizes the
// program builds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/layouts/ntddscsi.h"

namespace os::layout {

// The NVMe pass-through: header, then the command block, then the data at 168.
namespace irst_nvm {
inline constexpr const char* kSignature = "IntelNvm";
inline constexpr std::uint32_t kControlCode = 0xF0002808;
inline constexpr std::size_t kVersion = 28;
inline constexpr std::size_t kPathId = 29;
inline constexpr std::size_t kTargetId = 30;
inline constexpr std::size_t kLun = 31;
inline constexpr std::size_t kCommand = 32;
inline constexpr std::size_t kIsIoCommandSet = 96;
inline constexpr std::size_t kCompletion = 100;        // the 16-byte completion queue entry
inline constexpr std::size_t kCompletionStatus = 114;  // 16 bits: phase, SC, SCT, more, DNR
inline constexpr std::size_t kDataBufferOffset = 116;
inline constexpr std::size_t kDataBufferLength = 120;
inline constexpr std::size_t kData = 168;
inline constexpr std::size_t kLengthBase = kData - srb_io_control::kSize;  // 140 + L after it
inline constexpr std::uint8_t kRequestVersion = 1;
static_assert(kCompletion + 16 == kDataBufferOffset);
}  // namespace irst_nvm

// The firmware interface: header, a request block of its own, function data at 56.
namespace irst_fw {
inline constexpr const char* kSignature = "IntelFw ";
inline constexpr std::uint32_t kControlCode = 0xF0000040;
inline constexpr std::size_t kVersion = 28;
inline constexpr std::size_t kPathId = 29;
inline constexpr std::size_t kTargetId = 30;
inline constexpr std::size_t kLun = 31;
inline constexpr std::size_t kRequestVersion = 32;
inline constexpr std::size_t kRequestSize = 36;
inline constexpr std::size_t kFunction = 40;
inline constexpr std::size_t kFlags = 44;
inline constexpr std::size_t kDataOffset = 48;
inline constexpr std::size_t kDataLength = 52;
inline constexpr std::size_t kData = 56;
inline constexpr std::uint32_t kRequestBlockSize = 24;

namespace download {  // within the data
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kOffset = 8;       // 64 bits
inline constexpr std::size_t kBufferSize = 16;  // 64 bits
inline constexpr std::size_t kSlot = 24;
inline constexpr std::size_t kImage = 32;
inline constexpr std::uint32_t kStructVersion = 2;
inline constexpr std::uint32_t kStructSize = 32;
inline constexpr std::uint8_t kAnySlot = 0xFF;
}  // namespace download

namespace activate {  // within the data
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kSlot = 8;
inline constexpr std::uint32_t kStructVersion = 1;
inline constexpr std::uint32_t kStructSize = 12;
}  // namespace activate
}  // namespace irst_fw

}  // namespace os::layout
