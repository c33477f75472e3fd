// Which NVMe firmware slot an update writes. Revisions of the T-type families always go to
// slot 1; otherwise the slot that holds the target already, a T-type image, or nothing wins,
// and failing those the slot with the oldest revision is overwritten.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

inline constexpr std::int32_t kMaxFlashSlot = 7;

bool IsTTypeRevision(const std::string& revision);

// `slotItems` is the slot box: item 0 "Default", item i "<i>. <revision or NA>". An empty box
// keeps `previous`; a choice outside 1..7 becomes 1.
std::int32_t ChooseFlashSlot(const std::vector<std::string>& slotItems, const std::string& target,
                             std::int32_t previous);

}  // namespace app
