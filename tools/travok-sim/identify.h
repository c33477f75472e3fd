// travok-sim --identify: every disk of the machine bound as the scan binds it, with the
// transport its probe chose and what IDENTIFY DEVICE told; then the SATA drives on the phys of
// its CSMI controllers.
#pragma once

#include <string>

#include "sim/sim_pc.h"

namespace travok_sim {

std::string IdentifyDrives(sim::SimPc& pc);

}  // namespace travok_sim
