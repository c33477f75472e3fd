// Which drives the package may update, with which image, to which revision, and whether a
// drive already carries it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "discovery/dev_info.h"
#include "package/package_config.h"

namespace app {

// Sets bEligible, and imageIndex for an eligible drive, in every record of `drives`: the
// first image group with a row that admits the drive's model and revision wins.
void ChkConstraint(std::span<discovery::DevInfo> drives, const std::uint8_t* block,
                   const package::PackageConfig& config);

struct TargetRevisions {
  std::string shown;    // the target revision the drive list shows (lblNewFW)
  std::string derived;  // the target the later comparison of an NVMe drive uses (lblFWExt)
};

// The target revisions of an eligible drive. The package may store one image for several
// capacities of a model and mark the capacity position with "$"; an NVMe drive gets its own
// capacity code there.
TargetRevisions ChkO2N(const discovery::DevInfo& drive, const std::uint8_t* block,
                       const package::PackageConfig& config);

// Whether the update of `drive` is skipped: an equal revision only with bNFlash, a drive
// newer than the target unless bFOld allows going back. `shownTarget` is ChkO2N's shown
// target, which an NVMe drive is compared with.
bool IsAlreadyLatest(const discovery::DevInfo& drive, const std::string& shownTarget,
                     const std::uint8_t* block, const package::PackageConfig& config);

// Whether an NVMe drive on the inbox driver must wait for the Intel RST driver: on version codes
// up to 10000000h (Windows 7 and older; Windows 8 codes as 10010000h) the inbox driver has no
// firmware download.
bool NeedsRstDriverForNvme(const discovery::DevInfo& drive, std::uint32_t versionCode);

}  // namespace app
