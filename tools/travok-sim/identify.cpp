#include "tools/travok-sim/identify.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "devices/dev_mgr.h"
#include "os/layouts/winioctl.h"
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

// Model, revision and serial of IDENTIFY CONTROLLER data, blanks trimmed.
std::string NvmeIdentity(const std::uint8_t* d) {
  auto text = [d](std::size_t at, std::size_t width) {
    std::string t(reinterpret_cast<const char*>(d) + at, width);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\0')) t.pop_back();
    return t;
  };
  return "\"" + text(24, 40) + "\" " + text(64, 8) + " " + text(4, 20);
}

// An NVMe drive the way the scan reaches it: the inbox driver's storage query, or the Intel RST
// pass-through on the controller's port. Empty for a disk that is neither.
std::string NvmeDrive(transport::TAtaDevice& device, int index) {
  const devices::DiskEntry& disk = *device.DriveAt(index);
  if (disk.busType == os::kBusTypeNvme)
    return device.DoIdentifyDeviceNVMeStorageQuery(index)
               ? "inbox NVMe  " + NvmeIdentity(device.GetResponseBuffer())
               : "inbox NVMe  identify fails, error " + std::to_string(device.LastOsError());
  if (disk.busType != os::kBusTypeRAID || !std::strstr(disk.instanceId, "&VEN_NVME&")) return "";
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  if (device.SelectPort(index, nullptr, disk.scsiAddress.PortNumber, transport::kKindNvme) &&
      device.Send_IRST_NVME_PASS_THROUTH(disk.scsiAddress.PathId,
                                         transport::NvmeIdentifyControllerCommand(), nullptr, 4096,
                                         false, result.data(), 30, transport::kNvmeFromDevice))
    return "Intel RST NVMe  " + NvmeIdentity(device.GetResponseBuffer());
  return "Intel RST NVMe  identify fails, error " + std::to_string(device.LastOsError());
}

std::string Kind(int kind) {
  return std::to_string(kind) + " " + transport::TransportKindName(kind);
}

}  // namespace

std::string IdentifyDrives(sim::SimPc& pc) {
  os::Install(&pc);
  std::string out;
  {
    devices::TDevMgr devMgr;
    transport::TAtaDevice device(devMgr.BuildDiskTable());
    for (int i = 0; i < device.DriveCount(); ++i) {
      out += "disk " + std::to_string(i) + "  " + device.DriveAt(i)->instanceId + "\n  ";
      if (const std::string nvme = NvmeDrive(device, i); !nvme.empty()) {
        out += nvme + "\n";
        continue;
      }
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
