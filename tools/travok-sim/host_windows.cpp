#include "tools/travok-sim/host.h"
#include "win32/win32_os.h"

namespace travok_sim {

os::Os* HostWindows() {
  return &win32::WindowsOs();
}

}  // namespace travok_sim
