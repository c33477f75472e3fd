#include "devices/disk_table_text.h"

#include <cstdio>

#include "framework/fixed_text.h"

namespace devices {

using fw::FieldText;
using fw::SetField;
using fw::SetPath;

std::string DiskTableText(std::span<const DiskEntry> disks) {
  std::string text = "disks: " + std::to_string(disks.size()) + "\n";
  for (std::size_t i = 0; i < disks.size(); ++i) {
    const DiskEntry& d = disks[i];
    char address[24] = "-";
    if (d.scsiAddressValid)
      std::snprintf(address, sizeof address, "%u-%u-%u-%u", d.scsiAddress.PortNumber,
                    d.scsiAddress.PathId, d.scsiAddress.TargetId, d.scsiAddress.Lun);
    char number[8] = "-";
    if (d.deviceNumber != 0xFF) std::snprintf(number, sizeof number, "%u", d.deviceNumber);
    const std::string service = d.parentNode ? FieldText(d.parentNode->service) : "";
    char line[512];
    std::snprintf(
        line, sizeof line,
        "%2zu  %-9s bus %02Xh  disk %-2s  %04X:%04X %-9s \"%s\" rev \"%s\" serial \"%s\"\n"
        "    %s\n",
        i, address, d.busType, number, d.parentVid, d.parentDid, service.c_str(),
        FieldText(d.friendlyName).c_str(), FieldText(d.productRevision).c_str(),
        FieldText(d.serialNumber).c_str(), FieldText(d.instanceId).c_str());
    text += line;
  }
  return text;
}

}  // namespace devices
