#include "tools/travok-sim/identify.h"

#include <cstdio>

#include "discovery/dev_mgr.h"
#include "transport/ata_device.h"

namespace travok_sim {
namespace {

// An ATA string of IDENTIFY data in reading order, blanks trimmed.
std::string AtaText(const std::uint8_t* data, std::size_t word, std::size_t words) {
  std::string s;
  for (std::size_t i = 0; i < 2 * words; ++i) s += char(data[2 * word + (i ^ 1)]);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

std::string Identity(transport::TAtaDevice& device) {
  const std::uint8_t result = device.IdentifyDevice();
  char line[160];
  if (result != transport::ATACMD_OK) {
    std::snprintf(line, sizeof line, "identify answers %u", unsigned(result));
    return line;
  }
  const std::uint8_t* d = device.GetResponseBuffer();
  std::snprintf(line, sizeof line, "\"%s\" %s %s", AtaText(d, 27, 20).c_str(),
                AtaText(d, 23, 4).c_str(), AtaText(d, 10, 10).c_str());
  return line;
}

std::string Kind(int kind) {
  return std::to_string(kind) + " " + transport::TransportKindName(kind);
}

}  // namespace

std::string IdentifyDrives(sim::SimPc& pc) {
  os::Install(&pc);
  std::string out;
  {
    transport::TAtaDevice device;
    for (int i = 0; i < device.DriveCount(); ++i) {
      out += "disk " + std::to_string(i) + "  " + device.DriveAt(i)->instanceId + "\n  ";
      if (!device.SelectPort(i, nullptr, -1, 0)) {
        out += "cannot be opened\n";
        continue;
      }
      out += "kind " + Kind(device.GetTransportKind()) + "  " + Identity(device) + "\n";
    }
    for (const auto& [number, port] : pc.scsiPorts) {
      if (!port.csmi) continue;
      out += "CSMI controller \\\\.\\SCSI" + std::to_string(number) + ":\n";
      transport::CsmiPhyInfo info;
      if (!device.SelectPort(number, nullptr, -1, transport::kKindCsmi) ||
          !device.get_phy_info(info)) {
        out += "  no phy information\n";
        continue;
      }
      for (std::size_t p = 0; p < transport::kCsmiPhyEntities; ++p) {
        const transport::CsmiPhy phy = transport::PhyAt(info, p);
        if (!phy.IsSataTarget()) continue;
        device.SetCsmiPhy(phy.phyIdentifier);
        device.SetCsmiPort(phy.portIdentifier);
        device.SetCsmiSasAddress(phy.SasAddressLow(), phy.SasAddressHigh());
        out += "  phy " + std::to_string(phy.phyIdentifier) + "  " + Identity(device) + "\n";
      }
    }
  }
  os::Install(nullptr);
  return out;
}

}  // namespace travok_sim
