// The SetupAPI and configuration-manager calls of the enumeration, made through the looked-up
// functions, with the structures laid out at their offsets and the sets closed by RAII.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "devices/dev_mgr_functions.h"
#include "os/layouts/setupapi.h"
#include "os/os.h"

namespace devices {

// SP_DEVINFO_DATA with its cbSize set; aligned for the pointer-sized field it ends with.
struct DevInfoData {
  DevInfoData();
  os::DevInst DevInst() const;
  os::Guid ClassGuid() const;
  alignas(8) std::array<std::uint8_t, os::layout::devinfo_data::kSize> bytes;
};

// A device information set; destroyed with the object.
class DeviceInfoSet {
 public:
  DeviceInfoSet(const os::Guid* classGuid, std::uint32_t flags);
  ~DeviceInfoSet();
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  explicit operator bool() const { return m_Set != os::kINVALID_HANDLE_VALUE; }

  // false at the end of the set or on an error; GetLastError tells which.
  bool EnumDevice(std::uint32_t index, DevInfoData& data) const;
  // The DevicePath of interface `index` of the class, or nothing at the end or on an error.
  std::optional<std::string> InterfacePath(const os::Guid& interfaceClass,
                                           std::uint32_t index) const;
  // The property's bytes, asked again with a larger buffer while it does not fit.
  std::optional<std::vector<std::uint8_t>> Property(const DevInfoData& device,
                                                    std::uint32_t property) const;
  std::optional<std::uint32_t> DwordProperty(const DevInfoData& device,
                                             std::uint32_t property) const;
  std::optional<std::string> InstanceId(const DevInfoData& device) const;
  bool SetClassInstallParams(const DevInfoData& device, const std::uint8_t* params,
                             std::uint32_t size) const;
  bool CallClassInstaller(std::uint32_t installFunction, const DevInfoData& device) const;
  // The device's registry key (SetupDiOpenDevRegKey); INVALID_HANDLE_VALUE when it has none.
  // The caller closes it.
  os::Hkey OpenDevRegKey(const DevInfoData& device, std::uint32_t scope, std::uint32_t hwProfile,
                         std::uint32_t keyType, std::uint32_t samDesired) const;

 private:
  os::Hdevinfo m_Set;
};

// The configuration manager.
std::optional<os::DevInst> LocateDevNode(const std::string& instanceId);
std::optional<os::DevInst> ParentOf(os::DevInst devInst);
std::optional<std::string> DeviceIdOf(os::DevInst devInst);
std::optional<std::string> DevNodeText(os::DevInst devInst, std::uint32_t property);
bool ReenumerateDevNode(os::DevInst devInst);

// The text a property holds, up to its first zero byte.
std::string PropertyText(const std::vector<std::uint8_t>& bytes);

}  // namespace devices
