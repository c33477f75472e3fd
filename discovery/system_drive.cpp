// Whether a disk holds the Windows system volume: the drive list marks it, so that nobody
// updates the disk Windows runs from without knowing.
#include <exception>

#include "devices/dev_mgr.h"
#include "discovery/drive_readers.h"
#include "os/os.h"

namespace discovery {

bool IsSystemDrive(devices::TDevMgr& devMgr, const std::string& devicePath) {
  try {
    // "C:\Windows\system32" -> "\\.\C:", the volume, which answers its disk's device number.
    const std::string directory = os::Current().GetSystemDirectoryA();
    const std::size_t colon = directory.find(':');
    const std::string volume =
        "\\\\.\\" + (colon == std::string::npos ? directory : directory.substr(0, colon + 1));
    return devMgr.GetDeviceNumber(volume) == devMgr.GetDeviceNumber(devicePath);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace discovery
