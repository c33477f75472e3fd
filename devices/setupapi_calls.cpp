#include "devices/setupapi_calls.h"

#include <algorithm>

#include "devices/guid_text.h"
#include "framework/bytes.h"

namespace devices {
namespace {

namespace di = os::layout::devinfo_data;
namespace ifd = os::layout::interface_data;
namespace det = os::layout::interface_detail;

constexpr std::uint32_t kFirstTry = 260;
// A property larger than this is not one the enumeration could use: stop asking.
constexpr std::uint32_t kLargestProperty = 1u << 20;
constexpr std::uint32_t kDeviceIdRoom = 260;  // MAX_DEVICE_ID_LEN is 200

const TDevMgrFunctions& Fn() {
  return gDevMgrFunctions;
}

}  // namespace

DevInfoData::DevInfoData() : bytes{} {
  fw::PutU32le(bytes, di::kCbSize, std::uint32_t(di::kSize));
}

os::DevInst DevInfoData::DevInst() const {
  return fw::GetU32le(bytes, di::kDevInst);
}

os::Guid DevInfoData::ClassGuid() const {
  return GetGuid(bytes, di::kClassGuid);
}

DeviceInfoSet::DeviceInfoSet(const os::Guid* classGuid, std::uint32_t flags)
    : m_Set(os::Current().SetupDiGetClassDevsA(Fn()[DevFn::SetupDiGetClassDevsA], classGuid, "", 0,
                                               flags)) {}

DeviceInfoSet::~DeviceInfoSet() {
  if (*this)
    os::Current().SetupDiDestroyDeviceInfoList(Fn()[DevFn::SetupDiDestroyDeviceInfoList], m_Set);
}

bool DeviceInfoSet::EnumDevice(std::uint32_t index, DevInfoData& data) const {
  data = DevInfoData();
  return os::Current().SetupDiEnumDeviceInfo(Fn()[DevFn::SetupDiEnumDeviceInfo], m_Set, index,
                                             data.bytes.data());
}

std::optional<std::string> DeviceInfoSet::InterfacePath(const os::Guid& interfaceClass,
                                                        std::uint32_t index) const {
  auto& sys = os::Current();
  alignas(8) std::array<std::uint8_t, ifd::kSize> interface {};
  fw::PutU32le(interface, ifd::kCbSize, std::uint32_t(ifd::kSize));
  if (!sys.SetupDiEnumDeviceInterfaces(Fn()[DevFn::SetupDiEnumDeviceInterfaces], m_Set, nullptr,
                                       interfaceClass, index, interface.data()))
    return std::nullopt;
  const os::FarProc detailFn = Fn()[DevFn::SetupDiGetDeviceInterfaceDetailA];
  std::uint32_t required = 0;
  // The first call only asks for the size: it fails with ERROR_INSUFFICIENT_BUFFER.
  sys.SetupDiGetDeviceInterfaceDetailA(detailFn, m_Set, interface.data(), nullptr, 0, &required,
                                       nullptr);
  if (required <= det::kDevicePath || required > kLargestProperty) return std::nullopt;
  // A vector's storage is aligned for any field the detail holds.
  std::vector<std::uint8_t> detail(std::max<std::size_t>(required, det::kFixedSize) + 1, 0);
  fw::PutU32le(detail, det::kCbSize, std::uint32_t(det::kFixedSize));
  if (!sys.SetupDiGetDeviceInterfaceDetailA(detailFn, m_Set, interface.data(), detail.data(),
                                            required, nullptr, nullptr))
    return std::nullopt;
  const auto begin = detail.begin() + det::kDevicePath;
  return std::string(begin, std::find(begin, detail.end(), std::uint8_t(0)));
}

std::optional<std::vector<std::uint8_t>> DeviceInfoSet::Property(const DevInfoData& device,
                                                                 std::uint32_t property) const {
  auto& sys = os::Current();
  std::vector<std::uint8_t> buffer(kFirstTry);
  while (true) {
    std::uint32_t type = 0, required = 0;
    if (sys.SetupDiGetDeviceRegistryPropertyA(Fn()[DevFn::SetupDiGetDeviceRegistryPropertyA], m_Set,
                                              device.bytes.data(), property, &type, buffer.data(),
                                              std::uint32_t(buffer.size()), &required)) {
      buffer.resize(std::min<std::size_t>(required, buffer.size()));
      return buffer;
    }
    if (sys.GetLastError() != os::kERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    const std::size_t next = std::max<std::size_t>(required, 2 * buffer.size());
    if (next > kLargestProperty) return std::nullopt;
    buffer.assign(next, 0);
  }
}

std::optional<std::uint32_t> DeviceInfoSet::DwordProperty(const DevInfoData& device,
                                                          std::uint32_t property) const {
  const auto bytes = Property(device, property);
  if (!bytes || bytes->size() < 4) return std::nullopt;
  return fw::GetU32le(*bytes, 0);
}

std::optional<std::string> DeviceInfoSet::InstanceId(const DevInfoData& device) const {
  auto& sys = os::Current();
  std::vector<char> buffer(kDeviceIdRoom);
  std::uint32_t required = 0;
  const os::FarProc fn = Fn()[DevFn::SetupDiGetDeviceInstanceIdA];
  if (!sys.SetupDiGetDeviceInstanceIdA(fn, m_Set, device.bytes.data(), buffer.data(),
                                       std::uint32_t(buffer.size()), &required)) {
    if (sys.GetLastError() != os::kERROR_INSUFFICIENT_BUFFER || required > kLargestProperty)
      return std::nullopt;
    buffer.assign(required + 1, 0);
    if (!sys.SetupDiGetDeviceInstanceIdA(fn, m_Set, device.bytes.data(), buffer.data(),
                                         std::uint32_t(buffer.size()), &required))
      return std::nullopt;
  }
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

bool DeviceInfoSet::SetClassInstallParams(const DevInfoData& device, const std::uint8_t* params,
                                          std::uint32_t size) const {
  return os::Current().SetupDiSetClassInstallParamsA(Fn()[DevFn::SetupDiSetClassInstallParamsA],
                                                     m_Set, device.bytes.data(), params, size);
}

bool DeviceInfoSet::CallClassInstaller(std::uint32_t installFunction,
                                       const DevInfoData& device) const {
  return os::Current().SetupDiCallClassInstaller(Fn()[DevFn::SetupDiCallClassInstaller],
                                                 installFunction, m_Set, device.bytes.data());
}

os::Hkey DeviceInfoSet::OpenDevRegKey(const DevInfoData& device, std::uint32_t scope,
                                      std::uint32_t hwProfile, std::uint32_t keyType,
                                      std::uint32_t samDesired) const {
  return os::Current().SetupDiOpenDevRegKey(Fn()[DevFn::SetupDiOpenDevRegKey], m_Set,
                                            device.bytes.data(), scope, hwProfile, keyType,
                                            samDesired);
}

std::optional<os::DevInst> LocateDevNode(const std::string& instanceId) {
  os::DevInst devInst = 0;
  if (os::Current().CM_Locate_DevNodeA(Fn()[DevFn::CM_Locate_DevNodeA], &devInst, instanceId,
                                       os::kCM_LOCATE_DEVNODE_NORMAL) != os::kCR_SUCCESS)
    return std::nullopt;
  return devInst;
}

std::optional<os::DevInst> ParentOf(os::DevInst devInst) {
  os::DevInst parent = 0;
  if (os::Current().CM_Get_Parent(Fn()[DevFn::CM_Get_Parent], &parent, devInst, 0) !=
      os::kCR_SUCCESS)
    return std::nullopt;
  return parent;
}

std::optional<std::string> DeviceIdOf(os::DevInst devInst) {
  std::array<char, kDeviceIdRoom> buffer{};
  if (os::Current().CM_Get_Device_IDA(Fn()[DevFn::CM_Get_Device_IDA], devInst, buffer.data(),
                                      std::uint32_t(buffer.size() - 1), 0) != os::kCR_SUCCESS)
    return std::nullopt;
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

std::optional<std::string> DevNodeText(os::DevInst devInst, std::uint32_t property) {
  auto& sys = os::Current();
  std::vector<std::uint8_t> buffer(kFirstTry);
  while (true) {
    std::uint32_t type = 0, length = std::uint32_t(buffer.size());
    const os::ConfigRet result =
        sys.CM_Get_DevNode_Registry_PropertyA(Fn()[DevFn::CM_Get_DevNode_Registry_PropertyA],
                                              devInst, property, &type, buffer.data(), &length, 0);
    if (result == os::kCR_SUCCESS) {
      buffer.resize(std::min<std::size_t>(length, buffer.size()));
      return PropertyText(buffer);
    }
    if (result != os::kCR_BUFFER_SMALL || length <= buffer.size() || length > kLargestProperty)
      return std::nullopt;
    buffer.assign(length, 0);
  }
}

bool ReenumerateDevNode(os::DevInst devInst) {
  return os::Current().CM_Reenumerate_DevNode(Fn()[DevFn::CM_Reenumerate_DevNode], devInst,
                                              os::kCM_REENUMERATE_NORMAL) == os::kCR_SUCCESS;
}

std::string PropertyText(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), std::uint8_t(0)));
}

}  // namespace devices
