// How the simulated drives and drivers pick the fault that takes a command: the first fault
// that matches, once it has let `skip` matching commands through, `times` times (-1: always).
#pragma once

#include <optional>
#include <vector>

namespace sim {

template <typename Fault, typename Matches>
std::optional<Fault> TakeFault(std::vector<Fault>& faults, Matches matches) {
  for (Fault& f : faults) {
    if (f.times == 0 || !matches(f)) continue;
    if (f.skip > 0) {
      --f.skip;
      continue;
    }
    if (f.times > 0) --f.times;
    return f;
  }
  return std::nullopt;
}

}  // namespace sim
