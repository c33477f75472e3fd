#include "discovery/scan_selection.h"

namespace discovery {

std::int32_t gScanType = 0;
bool bRSTeScan = false;

}  // namespace discovery
