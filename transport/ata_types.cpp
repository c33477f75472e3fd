#include "transport/ata_types.h"

#include <cmath>

#include "os/layouts/ntddscsi.h"
#include "os/os.h"

namespace transport {

const char* TransportKindName(int kind) {
  switch (kind) {
    case kKindAtaPassThrough:
      return "ATA PASSTHROUGH";
    case kKindScsiVendorCdb:
      return "SCSI PASS THROUGH";
    case kKindSat:
      return "SAT ATA PASS THROUGH";
    case kKindCsmi:
      return "CSMI";
    case kKindNvme:
      return "NVMe";
    default:
      return "SYSTEM NOT SUPPORT";
  }
}

std::uint8_t MapOsError(std::uint32_t error) {
  switch (error) {
    case os::kERROR_SEM_TIMEOUT:
    case os::kWAIT_TIMEOUT:
    case os::kERROR_TIMEOUT:
      return ATACMD_TIMEOUT;
    case os::kERROR_INVALID_FUNCTION:
    case os::kERROR_NOT_SUPPORTED:
      return ATACMD_SYS_NOT_SUPPORT;
    default:
      return ATACMD_FAIL;
  }
}

std::uint32_t DriverTimeoutSeconds(float seconds) {
  // A negative or absurd time-out must not wrap into a huge driver value.
  if (!(seconds > 0)) return 0;
  if (seconds >= 4294967295.0f) return 0xFFFFFFFF;
  return std::uint32_t(std::trunc(seconds));
}

}  // namespace transport
