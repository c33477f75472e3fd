// The Windows travok-sim runs under, if any. On Linux there is none and the simulated PC is the
// whole machine; travok-sim.exe hands the program to the Windows it runs on and simulates only
// the storage.
#pragma once

#include "os/os.h"

namespace travok_sim {

os::Os* HostWindows();

}  // namespace travok_sim
