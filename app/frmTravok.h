// The main window and the controller of the whole run: everything the program does happens
// while this form is constructed, in the order of the start-up steps.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/drive_list.h"
#include "app/texts.h"
#include "devices/dev_mgr.h"
#include "discovery/dev_info.h"
#include "discovery/drive_scan.h"
#include "discovery/scan_selection.h"
#include "framework/forms.h"
#include "framework/timer.h"
#include "package/aes_context.h"
#include "package/package_config.h"
#include "platform/hi_timer.h"
#include "transport/ata_device.h"
#include "worker/flash_launcher.h"
#include "worker/kv_thread_parameter.h"

namespace app {

// The exit code that deployment scripts read. 255 from process start until the package
// options have been read, so a package that cannot be parsed ends with 255.
extern std::int32_t iErrorLevel;
extern bool bSilent;

inline constexpr const char* kSingleInstanceMutex = "ORMSBY_SCCM_TOOL_MUTEX";

class TTravokMain : public fw::TForm {
 public:
  TTravokMain();
  ~TTravokMain() override;

  const package::PackageConfig& Config() const { return PackageConfig; }
  bool StopUpdate() const { return bStopUpdate; }
  const std::string& TargetPath() const { return m_CommandLine.sTargetPath; }
  const discovery::TCsmiTarget& CsmiTargetRecord() const { return CsmiTarget; }
  const CommandLine& Arguments() const { return m_CommandLine; }

  const TDriveList& DriveList() const { return m_DriveList; }
  // What the last scan found; null before the device object is built.
  const transport::TAtaDevice* AtaDevice() const { return m_AtaDevice.get(); }
  const discovery::TDevInfoTable& DevInfo() const { return m_DevInfo; }
  // The records as the start-up's scan and verdicts left them; later scans of the update refill
  // DevInfo() without verdicts.
  const discovery::TDevInfoTable& StartUpDevInfo() const { return m_StartUpDevInfo; }

  // The file version of the executable's version resource, "a.b.c.d"; empty when unreadable.
  static std::string FileVersionText();

  // The drive list's handlers: after a scan, on a selection, and the window's show handler.
  void RefreshComboBox() { m_DriveList.RefreshComboBox(); }
  void cboDrivesChange() { m_DriveList.cboDrivesChange(); }
  void FormShow() { m_DriveList.FormShow(); }
  // With the automatic run armed, the window's activation starts it; otherwise nothing.
  void FormActivate();
  // Drops the device object and hides the window, each whatever the other does.
  void FormDestroy();
  // The Update button: updates the selected drive. The automatic run, the updater-mode start
  // and the silent start-up call it too.
  void cmdUpdateClick();
  // The status box over the drive list shows `text` alone; nothing in updater mode.
  void ShowStatus(const std::string& text);

  // The timers: the progress tick, the updater-mode start, the automatic run over every listed
  // drive, and the auto-close of a message box by its caption.
  void Timer2Timer();
  void Timer1Timer();
  void tmrAutoFlashTimer();
  void tmrCloseMsgTimer();

  bool AutoFlashArmed() const { return tmrAutoFlash.Enabled(); }
  std::int32_t FlashSlot() const { return iFlashSlot; }
  std::int32_t UpdateState() const { return iUpdateState; }
  // What the status box showed, in order; the last is what it shows now.
  const std::vector<std::string>& StatusHistory() const { return m_StatusHistory; }
  // The texts the last start-up built for its error box and its notice, shown or not.
  const std::string& NoTargetText() const { return m_sNoTargetText; }
  std::string NoticeMessage() const;

  fw::TLabel Label1, lblMsg;
  fw::TButton cmdClose;
  fw::TTimer Timer1, Timer2, tmrCloseMsg, tmrAutoFlash;
  // The NVMe firmware slots and commit actions the slot readers list for the scanned drive.
  fw::TComboBox cboFwSlot, cboCommitAction;
  // The status box that lies over the drive list while an update runs.
  fw::TComboBox cbMsg;

 protected:
  std::intptr_t WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                        std::intptr_t lParam) override;

 private:
  void StartUp();
  void ReadPackageOptions();
  void SetCaptionFromPackage();
  void SetLanguageTexts();
  bool ReadCommandLine();
  bool AnotherInstanceRuns();
  void BringOtherInstanceToFront();
  bool PackageHoldsFirmware() const;
  bool CreateDeviceObject();
  bool HasAdministratorRights();
  std::int32_t ScanDrives();
  void ShowStartUpError(const LanguageText& text);
  int EligibleDrives() const;
  void EndWithoutEligibleDrive();
  bool ConfirmUpdate();
  void RemoveCloseFromSystemMenu();
  void StartSilentRun();
  void EndStartUp(std::int32_t exitCode, bool stopUpdate);
  bool ShowsStartUpMessages() const { return !bSilent || PackageConfig.bSilentMessages; }
  discovery::TScanContext ScanContext();

  // The update procedure, section by section (update_procedure.cpp).
  struct TUpdateRun;
  void PrepareUpdate(TUpdateRun& run);
  bool PreChecksStop(TUpdateRun& run);
  bool IsFatalDrive(const discovery::DevInfo& drive);
  bool PrepareImageStops(TUpdateRun& run);
  void HandOffToBootFlasher(const TUpdateRun& run);
  void DownloadFromWindows(TUpdateRun& run);
  void StartProgress();
  bool PreformatFails(TUpdateRun& run, const char* errorFormat);
  worker::_KV_THREAD_PARAMETER DownloadRequest(const TUpdateRun& run);
  void AdjustDownloadMode(const discovery::DevInfo& drive);
  void WaitForDriveToReturn(TUpdateRun& run);
  bool RescanForDrive(TUpdateRun& run);
  void ReportDownloadFailure(TUpdateRun& run);
  void FinishSuccessfulDownload(TUpdateRun& run);
  void EndUpdate(const TUpdateRun& run);
  void SkipIneligibleDrive();
  void ManualFileFlash(const discovery::DevInfo& drive, bool bSmiUse16KB);
  // Runs one worker operation with power events refused for its length.
  std::int32_t RunWorker(const worker::_KV_THREAD_PARAMETER& request);
  void Wait(std::uint32_t milliseconds);

  package::PackageConfig PackageConfig;
  CommandLine m_CommandLine;
  discovery::TCsmiTarget CsmiTarget;
  bool bStopUpdate = false;
  // While on, power events that would suspend the machine are refused.
  bool m_bUpdateInProgress = false;
  os::Handle m_hInstanceMutex = 0;
  std::int32_t iUpdateState = 0;
  // The update procedure's state: the NVMe slot it writes, the last download's result and
  // detail, the progress tick's next interval and clock.
  std::int32_t iFlashSlot = 0;
  std::int32_t iFlashRet = 0, iFlashRetDetail = 0;
  std::uint32_t iProgressInterval = 100;
  platform::HiTimer m_ProgressClock;
  // The caption of the box the auto-close timer closes; no start-up box arms it.
  std::string sAutoCloseCaption;
  std::vector<std::string> m_StatusHistory;
  worker::TFlashLauncher m_Launcher;
  package::AesContext m_Aes;
  std::vector<std::uint8_t> m_FwBuffer;
  // The automatic run over every listed drive: set while another drive follows, and what the
  // run has done so far.
  bool bNext = false;
  std::string m_sNoTargetText;
  std::int32_t iAutoUpdated = 0, iAutoPassed = 0, iAutoFailed = 0;
  // What the scan fills and the update works through; the device object is built by the
  // start-up and replaced after every download.
  discovery::TDevInfoTable m_DevInfo{};
  discovery::TDevInfoTable m_StartUpDevInfo{};
  discovery::TCurrentIdentity CurrentIdentity{};
  // Built with the device object; it outlives it, since the scan asks both.
  std::unique_ptr<devices::TDevMgr> m_DevMgr;
  std::unique_ptr<transport::TAtaDevice> m_AtaDevice;
  // Last: it keeps references to the members above.
  TDriveList m_DriveList{{PackageConfig, m_CommandLine, m_DevInfo, discovery::gCount, m_AtaDevice,
                          CsmiTarget, iUpdateState, Timer1, Timer2}};
};

}  // namespace app
