// Simulated PCs for the drive readers and the drive scan: the SATA disks of the transport
// fixture, NVMe disks on the inbox driver and behind Intel RST, the identity record and the main
// window's two slot boxes the readers fill.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery/dev_info.h"
#include "discovery/drive_readers.h"
#include "framework/forms.h"
#include "sim/drives/sim_sata_drive.h"
#include "tests/unit/transport/transport_fixture.h"

namespace discovery_test {

using transport_test::Disk;
using transport_test::DiskId;

inline constexpr const char* kInboxParent = "PCI\\VEN_1E4B&DEV_1202\\4&1F7E4B4B&0&00E0";
inline constexpr const char* kRstParent = "PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9";

// The inbox NVMe controller; its service as Windows may write it.
inline std::string InboxController(const std::string& service = "stornvme") {
  return std::string("\n[[device]]\ninstance_id = '") + kInboxParent +
         "'\nclass = \"scsiadapter\"\nservice = \"" + service + "\"\n";
}

// The Intel RST controller with its driver's version, and the driver's NVMe interfaces on
// SCSI port 2.
inline std::string RstController(const std::string& version,
                                 const std::string& service = "iaStorA") {
  return std::string("\n[[device]]\ninstance_id = '") + kRstParent +
         "'\nclass = \"scsiadapter\"\nservice = \"" + service +
         "\"\ndescription = \"Intel(R) Chipset SATA/PCIe RST Premium Controller\"\n"
         "driver_key = '{4d36e97b-e325-11ce-bfc1-08002be10318}\\0002'\ndriver_version = \"" +
         version + "\"\n\n[[irst]]\nport = 2\ninstance_id = '" + kRstParent + "'\n";
}

inline std::string NvmeDiskId(const std::string& name) {
  return "SCSI\\DISK&VEN_NVME&PROD_" + name + "\\5&1&0&" + name;
}

// An NVMe disk below `parent` at `address` ("[port, path, target, lun]"), with keys of its own
// for [[disk]] and for [disk.nvme].
inline std::string NvmeDisk(const std::string& name, const std::string& parent, int busType,
                            const std::string& address, const std::string& nvme = "",
                            const std::string& keys = "") {
  return "\n[[disk]]\ninstance_id = '" + NvmeDiskId(name) + "'\nparent = '" + parent +
         "'\nfriendly_name = \"" + name + " friendly\"\nbus_type = " + std::to_string(busType) +
         "\nscsi_address = " + address + "\nrevision = \"STACKREV\"\nserial = \"" + name +
         "-STACK-SERIAL\"\n" + keys + "\n[disk.nvme]\nmodel = \"" + name + " model\"\nserial = \"" +
         name + "-SERIAL\"\n" + nvme + "\n";
}

class DiscoveryTest : public transport_test::TransportTest {
 protected:
  // A new PC for the next machine of a table.
  void Fresh() {
    device.reset();
    devMgr.reset();
    pc.Reset();
  }
  discovery::TSlotBoxes Boxes() { return {cboFwSlot, cboCommitAction}; }
  int IndexOf(const std::string& instanceId) const {
    for (int i = 0; i < device->DriveCount(); ++i)
      if (fw::FieldText(device->DriveAt(i)->instanceId) == instanceId) return i;
    ADD_FAILURE() << instanceId << " is not in the table";
    return -1;
  }
  // The commands a SATA drive received since `from` of its records.
  static std::vector<sim::SimAtaRecord> Commands(const sim::SimSataDrive& drive,
                                                 std::uint8_t opcode, std::size_t from = 0) {
    std::vector<sim::SimAtaRecord> out;
    for (std::size_t i = from; i < drive.Records().size(); ++i)
      if (drive.Records()[i].command.registers[sim::ata::kCommand] == opcode)
        out.push_back(drive.Records()[i]);
    return out;
  }

  fw::TComboBox cboFwSlot, cboCommitAction;
  discovery::TCurrentIdentity identity{};
};

using Items = std::vector<std::string>;

}  // namespace discovery_test
