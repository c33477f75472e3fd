// What a simulated driver made of one DeviceIoControl: the Windows error (0 for success), the
// byte count, the virtual time the request took and the journal entry that describes it. The
// driver decides; the SimPc sets the last error, moves its clock and writes its journal.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct SimIoOutcome {
  std::uint32_t error = 0;
  std::uint32_t bytesReturned = 0;
  std::uint64_t elapsedUs = 0;
  std::string journal;
};

// A request the driver fails with a Windows error; the journal entry says which.
inline SimIoOutcome Refuse(std::string journal, std::uint32_t error, std::uint64_t elapsedUs = 0) {
  SimIoOutcome o;
  o.error = error;
  o.elapsedUs = elapsedUs;
  o.journal = std::move(journal) + " -> error " + std::to_string(error);
  return o;
}

// The system buffer the I/O manager makes for a buffered request: the input, zero-extended to
// the larger of the two buffers. The driver answers in it, and it is copied back into the
// output buffer.
inline std::vector<std::uint8_t> SystemBuffer(std::span<const std::uint8_t> in,
                                              std::uint32_t outSize) {
  std::vector<std::uint8_t> b(in.begin(), in.end());
  b.resize(std::max<std::size_t>(in.size(), outSize), 0);
  return b;
}

}  // namespace sim
