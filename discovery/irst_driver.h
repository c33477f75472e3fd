// Whether the Intel Rapid Storage Technology RAID driver in use carries the NVMe pass-through:
// it does from version 14.8 on. The version is the "DriverVersion" value in the driver key of
// the RST controller, found among all present devices by its description.
//
// Both calls go through the SetupAPI functions the device manager looked up, so they need a
// TDevMgr that lives; without those functions the driver counts as absent.
#pragma once

#include <string>

namespace devices {
class TDevMgr;
}  // namespace devices

namespace discovery {

using devices::TDevMgr;

inline constexpr const char* kIrstNotSeen = "NA";
// The oldest version with the NVMe pass-through, compared as text.
inline constexpr const char* kIrstNvmeVersion = "14.8.0.0";
inline constexpr const char* kIrstVersionUnavailable = "Unable to get iRST Driver version";

// True when the RST controller was found; its description and version are then the two texts.
// Both texts are kIrstNotSeen until a device with a "DriverVersion" value is seen; without a
// match they tell the last such device.
bool GetIrstDriverVersion(const TDevMgr& devMgr, std::string& driverDescription,
                          std::string& driverVersion);

// True when the RST driver was found and its version text does not sort before "14.8.0.0".
// The comparison is ordinal, byte by byte, as the driver check has always made it: "9.6.0.1014"
// passes. `why`, when given, tells why the answer is false for want of a version.
bool CheckIrstDriver(const TDevMgr& devMgr, std::string* why = nullptr);

// The two description tests; `description` in any letter case.
bool IsIrstControllerDescription(const std::string& description);

}  // namespace discovery
