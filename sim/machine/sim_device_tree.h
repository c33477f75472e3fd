// The device tree of the simulated PC: its devices from the root down (buses, controllers,
// hubs, disks), what SetupAPI, the configuration manager and WMI tell of them, and the disk
// stack that answers the storage requests on an opened disk. The SimPc answers the device
// calls of the seam from it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/drivers/sim_disk_stack.h"
#include "sim/drivers/sim_nvme_stack.h"

namespace sim {

// Setup classes as Windows writes them in the ClassGUID property.
inline constexpr const char* kClassDiskDrive = "{4d36e967-e325-11ce-bfc1-08002be10318}";
inline constexpr const char* kClassHdc = "{4d36e96a-e325-11ce-bfc1-08002be10318}";
inline constexpr const char* kClassScsiAdapter = "{4d36e97b-e325-11ce-bfc1-08002be10318}";
inline constexpr const char* kClassUsb = "{36fc9e60-c465-11cf-8056-444553540000}";
inline constexpr const char* kClassSystem = "{4d36e97d-e325-11ce-bfc1-08002be10318}";
inline constexpr const char* kDiskInterface = "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
inline constexpr const char* kRootId = "HTREE\\ROOT\\0";
// Where Windows keeps a device's driver key (its driverKey below this) and its hardware key
// (its instance identifier below this, then "Device Parameters"), under HKEY_LOCAL_MACHINE.
inline constexpr const char* kDriverKeysRoot = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
inline constexpr const char* kHardwareKeysRoot = "SYSTEM\\CurrentControlSet\\Enum\\";

// What the disk stack answers for a disk.
struct SimDisk {
  std::string devicePath;       // its disk interface
  std::uint32_t openError = 0;  // CreateFileA fails with this Windows error
  // IOCTL_SCSI_GET_ADDRESS: port, path, target, LUN; none: the driver refuses the request.
  std::optional<std::array<std::uint8_t, 4>> scsiAddress;
  std::uint32_t scsiAddressBytes = 8;         // what the driver says it returned
  std::optional<std::uint32_t> deviceNumber;  // N of \\.\PhysicalDriveN; the disks before it
  std::uint8_t busType = os::kBusTypeSata;
  std::string vendorId, productId, revision, serial;
  // The letters of the volumes on it: "\\.\C:" opens the disk for them.
  std::string volumes;
  bool removable = false;
  bool returnsAfterRescan = true;  // false: stays away once restarted
  // The SATA drive that answers the pass-through requests, and which of them its controller
  // carries; none for a disk that is no ATA device.
  std::shared_ptr<SimSataDrive> ata;
  SimDiskTransports transports;
  // The NVMe drive behind the disk, and what the inbox NVMe driver in front of it offers. A RAID
  // driver's disk shares its drive with the controller on the SCSI port (SimScsiPort::irst).
  std::shared_ptr<SimNvmeDrive> nvme;
  SimNvmeStack nvmeStack;
};

struct SimDevice {
  std::string instanceId;
  std::string parent;  // instance identifier; empty: the root
  std::string classGuid;
  std::string service, description, friendlyName, driverKey, driverVersion;
  std::string locationInformation, enumeratorName, pdoName, manufacturer;
  std::vector<std::string> hardwareIds, compatibleIds;
  std::optional<std::uint32_t> busNumber, uiNumber, address;
  bool present = true;   // false: a phantom, known to Windows but not attached
  bool removed = false;  // uninstalled by DIF_REMOVE, until its parent is re-enumerated
  // A request the device refuses: CM_Reenumerate_DevNode answers this (and finds nothing), and
  // DIF_REMOVE fails with this Windows error (and leaves the device).
  os::ConfigRet reenumerateError = os::kCR_SUCCESS;
  std::uint32_t removeError = 0;
  std::optional<SimDisk> disk;
};

class SimDeviceTree {
 public:
  SimDeviceTree();  // the root alone

  // Adds a device under its parent; fills what Windows derives when it is left empty (the
  // enumerator, a disk's interface path and device number). Returns its device node.
  os::DevInst Add(SimDevice device);
  SimDevice* Find(const std::string& instanceId);  // whatever its state
  const SimDevice* Find(const std::string& instanceId) const;
  SimDevice* Node(os::DevInst devInst);                        // null for no such node
  os::DevInst DevInstOf(const std::string& instanceId) const;  // 0 when unknown
  const std::vector<SimDevice>& Devices() const { return m_Devices; }
  bool Attached(const SimDevice& d) const { return d.present && !d.removed; }
  std::vector<os::DevInst> AttachedDisks() const;

  // WMI's Win32_DiskDrive count: the attached disks unless told otherwise.
  std::optional<std::uint32_t> wmiDiskCount;
  os::HResult wmiError = os::kS_OK;
  // SetupDiEnumDeviceInfo past the last device fails with this instead of ERROR_NO_MORE_ITEMS.
  std::uint32_t deviceEnumError = os::kERROR_NO_MORE_ITEMS;

  // The members of a device information set, in the tree's order.
  std::vector<os::DevInst> SetMembers(const os::Guid* classGuid, std::uint32_t flags) const;
  // A property as SetupDiGetDeviceRegistryPropertyA gives it (SPDRP_ numbering), with its
  // registry type; nothing when the device has none.
  std::optional<std::vector<std::uint8_t>> Property(os::DevInst devInst, std::uint32_t spdrp,
                                                    std::uint32_t* regType) const;
  // DIF_REMOVE: the device and the devices below it leave.
  void Remove(os::DevInst devInst);
  // The devices below this one that were removed and may come back do; their identifiers. A
  // drive that comes back has been reset: a pending NVMe firmware slot or a SATA image taken
  // without a restart is now running, and the disk reports its revision.
  std::vector<std::string> Reenumerate(os::DevInst devInst);
  // The disk a path opens: its interface path, \\.\PhysicalDriveN, or \\.\C: for a volume on it.
  os::DevInst DiskForPath(const std::string& path) const;

  static std::string GuidText(const os::Guid& guid);  // lower case, braces

  // The handles the program holds.
  struct InfoSet {
    std::vector<os::DevInst> members;
    std::map<os::DevInst, std::vector<std::uint8_t>> classInstallParams;
  };
  std::map<os::Hdevinfo, InfoSet> sets;     // device information sets
  std::map<os::Handle, os::DevInst> files;  // opened disks

 private:
  bool Below(os::DevInst devInst, os::DevInst ancestor) const;
  std::vector<SimDevice> m_Devices;  // DevInst n is m_Devices[n - 1]
};

}  // namespace sim
