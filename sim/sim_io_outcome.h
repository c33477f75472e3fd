// What a simulated driver made of one DeviceIoControl: the Windows error (0 for success), the
// byte count, the virtual time the request took and the journal entry that describes it. The
// driver decides; the SimPc sets the last error, moves its clock and writes its journal.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

struct SimIoOutcome {
  std::uint32_t error = 0;
  std::uint32_t bytesReturned = 0;
  std::uint64_t elapsedUs = 0;
  std::string journal;
};

}  // namespace sim
