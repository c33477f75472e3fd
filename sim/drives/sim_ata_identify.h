// IDENTIFY DEVICE of a simulated SATA drive. A drive either builds its 512 bytes from its
// identity, or replays the bytes a real drive returned: then the identity only overwrites the
// fields in which it differs from what those bytes say (a machine-file key, a new revision after
// an activation), so that a capture nobody overrides reaches the program byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/drives/sim_sata_drive.h"

namespace sim {

inline constexpr std::size_t kAtaIdentifySize = 512;
using AtaIdentifyData = std::array<std::uint8_t, kAtaIdentifySize>;

AtaIdentifyData BuildIdentifyDevice(const SimAtaIdentity& identity);

// The identity a captured drive tells of itself, which keeps the capture for replay; what
// IDENTIFY does not hold (the vendor version reply, the part identifier) stays `identity`'s.
SimAtaIdentity IdentityFromCapture(const AtaIdentifyData& captured, SimAtaIdentity identity);

}  // namespace sim
