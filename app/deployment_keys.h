// The registry keys that deployment scripts of the style-20 packages read after a run: the
// revision the drive carries now under TargetDevice, or the NoTargetDevice key when the
// machine had no drive to update.
#pragma once

#include <string>

namespace app {

// Creates the NoTargetDevice key and its parents.
void MarkNoTargetDevice();
// Creates the TargetDevice key and its parents and sets its "FWVersion" to `revision`.
void RecordTargetFirmware(const std::string& revision);

}  // namespace app
