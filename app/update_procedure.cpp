// The update of the selected drive: the slot choice, the checks that may stop it, the image,
// then the hand-off to the boot-time flasher or the download from Windows with the wait for
// the drive to come back and the check of its new revision, and the exit code.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/boot_handoff.h"
#include "app/deployment_keys.h"
#include "app/eligibility.h"
#include "app/flash_slot.h"
#include "app/frmTravok.h"
#include "app/message_boxes.h"
#include "framework/application.h"
#include "framework/conversions.h"
#include "package/fw_image.h"
#include "package/package_area.h"
#include "platform/osinfo.h"
#include "transport/ata_types.h"

namespace app {

struct TTravokMain::TUpdateRun {
  discovery::DevInfo drive{};  // the record as the list selected it; a rescan refills the table
  std::string itemText;        // the drive list's text of the drive
  std::string serial;          // recognises the drive after the rescan
  std::string instanceId;      // the disk the information refresh restarts
  std::uint32_t versionCode = 0;
  bool bSmiUse16KB = false;
  std::int32_t result = 0;
  bool found = true;  // found again after the download, or no rescan ran
  bool verified = false;
  bool downloaded = false;
  int registryState = 0;  // 0 nothing to record, 2 already up to date, 3 updated
  std::string registryRevision;
  std::string failureText;
};

namespace {

constexpr const char* kFatalDrivePrefixes[] = {"QTH514", "QTJ514", "QTK514", "QTM514"};
constexpr int kWaitForDriveMs = 5000;
constexpr std::size_t kVendorBlockBytes = 512;
constexpr int kPreformatPauseMs = 500;
constexpr int kLatestPauseMs = 3000;
// Its presence on the machine sends the first ATA download attempt in 4-block segments.
constexpr const char* kFourBlockMarker = "c:\\rtk_k5.txt";

std::string Formatted(const char* format, unsigned value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Controllers of these extended revisions take the image only in segments.
bool NeedsSegmentedDownload(const discovery::DevInfo& drive) {
  const std::string ext = fw::UpperCase(fw::Trim(fw::FieldText(drive.fwExt)));
  return ext.size() > 6 && std::strchr("BC4DEHK8M", ext[0]) != nullptr;
}

std::string FailureText(std::int32_t code, std::int32_t detail) {
  switch (code) {
    case transport::ATACMD_ERR:
      return Formatted("ERROR: ATACMD_ERR, STATUS_REGISTER:0x%X", unsigned(detail));
    case transport::ATACMD_TIMEOUT:
      return "There is something wrong, please check your drive !";
    case transport::ATACMD_FAIL:
      return Formatted("ERROR: ATACMD_FAIL, ERROR_CODE: 0x%X", unsigned(detail));
    case transport::ATACMD_SYS_NOT_SUPPORT:
      return "ERROR: ATACMD_SYS_NOT_SUPPORT";
    default:
      return "";
  }
}

// The revision a rescanned drive reports against the drive list's targets: the revision over
// the length of its label, the extended revision over its whole field.
bool ShowsTarget(const discovery::DevInfo& r, const std::string& target,
                 const std::string& targetExt) {
  char ext[sizeof r.fwExt] = {};
  std::memcpy(ext, targetExt.data(), std::min(targetExt.size(), sizeof ext));
  return target.size() <= sizeof r.firmware &&
         std::memcmp(r.firmware, target.data(), target.size()) == 0 &&
         std::memcmp(r.fwExt, ext, sizeof ext) == 0;
}

// Ctrl+Alt with J or F7 turns the Update button into a flash of a file the engineer picks.
bool ManualFlashChordHeld() {
  auto& sys = os::Current();
  const auto down = [&](int key) { return (sys.GetAsyncKeyState(key) & 0x8000) != 0; };
  return down(os::kVK_CONTROL) && down(os::kVK_MENU) && (down('J') || down(os::kVK_F7));
}

// The whole file, or nothing when it cannot be read whole.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  auto& sys = os::Current();
  const os::Handle file =
      sys.CreateFileA(path, os::kGENERIC_READ, os::kFILE_SHARE_READ, os::kOPEN_EXISTING, 0);
  if (file == os::kINVALID_HANDLE_VALUE) return {};
  std::vector<std::uint8_t> bytes(sys.GetFileSize(file, nullptr));
  std::uint32_t read = 0;
  const bool whole =
      bytes.empty() || (sys.ReadFile(file, bytes.data(), std::uint32_t(bytes.size()), &read) &&
                        read == bytes.size());
  sys.CloseHandle(file);
  return whole ? bytes : std::vector<std::uint8_t>{};
}

}  // namespace

void TTravokMain::ShowStatus(const std::string& text) {
  if (PackageConfig.bUpdaterMode) return;
  cbMsg.Visible = true;
  cbMsg.Enabled = false;
  cbMsg.Items = {text};
  cbMsg.ItemIndex = 0;
  m_StatusHistory.push_back(text);
}

void TTravokMain::Wait(std::uint32_t milliseconds) {
  platform::HiTimer timer;
  timer.WaitMilliseconds(milliseconds);
}

std::int32_t TTravokMain::RunWorker(const worker::_KV_THREAD_PARAMETER& request) {
  m_bUpdateInProgress = true;
  const std::int32_t result = m_Launcher.RunFlashThread(request);
  m_bUpdateInProgress = false;
  return result;
}

void TTravokMain::cmdUpdateClick() {
  TUpdateRun run;
  const discovery::DevInfo* selected = m_DriveList.SelectedDrive();
  // The RSTe driver's drives are listed, but no path of the program reaches them to update:
  // binding one would address whatever disk has its index in the disk table.
  if (!selected || !m_AtaDevice || discovery::FoundByRstePass(*selected)) {
    SkipIneligibleDrive();
    return;
  }
  run.drive = *selected;
  PrepareUpdate(run);
  if (ManualFlashChordHeld()) {
    ManualFileFlash(run.drive, run.bSmiUse16KB);
    return;
  }
  // The Update button is off for such a drive, but the automatic run visits every listed
  // drive: an image is never sent to a drive the package does not name.
  if (!run.drive.bEligible) {
    SkipIneligibleDrive();
    return;
  }
  m_DriveList.cmdUpdate.Enabled = false;
  if (!PreChecksStop(run) && !PrepareImageStops(run)) {
    if (!PackageConfig.bWindowsFlash) {
      HandOffToBootFlasher(run);
      return;
    }
    DownloadFromWindows(run);
  }
  EndUpdate(run);
}

void TTravokMain::PrepareUpdate(TUpdateRun& run) {
  run.versionCode = platform::GetOSVersionCode();
  package::AesGenerateTables(m_Aes);
  run.itemText =
      m_DriveList.cboDrives.ItemIndex >= 0 &&
              std::size_t(m_DriveList.cboDrives.ItemIndex) < m_DriveList.cboDrives.Items.size()
          ? m_DriveList.cboDrives.Items[std::size_t(m_DriveList.cboDrives.ItemIndex)]
          : std::string();
  run.serial = m_DriveList.SelectedSerial();
  run.instanceId = m_DriveList.SelectedInstanceId();
  run.bSmiUse16KB = run.drive.m_NVMeFWUG == 4;
  iFlashSlot = ChooseFlashSlot(cboFwSlot.Items, m_DriveList.lblNewFW.Caption, iFlashSlot);
}

// True when the procedure goes straight to its end with run.result set.
bool TTravokMain::PreChecksStop(TUpdateRun& run) {
  const discovery::DevInfo& drive = run.drive;
  if (NeedsRstDriverForNvme(drive, run.versionCode)) {
    const std::string text = Formatted(
        "Intel iRST driver v14.8 and above is required for Windows7/8 (ERR:%Xh) ", run.versionCode);
    ShowMessage(*this, TMessageKind::kError, text, bSilent);
    run.result = 7;
    return true;
  }
  if (IsFatalDrive(drive)) {
    ShowMessage(*this, TMessageKind::kError,
                "Fatal error is found, please return this drive to the vendor !", bSilent);
    run.result = 1;
    return true;
  }
  if (m_CommandLine.bEraseAll) {
    ShowStatus("Erasing ...");
    Wait(kPreformatPauseMs);
    run.result = PreformatFails(run, "ERASE ERROR:0x%X") ? 1 : 0;
    return true;
  }
  return false;
}

// A failed read of the vendor block counts as a healthy drive: only a block with content says
// the drive recorded a fatal error.
bool TTravokMain::IsFatalDrive(const discovery::DevInfo& drive) {
  const std::string ext = fw::FieldText(drive.fwExt);
  const bool family = std::any_of(std::begin(kFatalDrivePrefixes), std::end(kFatalDrivePrefixes),
                                  [&](const char* p) { return ext.rfind(p, 0) == 0; });
  if (!family || ext.size() < 7 || ext[6] < '1' || ext[6] > '8') return false;
  std::uint8_t* block = m_AtaDevice->GetResponseBuffer();
  std::memset(block, 0, kVendorBlockBytes);
  if (m_AtaDevice->ReadVendorBuffer(3, 0) != transport::ATACMD_OK) return false;
  return std::any_of(block, block + kVendorBlockBytes, [](std::uint8_t b) { return b != 0; });
}

bool TTravokMain::PrepareImageStops(TUpdateRun& run) {
  m_FwBuffer.assign(package::kImageBufferSize, 0);
  package::LoadFwImage(package::FwBuffer(m_FwBuffer.data(), package::kImageBufferSize),
                       package::PackageArea(), PackageConfig, run.drive.imageIndex, m_Aes);
  if ((PackageConfig.bPreformatBefore || PackageConfig.Preformat) && run.drive.bSystemDrive) {
    ShowMessage(*this, TMessageKind::kEraseWarning,
                "Because this tool contains erase function and the SSD you selected is primary "
                "boot drive.\nTravok recommends that you back up your data before flashing and "
                "let your SSD be as a secondary drive.",
                bSilent);
    run.result = 3;
    return true;
  }
  if (IsAlreadyLatest(run.drive, fw::Trim(m_DriveList.lblNewFW.Caption), package::PackageArea(),
                      PackageConfig)) {
    run.registryRevision = fw::FieldText(run.drive.firmware);
    run.registryState = 2;
    ShowStatus("This drive is the latest firmware.");
    iUpdateState = 5;
    Wait(kLatestPauseMs);
    run.result = 0;
    return true;
  }
  return false;
}

// The boot-time flasher updates the drive at the next start of Windows; this run ends with the
// exit code it had.
void TTravokMain::HandOffToBootFlasher(const TUpdateRun& run) {
  const discovery::DevInfo drive = run.drive;
  RunBootHandOff({.owner = *this,
                  .device = *m_AtaDevice,
                  .drive = drive,
                  .config = PackageConfig,
                  .packageArea = package::PackageArea(),
                  .rebind = [this, &drive] { m_DriveList.BindDevice(drive); },
                  .target = fw::Trim(m_DriveList.lblNewFW.Caption),
                  .targetExt = fw::Trim(m_DriveList.lblFWExt.Caption),
                  .bSilent = bSilent});
  m_DriveList.cboDrives.Enabled = true;
  m_DriveList.cmdUpdate.Enabled = true;
  fw::Application->Terminate();
}

void TTravokMain::StartProgress() {
  if (PackageConfig.bUpdaterMode) return;
  m_ProgressClock.Start(true);
  Timer2.SetInterval(iProgressInterval);
  Timer2.SetEnabled(true);
  m_DriveList.ProgressBar2.Visible = true;
  m_DriveList.lblPercent.Visible = true;
  m_DriveList.lblPercent.Caption = "0%";
}

bool TTravokMain::PreformatFails(TUpdateRun&, const char* errorFormat) {
  worker::_KV_THREAD_PARAMETER request;
  request.pDevice = m_AtaDevice.get();
  request.iCommand = worker::kKvPreformat;
  if (RunWorker(request) == 0) return false;
  ShowStatus(Formatted(errorFormat, m_AtaDevice ? m_AtaDevice->LastOsError() : 0));
  return true;
}

void TTravokMain::AdjustDownloadMode(const discovery::DevInfo& drive) {
  if (PackageConfig.iFlashMode != 1 && NeedsSegmentedDownload(drive)) PackageConfig.iFlashMode = 1;
}

namespace {

// A firmware download request for `drive`: how the worker reaches it, and the commit action
// the NVMe paths require.
void AddressDownload(worker::_KV_THREAD_PARAMETER& r, const discovery::DevInfo& drive) {
  r.bIsNvme = drive.bIsNvme;
  r.bIsNvmeIrstDriver = drive.bIsNVMe_IrstDriver;
  r.iCommitAction = 1;
  r.PortNumber = drive.PortNumber;
  r.TargetId = drive.TargetId;
  r.PathId = drive.PathId;
  r.Lun = drive.Lun;
  r.iCommand = worker::kKvFirmwareDownload;
}

}  // namespace

worker::_KV_THREAD_PARAMETER TTravokMain::DownloadRequest(const TUpdateRun& run) {
  const discovery::DevInfo& d = run.drive;
  worker::_KV_THREAD_PARAMETER r;
  r.pDevice = m_AtaDevice.get();
  r.pImage = package::gFwImage;
  r.iImageSize = std::int32_t(package::gBinSize);
  r.bReBoot = PackageConfig.ReBoot;
  r.Bootcode = PackageConfig.Bootcode;
  r.bUse16KB = run.bSmiUse16KB;
  r.iNvmeFwSlot = iFlashSlot;
  AddressDownload(r, d);
  return r;
}

void TTravokMain::DownloadFromWindows(TUpdateRun& run) {
  StartProgress();
  if (PackageConfig.bPreformatBefore) {
    ShowStatus("Preformating ...");
    Wait(kPreformatPauseMs);
    if (PreformatFails(run, "BPF_ERROR:0x%X")) {
      run.result = 1;
      return;
    }
  }
  ShowStatus("FW updating ...");
  run.downloaded = false;
  iUpdateState = 1;
  worker::_KV_THREAD_PARAMETER request = DownloadRequest(run);
  AdjustDownloadMode(run.drive);
  request.iFlashMode = PackageConfig.iFlashMode;
  request.max_sector =
      os::Current().GetFileAttributesA(kFourBlockMarker) != os::kINVALID_FILE_ATTRIBUTES ? 4 : 1;
  const std::int32_t result = RunWorker(request);
  if (result == 0) {
    run.downloaded = true;
  } else {
    iFlashRet = result;
    iFlashRetDetail = result == transport::ATACMD_ERR    ? m_AtaDevice->LastAtaStatus()
                      : result == transport::ATACMD_FAIL ? std::int32_t(m_AtaDevice->LastOsError())
                                                         : 0;
  }
  iUpdateState = 2;
  if (!bNext && PackageConfig.ReBoot && !run.drive.bIsNvme) WaitForDriveToReturn(run);
  if (run.downloaded)
    FinishSuccessfulDownload(run);
  else
    ReportDownloadFailure(run);
}

// The drive restarts after the download and comes back as a new disk: a second scan follows at
// once when the first misses it, then the controllers are enumerated again (not under the
// system drive, whose disk Windows is running from) and a third scan decides.
void TTravokMain::WaitForDriveToReturn(TUpdateRun& run) {
  ShowStatus("Wait for device to be ready ...");
  Wait(kWaitForDriveMs);
  m_AtaDevice.reset();
  for (int pass = 1; pass <= 3; ++pass) {
    run.found = RescanForDrive(run);
    if (pass == 1 && run.found) return;
    if (pass == 2 && !run.drive.bSystemDrive) {
      ShowStatus("Scanning bus ...");
      worker::_KV_THREAD_PARAMETER request;
      request.iCommand = worker::kKvRescan;
      RunWorker(request);
    }
  }
}

bool TTravokMain::RescanForDrive(TUpdateRun& run) {
  ShowStatus("Scanning devices ...");
  if (!CreateDeviceObject()) return false;
  discovery::TScanContext scan = ScanContext();
  discovery::gCount = discovery::ScanSSDDrive(scan, discovery::gScanType);
  const int count = std::clamp<int>(discovery::gCount, 0, discovery::kMaxDrives);
  for (int i = 0; i < count; ++i) {
    const discovery::DevInfo& r = m_DevInfo[std::size_t(i)];
    if (fw::FieldText(r.serial) != run.serial) continue;
    // The list's binding, for the CSMI drive too: its phy and address, not only its port.
    m_DriveList.BindDevice(r);
    run.instanceId = fw::FieldText(r.instanceId);
    if (ShowsTarget(r, m_DriveList.lblNewFW.Caption, m_DriveList.lblFWExt.Caption)) {
      run.downloaded = true;
      run.verified = true;
    }
    return true;
  }
  return false;
}

void TTravokMain::ReportDownloadFailure(TUpdateRun& run) {
  run.failureText = FailureText(iFlashRet, iFlashRetDetail);
  ShowStatus(run.failureText);
  run.result = 1;
  ShowMessage(*this, TMessageKind::kNotice, run.itemText + " Flash Fail ! " + run.failureText,
              bSilent);
}

void TTravokMain::FinishSuccessfulDownload(TUpdateRun& run) {
  run.registryRevision = m_DriveList.lblNewFW.Caption;
  run.registryState = 3;
  iUpdateState = 3;
  if (run.found && PackageConfig.Preformat) {
    ShowStatus("Preformating ...");
    Wait(kPreformatPauseMs);
    if (PreformatFails(run, "APF_ERROR:0x%X")) {
      run.result = 1;
      return;
    }
  }
  if (!bNext) {
    m_AtaDevice.reset();
    iUpdateState = 4;
    if (!run.drive.bSystemDrive && !PackageConfig.bRebootSystem &&
        !PackageConfig.bSkipInfoRefresh && !PackageConfig.bUpdaterMode && !run.verified) {
      ShowStatus("Updating device information ...");
      worker::_KV_THREAD_PARAMETER request;
      request.iCommand = worker::kKvRescan;
      request.sDevicePath = run.instanceId;
      RunWorker(request);
    }
  }
  iUpdateState = 5;
  if (bNext) {
    ShowStatus("Next");
  } else if (PackageConfig.iVisualStyle == 9) {
    ShowMessage(*this, TMessageKind::kFinishNotice, "Flash finished !", bSilent);
  } else if (bSilent || PackageConfig.bUpdaterMode) {
    ShowStatus("Done !");
  } else {
    m_DriveList.lblPercent.Caption = "100%";
    m_DriveList.ProgressBar2.Position = 100;
    ShowMessage(*this, TMessageKind::kFinishNotice, "Flash finished !", bSilent);
  }
  if (!bNext && PackageConfig.bRebootSystem) PromptRestartAfterUpdate(*this, bSilent);
  run.result = 0;
}

void TTravokMain::EndUpdate(const TUpdateRun& run) {
  if (PackageConfig.iVisualStyle == 20 && (run.registryState == 2 || run.registryState == 3))
    RecordTargetFirmware(fw::Trim(run.registryRevision));
  iErrorLevel = run.result;
  m_DriveList.ProgressBar2.Visible = false;
  m_DriveList.lblPercent.Visible = false;
  if (PackageConfig.bUpdaterMode) {
    if (run.result != 0) {
      bStopUpdate = true;
      fw::Application->Terminate();
    }
    return;
  }
  if (!bNext) fw::Application->Terminate();
}

// An engineer's flash of an image file to the selected drive: no eligibility, version or
// preformat step, the file sent as it is, and neither the exit code nor the window changes.
void TTravokMain::ManualFileFlash(const discovery::DevInfo& drive, bool bSmiUse16KB) {
  std::string path;
  if (!os::Current().GetOpenFileNameA(Handle(), {"Firmware Files (*.BIN) |*.BIN", "BIN", true},
                                      &path))
    return;
  iFlashSlot = 1;
  if (!PackageConfig.bUpdaterMode) {
    m_ProgressClock.Start(true);
    Timer2.SetInterval(iProgressInterval);
    Timer2.SetEnabled(true);
  }
  const std::vector<std::uint8_t> image = ReadWholeFile(path);
  std::int32_t result = transport::ATACMD_FAIL;
  // An empty or unreadable file is a failed flash, not an empty download.
  if (!image.empty()) {
    worker::_KV_THREAD_PARAMETER r;
    r.pDevice = m_AtaDevice.get();
    r.pImage = image.data();
    r.iImageSize = std::int32_t(image.size());
    r.bUse16KB = bSmiUse16KB;
    r.iFlashMode = PackageConfig.iFlashMode;
    r.max_sector = 1;
    r.iNvmeFwSlot = 1;
    AddressDownload(r, drive);
    result = RunWorker(r);
  }
  if (result == 0)
    ShowMessage(*this, TMessageKind::kManualFlashDone, "Flash OK!", bSilent);
  else
    ShowMessage(*this, TMessageKind::kManualFlashError, "Flash Failed!", bSilent);
}

// A drive the package does not admit is left alone, and the exit code stays what the drives
// before it left; the last drive of a run still ends it.
void TTravokMain::SkipIneligibleDrive() {
  ShowStatus(Text(kNotAllowed, PackageConfig.iLanguage));
  if (!bNext) fw::Application->Terminate();
}

}  // namespace app
