// Whole runs from the device object to the drive list: the administrator check, the scan and
// the version run, on a simulated PC with a release.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "app/frmTravok.h"
#include "app/texts.h"
#include "sim/machine/machine_toml.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"
#include "tests/unit/transport/transport_fixture.h"

namespace {

using namespace testing_support;

// One SATA drive on the AHCI controller, one revision below the release's target.
std::string OneSataDrive() {
  return std::string(transport_test::kController) +
         transport_test::Disk("K5", 0, "",
                              "[disk.ata]\nmodel = \"CORVANE K5 512GB\"\nfirmware = \"K5FW0100\"\n"
                              "serial = \"CVK5A0001\"\n");
}

class StartUpScan : public ::testing::Test {
 protected:
  void SetUp() override { Load(Pack(SmallRelease())); }
  int Run(const std::string& machine, const std::string& arguments = "") {
    pc.Reset();
    sim::LoadMachine(pc, machine, "test");
    pc.system.administrator = administrator;
    pc.fileVersion = std::array<std::uint16_t, 4>{3, 2, 0, 1};
    pc.files.AddDirectory("C:\\Program Files\\Travok");
    pc.commandLine = "\"" + pc.moduleFileName + "\"" + (arguments.empty() ? "" : " " + arguments);
    return sim::RunProgram(pc, [this](const app::TTravokMain& main) {
      stopUpdate = main.StopUpdate();
      scanned = main.AtaDevice() != nullptr;
      items = main.DriveList().cboDrives.Items;
    });
  }
  bool Journaled(const std::string& call) const {
    return std::any_of(pc.Journal().begin(), pc.Journal().end(),
                       [&](const std::string& e) { return e.rfind(call, 0) == 0; });
  }
  std::string File(const std::string& path) const {
    const auto* bytes = pc.files.Contents(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "<none>";
  }

  sim::SimPc pc;
  bool administrator = true;
  bool stopUpdate = false, scanned = false;
  std::vector<std::string> items;
};

TEST_F(StartUpScan, WithoutAdministratorRightsTheRunEndsWith1BeforeAnyDriveIsOpened) {
  administrator = false;
  EXPECT_EQ(Run(OneSataDrive(), "/S"), 1);
  EXPECT_TRUE(scanned);  // the device object exists, its table built
  EXPECT_TRUE(items.empty());
  EXPECT_TRUE(pc.devices.Find(transport_test::DiskId("K5"))->disk->ata->Records().empty());
  EXPECT_TRUE(pc.MessageBoxes().empty());  // silent, and the package lets no message through
}

TEST_F(StartUpScan, TheAccessDeniedBoxSpeaksThePackageLanguageWhenMessagesAreLetThrough) {
  administrator = false;
  for (int language : {0, 1}) {
    auto file = Pack(SmallRelease());
    SetOptionByte(file, package::kOptLanguage, std::uint8_t(language));
    SetOptionPosition(file, 25, '1');
    Load(file);
    EXPECT_EQ(Run(OneSataDrive()), 1);
    ASSERT_EQ(pc.MessageBoxes().size(), 1u);
    EXPECT_EQ(pc.MessageBoxes()[0].text, app::Text(app::kAccessDenied, language));
    EXPECT_EQ(pc.MessageBoxes()[0].caption, app::Text(app::kErrorCaption, language));
    EXPECT_EQ(pc.MessageBoxes()[0].type, os::kMB_OK | os::kMB_ICONERROR);
  }
  EXPECT_EQ(std::string(app::kAccessDenied.english),
            "Access denied ! You must have administrator privilege to flash SSD.");
}

TEST_F(StartUpScan, NoDriveEndsWith2Or3InUpdaterModeWithoutAWord) {
  EXPECT_EQ(Run(""), 2);
  EXPECT_TRUE(pc.MessageBoxes().empty());
  EXPECT_EQ(discovery::gCount, 0);
  EXPECT_EQ(discovery::gScanType, 1);  // the CSMI controllers were asked too
  EXPECT_TRUE(Journaled("CreateFileA \"\\\\.\\SCSI0:\""));

  auto release = SmallRelease();
  release.optionDigits[20 - 2] = '1';
  Load(Pack(release));
  EXPECT_EQ(Run("", "/T:\\\\?\\scsi#disk&ven_corvane#none"), 3);
  EXPECT_TRUE(pc.MessageBoxes().empty());
  EXPECT_EQ(discovery::gScanType, 0);  // a named target has no fall-back
  EXPECT_FALSE(Journaled("CreateFileA \"\\\\.\\SCSI0:\""));
}

TEST_F(StartUpScan, AVersionRunListsTheDriveWritesTheVersionFileAndEndsWith0) {
  EXPECT_EQ(Run(OneSataDrive(), "/VER"), 0);
  EXPECT_TRUE(stopUpdate);
  EXPECT_EQ(discovery::gCount, 1);
  EXPECT_EQ(items, std::vector<std::string>{"(S)  0-0-0-0 CORVANE K5 512GB K5FW0100"});
  EXPECT_EQ(File("C:\\Program Files\\Travok\\travok.INI"),
            "EXE_VERSION = 3.2.0.1\r\nCURRENT_FW = K5FW0100\r\nTARGET_FW = K5FW0200\r\n");
  EXPECT_TRUE(pc.MessageBoxes().empty());
}

}  // namespace
