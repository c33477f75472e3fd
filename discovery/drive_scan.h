// The drive scan: it walks every place where a drive the program can update may sit, decides
// which driver path reaches each drive, reads the drive's identity through that path and fills
// the drive table. One call runs one pass:
//   - the RSTe pass when bRSTeScan is set: SCSI ports 0 to 15 through the Intel RSTe NVMe RAID
//     driver;
//   - else the CSMI pass for scan kind 1: CSMI controllers 0 to 15 and the 32 phys of each, or,
//     in updater mode, only the drive in the CSMI target;
//   - else the ATA/NVMe pass over the device object's disk table.
//
// The main window owns everything the scan works on and hands it over in a TScanContext:
//
//   discovery::TScanContext scan{.device = *m_AtaDevice, .devMgr = m_DevMgr,
//                                .devInfo = m_DevInfo, .currentIdentity = CurrentIdentity,
//                                .csmiTarget = CsmiTarget, .bUpdaterMode = bUpdaterMode,
//                                .sTargetPath = sTargetPath,
//                                .slotBoxes = {cboFwSlot, cboCommitAction}};
//   gCount = discovery::ScanSSDDrive(scan, gScanType);
//   if (gCount == -1) iErrorLevel = 3;  // the scan was aborted
//
// The caller stores the result in gCount and treats a result below 1 as no drive found. On -1
// it must set the exit code (iErrorLevel) to 3 itself: the scan does not reach the window's
// state.
#pragma once

#include <cstdint>
#include <string>

#include "discovery/dev_info.h"
#include "discovery/drive_readers.h"
#include "discovery/scan_selection.h"

namespace devices {
class TDevMgr;
}  // namespace devices

namespace transport {
class TAtaDevice;
}  // namespace transport

namespace discovery {

struct TScanContext {
  transport::TAtaDevice& device;
  // The manager that built the device object's table: its SetupAPI functions serve the RST
  // driver check, its device-number query the system-drive test.
  devices::TDevMgr& devMgr;
  TDevInfoTable& devInfo;             // zeroed and refilled by every scan
  TCurrentIdentity& currentIdentity;  // what the readers found of the drive being scanned
  // The single-target CSMI pass may rewrite it (the packed-address reading).
  TCsmiTarget& csmiTarget;
  bool bUpdaterMode = false;  // the CSMI pass looks only at the CSMI target
  std::string sTargetPath;    // "/T:": every ATA disk is opened through it; empty: none
  TSlotBoxes slotBoxes;       // filled by the NVMe slot readers
};

// The pauses between identify attempts keep handling messages, as every wait of the program does.
inline constexpr int kScanRetryWaitMs = 500;
inline constexpr int kIdentifyAttempts = 4;
inline constexpr int kCsmiTargetAttempts = 7;
inline constexpr int kScsiPorts = 16;

// The number of drives recorded (at most kMaxDrives), or -1 when the scan was aborted. The
// ATA/NVMe pass may set bRSTeScan; nothing clears it.
std::int32_t ScanSSDDrive(TScanContext& context, std::int32_t scanType);

}  // namespace discovery
