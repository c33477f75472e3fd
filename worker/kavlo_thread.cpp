#include "worker/kavlo_thread.h"

#include <utility>

#include "devices/dev_mgr.h"
#include "platform/hi_timer.h"
#include "transport/ata_device.h"
#include "transport/ata_types.h"

namespace worker {
namespace {

constexpr int kAtaAttempts = 13;
constexpr int kPreformatAttempts = 2;
constexpr long double kRetryPauseSeconds = 1;
constexpr long double kRestartSettleMilliseconds = 1000;
constexpr std::int32_t kNvmeFailed = 254;

// The segment size of the attempt after `attempts` failed ones. Drives and controllers that
// abort large segments often take small ones, and some that abort one size take another, so
// after the first two tries the sizes go round a cycle.
std::uint32_t NextSectorCount(int attempts, std::uint32_t current) {
  if (attempts == 1) return 1;
  if (attempts <= 7) return 64;
  switch (current) {
    case 64:
      return 8;
    case 8:
      return 7;
    case 7:
      return 4;
    case 4:
      return 1;
    case 1:
      return 64;
    default:
      return current;
  }
}

// A drive that takes the PEA form of the preformat says so in its query reply, one character
// every 4 bytes.
bool RepliesNewSupport(const std::uint8_t* reply) {
  static constexpr char kNewSupport[] = "AEP NEWSupport";
  for (std::size_t i = 0; i + 1 < sizeof kNewSupport; ++i)
    if (reply[4 * i] != std::uint8_t(kNewSupport[i])) return false;
  return true;
}

}  // namespace

KavloThread::KavloThread(const _KV_THREAD_PARAMETER& request,
                         std::function<void(fw::TThread*)> onDone)
    : m_Request(request) {
  FreeOnTerminate = true;
  OnTerminate = std::move(onDone);
  Start();
}

void KavloThread::Execute() {
  try {
    platform::HiTimer timer;  // a timer belongs to the thread that waits on it
    const _KV_THREAD_PARAMETER& r = m_Request;
    if (r.pDevice && r.iCommand == kKvFirmwareDownload)
      FirmwareDownload(timer);
    else if (r.pDevice && r.iCommand == kKvPreformat)
      Preformat(timer);
    else if (!r.pDevice && r.iCommand == kKvRescan)
      Rescan(timer);
  } catch (...) {
    // The caller reads the result; a message from the worker would stop an unattended run.
  }
}

void KavloThread::Store(std::int32_t result) {
  if (m_Request.piResult) *m_Request.piResult = result;
}

void KavloThread::FirmwareDownload(platform::HiTimer& timer) {
  Store(m_Request.bIsNvme ? NvmeDownload(timer) : AtaDownload(timer));
}

std::int32_t KavloThread::NvmeDownload(platform::HiTimer& timer) {
  const _KV_THREAD_PARAMETER& r = m_Request;
  transport::TAtaDevice& device = *r.pDevice;
  // A negative size would read the image far past its end.
  bool bDone = false;
  if (r.iImageSize >= 0) {
    const auto size = std::uint32_t(r.iImageSize);
    if (r.bIsNvmeIrstDriver) {
      // The drive's path behind the controller, as the scan identified it; the port number
      // only names the controller, which the selected handle already reaches.
      bDone = device.IrstNvmeFirmwareUpgrade(std::uint8_t(r.PathId), std::uint8_t(r.TargetId),
                                             std::uint8_t(r.Lun), r.pImage, size, r.bUse16KB,
                                             std::uint32_t(r.iNvmeFwSlot));
    } else {
      bDone = device.NvmeFirmwareUpgrade(r.pImage, size, r.bUse16KB, std::uint32_t(r.iCommitAction),
                                         std::uint32_t(r.iNvmeFwSlot));
      // Some inbox-driven drives take only the larger pieces.
      if (!bDone && !r.bUse16KB)
        bDone = device.NvmeFirmwareUpgrade(r.pImage, size, true, std::uint32_t(r.iCommitAction),
                                           std::uint32_t(r.iNvmeFwSlot));
    }
  }
  if (bDone) return transport::ATACMD_OK;
  timer.WaitSeconds(kRetryPauseSeconds);
  return kNvmeFailed;
}

std::int32_t KavloThread::AtaDownload(platform::HiTimer& timer) {
  const _KV_THREAD_PARAMETER& r = m_Request;
  // Negative sizes become lengths the download refuses unsent.
  auto sectors = std::uint32_t(r.max_sector);
  std::uint8_t result = transport::ATACMD_FAIL;
  for (int attempts = 1; attempts <= kAtaAttempts; ++attempts) {
    result = r.pDevice->DownloadMicrocode(r.pImage, std::uint32_t(r.iImageSize), sectors,
                                          r.iFlashMode, r.Bootcode, r.bReBoot);
    if (result == transport::ATACMD_OK) break;
    timer.WaitSeconds(kRetryPauseSeconds);
    sectors = NextSectorCount(attempts, sectors);
  }
  return result;
}

void KavloThread::Preformat(platform::HiTimer& timer) {
  transport::TAtaDevice& device = *m_Request.pDevice;
  bool bPea = false;  // once the drive has said so, it holds for the second attempt too
  for (int attempt = 1;; ++attempt) {
    if (device.QueryPeaSupport() == transport::ATACMD_OK &&
        RepliesNewSupport(device.GetResponseBuffer()))
      bPea = true;
    const std::uint8_t result = bPea ? device.PreformatPea() : device.Preformat();
    if (result == transport::ATACMD_OK || attempt == kPreformatAttempts) {
      Store(result);
      return;
    }
    timer.WaitSeconds(kRetryPauseSeconds);
  }
}

// Windows loads the disk again with its new identity. The update procedure rescans afterwards
// whatever happened here, so the result is stored first and means only that the rescan ran.
void KavloThread::Rescan(platform::HiTimer& timer) {
  Store(1);
  devices::TDevMgr devMgr;
  if (!m_Request.sDevicePath.empty()) {
    devMgr.RestartDisk(m_Request.sDevicePath);
    timer.WaitMilliseconds(kRestartSettleMilliseconds);
  }
  devMgr.RescanStorageControllers();
}

}  // namespace worker
