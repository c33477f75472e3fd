// The disk table as text, for the tools that show what the enumeration found.
#pragma once

#include <span>
#include <string>

#include "devices/dev_mgr.h"

namespace devices {

// "disks: N", then two lines a disk: its address, bus type, device number, controller IDs
// and service, model, revision and serial; then its instance identifier.
std::string DiskTableText(std::span<const DiskEntry> disks);

}  // namespace devices
