// The CSMI pass of the drive scan: SATA drives behind SAS and RAID controllers, every phy of
// controllers 0 to 15, or, in updater mode, the one drive the command line named.
#include "discovery/drive_scan_passes.h"
#include "framework/bytes.h"
#include "transport/ata_device.h"
#include "transport/csmi_phy_info.h"

namespace discovery::scan {
namespace {

// The single target's address is read again as a packed one after this many failed calls.
constexpr int kCallsBeforePackedAddress = 3;

bool IdentifiedWithoutWait(TScanContext& c) {
  return Attempts(kIdentifyAttempts, nullptr, [&] {
    return ReadDriveIdentity(c.device, c.currentIdentity) == transport::ATACMD_OK;
  });
}

void PutSasAddress(transport::TAtaDevice& device, std::uint64_t address) {
  device.SetCsmiSasAddress(std::uint32_t(address), std::uint32_t(address >> 32));
}

// The phy entries of one controller, all 32 of them: drivers are known to report fewer phys
// than they fill in.
void ScanController(TScanContext& c, TScanTable& table, int controller) {
  if (!c.device.SelectPort(controller, nullptr, -1, transport::kKindCsmi)) return;
  transport::CsmiPhyInfo info{};
  if (!c.device.get_phy_info(info)) return;
  for (std::size_t p = 0; p < transport::kCsmiPhyEntities; ++p) {
    const transport::CsmiPhy phy = transport::PhyAt(info, p);
    if (!phy.IsSataTarget()) continue;
    c.device.SetCsmiPhy(phy.phyIdentifier);
    c.device.SetCsmiPort(phy.portIdentifier);
    c.device.SetCsmiSasAddress(phy.SasAddressLow(), phy.SasAddressHigh());
    if (!IdentifiedWithoutWait(c)) continue;
    DevInfo& r = table.Current();
    r.PortNumber = std::int16_t(controller);
    r.TargetId = phy.phyIdentifier;
    r.Lun = 0;
    r.PathId = phy.portIdentifier;
    r.bExisted = true;
    r.order = controller;
    r.scsi_index = phy.phyIdentifier;
    r.csmi_port = phy.portIdentifier;
    r.SAS_ADDR = fw::GetU64le(phy.attachedSasAddress, 0);
    CopyIdentity(c.currentIdentity, r);
    table.Record();
  }
}

// The drive the command line named. "/C:" carries only a controller and an address, so a phy
// and port other than 0 come packed into the address (phy in bits 16 to 23, port in 24 to 31,
// the address in the upper half): after three refusals the address the scan started with is
// read that way.
void ScanTarget(TScanContext& c, TScanTable& table, std::uint64_t rememberedSasAddress) {
  TCsmiTarget& target = c.csmiTarget;
  DevInfo& r = table.Current();
  r.PortNumber = std::int16_t(target.SCSI_PORT);
  r.TargetId = r.Lun = r.PathId = 0;
  r.bExisted = true;
  r.order = 0;
  if (!c.device.SelectPort(target.SCSI_PORT, nullptr, -1, transport::kKindCsmi)) return;
  c.device.SetCsmiPhy(std::uint8_t(target.INDEX));
  c.device.SetCsmiPort(std::uint8_t(target.PORT));
  PutSasAddress(c.device, target.SAS_ADDR);
  for (int call = 1; call <= kCsmiTargetAttempts; ++call) {
    if (call == kCallsBeforePackedAddress + 1) {
      target.INDEX = std::int32_t((rememberedSasAddress >> 16) & 0xFF);
      target.PORT = std::int32_t((rememberedSasAddress >> 24) & 0xFF);
      target.SAS_ADDR = rememberedSasAddress >> 32;
      c.device.SetCsmiPhy(std::uint8_t(target.INDEX));
      c.device.SetCsmiPort(std::uint8_t(target.PORT));
      PutSasAddress(c.device, target.SAS_ADDR);
    }
    if (ReadDriveIdentity(c.device, c.currentIdentity) != transport::ATACMD_OK) continue;
    CopyIdentity(c.currentIdentity, r);
    table.Record();
    return;
  }
}

}  // namespace

void CsmiPass(TScanContext& context, TScanTable& table, std::uint64_t rememberedSasAddress) {
  if (context.bUpdaterMode) {
    ScanTarget(context, table, rememberedSasAddress);
    return;
  }
  for (int controller = 0; controller < kScsiPorts; ++controller)
    ScanController(context, table, controller);
}

}  // namespace discovery::scan
