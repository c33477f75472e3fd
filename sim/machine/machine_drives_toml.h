// The parts of a machine description that describe drives rather than the device tree: the
// SATA drive behind a disk and the pass-through requests its controller carries, CSMI
// controllers with their phys, and files such as the markers on C:. The machine reader hands
// these tables over; the format is told in sim/machines/demo.toml.
#pragma once

#include <toml++/toml.h>

#include <string>
#include <string_view>

#include "sim/drives/sim_nvme_identity.h"
#include "sim/machine/toml_reader.h"
#include "sim/sim_pc.h"

namespace sim {

// The keys of [[disk]] read here.
inline constexpr std::string_view kDiskDriveKeys[] = {"ata", "transports", "ata_pass_through_error",
                                                      "pass_through_error", "sat_sense"};

void ReadDiskDrive(const toml::table& disk, SimDisk& out, const MachineSource& source);
// The [[csmi]] entries and the [files] table of the root.
void ReadCsmiControllers(const toml::table& root, SimPc& pc, const MachineSource& source);
// The identity keys of an NVMe drive's table (identify, model, serial, firmware, vendor_id,
// subsystem_vendor_id, controller_id, frmw, fwug, part_id), read over the defaults of
// SimNvmeIdentity, or over the captured Identify Controller data that identify names. The
// caller checks the table's keys, these among its own.
inline constexpr std::string_view kNvmeIdentityKeys[] = {
    "identify",      "model", "serial", "firmware", "vendor_id", "subsystem_vendor_id",
    "controller_id", "frmw",  "fwug",   "part_id"};
SimNvmeIdentity ReadNvmeIdentity(const TomlReader& r, const toml::table& t);
void ReadFiles(const toml::table& root, SimPc& pc, const MachineSource& source);

}  // namespace sim
