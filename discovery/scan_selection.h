// Which scan runs and what it looks for: set by the command line, read by the drive scan.
#pragma once

#include <cstdint>

namespace discovery {

// A drive behind a CSMI controller, as the command line or the drive list names it.
struct TCsmiTarget {
  std::int32_t SCSI_PORT = 0;  // the CSMI controller index
  std::uint64_t SAS_ADDR = 0;
  std::int32_t INDEX = 0;  // the phy identifier
  std::int32_t PORT = 0;   // the port identifier
};

// 0: the ATA/NVMe scan runs; 1: the CSMI scan runs.
extern std::int32_t gScanType;
// The Intel RSTe pass runs whatever gScanType says.
extern bool bRSTeScan;

}  // namespace discovery
