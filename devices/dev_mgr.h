// TDevMgr: the program's view of the Windows device tree. It lists every present disk that
// exposes the disk interface, in the order the scan visits them, with what reaches and
// classifies it: its path, instance identifier, SCSI address, device number, bus type, the
// revision and serial number the storage stack reports, and the chain of its ancestors.
//
// Without a required SetupAPI or configuration-manager function every operation fails.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "devices/dev_mgr_functions.h"
#include "devices/device_node.h"
#include "os/os.h"

namespace devices {

struct ScsiAddress {  // SCSI_ADDRESS, less its length
  std::uint8_t PortNumber = 0;
  std::uint8_t PathId = 0;
  std::uint8_t TargetId = 0;
  std::uint8_t Lun = 0;
};

struct DiskEntry {
  bool isIdeEnumerator = false;            // the enumerator name is "IDE"
  std::unique_ptr<DeviceNode> parentNode;  // the disk's parent first
  char devicePath[512] = {};               // opens the disk
  char instanceId[260] = {};
  // Registry properties, zero-terminated.
  char description[260] = {};
  char enumeratorName[260] = {};
  char physicalDeviceObjectName[260] = {};
  char driverKey[260] = {};
  char service[260] = {};
  char locationInformation[260] = {};
  char hardwareIds[260] = {};    // REG_MULTI_SZ as it came, cut to the field
  char compatibleIds[260] = {};  // REG_MULTI_SZ as it came, cut to the field
  char friendlyName[260] = {};   // the scan's model for NVMe drives (its first 40 bytes)
  os::Guid classGuid;
  bool scsiAddressValid = false;
  ScsiAddress scsiAddress;
  std::uint8_t deviceNumber = 0xFF;  // FFh when the request failed
  std::uint8_t busType = 0;          // STORAGE_BUS_TYPE; 0 when the request failed
  std::uint16_t parentVid = 0;
  std::uint16_t parentDid = 0;
  char productRevision[8] = {};  // no terminator when full
  char serialNumber[20] = {};    // no terminator when full
};

class TDevMgr {
 public:
  TDevMgr();  // loads the libraries and looks the functions up
  ~TDevMgr();
  TDevMgr(const TDevMgr&) = delete;
  TDevMgr& operator=(const TDevMgr&) = delete;

  // Builds the disk table; true when it was built, possibly empty.
  bool EnumerateDisks();
  int DiskCount() const { return m_DiskCount; }
  std::span<const DiskEntry> Disks() const { return {m_Disks.data(), std::size_t(m_DiskCount)}; }
  // Enumerates and hands the table over to whoever keeps it (the device object): empty when
  // the enumeration failed. The manager keeps nothing of it, so a later EnumerateDisks cannot
  // free records a holder still reads.
  std::vector<DiskEntry> BuildDiskTable();

  // DeviceNumber of IOCTL_STORAGE_GET_DEVICE_NUMBER on the path; -1 on any failure.
  std::int32_t GetDeviceNumber(const std::string& path);
  // Removes the disk with this instance identifier, so that Windows loads it afresh when
  // the controllers are re-enumerated.
  bool RestartDisk(const std::string& instanceId);
  // Re-enumerates the IDE ATA/ATAPI controllers, then the SCSI and RAID controllers.
  bool RescanStorageControllers();
  // The SetupAPI and configuration-manager functions looked up; valid while this object lives.
  const TDevMgrFunctions& Functions() const { return gDevMgrFunctions; }

  static constexpr int kMaxFills = 11;
  static constexpr int kWinmgmtAttempts = 3;
  static constexpr int kWinmgmtStartSeconds = 20;
  static constexpr std::uint32_t kMaxInterfaceCount = 26;

 private:
  std::uint32_t ExpectedDiskCount();
  std::uint32_t CountDiskInterfaces();
  int Fill(std::uint32_t expected);

  os::Hmodule m_hSetupApi = 0;
  os::Hmodule m_hCfgMgr = 0;
  std::vector<DiskEntry> m_Disks;
  int m_DiskCount = 0;
};

// The keys of the scan's order: port, path, target and LUN, weighted 4096, 256, 16 and 1.
std::uint32_t ScsiAddressKey(const ScsiAddress& address);
// Disks with an address by their key, of equal keys the later first; then the others in
// their order.
void OrderDisks(std::vector<DiskEntry>& disks, int count);
// The text of a descriptor field: from its offset to its first zero byte, within the width
// and within the bytes the driver returned; empty when the offset is 0 or outside them.
std::string DescriptorText(std::span<const std::uint8_t> descriptor, std::uint32_t offset,
                           std::size_t width);

}  // namespace devices
