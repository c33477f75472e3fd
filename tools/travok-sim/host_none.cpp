#include "tools/travok-sim/host.h"

namespace travok_sim {

os::Os* HostWindows() {
  return nullptr;
}

}  // namespace travok_sim
