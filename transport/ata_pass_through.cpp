// Transport kind 1: IOCTL_ATA_PASS_THROUGH for transfers up to 512 bytes, carried inside the
// request, and IOCTL_ATA_PASS_THROUGH_DIRECT for longer ones, from the caller's buffer.
#include <algorithm>
#include <cstring>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "transport/ata_device.h"

namespace transport {
namespace {

namespace apt = os::layout::ata_pass_through;

// Some drivers hand back 7Fh when the command completed; it is no error report.
constexpr std::uint8_t kStatusCompletedQuirk = 0x7F;

}  // namespace

std::uint8_t TAtaDevice::AtaPassThrough(TaskFile& taskFile, std::uint8_t* buffer, int direction,
                                        std::uint32_t& length) {
  const bool bDirect = length > layout::kBufferedLimit;
  std::span<std::uint8_t> request =
      bDirect ? std::span<std::uint8_t>(m_AtaDirect) : std::span<std::uint8_t>(m_AtaRequest);
  std::fill(request.begin(), request.end(), 0);

  std::uint16_t flags = std::uint16_t(direction);
  if (bDirect || direction != DATA_NONE) flags |= os::kATA_FLAGS_DRDY_REQUIRED;
  fw::PutU16le(request, apt::kLength, std::uint16_t(apt::kSize));
  fw::PutU16le(request, apt::kAtaFlags, flags);
  fw::PutU32le(request, apt::kDataTransferLength, length);
  fw::PutU32le(request, apt::kTimeOutValue, DriverTimeoutSeconds(m_TimeoutSeconds));
  layout::PutPointerField(request, apt::kDataBuffer,
                          bDirect ? reinterpret_cast<std::uintptr_t>(buffer)
                                  : std::uintptr_t(layout::ata_request::kDataOffset));
  std::copy(taskFile.begin(), taskFile.end(), request.begin() + apt::kCurrentTaskFile);
  if (!bDirect && direction == DATA_OUT && buffer)
    std::memcpy(&request[layout::ata_request::kDataOffset], buffer, length);

  const bool ok = Send(bDirect ? os::kIOCTL_ATA_PASS_THROUGH_DIRECT : os::kIOCTL_ATA_PASS_THROUGH,
                       request.data(), request.size());
  // A direct transfer that outlasts the time-out has not finished as far as the program is
  // concerned, whatever the driver says.
  if (bDirect && m_CmdTimer.Total() >= m_TimeoutSeconds) return ATACMD_TIMEOUT;
  if (!ok) return MapOsError(m_LastOsError);

  std::copy_n(request.begin() + apt::kCurrentTaskFile, m_LastTaskFile.size(),
              m_LastTaskFile.begin());
  const std::uint8_t status = m_LastTaskFile[reg::kCommand];
  if (status & kAtaStatusErr) {
    if (status == kStatusCompletedQuirk) return ATACMD_OK;
    m_LastAtaStatus = status;
    return ATACMD_ERR;
  }
  const std::uint32_t returned = fw::GetU32le(request, apt::kDataTransferLength);
  if (!bDirect && direction == DATA_IN && buffer && returned) {
    const std::size_t n = std::min<std::size_t>({length, returned, layout::ata_request::kDataSize});
    std::memcpy(buffer, &request[layout::ata_request::kDataOffset], n);
  }
  length = returned;
  return ATACMD_OK;
}

}  // namespace transport
