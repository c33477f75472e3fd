// How the simulated SATA drive ends a command: its registers as they came, with the status and
// error it answers. Shared by the files that model the drive's commands.
#pragma once

#include <cstdint>

#include "sim/drives/sim_sata_drive.h"

namespace sim::ata {

inline SimAtaResult Done(const SimAtaCommand& command, std::uint8_t status = kStatusGood,
                         std::uint8_t error = 0) {
  SimAtaResult r;
  r.registers = command.registers;
  r.registers[kError] = error;
  r.registers[kStatus] = status;
  return r;
}

inline SimAtaResult Abort(const SimAtaCommand& command) {
  return Done(command, kStatusError, kErrorAbort);
}

}  // namespace sim::ata
