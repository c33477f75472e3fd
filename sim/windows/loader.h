// Loading and starting the program on a simulated PC, as Windows maps an executable and runs
// its entry point.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "app/travok_main.h"
#include "sim/sim_pc.h"

namespace sim {

// Maps the package areas of a release file (any build of the program, packed or not) over
// this process's own package areas, so that the program reads that release.
bool LoadRelease(std::span<const std::uint8_t> file, std::string* error);

// Puts back the package this executable carries in its own file (for a test binary, the
// unfilled template), undoing every LoadRelease.
void RestoreOwnPackage();

// Runs the program on `pc` (a SimPc, or one hosted by a real Windows) from its process entry
// to its end and returns the exit code.
int RunProgram(os::Os& pc, const app::MainWindowObserver& observer = {});

}  // namespace sim
