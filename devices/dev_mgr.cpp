#include "devices/dev_mgr.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>

#include "devices/dev_mgr_functions.h"
#include "devices/guid_text.h"
#include "devices/setupapi_calls.h"
#include "framework/bytes.h"
#include "framework/conversions.h"
#include "framework/fixed_text.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/setupapi.h"
#include "os/layouts/winioctl.h"
#include "platform/osinfo.h"

namespace devices {

using fw::FieldText;
using fw::SetField;
using fw::SetPath;
namespace {

namespace sa = os::layout::scsi_address;
namespace dn = os::layout::device_number;
namespace pq = os::layout::property_query;
namespace dd = os::layout::device_descriptor;
namespace pc = os::layout::propchange_params;

constexpr const char* kWmiNamespace = "ROOT\\CIMV2";
constexpr const char* kWmiDiskQuery = "Select * from Win32_DiskDrive";
constexpr const char* kWmiService = "Winmgmt";
constexpr std::uint32_t kDescriptorRoom = 1024;

// A disk opened for one query, closed after it.
class DeviceFile {
 public:
  explicit DeviceFile(const std::string& path)
      : m_Handle(os::Current().CreateFileA(path, os::kGENERIC_READ,
                                           os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE,
                                           os::kOPEN_EXISTING, 0)) {}
  ~DeviceFile() {
    if (*this) os::Current().CloseHandle(m_Handle);
  }
  DeviceFile(const DeviceFile&) = delete;
  DeviceFile& operator=(const DeviceFile&) = delete;
  explicit operator bool() const { return m_Handle != os::kINVALID_HANDLE_VALUE; }

  // The bytes the driver returned, or nothing when the request failed.
  std::optional<std::vector<std::uint8_t>> Request(std::uint32_t code,
                                                   std::span<const std::uint8_t> in,
                                                   std::uint32_t outSize) const {
    std::vector<std::uint8_t> out(outSize, 0);
    std::uint32_t returned = 0;
    if (!*this ||
        !os::Current().DeviceIoControl(m_Handle, code, in.data(), std::uint32_t(in.size()),
                                       out.data(), outSize, &returned))
      return std::nullopt;
    out.resize(std::min(returned, outSize));
    return out;
  }

 private:
  os::Handle m_Handle;
};

std::optional<std::vector<std::uint8_t>> DiskRequest(const char* path, std::uint32_t code,
                                                     std::span<const std::uint8_t> in,
                                                     std::uint32_t outSize) {
  if (!*path) return std::nullopt;  // more devices than interfaces: nothing to open
  return DeviceFile(path).Request(code, in, outSize);
}

// A property's bytes as they came, REG_MULTI_SZ lists included, cut to the field.
void CopyProperty(char (&field)[260], const std::optional<std::vector<std::uint8_t>>& bytes) {
  std::fill(std::begin(field), std::end(field), '\0');
  if (!bytes) return;
  std::copy_n(bytes->begin(), std::min<std::size_t>(bytes->size(), sizeof field - 1), field);
}

void ReadDeviceProperties(const DeviceInfoSet& set, const DevInfoData& device, DiskEntry& disk) {
  if (const auto id = DeviceIdOf(device.DevInst())) SetPath(disk.instanceId, *id);
  CopyProperty(disk.description, set.Property(device, os::kSPDRP_DEVICEDESC));
  CopyProperty(disk.enumeratorName, set.Property(device, os::kSPDRP_ENUMERATOR_NAME));
  CopyProperty(disk.physicalDeviceObjectName,
               set.Property(device, os::kSPDRP_PHYSICAL_DEVICE_OBJECT_NAME));
  CopyProperty(disk.driverKey, set.Property(device, os::kSPDRP_DRIVER));
  CopyProperty(disk.service, set.Property(device, os::kSPDRP_SERVICE));
  CopyProperty(disk.locationInformation, set.Property(device, os::kSPDRP_LOCATION_INFORMATION));
  CopyProperty(disk.hardwareIds, set.Property(device, os::kSPDRP_HARDWAREID));
  CopyProperty(disk.compatibleIds, set.Property(device, os::kSPDRP_COMPATIBLEIDS));
  CopyProperty(disk.friendlyName, set.Property(device, os::kSPDRP_FRIENDLYNAME));
  if (const auto text = set.Property(device, os::kSPDRP_CLASSGUID))
    disk.classGuid = GuidFromText(PropertyText(*text)).value_or(os::Guid{});
}

void QueryDisk(DiskEntry& disk) {
  disk.isIdeEnumerator = FieldText(disk.enumeratorName) == "IDE";
  // Only a whole SCSI_ADDRESS is one: a shorter answer leaves fields unwritten.
  const auto address = DiskRequest(disk.devicePath, os::kIOCTL_SCSI_GET_ADDRESS, {}, sa::kSize);
  if (address && address->size() == sa::kSize) {
    disk.scsiAddress = {(*address)[sa::kPortNumber], (*address)[sa::kPathId],
                        (*address)[sa::kTargetId], (*address)[sa::kLun]};
    disk.scsiAddressValid = true;
  }
  const auto number =
      DiskRequest(disk.devicePath, os::kIOCTL_STORAGE_GET_DEVICE_NUMBER, {}, dn::kSize);
  if (number && number->size() >= dn::kDeviceNumber + 4)
    disk.deviceNumber = std::uint8_t(fw::GetU32le(*number, dn::kDeviceNumber));
  std::array<std::uint8_t, pq::kSize> query{};
  fw::PutU32le(query, pq::kPropertyId, os::kStorageDeviceProperty);
  fw::PutU32le(query, pq::kQueryType, os::kPropertyStandardQuery);
  const auto descriptor =
      DiskRequest(disk.devicePath, os::kIOCTL_STORAGE_QUERY_PROPERTY, query, kDescriptorRoom);
  if (!descriptor || descriptor->size() < dd::kRawPropertiesLength) return;
  disk.busType = (*descriptor)[dd::kBusType];
  SetField(disk.productRevision,
           DescriptorText(*descriptor, fw::GetU32le(*descriptor, dd::kProductRevisionOffset),
                          sizeof disk.productRevision));
  SetField(disk.serialNumber,
           DescriptorText(*descriptor, fw::GetU32le(*descriptor, dd::kSerialNumberOffset),
                          sizeof disk.serialNumber));
}

}  // namespace

std::uint32_t ScsiAddressKey(const ScsiAddress& a) {
  return std::uint32_t(a.PortNumber) * 4096 + std::uint32_t(a.PathId) * 256 +
         std::uint32_t(a.TargetId) * 16 + a.Lun;
}

void OrderDisks(std::vector<DiskEntry>& disks, int count) {
  std::vector<int> order(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) order[std::size_t(i)] = i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const DiskEntry& x = disks[std::size_t(a)];
    const DiskEntry& y = disks[std::size_t(b)];
    if (x.scsiAddressValid != y.scsiAddressValid) return x.scsiAddressValid;
    if (!x.scsiAddressValid) return false;  // enumeration order
    const std::uint32_t kx = ScsiAddressKey(x.scsiAddress), ky = ScsiAddressKey(y.scsiAddress);
    return kx != ky ? kx < ky : a > b;
  });
  std::vector<DiskEntry> ordered(disks.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    ordered[i] = std::move(disks[std::size_t(order[i])]);
  disks = std::move(ordered);
}

std::string DescriptorText(std::span<const std::uint8_t> descriptor, std::uint32_t offset,
                           std::size_t width) {
  if (offset == 0 || offset >= descriptor.size()) return "";
  const auto field = descriptor.subspan(offset, std::min(width, descriptor.size() - offset));
  return std::string(field.begin(), std::find(field.begin(), field.end(), std::uint8_t(0)));
}

TDevMgr::TDevMgr() {
  auto& sys = os::Current();
  m_hSetupApi = sys.LoadLibraryA(kSetupApiLibrary);
  m_hCfgMgr = sys.LoadLibraryA(kCfgMgrLibrary);
  ResolveDevMgrFunctions(m_hSetupApi, m_hCfgMgr, gDevMgrFunctions);
}

TDevMgr::~TDevMgr() {
  auto& sys = os::Current();
  if (m_hCfgMgr) sys.FreeLibrary(m_hCfgMgr);
  if (m_hSetupApi) sys.FreeLibrary(m_hSetupApi);
}

// WMI counts every disk Windows knows, also one whose interface is not there yet; the fills
// wait for the interfaces to catch up. Without WMI the interfaces are all there is to count.
std::uint32_t TDevMgr::ExpectedDiskCount() {
  bool wmi = false;
  for (int attempt = 0; attempt < kWinmgmtAttempts && !wmi; ++attempt) {
    if (platform::IsServiceRunning(kWmiService)) {
      wmi = true;
    } else if (platform::IsWinPE()) {
      break;  // WinPE has no WMI unless its image was built with it
    } else {
      wmi = platform::StartServiceAndWait(kWmiService, kWinmgmtStartSeconds);
    }
  }
  std::uint32_t count = 0;
  if (wmi && os::Current().CountWmiQueryObjects(kWmiNamespace, kWmiDiskQuery, &count) >= 0)
    return count;
  return CountDiskInterfaces();
}

std::uint32_t TDevMgr::CountDiskInterfaces() {
  const DeviceInfoSet set(&os::kGUID_DEVINTERFACE_DISK,
                          os::kDIGCF_PRESENT | os::kDIGCF_DEVICEINTERFACE);
  std::uint32_t count = 0;
  while (set && count < kMaxInterfaceCount && set.InterfacePath(os::kGUID_DEVINTERFACE_DISK, count))
    ++count;
  return count;
}

bool TDevMgr::EnumerateDisks() {
  if (!gDevMgrFunctions.complete) return false;
  m_Disks.clear();
  m_DiskCount = 0;
  const std::uint32_t expected = ExpectedDiskCount();
  int filled = 0;
  for (int fill = 0; fill < kMaxFills; ++fill) {
    try {
      filled = Fill(expected);
    } catch (const std::exception&) {
      m_Disks.clear();
      filled = 0;
    }
    if (filled == int(expected)) break;
  }
  m_DiskCount = filled;
  return true;
}

std::vector<DiskEntry> TDevMgr::BuildDiskTable() {
  if (!EnumerateDisks()) return {};
  m_Disks.resize(std::size_t(m_DiskCount));  // a short fill leaves empty records past the count
  m_DiskCount = 0;
  return std::exchange(m_Disks, {});
}

int TDevMgr::Fill(std::uint32_t expected) {
  m_Disks.clear();
  m_Disks.resize(expected);
  std::uint32_t walked = 0;
  {
    const DeviceInfoSet set(&os::kGUID_DEVINTERFACE_DISK,
                            os::kDIGCF_PRESENT | os::kDIGCF_DEVICEINTERFACE);
    if (!set) return 0;
    for (std::uint32_t i = 0; i < expected; ++i) {
      const auto path = set.InterfacePath(os::kGUID_DEVINTERFACE_DISK, i);
      if (!path) break;
      SetPath(m_Disks[i].devicePath, *path);
    }
    // Interface i and device i of one set are the same disk. Only the walk's own end tells
    // whether it saw every device: a property a disk lacks fails too, and must not void the
    // table.
    DevInfoData device;
    for (; walked < expected; ++walked) {
      if (!set.EnumDevice(walked, device)) {
        const std::uint32_t error = os::Current().GetLastError();
        if (error != os::kERROR_SUCCESS && error != os::kERROR_NO_MORE_ITEMS) {
          m_Disks.clear();
          m_Disks.resize(expected);
          return 0;
        }
        break;
      }
      ReadDeviceProperties(set, device, m_Disks[walked]);
    }
  }
  for (std::uint32_t i = 0; i < walked; ++i) QueryDisk(m_Disks[i]);
  OrderDisks(m_Disks, int(walked));
  for (std::uint32_t i = 0; i < walked; ++i) {
    DiskEntry& disk = m_Disks[i];
    disk.parentNode = BuildParentChain(FieldText(disk.instanceId));
    const VendorDevice ids = FirstVendorDevice(disk.parentNode.get());
    disk.parentVid = ids.vid;
    disk.parentDid = ids.did;
  }
  return int(walked);
}

std::int32_t TDevMgr::GetDeviceNumber(const std::string& path) {
  if (!gDevMgrFunctions.complete) return -1;
  const auto number =
      DiskRequest(path.c_str(), os::kIOCTL_STORAGE_GET_DEVICE_NUMBER, {}, dn::kSize);
  if (!number || number->size() < dn::kDeviceNumber + 4) return -1;
  return std::int32_t(fw::GetU32le(*number, dn::kDeviceNumber));
}

bool TDevMgr::RestartDisk(const std::string& instanceId) {
  if (!gDevMgrFunctions.complete) return false;
  const DeviceInfoSet set(&os::kGUID_DEVINTERFACE_DISK, os::kDIGCF_DEVICEINTERFACE);
  if (!set) return false;
  std::array<std::uint8_t, pc::kSize> params{};
  fw::PutU32le(params, pc::kHeaderCbSize, std::uint32_t(pc::kHeaderSize));
  fw::PutU32le(params, pc::kHeaderInstallFunction, os::kDIF_PROPERTYCHANGE);
  fw::PutU32le(params, pc::kStateChange, os::kDICS_STOP);
  fw::PutU32le(params, pc::kScope, os::kDICS_FLAG_CONFIGSPECIFIC);
  fw::PutU32le(params, pc::kHwProfile, 0);
  const std::string wanted = fw::UpperCase(instanceId);
  DevInfoData device;
  for (std::uint32_t i = 0; set.EnumDevice(i, device); ++i) {
    const auto id = set.InstanceId(device);
    if (!id || fw::UpperCase(*id) != wanted) continue;
    if (set.SetClassInstallParams(device, params.data(), std::uint32_t(params.size())) &&
        set.CallClassInstaller(os::kDIF_REMOVE, device))
      return true;
  }
  return false;
}

bool TDevMgr::RescanStorageControllers() {
  if (!gDevMgrFunctions.complete) return false;
  for (const os::Guid& controllerClass : {os::kGUID_DEVCLASS_HDC, os::kGUID_DEVCLASS_SCSIADAPTER}) {
    // Windows writes class GUIDs in lower case.
    const std::string classText = GuidToText(controllerClass);
    const DeviceInfoSet set(nullptr, os::kDIGCF_PRESENT | os::kDIGCF_ALLCLASSES);
    if (!set) return false;
    bool allDone = true;
    DevInfoData device;
    for (std::uint32_t i = 0; set.EnumDevice(i, device); ++i) {
      const auto guid = set.Property(device, os::kSPDRP_CLASSGUID);
      if (!guid || fw::UpperCase(PropertyText(*guid)).find(classText) == std::string::npos)
        continue;
      const auto id = set.InstanceId(device);
      const auto devInst = id ? LocateDevNode(*id) : std::nullopt;
      if (devInst && !ReenumerateDevNode(*devInst)) allDone = false;
    }
    if (!allDone) return false;
  }
  return true;
}

}  // namespace devices
