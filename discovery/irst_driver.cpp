#include "discovery/irst_driver.h"

#include <algorithm>
#include <array>

#include "devices/dev_mgr.h"
#include "devices/dev_mgr_functions.h"
#include "devices/setupapi_calls.h"
#include "framework/conversions.h"

namespace discovery {

using devices::DevFn;
using devices::DeviceInfoSet;
using devices::DevInfoData;
using devices::PropertyText;
using devices::TDevMgrFunctions;

namespace {

constexpr const char* kDriverVersionValue = "DriverVersion";
constexpr std::uint32_t kVersionRoom = 260;

// A registry key from SetupDiOpenDevRegKey, closed with the object.
class DevRegKey {
 public:
  explicit DevRegKey(os::Hkey key) : m_Key(key) {}
  ~DevRegKey() {
    if (*this) os::Current().RegCloseKey(m_Key);
  }
  DevRegKey(const DevRegKey&) = delete;
  DevRegKey& operator=(const DevRegKey&) = delete;
  // SetupDiOpenDevRegKey answers INVALID_HANDLE_VALUE; 0 is no key either.
  explicit operator bool() const { return m_Key != os::kINVALID_HANDLE_VALUE && m_Key != 0; }

  std::optional<std::string> Text(const char* valueName) const {
    std::array<std::uint8_t, kVersionRoom> data{};
    std::uint32_t type = 0, size = std::uint32_t(data.size());
    if (!*this || os::Current().RegQueryValueExA(m_Key, valueName, &type, data.data(), &size) !=
                      std::int32_t(os::kERROR_SUCCESS))
      return std::nullopt;
    const auto end = data.begin() + std::min<std::size_t>(size, data.size());
    return std::string(data.begin(), std::find(data.begin(), end, std::uint8_t(0)));
  }

 private:
  os::Hkey m_Key;
};

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool HasSetupApi(const TDevMgrFunctions& fn) {
  for (DevFn f : {DevFn::SetupDiGetClassDevsA, DevFn::SetupDiEnumDeviceInfo,
                  DevFn::SetupDiGetDeviceRegistryPropertyA, DevFn::SetupDiOpenDevRegKey,
                  DevFn::SetupDiDestroyDeviceInfoList})
    if (!fn[f]) return false;
  return true;
}

}  // namespace

bool IsIrstControllerDescription(const std::string& description) {
  const std::string upper = fw::UpperCase(description);
  // "INTEL " with its blank: the SATA RAID controllers of the older drivers.
  return (Contains(upper, "INTEL ") && Contains(upper, "SATA ") &&
          Contains(upper, "RAID CONTROLLER")) ||
         (Contains(upper, "INTEL(R)") && Contains(upper, "SATA/PCIE") &&
          Contains(upper, "PREMIUM CONTROLLER"));
}

bool GetIrstDriverVersion(const TDevMgr& devMgr, std::string& driverDescription,
                          std::string& driverVersion) {
  driverDescription = kIrstNotSeen;
  driverVersion = kIrstNotSeen;
  if (!HasSetupApi(devMgr.Functions())) return false;
  const DeviceInfoSet set(nullptr, os::kDIGCF_PRESENT | os::kDIGCF_ALLCLASSES);
  if (!set) return false;
  DevInfoData device;
  for (std::uint32_t i = 0; set.EnumDevice(i, device); ++i) {
    const auto description = set.Property(device, os::kSPDRP_DEVICEDESC);
    const DevRegKey key(
        set.OpenDevRegKey(device, os::kDICS_FLAG_GLOBAL, 0, os::kDIREG_DRV, os::kKEY_ALL_ACCESS));
    const auto version = key.Text(kDriverVersionValue);
    if (!version) continue;
    driverDescription = description ? PropertyText(*description) : "";
    driverVersion = *version;
    if (IsIrstControllerDescription(driverDescription)) return true;
  }
  // The walk's end and an enumeration error (a last error other than ERROR_NO_MORE_ITEMS)
  // both mean that no controller was found.
  return false;
}

bool CheckIrstDriver(const TDevMgr& devMgr, std::string* why) {
  std::string description, version;
  if (!GetIrstDriverVersion(devMgr, description, version)) {
    if (why) *why = kIrstVersionUnavailable;
    return false;
  }
  return version.compare(kIrstNvmeVersion) >= 0;
}

}  // namespace discovery
