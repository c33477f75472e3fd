// One IOCTL_SCSI_MINIPORT request, the block being input and output: how CSMI's neighbours (the
// Windows miniport firmware interface and the Intel RST and RSTe interfaces) are all sent.
#pragma once

#include <cstdint>
#include <span>

#include "os/layouts/ntddscsi.h"
#include "os/os.h"

namespace transport {

// True when the driver completed the request; else the Windows error goes to *error.
inline bool SendMiniportRequest(os::Handle handle, std::span<std::uint8_t> block,
                                std::uint32_t* error = nullptr) {
  os::Os& system = os::Current();
  std::uint32_t returned = 0;
  const bool ok = system.DeviceIoControl(handle, os::kIOCTL_SCSI_MINIPORT, block.data(),
                                         std::uint32_t(block.size()), block.data(),
                                         std::uint32_t(block.size()), &returned);
  if (!ok && error) *error = system.GetLastError();
  return ok;
}

}  // namespace transport
