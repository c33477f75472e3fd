// The drive list: which drives it lists and selects, how it binds the device object to the
// selected drive, the update line it fills, and the version report of a "/VER" run.
#include "app/drive_list.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/texts.h"
#include "devices/dev_mgr.h"
#include "framework/application.h"
#include "package/package_area.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"
#include "tests/support/release.h"
#include "tests/unit/transport/transport_fixture.h"

namespace {

using discovery::DevInfo;
using fw::SetField;

constexpr const char* kModel = "CORVANE K5 512GB";

// A drive as the scan records it; its model is blank-padded to the field, as drives report it.
DevInfo Drive(const std::string& model, const std::string& firmware, std::int32_t order = 0) {
  DevInfo d{};
  d.bExisted = true;
  SetField(d.model, model + std::string(40 - model.size(), ' '));
  std::memcpy(d.checkModel, d.model, sizeof d.model);
  SetField(d.firmware, firmware);
  SetField(d.fwExt, firmware);
  SetField(d.serial, "SN-" + firmware);
  fw::SetPath(d.instanceId, "SCSI\\DISK&VEN_&PROD_" + firmware + "\\4&1&0");
  d.order = order;
  return d;
}

class DriveList : public ::testing::Test {
 protected:
  void SetUp() override {
    os::Install(&pc);
    application = std::make_unique<fw::TApplication>();
    fw::Application = application.get();
    application->Initialize();
    // Image 1 for the 512 GB model, image 2 for the 1 TB one; nothing else is eligible.
    auto release = testing_support::SmallRelease();
    release.images[0].rows = {{"", "", kModel}};
    release.images.push_back(release.images[0]);
    release.images[1].newFw = "K5TB0300";
    release.images[1].rows = {{"", "", "CORVANE K5 1TB"}};
    testing_support::Load(testing_support::Pack(release));
    package::ParseLeadingOptions(package::PackageArea(), config);
    package::ParseTrailingOptions(package::PackageArea(), config);
    timer1 = std::make_unique<fw::TTimer>();
    timer2 = std::make_unique<fw::TTimer>();
    list = std::make_unique<app::TDriveList>(app::TDriveListContext{
        config, arguments, table, count, device, csmi, updateState, *timer1, *timer2});
    discovery::gScanType = 0;
  }
  void TearDown() override {
    list.reset();
    device.reset();
    devMgr.reset();
    timer1.reset();
    timer2.reset();
    application.reset();
    fw::Application = nullptr;
    discovery::gScanType = 0;
    os::Install(nullptr);
  }

  // Builds the device object on `machine` the way start-up does.
  void Machine(const std::string& machine) {
    sim::LoadMachine(pc, machine, "test");
    devMgr = std::make_unique<devices::TDevMgr>();
    device = std::make_unique<transport::TAtaDevice>(devMgr->BuildDiskTable());
  }
  void Drives(const std::vector<DevInfo>& drives) {
    discovery::ClearTable(table);
    for (std::size_t i = 0; i < drives.size(); ++i) table[i] = drives[i];
    count = std::int32_t(drives.size());
  }
  // Refreshes the list and selects its current item, as the start-up does.
  void RefreshAndSelect() {
    list->RefreshComboBox();
    list->cboDrivesChange();
  }
  std::string VersionFile(const std::string& path = "D:\\tools\\upd.INI") const {
    const auto* bytes = pc.files.Contents(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
  }

  sim::SimPc pc;
  std::unique_ptr<fw::TApplication> application;
  package::PackageConfig config;
  app::CommandLine arguments;
  discovery::TDevInfoTable table{};
  std::int32_t count = 0;
  std::unique_ptr<devices::TDevMgr> devMgr;
  std::unique_ptr<transport::TAtaDevice> device;
  discovery::TCsmiTarget csmi;
  std::int32_t updateState = 7;
  std::unique_ptr<fw::TTimer> timer1, timer2;
  std::unique_ptr<app::TDriveList> list;
};

TEST_F(DriveList, HiddenDrivesLeaveTheIneligibleOnesOutAndTheLastEligibleIsSelected) {
  Machine("");
  DevInfo system = Drive(kModel, "K5FW0100");
  system.bSystemDrive = true;
  system.PortNumber = 12;
  system.PathId = 1;
  system.TargetId = 2;
  system.Lun = 3;
  DevInfo other = Drive("OTHER SSD", "OT01");
  other.PortNumber = -1;
  Drives({system, other, Drive("CORVANE K5 1TB", "K5TB0100"), Drive("OTHER SSD", "OT02")});
  const std::string items[] = {
      "(M) 12-1-2-3 CORVANE K5 512GB K5FW0100", "(S) -1-0-0-0 OTHER SSD OT01",
      "(S)  0-0-0-0 CORVANE K5 1TB K5TB0100", "(S)  0-0-0-0 OTHER SSD OT02"};
  struct Case {
    bool hidden;
    std::vector<std::int32_t> map;
    int selected;
  } cases[] = {{false, {0, 1, 2, 3}, 2}, {true, {0, 2}, 1}};
  for (const Case& c : cases) {
    config.bHiddenDrives = c.hidden;
    list->cboDrives.Enabled = false;
    list->RefreshComboBox();
    std::vector<std::string> expected;
    std::string detected;
    for (std::int32_t i : c.map) {
      expected.push_back(items[i]);
      detected += items[i] + std::string("\n");
    }
    EXPECT_EQ(list->cboDrives.Items, expected) << c.hidden;
    EXPECT_EQ(list->ItemMap(), c.map) << c.hidden;
    EXPECT_EQ(list->DetectedDrives(), detected) << c.hidden;
    EXPECT_EQ(list->cboDrives.ItemIndex, c.selected) << c.hidden;
    EXPECT_TRUE(list->cboDrives.Enabled) << c.hidden;
  }
  // The verdicts are the eligibility check's, written into the table.
  EXPECT_TRUE(table[0].bEligible);
  EXPECT_FALSE(table[1].bEligible);
  EXPECT_EQ(table[2].imageIndex, 1);
}

TEST_F(DriveList, WithoutAnEligibleDriveItemZeroSaysItMayNotBeUpdated) {
  Machine("");
  Drives({Drive("OTHER SSD", "OT01"), Drive("OTHER SSD", "OT02")});
  for (int language : {0, 1}) {
    config.iLanguage = language;
    list->lblNewFW.Visible = list->lblOldFW.Visible = list->lblTo.Visible = true;
    RefreshAndSelect();
    EXPECT_EQ(list->cboDrives.ItemIndex, 0);
    EXPECT_EQ(list->lblUpdateMsg.Caption, app::Text(app::kNotAllowed, language));
    EXPECT_EQ(list->lblUpdateMsg.Color, 128u);
    EXPECT_FALSE(list->cmdUpdate.Enabled);
    EXPECT_FALSE(list->lblNewFW.Visible || list->lblOldFW.Visible || list->lblTo.Visible);
    EXPECT_EQ(list->SelectedSerial(), "SN-OT01");
  }
  EXPECT_EQ(app::Text(app::kNotAllowed, 0), "This drive is not allowed to be updated.");
  // The Big5 text as the code page has it: the second byte of its twelfth character is a
  // backslash, which the source must not take for an escape.
  const std::vector<std::uint8_t> big5 = {0xB1, 0x7A, 0xA9, 0xD2, 0xBF, 0xEF, 0xBE, 0xDC, 0xB3,
                                          0x6F, 0xA5, 0x78, 0xB8, 0xCB, 0xB8, 0x6D, 0xA8, 0xC3,
                                          0xA4, 0xA3, 0xA4, 0xB9, 0xB3, 0x5C, 0xB3, 0x51, 0xA7,
                                          0xF3, 0xB7, 0x73, 0xB6, 0xB4, 0xC5, 0xE9, 0x20, 0x21};
  EXPECT_EQ(app::Text(app::kNotAllowed, 1), std::string(big5.begin(), big5.end()));
}

TEST_F(DriveList, AnEligibleDriveShowsItsRevisionsAndTheImageItTakes) {
  Machine("");
  // Its third revision character is its own: the derived target keeps it.
  Drives({Drive("OTHER SSD", "OT01"), Drive("CORVANE K5 1TB", "K57B0100")});
  list->lblNewFW.Visible = false;
  list->cboDrives.Visible = false;
  RefreshAndSelect();
  EXPECT_EQ(list->cboDrives.ItemIndex, 1);
  EXPECT_EQ(list->lblUpdateMsg.Caption, "It will be updated from");
  EXPECT_EQ(list->lblUpdateMsg.Color, app::kColorBlack);
  EXPECT_TRUE(list->cmdUpdate.Enabled);
  EXPECT_TRUE(list->lblNewFW.Visible && list->lblOldFW.Visible && list->lblTo.Visible);
  EXPECT_EQ(list->lblOldFW.Caption, "K57B0100");
  EXPECT_EQ(list->lblNewFW.Caption, "K5TB0300");
  EXPECT_EQ(list->lblFWExt.Caption, "K57B0300");
  EXPECT_FALSE(list->lblFWExt.Visible);
  EXPECT_EQ(list->CurrentImage(), 1);
  EXPECT_EQ(list->SelectedSerial(), "SN-K57B0100");
  EXPECT_EQ(list->SelectedInstanceId(), "SCSI\\DISK&VEN_&PROD_K57B0100\\4&1&0");
  // The show handler ran: the normal layout, stage idle, progress at its start.
  EXPECT_TRUE(list->cboDrives.Visible);
  EXPECT_EQ(updateState, 0);
  EXPECT_EQ(list->lblPercent.Caption, "0%");
  EXPECT_EQ(timer2->Interval(), 100u);
  EXPECT_FALSE(timer1->Enabled());

  config.iLanguage = 1;
  list->cboDrivesChange();
  EXPECT_EQ(list->lblUpdateMsg.Caption, app::kUpdateFrom.big5);
}

// A list that lost its items, a count the table cannot hold, or a start-up without a device
// object: nothing is read past the table and the labels stay as they were.
TEST_F(DriveList, SelectionWithoutADriveOrDeviceObjectChangesNothing) {
  Drives({Drive(kModel, "K5FW0100")});
  list->lblUpdateMsg.Caption = "before";
  RefreshAndSelect();  // no device object: no verdicts either
  EXPECT_FALSE(table[0].bEligible);
  EXPECT_EQ(list->cboDrives.ItemIndex, 0);
  EXPECT_EQ(list->lblUpdateMsg.Caption, "before");

  Machine("");
  count = 0;
  list->cboDrives.Enabled = false;
  RefreshAndSelect();
  EXPECT_TRUE(list->cboDrives.Items.empty());
  EXPECT_FALSE(list->cboDrives.Enabled);
  EXPECT_EQ(list->lblUpdateMsg.Caption, "before");

  std::vector<DevInfo> full(discovery::kMaxDrives, Drive("OTHER SSD", "OT01"));
  full.back() = Drive(kModel, "K5FW0100");
  Drives(full);
  count = 40;
  RefreshAndSelect();
  EXPECT_EQ(list->cboDrives.Items.size(), std::size_t(discovery::kMaxDrives));
  EXPECT_EQ(list->cboDrives.ItemIndex, discovery::kMaxDrives - 1);
  list->cboDrives.ItemIndex = discovery::kMaxDrives;
  list->lblUpdateMsg.Caption = "before";
  list->cboDrivesChange();
  EXPECT_EQ(list->lblUpdateMsg.Caption, "before");
}

// How the drive was found decides what SelectPort opens; the simulated drivers journal the
// path each CreateFileA names.
TEST_F(DriveList, TheSelectedDriveIsBoundAsItWasFound) {
  using transport_test::Disk;
  Machine(std::string(transport_test::kController) + Disk("SSD0", 0) + Disk("SSD1", 1));
  const std::string disk1 = fw::FieldText(device->DriveAt(1)->devicePath);
  ASSERT_FALSE(disk1.empty());
  struct Case {
    const char* name;
    int scanType;
    bool updaterMode;
    std::string targetPath;
    bool nvme, irst;
    std::string opened;
    int kind;
    std::uint8_t phy = 0, port = 0;
    std::uint64_t sasAddress = 0;
  } cases[] = {
      {"ATA", 0, false, "", false, false, disk1, transport::kKindAtaPassThrough},
      {"ATA by /T:", 0, true, "\\\\.\\PhysicalDrive1", false, false, "\\\\.\\PhysicalDrive1",
       transport::kKindAtaPassThrough},
      {"NVMe behind RST", 0, false, "", true, true, "\\\\.\\Scsi2:", transport::kKindNvme},
      {"inbox NVMe", 0, false, "", true, false, "\\\\?\\own-path", transport::kKindNvme},
      {"CSMI", 1, false, "", false, false, "\\\\.\\SCSI1:", transport::kKindCsmi, 4, 3,
       0x0807060504030201},
      {"CSMI, updater mode", 1, true, "", false, false, "\\\\.\\SCSI5:", transport::kKindCsmi, 6, 7,
       0x1122334455667788},
  };
  for (const Case& c : cases) {
    discovery::gScanType = c.scanType;
    config.bUpdaterMode = c.updaterMode;
    arguments.sTargetPath = c.targetPath;
    csmi = {5, 0x1122334455667788, 6, 7};  // as "/C:5,8877665544332211" would leave it
    DevInfo d = Drive(kModel, "K5FW0100", 1);
    d.bIsNvme = c.nvme;
    d.bIsNVMe_IrstDriver = c.irst;
    d.bIsNVMe_InBoxDriver = c.nvme && !c.irst;
    d.PortNumber = 2;
    fw::SetPath(d.devicePath, "\\\\?\\own-path");
    d.scsi_index = 4;
    d.csmi_port = 3;
    d.SAS_ADDR = 0x0807060504030201;
    Drives({d});
    const std::size_t mark = pc.Journal().size();
    RefreshAndSelect();
    std::string opened;
    for (std::size_t i = mark; i < pc.Journal().size() && opened.empty(); ++i)
      if (pc.Journal()[i].rfind("CreateFileA ", 0) == 0) opened = pc.Journal()[i];
    EXPECT_EQ(opened, "CreateFileA \"" + c.opened + "\"") << c.name;
    EXPECT_EQ(device->GetTransportKind(), c.kind) << c.name;
    EXPECT_EQ(list->lblOldFW.Caption, "K5FW0100") << c.name;  // bound or not, the line is filled
    if (c.kind != transport::kKindCsmi) continue;
    EXPECT_EQ(device->CsmiPhy(), c.phy) << c.name;
    EXPECT_EQ(device->CsmiPort(), c.port) << c.name;
    std::array<std::uint8_t, 8> address;
    for (int i = 0; i < 8; ++i) address[std::size_t(i)] = std::uint8_t(c.sasAddress >> (8 * i));
    EXPECT_EQ(device->CsmiSasAddress(), address) << c.name;
    // A drive picked from the list is the one a rescan of the single target looks for.
    const discovery::TCsmiTarget expected =
        c.updaterMode ? discovery::TCsmiTarget{5, 0x1122334455667788, 6, 7}
                      : discovery::TCsmiTarget{1, 0x0807060504030201, 6, 7};
    EXPECT_EQ(csmi.SCSI_PORT, expected.SCSI_PORT) << c.name;
    EXPECT_EQ(csmi.SAS_ADDR, expected.SAS_ADDR) << c.name;
    EXPECT_EQ(csmi.INDEX, expected.INDEX) << c.name;
    EXPECT_EQ(csmi.PORT, expected.PORT) << c.name;
  }
}

TEST_F(DriveList, AVersionRunWritesTheVersionFileBesideTheExecutable) {
  Machine("");
  pc.moduleFileName = "D:\\tools\\upd.exe";
  pc.fileVersion = std::array<std::uint16_t, 4>{3, 1, 21, 0};
  arguments.bVersionOnly = true;
  struct Case {
    const char* name;
    DevInfo drive;
    bool denied;
    std::string file;
  } cases[] = {
      {"eligible", Drive(kModel, "K5FW0100"), false,
       "EXE_VERSION = 3.1.21.0\r\nCURRENT_FW = K5FW0100\r\nTARGET_FW = K5FW0200\r\n"},
      // Seven characters of the revision, trimmed.
      {"not eligible", Drive("OTHER SSD", " OLD9876"), false,
       "EXE_VERSION = 3.1.21.0\r\nCURRENT_FW = OLD987\r\nTARGET_FW = N/A\r\n"},
      {"folder not writable", Drive(kModel, "K5FW0100"), true, "<none>"},
  };
  for (const Case& c : cases) {
    pc.files.Remove("D:\\tools");
    pc.files.AddFile("D:\\tools\\upd.INI", std::vector<std::uint8_t>(300, 'x'));
    if (c.denied) {
      pc.files.Remove("D:\\tools\\upd.INI");
      pc.files.DenyWrites("D:\\tools");
    }
    Drives({c.drive});
    updateState = 7;
    list->lblOldFW.Caption.clear();
    RefreshAndSelect();
    EXPECT_EQ(VersionFile(), c.file) << c.name;
    EXPECT_EQ(pc.files.OpenFiles(), 0) << c.name;
    EXPECT_EQ(list->lblOldFW.Caption, table[0].bEligible ? "K5FW0100" : "") << c.name;
    EXPECT_EQ(updateState, 7) << c.name;  // a version run stops before the show handler
  }
}

TEST_F(DriveList, UpdaterModeFillsThePanelAndOnlyTheShowHandlerArmsItsTimer) {
  Machine("");
  config.bUpdaterMode = true;
  Drives({Drive(kModel, "K5FW0100")});
  list->Label3.Width = 120;
  list->Label2.Width = 50;
  list->Label4.Width = 110;
  RefreshAndSelect();
  EXPECT_EQ(list->Label5.Caption, kModel + std::string(24, ' '));
  EXPECT_EQ(list->Label6.Caption, "K5FW0100");
  EXPECT_EQ(list->Label7.Caption, "K5FW0200");
  EXPECT_FALSE(timer1->Enabled());
  EXPECT_FALSE(list->Panel1.Visible);
  EXPECT_TRUE(list->cboDrives.Visible);

  list->lblUpdateMsg.Top = 100;
  list->lblUpdateMsg.Height = 20;
  list->lblTo.Height = 12;
  list->FormShow();
  EXPECT_TRUE(timer1->Enabled());
  EXPECT_FALSE(list->cboDrives.Visible);
  EXPECT_TRUE(list->Panel1.Visible);
  EXPECT_FALSE(list->Image1.Visible);
  EXPECT_EQ(list->FormHeight, app::kUpdaterFormHeight);
  EXPECT_EQ(list->Label2.Left, 86);  // both end where "Current FW Version :" ends
  EXPECT_EQ(list->Label4.Left, 26);
  EXPECT_EQ(list->lblTo.Top, 104);  // centred on the message
  EXPECT_EQ(list->lblNewFW.Top, 100);
}

}  // namespace
