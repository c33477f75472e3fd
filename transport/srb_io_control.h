// Filling SRB_IO_CONTROL, the header in front of every IOCTL_SCSI_MINIPORT request: CSMI, the
// Windows miniport firmware interface, and the Intel RST and RSTe interfaces.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"

namespace transport {

// Fills the header; `length` is the count of bytes after it.
inline void PutSrbHeader(std::span<std::uint8_t> request, const char* signature,
                         std::uint32_t timeout, std::uint32_t controlCode, std::uint32_t returnCode,
                         std::uint32_t length) {
  namespace srb = os::layout::srb_io_control;
  fw::PutU32le(request, srb::kHeaderLength, std::uint32_t(srb::kSize));
  std::memset(&request[srb::kSignature], 0, srb::kSignatureSize);
  std::memcpy(&request[srb::kSignature], signature,
              std::min(std::strlen(signature), srb::kSignatureSize));
  fw::PutU32le(request, srb::kTimeout, timeout);
  fw::PutU32le(request, srb::kControlCode, controlCode);
  fw::PutU32le(request, srb::kReturnCode, returnCode);
  fw::PutU32le(request, srb::kLength, length);
}

}  // namespace transport
