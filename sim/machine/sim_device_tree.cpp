#include "sim/machine/sim_device_tree.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "framework/bytes.h"
#include "framework/conversions.h"
#include "os/layouts/ntddscsi.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

bool SameText(const std::string& a, const std::string& b) {
  return fw::UpperCase(a) == fw::UpperCase(b);
}

std::vector<std::uint8_t> Sz(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> MultiSz(const std::vector<std::string>& list) {
  std::vector<std::uint8_t> bytes;
  for (const std::string& s : list)
    bytes.insert(bytes.end(), s.begin(), s.end()), bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> Dword(std::uint32_t value) {
  std::vector<std::uint8_t> bytes(4);
  fw::PutU32le(bytes, 0, value);
  return bytes;
}

std::string ClassName(const std::string& guid) {
  if (SameText(guid, kClassDiskDrive)) return "DiskDrive";
  if (SameText(guid, kClassHdc)) return "HDC";
  if (SameText(guid, kClassScsiAdapter)) return "SCSIAdapter";
  if (SameText(guid, kClassUsb)) return "USB";
  if (SameText(guid, kClassSystem)) return "System";
  return "";
}

}  // namespace

SimDeviceTree::SimDeviceTree() {
  SimDevice root;
  root.instanceId = kRootId;
  root.enumeratorName = "HTREE";
  m_Devices.push_back(root);
}

os::DevInst SimDeviceTree::Add(SimDevice device) {
  if (device.enumeratorName.empty())
    device.enumeratorName = device.instanceId.substr(0, device.instanceId.find('\\'));
  if (device.parent.empty()) device.parent = kRootId;
  if (device.disk) {
    if (device.classGuid.empty()) device.classGuid = kClassDiskDrive;
    if (device.service.empty()) device.service = "disk";
    if (device.description.empty()) device.description = "Disk drive";
    SimDisk& disk = *device.disk;
    if (disk.devicePath.empty()) {
      std::string path = Lower(device.instanceId);
      std::replace(path.begin(), path.end(), '\\', '#');
      disk.devicePath = "\\\\?\\" + path + "#" + kDiskInterface;
    }
    if (!disk.deviceNumber) {
      std::uint32_t disks = 0;
      for (const SimDevice& d : m_Devices) disks += d.disk.has_value();
      disk.deviceNumber = disks;
    }
  }
  if (device.pdoName.empty()) {
    device.pdoName = "\\Device\\" + HexDigits(m_Devices.size() + 0x20, 8);
  }
  m_Devices.push_back(std::move(device));
  return os::DevInst(m_Devices.size());
}

SimDevice* SimDeviceTree::Find(const std::string& instanceId) {
  for (SimDevice& d : m_Devices)
    if (SameText(d.instanceId, instanceId)) return &d;
  return nullptr;
}

const SimDevice* SimDeviceTree::Find(const std::string& instanceId) const {
  return const_cast<SimDeviceTree*>(this)->Find(instanceId);
}

SimDevice* SimDeviceTree::Node(os::DevInst devInst) {
  return devInst >= 1 && devInst <= m_Devices.size() ? &m_Devices[devInst - 1] : nullptr;
}

os::DevInst SimDeviceTree::DevInstOf(const std::string& instanceId) const {
  for (std::size_t i = 0; i < m_Devices.size(); ++i)
    if (SameText(m_Devices[i].instanceId, instanceId)) return os::DevInst(i + 1);
  return 0;
}

std::vector<os::DevInst> SimDeviceTree::AttachedDisks() const {
  std::vector<os::DevInst> disks;
  for (std::size_t i = 0; i < m_Devices.size(); ++i)
    if (m_Devices[i].disk && Attached(m_Devices[i])) disks.push_back(os::DevInst(i + 1));
  return disks;
}

std::string SimDeviceTree::GuidText(const os::Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

std::vector<os::DevInst> SimDeviceTree::SetMembers(const os::Guid* classGuid,
                                                   std::uint32_t flags) const {
  std::vector<os::DevInst> members;
  const std::string wanted = classGuid ? GuidText(*classGuid) : "";
  for (std::size_t i = 1; i < m_Devices.size(); ++i) {  // the root is in no set
    const SimDevice& d = m_Devices[i];
    if (d.removed || ((flags & os::kDIGCF_PRESENT) && !d.present)) continue;
    bool member;
    if (flags & os::kDIGCF_DEVICEINTERFACE)
      member = d.disk && (!classGuid || SameText(wanted, kDiskInterface));
    else
      member = (flags & os::kDIGCF_ALLCLASSES) || SameText(d.classGuid, wanted);
    if (member) members.push_back(os::DevInst(i + 1));
  }
  return members;
}

std::optional<std::vector<std::uint8_t>> SimDeviceTree::Property(os::DevInst devInst,
                                                                 std::uint32_t spdrp,
                                                                 std::uint32_t* regType) const {
  const SimDevice* d = const_cast<SimDeviceTree*>(this)->Node(devInst);
  if (!d) return std::nullopt;
  const auto text = [&](const std::string& value) -> std::optional<std::vector<std::uint8_t>> {
    *regType = os::kREG_SZ;
    if (value.empty()) return std::nullopt;
    return Sz(value);
  };
  const auto list =
      [&](const std::vector<std::string>& value) -> std::optional<std::vector<std::uint8_t>> {
    *regType = os::kREG_MULTI_SZ;
    if (value.empty()) return std::nullopt;
    return MultiSz(value);
  };
  const auto number =
      [&](const std::optional<std::uint32_t>& value) -> std::optional<std::vector<std::uint8_t>> {
    *regType = os::kREG_DWORD;
    if (!value) return std::nullopt;
    return Dword(*value);
  };
  switch (spdrp) {
    case os::kSPDRP_DEVICEDESC:
      return text(d->description);
    case os::kSPDRP_HARDWAREID:
      return list(d->hardwareIds);
    case os::kSPDRP_COMPATIBLEIDS:
      return list(d->compatibleIds);
    case os::kSPDRP_SERVICE:
      return text(d->service);
    case os::kSPDRP_CLASS:
      return text(ClassName(d->classGuid));
    case os::kSPDRP_CLASSGUID:
      return text(d->classGuid);
    case os::kSPDRP_DRIVER:
      return text(d->driverKey);
    case os::kSPDRP_MFG:
      return text(d->manufacturer);
    case os::kSPDRP_FRIENDLYNAME:
      return text(d->friendlyName);
    case os::kSPDRP_LOCATION_INFORMATION:
      return text(d->locationInformation);
    case os::kSPDRP_PHYSICAL_DEVICE_OBJECT_NAME:
      return text(d->pdoName);
    case os::kSPDRP_UI_NUMBER:
      return number(d->uiNumber);
    case os::kSPDRP_BUSNUMBER:
      return number(d->busNumber);
    case os::kSPDRP_ENUMERATOR_NAME:
      return text(d->enumeratorName);
    case os::kSPDRP_ADDRESS:
      return number(d->address);
    default:
      return std::nullopt;
  }
}

bool SimDeviceTree::Below(os::DevInst devInst, os::DevInst ancestor) const {
  const SimDevice* d = const_cast<SimDeviceTree*>(this)->Node(devInst);
  for (std::size_t depth = 0; d && depth < m_Devices.size(); ++depth) {
    const os::DevInst parent = d->instanceId == kRootId ? 0 : DevInstOf(d->parent);
    if (!parent) return false;
    if (parent == ancestor) return true;
    d = const_cast<SimDeviceTree*>(this)->Node(parent);
  }
  return false;
}

void SimDeviceTree::Remove(os::DevInst devInst) {
  for (std::size_t i = 1; i <= m_Devices.size(); ++i)
    if (i == devInst || Below(os::DevInst(i), devInst)) m_Devices[i - 1].removed = true;
}

std::vector<std::string> SimDeviceTree::Reenumerate(os::DevInst devInst) {
  std::vector<std::string> back;
  for (std::size_t i = 1; i <= m_Devices.size(); ++i) {
    SimDevice& d = m_Devices[i - 1];
    if (!d.removed || !Below(os::DevInst(i), devInst)) continue;
    if (d.disk && !d.disk->returnsAfterRescan) continue;
    d.removed = false;
    if (d.disk && d.disk->ata) {
      SimSataDrive& drive = *d.disk->ata;
      drive.Reset();
      // Windows reads the identity of a disk that arrives; the revision the machine gave it
      // stands until the drive has run an update.
      if (drive.Activations()) d.disk->revision = drive.identity.firmware;
    }
    if (d.disk && d.disk->nvme) {
      SimNvmeDrive& drive = *d.disk->nvme;
      const std::string before = drive.RunningRevision();
      drive.Reset();
      if (drive.RunningRevision() != before) d.disk->revision = drive.RunningRevision();
    }
    back.push_back(d.instanceId);
  }
  return back;
}

os::DevInst SimDeviceTree::DiskForPath(const std::string& path) const {
  const std::string upper = fw::UpperCase(path);
  const std::string physical = "\\\\.\\PHYSICALDRIVE";
  // "\\.\C:": a volume, answered by the disk that holds it.
  const bool bVolume = upper.size() == 6 && upper.rfind("\\\\.\\", 0) == 0 && upper[5] == ':' &&
                       upper[4] >= 'A' && upper[4] <= 'Z';
  for (std::size_t i = 0; i < m_Devices.size(); ++i) {
    const SimDevice& d = m_Devices[i];
    if (!d.disk || !Attached(d)) continue;
    if (upper == fw::UpperCase(d.disk->devicePath) ||
        upper == physical + std::to_string(d.disk->deviceNumber.value_or(0)) ||
        (bVolume && fw::UpperCase(d.disk->volumes).find(upper[4]) != std::string::npos))
      return os::DevInst(i + 1);
  }
  return 0;
}

}  // namespace sim
