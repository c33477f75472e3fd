// The timers of the main window: the progress tick, the two that start an update without a
// click, and the one that closes a message box by itself.
#include <string>

#include "app/frmTravok.h"
#include "app/progress_tick.h"
#include "framework/application.h"

namespace app {

void TTravokMain::Timer2Timer() {
  Timer2.SetEnabled(false);
  if (bStopUpdate) return;
  const bool updater = PackageConfig.bUpdaterMode;
  fw::TProgressBar& bar = updater ? m_DriveList.ProgressBar1 : m_DriveList.ProgressBar2;
  TProgressTick tick{.iUpdateState = iUpdateState,
                     .bUpdaterMode = updater,
                     .clockSeconds = double(m_ProgressClock.Elapsed()),
                     .position = bar.Position,
                     .iProgressInterval = iProgressInterval};
  ProgressStep(tick);
  bar.Position = tick.position;
  iProgressInterval = tick.iProgressInterval;
  if (updater) {
    // A successful updater-mode run ends here, once the bar is full.
    if (tick.finished) {
      fw::Application->Terminate();
      return;
    }
  } else {
    m_DriveList.lblPercent.Caption = std::to_string(bar.Position) + "%";
    if (tick.finished) return;
  }
  Timer2.SetInterval(iProgressInterval);
  Timer2.SetEnabled(true);
}

void TTravokMain::Timer1Timer() {
  Timer1.SetEnabled(false);
  m_DriveList.ProgressBar1.Position = 0;
  iProgressInterval = 100;
  m_ProgressClock.Start(true);
  Timer2.SetInterval(100);
  Timer2.SetEnabled(true);
  cmdUpdateClick();
}

// Every listed drive in turn; only the last runs with bNext clear, so only the last waits for
// its drive, asks about the restart and ends the program, with its own exit code.
void TTravokMain::tmrAutoFlashTimer() {
  tmrAutoFlash.SetEnabled(false);
  if (!PackageConfig.bAutoMode) return;
  bNext = true;
  const int count = int(m_DriveList.cboDrives.Items.size());
  for (int i = 0; i < count; ++i) {
    if (i == count - 1) bNext = false;
    m_DriveList.cboDrives.ItemIndex = i;
    cboDrivesChange();
    cmdUpdateClick();
  }
}

void TTravokMain::tmrCloseMsgTimer() {
  tmrCloseMsg.SetEnabled(false);
  auto& sys = os::Current();
  if (const os::Hwnd box = sys.FindWindowA("", sAutoCloseCaption))
    sys.PostMessageA(box, os::kWM_CLOSE, 0, 0);
}

}  // namespace app
