// SRB_IO_CONTROL, the 28-byte header in front of every IOCTL_SCSI_MINIPORT request: CSMI, the
// Windows miniport firmware interface, and the Intel RST and RSTe interfaces. It holds no
// pointer, so the offsets are the same in both widths; win32/transport_layout_checks.cpp proves
// them against ntddscsi.h.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "framework/bytes.h"

namespace transport::srb {

inline constexpr std::size_t kHeaderLength = 0;
inline constexpr std::size_t kSignature = 4;  // 8 bytes, no terminator, zero-padded
inline constexpr std::size_t kSignatureSize = 8;
inline constexpr std::size_t kTimeout = 12;  // seconds
inline constexpr std::size_t kControlCode = 16;
inline constexpr std::size_t kReturnCode = 20;
inline constexpr std::size_t kLength = 24;  // bytes after the header
inline constexpr std::size_t kSize = 28;

// Fills the header; `length` is the count of bytes after it.
inline void PutHeader(std::span<std::uint8_t> request, const char* signature, std::uint32_t timeout,
                      std::uint32_t controlCode, std::uint32_t returnCode, std::uint32_t length) {
  fw::PutU32le(request, kHeaderLength, std::uint32_t(kSize));
  std::memset(&request[kSignature], 0, kSignatureSize);
  std::memcpy(&request[kSignature], signature, std::min(std::strlen(signature), kSignatureSize));
  fw::PutU32le(request, kTimeout, timeout);
  fw::PutU32le(request, kControlCode, controlCode);
  fw::PutU32le(request, kReturnCode, returnCode);
  fw::PutU32le(request, kLength, length);
}

}  // namespace transport::srb
