// Runs the program's disk enumeration against the system's own SetupAPI, configuration
// manager and WMI, and prints the table:
//   enumerate_probe.exe
// Exit 0 when the enumeration ran, 1 when it failed, 3 when the program's GUIDs are not the
// headers'.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <initguid.h>

#include <devguid.h>
#include <winioctl.h>

#include <cstdio>
#include <cstring>

#include "devices/dev_mgr.h"
#include "devices/disk_table_text.h"
#include "win32/win32_os.h"

namespace {

bool Same(const os::Guid& ours, const GUID& theirs) {
  return ours.Data1 == theirs.Data1 && ours.Data2 == theirs.Data2 && ours.Data3 == theirs.Data3 &&
         std::memcmp(ours.Data4.data(), theirs.Data4, 8) == 0;
}

}  // namespace

int main() {
  if (!Same(os::kGUID_DEVINTERFACE_DISK, GUID_DEVINTERFACE_DISK) ||
      !Same(os::kGUID_DEVCLASS_HDC, GUID_DEVCLASS_HDC) ||
      !Same(os::kGUID_DEVCLASS_SCSIADAPTER, GUID_DEVCLASS_SCSIADAPTER))
    return 3;
  os::Install(&win32::WindowsOs());
  devices::TDevMgr mgr;
  if (!mgr.EnumerateDisks()) {
    std::printf("the enumeration failed\n");
    return 1;
  }
  std::printf("%s", devices::DiskTableText(mgr.Disks()).c_str());
  return 0;
}
