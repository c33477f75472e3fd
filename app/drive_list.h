// The drive list of the main window: the drives the last scan found with the eligibility
// verdict of each, the drive selected for the update and the line that tells what it will be
// updated to, the compact updater layout, and the version report of a "/VER" run.
//
// The window is never shown (silent mode is always on once the command line has been read),
// so the controls are state that the update procedure, the start-up and the tests read; the
// list and the status box are not painted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "discovery/dev_info.h"
#include "discovery/scan_selection.h"
#include "framework/forms.h"
#include "framework/timer.h"
#include "package/package_config.h"
#include "transport/ata_device.h"

namespace app {

// TColor values (0x00BBGGRR).
inline constexpr std::uint32_t kColorBlack = 0x000000;
inline constexpr std::uint32_t kColorMaroon = 0x000080;

inline constexpr std::uint32_t kUpdaterFormHeight = 160;

// What the list works on. The main form owns all of it; the device object is replaced after
// every download, so the list holds the owner's pointer, not the object.
struct TDriveListContext {
  const package::PackageConfig& config;
  const CommandLine& arguments;
  discovery::TDevInfoTable& devInfo;
  const std::int32_t& gCount;
  std::unique_ptr<transport::TAtaDevice>& ataDevice;
  discovery::TCsmiTarget& csmiTarget;  // a CSMI drive picked from the list is remembered here
  std::int32_t& iUpdateState;
  fw::TTimer& Timer1;  // starts the update in updater mode
  fw::TTimer& Timer2;  // the progress tick
};

class TDriveList {
 public:
  explicit TDriveList(const TDriveListContext& context);
  TDriveList(const TDriveList&) = delete;
  TDriveList& operator=(const TDriveList&) = delete;

  // Fills the list from the drive table after a scan, running the eligibility check, and
  // selects the last eligible drive (item 0 when none is).
  void RefreshComboBox();
  // The drive of the selected item: binds the device object to it, fills the update line and,
  // in a "/VER" run, writes the version report.
  void cboDrivesChange();
  // The window's show handler.
  void FormShow() { ShowUpdateLine(m_Context.config.bUpdaterMode); }
  // "<exe without its extension>.INI" beside the executable; a failure to write is ignored.
  void SaveVersionIni(const std::string& current, const std::string& target);

  // Binds the device object to `drive` as the scan found it (CSMI, NVMe behind Intel RST, the
  // inbox NVMe driver, or the ATA probe with the "/T:" path); the hand-off binds again with it.
  void BindDevice(const discovery::DevInfo& drive);
  // The text of each drive item, as the list and the start-up error text show it.
  static std::string ItemText(const discovery::DevInfo& drive);

  // The drive of the selected item; null when the item has none.
  const discovery::DevInfo* SelectedDrive() const;
  // What the last refresh and selection left for the update procedure.
  const std::vector<std::int32_t>& ItemMap() const { return m_ItemMap; }
  const std::string& DetectedDrives() const { return m_sDetectedDrives; }
  const std::string& SelectedSerial() const { return m_sSelectedSerial; }
  const std::string& SelectedInstanceId() const { return m_sSelectedInstanceId; }
  std::uint16_t CurrentImage() const { return m_iCurrentImage; }

  fw::TComboBox cboDrives;
  fw::TLabel lblUpdateMsg, lblOldFW, lblTo, lblNewFW;
  fw::TLabel lblFWExt;  // holds the derived target; never visible
  fw::TButton cmdUpdate;
  fw::TProgressBar ProgressBar2;
  fw::TLabel lblPercent;
  // The updater layout: the banner it hides, the panel it shows with the captions of model,
  // current and new revision (Label2 to Label4), their values (Label5 to Label7) and its bar.
  fw::TControl Image1;
  fw::TPanel Panel1;
  fw::TLabel Label2, Label3, Label4, Label5, Label6, Label7;
  fw::TProgressBar ProgressBar1;
  std::uint32_t FormHeight = 0;  // the main window's height, as the updater layout sets it

 private:
  void ShowUpdateLine(bool updaterMode);
  void UpdaterModeLayout();
  void ShowEligible(const discovery::DevInfo& drive);
  void ShowIneligible(const discovery::DevInfo& drive);
  int ListedDrives() const;

  TDriveListContext m_Context;
  std::vector<std::int32_t> m_ItemMap;  // list item -> index into m_DevInfo
  std::string m_sDetectedDrives;
  std::string m_sSelectedSerial;
  std::string m_sSelectedInstanceId;
  std::uint16_t m_iCurrentImage = 0;
};

}  // namespace app
