// The request of one flash-worker operation. The update procedure clears it, fills what the
// operation needs and hands it to the launcher; the worker copies it whole when it is created,
// so the caller's copy may go away while the worker runs.
#pragma once

#include <cstdint>
#include <string>

namespace transport {
class TAtaDevice;
}  // namespace transport

namespace worker {

// iCommand.
inline constexpr std::int32_t kKvFirmwareDownload = 1;
inline constexpr std::int32_t kKvPreformat = 2;
inline constexpr std::int32_t kKvRescan = 3;

// The launcher's result until the worker stores one: what the update procedure reports as
// "ERROR: ATACMD_SYS_NOT_SUPPORT".
inline constexpr std::int32_t kKvNoResult = 255;

struct _KV_THREAD_PARAMETER {
  transport::TAtaDevice* pDevice = nullptr;  // bound to the drive; null for the rescan
  const std::uint8_t* pImage = nullptr;
  std::int32_t iImageSize = 0;
  std::int32_t max_sector = 0;  // blocks per segment of the first ATA attempt: 1 or 4
  std::uint8_t bReBoot = 0;     // the drive restarts itself after an ATA download
  std::int32_t iFlashMode = 0;  // the package's ATA download mode
  std::uint8_t Bootcode = 0;    // the ATA download also writes the boot code
  std::uint8_t bUse16KB = 0;    // NVMe pieces of 16 KiB instead of 4 KiB
  std::int32_t iCommand = 0;
  std::int32_t* piResult = nullptr;  // set by the launcher
  std::string sDevicePath;           // the rescan's disk to restart (instance identifier)
  std::uint8_t bIsNvme = 0;
  std::uint8_t bIsNvmeIrstDriver = 0;  // reached through the Intel RST driver
  std::int32_t iNvmeFwSlot = 0;
  std::int32_t iCommitAction = 0;  // the update procedure always passes 1
  // The drive's SCSI address; behind the RST driver path, target and LUN address it on the
  // controller of PortNumber.
  std::int32_t PortNumber = 0;
  std::int32_t TargetId = 0;
  std::int32_t PathId = 0;
  std::int32_t Lun = 0;
};

}  // namespace worker
