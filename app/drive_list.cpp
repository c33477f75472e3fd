#include "app/drive_list.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "app/eligibility.h"
#include "app/texts.h"
#include "framework/conversions.h"
#include "framework/version_info.h"
#include "package/package_area.h"
#include "transport/ata_types.h"

namespace app {
namespace {

bool Eligible(const discovery::DevInfo& drive) {
  return drive.bExisted && drive.bEligible;
}

}  // namespace

TDriveList::TDriveList(const TDriveListContext& context) : m_Context(context) {
  lblFWExt.Visible = false;
  Panel1.Visible = false;
}

// The scan may report more drives than the table holds; only the table's records exist.
int TDriveList::ListedDrives() const {
  return std::clamp<int>(m_Context.gCount, 0, discovery::kMaxDrives);
}

std::string TDriveList::ItemText(const discovery::DevInfo& drive) {
  char text[128];
  std::snprintf(text, sizeof text, "(%c) %2d-%d-%d-%d %s %.8s", drive.bSystemDrive ? 'M' : 'S',
                drive.PortNumber, drive.PathId, drive.TargetId, drive.Lun,
                fw::Trim(fw::FieldText(drive.model)).c_str(),
                fw::FieldText(drive.firmware).c_str());
  return text;
}

void TDriveList::RefreshComboBox() {
  cboDrives.Items.clear();
  cboDrives.ItemIndex = -1;
  m_ItemMap.clear();
  m_sDetectedDrives.clear();
  const int count = ListedDrives();
  discovery::TDevInfoTable& table = m_Context.devInfo;
  if (m_Context.ataDevice)
    ChkConstraint(std::span(table.data(), std::size_t(count)), package::PackageArea(),
                  m_Context.config);

  for (int i = 0; i < count; ++i) {
    if (m_Context.config.bHiddenDrives && !Eligible(table[std::size_t(i)])) continue;
    const std::string text = ItemText(table[std::size_t(i)]);
    m_sDetectedDrives += text + "\n";
    cboDrives.Items.push_back(text);
    m_ItemMap.push_back(i);
  }
  if (cboDrives.Items.empty()) return;
  cboDrives.Enabled = true;
  cboDrives.ItemIndex = 0;
  for (std::size_t item = 0; item < m_ItemMap.size(); ++item)
    if (Eligible(table[std::size_t(m_ItemMap[item])])) cboDrives.ItemIndex = int(item);
}

// Null when the selected item has no drive: an empty list, or an index a caller set past it.
const discovery::DevInfo* TDriveList::SelectedDrive() const {
  const int item = cboDrives.ItemIndex;
  if (item < 0 || std::size_t(item) >= m_ItemMap.size()) return nullptr;
  const std::int32_t index = m_ItemMap[std::size_t(item)];
  if (index < 0 || index >= ListedDrives()) return nullptr;
  return &m_Context.devInfo[std::size_t(index)];
}

void TDriveList::cboDrivesChange() {
  m_iCurrentImage = 0;
  const discovery::DevInfo* drive = SelectedDrive();
  // Without a drive or a device object the selection ends here, leaving the labels as they were.
  if (!drive || !m_Context.ataDevice) return;
  try {
    if (!discovery::FoundByRstePass(*drive)) BindDevice(*drive);
    m_sSelectedSerial = fw::FieldText(drive->serial);
    m_sSelectedInstanceId = fw::FieldText(drive->instanceId);
    if (drive->bEligible)
      ShowEligible(*drive);
    else
      ShowIneligible(*drive);
  } catch (...) {
    // A selection that fails part-way keeps what the labels were given so far; the update
    // procedure finds out about the drive when it uses it.
  }
}

// A failing SelectPort does not stop the selection: the update procedure meets the drive's
// state when it sends its first command.
void TDriveList::BindDevice(const discovery::DevInfo& drive) {
  transport::TAtaDevice& device = *m_Context.ataDevice;
  discovery::TCsmiTarget& target = m_Context.csmiTarget;
  if (discovery::gScanType == 1) {
    if (m_Context.config.bUpdaterMode) {
      // The command line named the drive: its controller, phy, port and address.
      device.SelectPort(target.SCSI_PORT, nullptr, -1, transport::kKindCsmi);
      device.SetCsmiPhy(std::uint8_t(target.INDEX));
      device.SetCsmiPort(std::uint8_t(target.PORT));
    } else {
      // Remembered so that a rescan of this single target reaches the controller again.
      target.SCSI_PORT = drive.order;
      target.SAS_ADDR = drive.SAS_ADDR;
      device.SelectPort(drive.order, nullptr, -1, transport::kKindCsmi);
      device.SetCsmiPhy(std::uint8_t(drive.scsi_index));
      device.SetCsmiPort(std::uint8_t(drive.csmi_port));
    }
    device.SetCsmiSasAddress(std::uint32_t(target.SAS_ADDR), std::uint32_t(target.SAS_ADDR >> 32));
  } else if (drive.bIsNvme && drive.bIsNVMe_IrstDriver) {
    device.SelectPort(drive.order, nullptr, drive.PortNumber, transport::kKindNvme);
  } else if (drive.bIsNvme) {
    device.SelectPort(drive.order, drive.devicePath, -1, transport::kKindNvme);
  } else {
    const std::string& path = m_Context.arguments.sTargetPath;
    device.SelectPort(drive.order, path.empty() ? nullptr : path.c_str(), -1, transport::kKindNone);
  }
}

void TDriveList::ShowEligible(const discovery::DevInfo& drive) {
  const int language = m_Context.config.iLanguage;
  cmdUpdate.Enabled = true;
  lblNewFW.Visible = lblOldFW.Visible = lblTo.Visible = true;
  lblUpdateMsg.Caption = Text(kUpdateFrom, language);
  lblUpdateMsg.Color = kColorBlack;
  lblTo.Color = kColorBlack;
  m_iCurrentImage = drive.imageIndex;
  lblOldFW.Caption = fw::FieldText(drive.firmware);
  const TargetRevisions targets = ChkO2N(drive, package::PackageArea(), m_Context.config);
  lblNewFW.Caption = targets.shown;
  lblFWExt.Caption = targets.derived;
  if (m_Context.arguments.bVersionOnly) {
    SaveVersionIni(lblOldFW.Caption, lblNewFW.Caption);
    return;
  }
  if (!m_Context.config.bUpdaterMode) {
    FormShow();
    return;
  }
  // The updater layout's timer starts the update; the selection only fills the panel.
  ShowUpdateLine(false);
  Label5.Caption = fw::FieldText(drive.model);
  Label6.Caption = lblOldFW.Caption;
  Label7.Caption = lblNewFW.Caption;
}

void TDriveList::ShowIneligible(const discovery::DevInfo& drive) {
  cmdUpdate.Enabled = false;
  lblNewFW.Visible = lblOldFW.Visible = lblTo.Visible = false;
  lblUpdateMsg.Caption = Text(kNotAllowed, m_Context.config.iLanguage);
  lblUpdateMsg.Color = kColorMaroon;
  if (m_Context.arguments.bVersionOnly)
    SaveVersionIni(fw::Trim(fw::FieldText(drive.firmware).substr(0, 7)), "N/A");
}

void TDriveList::ShowUpdateLine(bool updaterMode) {
  lblOldFW.Left = lblUpdateMsg.Left + lblUpdateMsg.Width + 10;
  lblTo.Left = lblOldFW.Left + lblOldFW.Width + 10;
  lblNewFW.Left = lblTo.Left + lblTo.Width + 10;
  lblOldFW.Top = lblNewFW.Top = lblUpdateMsg.Top;
  lblTo.Top = lblUpdateMsg.Top + (lblUpdateMsg.Height - lblTo.Height) / 2;
  m_Context.iUpdateState = 0;
  if (updaterMode) {
    UpdaterModeLayout();
    cboDrives.Visible = false;
    m_Context.Timer1.SetEnabled(true);
  } else {
    ProgressBar2.Position = 0;
    lblPercent.Caption = "0%";
    m_Context.Timer2.SetInterval(100);
    cboDrives.Visible = true;
  }
}

void TDriveList::UpdaterModeLayout() {
  Image1.Visible = false;
  FormHeight = kUpdaterFormHeight;
  Panel1.Visible = true;
  Panel1.Left = Panel1.Top = 0;
  // "Current FW Version :" is the widest caption; the other two end where it ends.
  Label2.Left = Label3.Width - Label2.Width + 16;
  Label4.Left = Label3.Width - Label4.Width + 16;
}

void TDriveList::SaveVersionIni(const std::string& current, const std::string& target) {
  auto& sys = os::Current();
  const std::string exe = sys.GetModuleFileNameA();
  const std::string name = exe.substr(0, exe.size() >= 4 ? exe.size() - 4 : 0) + ".INI";
  const std::string text = "EXE_VERSION = " + fw::ExecutableFileVersion() + "\r\n" +
                           "CURRENT_FW = " + current + "\r\n" + "TARGET_FW = " + target + "\r\n";
  // A deployment script that asked only for the versions still gets the exit code; a folder
  // it may not write just leaves it without the file.
  const os::Handle file =
      sys.CreateFileA(name, os::kGENERIC_WRITE, 0, os::kCREATE_ALWAYS, os::kFILE_ATTRIBUTE_NORMAL);
  if (file == os::kINVALID_HANDLE_VALUE) return;
  std::uint32_t written = 0;
  sys.WriteFile(file, text.data(), std::uint32_t(text.size()), &written);
  sys.CloseHandle(file);
}

}  // namespace app
