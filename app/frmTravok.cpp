#include "app/frmTravok.h"

#include <vector>

#include "app/texts.h"
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
  StartUp();
}

TTravokMain::~TTravokMain() {
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

  // The drive scan and the update follow here as they are built; until then the run ends
  // having updated nothing.
  EndStartUp(iErrorLevel, false);
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
  return fw::TForm::WndProc(hwnd, msg, wParam, lParam);
}

}  // namespace app
