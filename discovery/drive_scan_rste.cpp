// The RSTe pass of the drive scan: the NVMe disks the Intel RSTe/VROC NVMe RAID driver lists on
// SCSI ports 0 to 15, RAID members or pass-through disks, each identified through the driver.
#include <cstdio>
#include <string>

#include "discovery/drive_scan_passes.h"
#include "os/os.h"
#include "transport/rste_requests.h"

namespace discovery::scan {
namespace {

// The port handle, closed however the port's turn ends.
class TPortHandle {
 public:
  explicit TPortHandle(int port) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\Scsi%d:", port);
    m_Handle = os::Current().CreateFileA(path, os::kGENERIC_READ | os::kGENERIC_WRITE,
                                         os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE,
                                         os::kOPEN_EXISTING, 0);
  }
  ~TPortHandle() {
    if (*this) os::Current().CloseHandle(m_Handle);
  }
  TPortHandle(const TPortHandle&) = delete;
  TPortHandle& operator=(const TPortHandle&) = delete;
  explicit operator bool() const { return m_Handle != os::kINVALID_HANDLE_VALUE && m_Handle; }
  os::Handle Get() const { return m_Handle; }

 private:
  os::Handle m_Handle;
};

// The disk at `index` of the driver's list. The driver fills nothing of a member whose
// Identify failed, and its block still holds the 55h fill: only identified disks are drives.
void RecordDisk(TScanContext& c, TScanTable& table, const transport::RsteDisk& disk,
                std::size_t index) {
  if (!disk.identified) return;
  ClearCurrentIdentity(c.currentIdentity);
  TakeNvmeIdentity(disk.identify, c.currentIdentity);
  DevInfo& r = table.Current();
  r.PortNumber = std::int16_t(index);
  r.Lun = 0;
  r.bExisted = true;
  r.order = std::int32_t(index);
  r.bIsNvmeRSTeDriver = true;  // the mark of this pass: bIsNvme stays clear
  CopyIdentity(c.currentIdentity, r);
  table.Record();
}

}  // namespace

bool RstePass(TScanContext& context, TScanTable& table) {
  for (int port = 0; port < kScsiPorts; ++port) {
    const TPortHandle handle(port);
    if (!handle) continue;
    const transport::RstePort listed = transport::ListRsteDisks(context.device, handle.Get());
    if (listed.outOfMemory) return false;
    for (std::size_t k = 0; k < listed.disks.size(); ++k)
      RecordDisk(context, table, listed.disks[k], k);
  }
  return true;
}

}  // namespace discovery::scan
