// The ATA/NVMe pass of the drive scan: every disk of the device object's table, classified by
// its instance identifier, its bus type and its controller's service, then identified through
// the Intel RST driver, the inbox NVMe driver or the ATA pass-through.
#include <cstring>
#include <exception>
#include <string>

#include "devices/dev_mgr.h"
#include "discovery/drive_scan_passes.h"
#include "discovery/irst_driver.h"
#include "framework/conversions.h"
#include "os/layouts/winioctl.h"
#include "transport/ata_device.h"

namespace discovery::scan {
namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool HasText(const char (&field)[8]) {
  return !fw::Trim(FieldText(field)).empty();
}

// The driver-path flags. Windows and the drivers write these names in any letter case
// ("iaStorA", "stornvme"), so both texts are compared in upper case. An exception ends the
// classification with the flags set so far.
void Classify(TScanContext& context, const devices::DiskEntry& disk, DevInfo& r) {
  try {
    const std::string inst = fw::UpperCase(FieldText(disk.instanceId));
    const std::string svc =
        disk.parentNode ? fw::UpperCase(FieldText(disk.parentNode->service)) : std::string();
    const bool bNvmeOnRaid = Contains(inst, "&VEN_NVME&") && r.busType == os::kBusTypeRAID;
    const bool bNvmeBus = r.busType == os::kBusTypeNvme;
    r.bIsNvme = (bNvmeOnRaid && Contains(svc, "IASTORA")) ||
                (bNvmeOnRaid && Contains(svc, "IAVROC")) || (bNvmeBus && Contains(svc, "NVME"));
    // Intel VROC: from this disk on, every scan of the run lists the RSTe ports instead.
    if (bNvmeOnRaid && Contains(svc, "IVROC")) bRSTeScan = true;
    if (bRSTeScan) r.bIsNvme = true;
    if (!r.bIsNvme) return;
    r.bIsNvmeRSTeDriver = r.bIsNVMe_InBoxDriver = r.bIsNVMe_IrstDriver = false;
    if (bRSTeScan) {
      r.bIsNvmeRSTeDriver = true;
    } else if (Contains(svc, "IASTORA") && r.busType == os::kBusTypeRAID) {
      r.bIsNVMe_IrstDriver = CheckIrstDriver(context.devMgr);
      if (!r.bIsNVMe_IrstDriver) r.bIsNVMe_InBoxDriver = true;
      r.bIsNVMe_IrstDriverBelow_14_8 = true;
    } else {
      r.bIsNVMe_InBoxDriver = bNvmeBus && Contains(svc, "STORNVME");
    }
  } catch (const std::exception&) {
  }
}

// What the disk entry tells of the disk's path, identifier, controller and bus.
void TakeDiskEntry(const devices::DiskEntry& disk, DevInfo& r) {
  std::memcpy(r.instanceId, disk.instanceId, sizeof r.instanceId);
  std::memcpy(r.devicePath, disk.devicePath, sizeof r.devicePath);
  r.parentVid = disk.parentVid;
  r.parentDid = disk.parentDid;
  r.busType = disk.busType;
}

// Its SCSI address (zeros when it could not be read) and, for an NVMe drive, the identity the
// storage stack reports.
void TakeAddressAndNvmeIdentity(const devices::DiskEntry& disk, int index, DevInfo& r) {
  r.bExisted = true;
  r.order = index;
  if (disk.scsiAddressValid) {
    r.PortNumber = disk.scsiAddress.PortNumber;
    r.TargetId = disk.scsiAddress.TargetId;
    r.Lun = disk.scsiAddress.Lun;
    r.PathId = disk.scsiAddress.PathId;
  }
  if (!r.bIsNvme) return;
  std::memcpy(r.firmware, disk.productRevision, sizeof r.firmware);
  std::memcpy(r.fwExt, disk.productRevision, sizeof r.fwExt);
  SetField(r.model, FieldText(disk.friendlyName));
  SetField(r.checkModel, FieldText(disk.friendlyName));
  std::memcpy(r.serial, disk.serialNumber, sizeof r.serial);
}

// An NVMe drive behind Intel RST, addressed on the controller's port by its path identifier.
bool IdentifyThroughRst(TScanContext& c, int index, DevInfo& r, platform::HiTimer& timer) {
  if (!c.device.SelectPort(index, nullptr, r.PortNumber, transport::kKindNvme)) return false;
  const auto identify = [&] {
    return Identify_irst(c.device, std::uint8_t(r.PathId), c.currentIdentity, c.slotBoxes) == 1;
  };
  if (!Attempts(kIdentifyAttempts, &timer, identify)) return false;
  const TCurrentIdentity& id = c.currentIdentity;
  std::memset(r.firmware, 0, sizeof r.firmware);
  std::memset(r.fwExt, 0, sizeof r.fwExt);
  std::memset(r.model, 0, sizeof r.model);
  std::memset(r.serial, 0, sizeof r.serial);
  if (HasText(id.firmware)) {
    std::memcpy(r.firmware, id.firmware, sizeof r.firmware);
    std::memcpy(r.fwExt, id.firmware, sizeof r.fwExt);
    std::memcpy(r.model, id.model, sizeof r.model);
    std::memcpy(r.serial, id.serial, sizeof r.serial);
    std::memcpy(r.PPID, id.PPID, sizeof r.PPID);
    r.m_NVMeFWUG = id.m_NVMeFWUG;
  }
  return true;
}

// An NVMe drive on the inbox driver: model and serial stay the storage stack's, the revision is
// the active slot's.
bool IdentifyThroughInbox(TScanContext& c, int index, DevInfo& r, platform::HiTimer& timer) {
  try {
    ReadNvmePpid(c.device, index, c.currentIdentity);
  } catch (const std::exception&) {
  }
  if (!c.device.SelectPort(index, r.devicePath, -1, transport::kKindNvme)) return false;
  if (!r.bIsNVMe_InBoxDriver) return false;
  const auto slots = [&] { return ReadFwSlotInfo(c.device, c.currentIdentity, c.slotBoxes); };
  if (!Attempts(kIdentifyAttempts, &timer, slots)) return false;
  const TCurrentIdentity& id = c.currentIdentity;
  std::memset(r.firmware, 0, sizeof r.firmware);
  std::memset(r.fwExt, 0, sizeof r.fwExt);
  std::memcpy(r.PPID, id.PPID, sizeof r.PPID);
  if (HasText(id.firmware)) {
    std::memcpy(r.firmware, id.firmware, sizeof r.firmware);
    std::memcpy(r.fwExt, id.firmware, sizeof r.fwExt);
    r.m_NVMeFWUG = id.m_NVMeFWUG;
  }
  return true;
}

// Any other disk, through the ATA transport the probe finds; with a "/T:" path every such disk
// is opened through that one path.
bool IdentifyThroughAta(TScanContext& c, int index, DevInfo& r, platform::HiTimer& timer) {
  const char* path = c.sTargetPath.empty() ? nullptr : c.sTargetPath.c_str();
  if (!c.device.SelectPort(index, path, -1, transport::kKindNone)) return false;
  try {
    ReadAtaPpid(c.device, c.currentIdentity);
  } catch (const std::exception&) {
  }
  const auto identify = [&] {
    return ReadDriveIdentity(c.device, c.currentIdentity) == transport::ATACMD_OK;
  };
  if (!Attempts(kIdentifyAttempts, &timer, identify)) return false;
  CopyIdentity(c.currentIdentity, r);
  std::memcpy(r.PPID, c.currentIdentity.PPID, sizeof r.PPID);
  return true;
}

bool Identify(TScanContext& c, int index, DevInfo& r, platform::HiTimer& timer) {
  if (r.bIsNvme && (r.bIsNVMe_IrstDriver || r.bIsNVMe_IrstDriverBelow_14_8))
    return IdentifyThroughRst(c, index, r, timer);
  if (r.bIsNvme) return IdentifyThroughInbox(c, index, r, timer);
  return IdentifyThroughAta(c, index, r, timer);
}

}  // namespace

bool AtaNvmePass(TScanContext& context, TScanTable& table) {
  platform::HiTimer timer;
  transport::TAtaDevice& device = context.device;
  for (int i = 0; i < device.DriveCount(); ++i) {
    const devices::DiskEntry& disk = *device.DriveAt(i);
    // Nothing of a drive that was not recorded may reach the next one.
    table.ClearCurrent();
    DevInfo& r = table.Current();
    TakeDiskEntry(disk, r);
    Classify(context, disk, r);
    TakeAddressAndNvmeIdentity(disk, i, r);
    r.bSystemDrive = IsSystemDrive(context.devMgr, FieldText(r.devicePath));
    try {
      // A scan that finds nothing leaves the table all zeros, as its readers expect.
      if (Identify(context, i, r, timer))
        table.Record();
      else
        table.ClearCurrent();
    } catch (const std::exception&) {
      return false;
    }
  }
  device.ClosePort();
  return true;
}

}  // namespace discovery::scan
