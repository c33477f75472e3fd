#include "app/frmTravok.h"

#include <new>
#include <vector>

#include "discovery/drive_scan.h"
#include "framework/application.h"
#include "framework/params.h"
#include "framework/version_info.h"
#include "package/package_area.h"

namespace app {

std::int32_t iErrorLevel = 255;
bool bSilent = false;

TTravokMain::TTravokMain() : fw::TForm("TfrmTravok", "") {
  Timer1.SetInterval(2500);
  Timer2.SetInterval(100);
  tmrAutoFlash.SetInterval(2000);
  Timer1.OnTimer = [this] { Timer1Timer(); };
  Timer2.OnTimer = [this] { Timer2Timer(); };
  tmrAutoFlash.OnTimer = [this] { tmrAutoFlashTimer(); };
  tmrCloseMsg.OnTimer = [this] { tmrCloseMsgTimer(); };
  StartUp();
}

TTravokMain::~TTravokMain() {
  FormDestroy();
  if (m_hInstanceMutex) os::Current().CloseHandle(m_hInstanceMutex);
}

void TTravokMain::StartUp() {
  // 1. The package options. A broken option string raises here and the process entry shows
  //    the error; the exit code is then still 255.
  bSilent = false;
  bStopUpdate = false;
  discovery::bRSTeScan = false;
  ReadPackageOptions();
  iErrorLevel = 0;

  // 2. Nothing has been updated yet; every later step that updates replaces this.
  iErrorLevel = 11;
  SetLanguageTexts();

  // 3. The command line, then the single-instance check, before any drive is touched.
  if (!ReadCommandLine()) return;
  if (bSilent || PackageConfig.iVisualStyle == 20) {
    fw::Application->ShowMainForm = false;
    bSilent = true;
  }
  if (AnotherInstanceRuns()) {
    BringOtherInstanceToFront();
    EndStartUp(11, false);
    return;
  }
  if (PackageConfig.bUpdaterMode)
    os::Current().EnableMenuItem(os::Current().GetSystemMenu(Handle(), false), os::kSC_CLOSE,
                                 os::kMF_BYCOMMAND | os::kMF_GRAYED);

  // 4. A package without firmware, or with images the image buffer cannot take.
  if (!PackageHoldsFirmware()) {
    if (ShowsStartUpMessages())
      MessageDlg(Text(kNoFirmware, PackageConfig.iLanguage), fw::TMsgDlgType::mtError);
    EndStartUp(4, false);
    return;
  }

  // 5. and 6. The device object over a fresh disk table, and the administrator rights.
  if (!CreateDeviceObject()) {
    ShowStartUpError(kDeviceInitFailed);
    EndStartUp(1, false);
    return;
  }
  if (!HasAdministratorRights()) {
    ShowStartUpError(kAccessDenied);
    EndStartUp(1, false);
    return;
  }

  // 7. and 8. The scan; no drive ends the run without a word.
  discovery::gCount = ScanDrives();
  if (discovery::gCount == -1) {
    EndStartUp(3, false);
    return;
  }
  if (discovery::gCount < 1) {
    EndStartUp(PackageConfig.bUpdaterMode ? 3 : 2, false);
    return;
  }

  // 9. and 10. The list and its selection; a "/VER" run has written its file by now.
  RefreshComboBox();
  cboDrivesChange();
  m_StartUpDevInfo = m_DevInfo;
  if (m_CommandLine.bVersionOnly) {
    EndStartUp(0, true);
    return;
  }

  // 11. to 13. The verdicts, the warnings, then the update itself or the automatic run.
  if (EligibleDrives() == 0) {
    EndWithoutEligibleDrive();
    return;
  }
  if (!ConfirmUpdate()) {
    EndStartUp(11, false);
    return;
  }
  RemoveCloseFromSystemMenu();
  StartSilentRun();
}

// Silent mode updates at once; with the window shown, the user clicks Update.
void TTravokMain::StartSilentRun() {
  if (!bSilent && !PackageConfig.bSilentMessages) return;
  fw::Application->ShowMainForm = false;
  if (PackageConfig.bAutoMode && !PackageConfig.bUpdaterMode) {
    iAutoUpdated = iAutoPassed = iAutoFailed = 0;
    tmrAutoFlash.SetEnabled(true);
    m_DriveList.cmdUpdate.Enabled = false;
    return;
  }
  cmdUpdateClick();
  EndStartUp(iErrorLevel, true);
}

void TTravokMain::FormActivate() {
  if (!PackageConfig.bAutoMode || PackageConfig.bUpdaterMode) return;
  tmrAutoFlash.SetEnabled(true);
  m_DriveList.cmdUpdate.Enabled = false;
}

void TTravokMain::FormDestroy() {
  try {
    m_AtaDevice.reset();
  } catch (...) {
  }
  try {
    if (Handle()) os::Current().AnimateWindow(Handle(), 120, os::kAW_HIDE | os::kAW_CENTER);
  } catch (...) {
  }
}

bool TTravokMain::CreateDeviceObject() {
  m_AtaDevice.reset();
  if (!m_DevMgr) m_DevMgr = std::make_unique<devices::TDevMgr>();
  m_AtaDevice.reset(new (std::nothrow) transport::TAtaDevice(m_DevMgr->BuildDiskTable()));
  if (!m_AtaDevice) return false;
  m_AtaDevice->SetVisualStyle(PackageConfig.iVisualStyle);
  return true;
}

// Access denied left by the device object's own start counts as missing rights whatever the
// token says.
bool TTravokMain::HasAdministratorRights() {
  if (m_AtaDevice->LastOsError() == os::kERROR_ACCESS_DENIED) return false;
  platform::OSInfo& osInfo = m_AtaDevice->OsInfo();
  return !osInfo.bIsNT || osInfo.IsUserAdmin();
}

// The ATA/NVMe pass first when nothing names the drive; the CSMI controllers when it finds
// none. A named target goes straight to the pass of the scan kind the command line set.
discovery::TScanContext TTravokMain::ScanContext() {
  return {.device = *m_AtaDevice,
          .devMgr = *m_DevMgr,
          .devInfo = m_DevInfo,
          .currentIdentity = CurrentIdentity,
          .csmiTarget = CsmiTarget,
          .bUpdaterMode = PackageConfig.bUpdaterMode,
          .sTargetPath = m_CommandLine.sTargetPath,
          .slotBoxes = {cboFwSlot, cboCommitAction}};
}

std::int32_t TTravokMain::ScanDrives() {
  discovery::TScanContext scan = ScanContext();
  if (discovery::gScanType != 0 || !m_CommandLine.sTargetPath.empty())
    return discovery::ScanSSDDrive(scan, discovery::gScanType);
  const std::int32_t found = discovery::ScanSSDDrive(scan, 0);
  if (found != 0) return found;
  discovery::gScanType = 1;
  return discovery::ScanSSDDrive(scan, 1);
}

void TTravokMain::ShowStartUpError(const LanguageText& text) {
  if (!ShowsStartUpMessages()) return;
  const int language = PackageConfig.iLanguage;
  MessageBox(Text(text, language), Text(kErrorCaption, language), os::kMB_OK | os::kMB_ICONERROR);
}

void TTravokMain::ReadPackageOptions() {
  const std::uint8_t* block = package::PackageArea();
  PackageConfig = {};
  discovery::gScanType = 0;
  package::ParseLeadingOptions(block, PackageConfig);
  SetCaptionFromPackage();
  package::ParseTrailingOptions(block, PackageConfig);
  tmrCloseMsg.SetInterval(std::uint32_t(PackageConfig.iCloseMsgSeconds) * 1000);
}

void TTravokMain::SetCaptionFromPackage() {
  const std::uint8_t* block = package::PackageArea();
  if (PackageConfig.bUpdaterMode) {
    SetCaption("Updating firmware");
    SetSystemMenu(false);
  } else {
    SetCaption(package::WindowTitle(block) + " (" + package::ToolVersion(block) + ")");
    SetSystemMenu(true);
  }
}

void TTravokMain::SetLanguageTexts() {
  const int language = PackageConfig.iLanguage;
  Label1.Caption = Text(kLabel1, language);
  m_DriveList.lblUpdateMsg.Caption = Text(kUpdateMsg, language);
  m_DriveList.lblTo.Caption = Text(kTo, language);
  lblMsg.Caption = Text(kMsg, language);
  m_DriveList.cmdUpdate.Caption = Text(kUpdate, language);
  cmdClose.Caption = Text(kClose, language);
}

bool TTravokMain::ReadCommandLine() {
  std::vector<std::string> args;
  for (int i = 1; i <= fw::ParamCount(); ++i) args.push_back(fw::ParamStr(i));
  m_CommandLine = app::ReadCommandLine(args, PackageConfig.bUpdaterMode);
  if (m_CommandLine.bRSTeScan) discovery::bRSTeScan = true;
  bSilent = m_CommandLine.bSilent;
  if (m_CommandLine.bCsmiTarget) {
    discovery::gScanType = 1;
    CsmiTarget = m_CommandLine.csmiTarget;
  }
  if (m_CommandLine.iExitCode != 0) {
    EndStartUp(m_CommandLine.iExitCode, true);
    return false;
  }
  return true;
}

bool TTravokMain::AnotherInstanceRuns() {
  auto& sys = os::Current();
  if (os::Handle other = sys.OpenMutexA(os::kSYNCHRONIZE, false, kSingleInstanceMutex)) {
    sys.CloseHandle(other);
    return true;
  }
  m_hInstanceMutex = sys.CreateMutexA(false, kSingleInstanceMutex);
  return false;
}

// The running instance is found by its application window, which carries the same title as
// ours; our own title is cleared first so that the search cannot find this instance.
void TTravokMain::BringOtherInstanceToFront() {
  auto& sys = os::Current();
  const std::string title = fw::Application->Title();
  fw::Application->ShowMainForm = false;
  fw::Application->SetTitle("");
  const os::Hwnd other = sys.FindWindowA("TApplication", title);
  if (!other) return;
  if (sys.IsIconic(other)) sys.ShowWindow(other, os::kSW_RESTORE);
  sys.BringWindowToTop(other);
  sys.SetForegroundWindow(other);
}

bool TTravokMain::PackageHoldsFirmware() const {
  return PackageConfig.iImageCount != 0 &&
         package::HasUsableImages(package::PackageArea(), PackageConfig);
}

void TTravokMain::EndStartUp(std::int32_t exitCode, bool stopUpdate) {
  iErrorLevel = exitCode;
  if (stopUpdate) bStopUpdate = true;
  fw::Application->Terminate();
}

std::string TTravokMain::FileVersionText() {
  return fw::ExecutableFileVersion();
}

std::intptr_t TTravokMain::WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
  if (msg == os::kWM_POWERBROADCAST && m_bUpdateInProgress &&
      wParam != os::kPBT_APMQUERYSUSPENDFAILED) {
    if (!bSilent)
      MessageBox("Firmware is updating, all power change events are denied !", "Warning",
                 os::kMB_TOPMOST | os::kMB_ICONINFORMATION);
    return os::kBROADCAST_QUERY_DENY;
  }
  if (msg == os::kWM_ACTIVATE && (wParam & 0xFFFF) != os::kWA_INACTIVE) FormActivate();
  return fw::TForm::WndProc(hwnd, msg, wParam, lParam);
}

}  // namespace app
