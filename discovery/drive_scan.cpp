#include "discovery/drive_scan.h"

#include <exception>

#include "discovery/drive_scan_passes.h"

namespace discovery {

std::int32_t ScanSSDDrive(TScanContext& context, std::int32_t scanType) {
  ClearTable(context.devInfo);
  // The single-target CSMI pass falls back on a reading of this address.
  const std::uint64_t rememberedSasAddress = context.csmiTarget.SAS_ADDR;
  scan::TScanTable table(context.devInfo);
  try {
    if (bRSTeScan) {
      if (!scan::RstePass(context, table)) return -1;
    } else if (scanType == 1) {
      scan::CsmiPass(context, table, rememberedSasAddress);
    } else if (!scan::AtaNvmePass(context, table)) {
      return -1;
    }
  } catch (const std::exception&) {
    // Nothing may leave the scan but its count; whatever escaped a pass aborts it.
    return -1;
  }
  return table.Count();
}

}  // namespace discovery
