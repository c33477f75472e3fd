// Whole runs of the program on a simulated PC, from the process entry to the exit code.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/frmTravok.h"
#include "app/texts.h"
#include "package/package_area.h"
#include "package/package_layout.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"

namespace {

using namespace testing_support;

class StartUp : public ::testing::Test {
 protected:
  int Run(const std::string& arguments = "") {
    pc.commandLine =
        "\"C:\\Program Files\\Travok\\travok.exe\"" + (arguments.empty() ? "" : " " + arguments);
    return sim::RunProgram(pc, [this](const app::TTravokMain& main) {
      caption = main.Caption();
      config = main.Config();
      stopUpdate = main.StopUpdate();
      targetPath = main.TargetPath();
      csmi = main.CsmiTargetRecord();
      const app::TDriveList& list = main.DriveList();
      labels = {main.Label1.Caption, list.lblUpdateMsg.Caption, list.lblTo.Caption,
                main.lblMsg.Caption, list.cmdUpdate.Caption,    main.cmdClose.Caption};
      mainVisible = main.Visible();
      closeInterval = main.tmrCloseMsg.Interval();
      closeEnabled = main.tmrCloseMsg.Enabled();
    });
  }
  bool Journaled(const std::string& call) const {
    return std::any_of(pc.Journal().begin(), pc.Journal().end(),
                       [&](const std::string& e) { return e.rfind(call, 0) == 0; });
  }
  const sim::SimWindow& MainWindow() const { return *pc.LastWindowOfClass("TfrmTravok"); }

  sim::SimPc pc;
  std::string caption, targetPath;
  package::PackageConfig config;
  bool stopUpdate = false, mainVisible = true, closeEnabled = true;
  std::uint32_t closeInterval = 0;
  discovery::TCsmiTarget csmi;
  std::vector<std::string> labels;
};

pack::Release UpdaterRelease() {
  auto release = SmallRelease();
  release.optionDigits[20 - 2] = '1';
  return release;
}

TEST_F(StartUp, AnEmptyPackageEndsWith4AndSaysNothingWhenSilent) {
  sim::RestoreOwnPackage();
  EXPECT_EQ(Run("/S"), 4);
  EXPECT_TRUE(pc.MessageBoxes().empty());
  EXPECT_FALSE(Journaled("CreateFileA"));
  EXPECT_FALSE(mainVisible);
  EXPECT_FALSE(pc.Idled());  // the run ended by itself
}

TEST_F(StartUp, SilentMessagesLetTheNoFirmwareErrorThroughInThePackageLanguage) {
  for (int language : {0, 1}) {
    auto file = Pack(SmallRelease());
    SetOptionByte(file, package::kOptImageCount, 0);
    SetOptionByte(file, package::kOptLanguage, std::uint8_t(language));
    SetOptionPosition(file, 25, '1');
    Load(file);
    pc.Reset();
    EXPECT_EQ(Run(), 4);
    ASSERT_EQ(pc.MessageBoxes().size(), 1u);
    EXPECT_EQ(pc.MessageBoxes()[0].text, app::Text(app::kNoFirmware, language));
    EXPECT_EQ(pc.MessageBoxes()[0].caption, "Error");
    EXPECT_EQ(pc.MessageBoxes()[0].type, os::kMB_OK | os::kMB_ICONERROR);
  }
}

TEST_F(StartUp, ADamagedImageTableCountsAsNoFirmware) {
  auto file = Pack(SmallRelease());
  SetOptionByte(file, package::kOptImageCount, 16);
  Load(file);
  EXPECT_EQ(Run(), 4);

  file = Pack(SmallRelease());
  const char* oversize = "0002097153";
  std::copy(oversize, oversize + 10,
            file.begin() + std::ptrdiff_t(package::ImageSizeEntry(1) + package::kNumberKeySize));
  Load(file);
  EXPECT_EQ(Run(), 4);
}

TEST_F(StartUp, AnOptionPositionWithoutADigitEndsWith255AfterTheErrorBox) {
  struct Case {
    int position;
    bool captionSet;  // positions 24 to 26 are read after the caption
  };
  for (const Case& k : {Case{2, false}, Case{27, false}, Case{24, true}, Case{26, true}}) {
    auto file = Pack(SmallRelease());
    SetOptionPosition(file, k.position, ' ');
    Load(file);
    pc.Reset();
    EXPECT_EQ(Run("/S"), 255) << k.position;
    ASSERT_EQ(pc.MessageBoxes().size(), 1u) << k.position;
    EXPECT_NE(pc.MessageBoxes()[0].text.find("' ' is not a valid"), std::string::npos);
    EXPECT_EQ(pc.MessageBoxes()[0].caption, "travok");
    EXPECT_EQ(MainWindow().text.empty(), !k.captionSet) << k.position;
    EXPECT_FALSE(Journaled("OpenMutexA"));  // nothing after the parse ran
  }
}

TEST_F(StartUp, UpdaterModeWithoutAUsableTargetEndsWith2Or8BeforeTheInstanceCheck) {
  struct Case {
    const char* arguments;
    int exitCode;
  };
  const Case cases[] = {
      {"", 2},     {"/S", 2},      {"/t:\\\\?\\scsi#disk&ven_corvane#1", 2}, {"/T:", 2},
      {"/C:3", 8}, {"/C:x,01", 8}, {"/T:\\\\?\\scsi#disk /C:3,01GG", 8},
  };
  Load(Pack(UpdaterRelease()));
  for (const auto& c : cases) {
    pc.Reset();
    EXPECT_EQ(Run(c.arguments), c.exitCode) << c.arguments;
    EXPECT_TRUE(stopUpdate) << c.arguments;
    EXPECT_TRUE(pc.MessageBoxes().empty()) << c.arguments;
    EXPECT_FALSE(Journaled("OpenMutexA")) << c.arguments;
  }
}

TEST_F(StartUp, UpdaterModeTakesTheCsmiTargetAndGreysClose) {
  Load(Pack(UpdaterRelease()));
  Run("/C:3,0123456789ABCDEF");
  EXPECT_EQ(discovery::gScanType, 1);
  EXPECT_EQ(csmi.SCSI_PORT, 3);
  EXPECT_EQ(csmi.SAS_ADDR, 0xEFCDAB8967452301u);
  EXPECT_EQ(caption, "Updating firmware");
  EXPECT_EQ(MainWindow().style & os::kWS_SYSMENU, 0u);
  EXPECT_EQ(MainWindow().grayedMenuItems.count(os::kSC_CLOSE), 1u);
  EXPECT_FALSE(stopUpdate);

  pc.Reset();
  Run("\"/T: \\\\?\\scsi#disk&ven_corvane#4&1b2c#0 \"");
  EXPECT_EQ(discovery::gScanType, 0);
  EXPECT_EQ(targetPath, "\\\\?\\scsi#disk&ven_corvane#4&1b2c#0");
}

TEST_F(StartUp, APlainPackageGetsTitleCaptionSystemMenuAndItsLanguage) {
  auto release = SmallRelease();
  release.language = 1;
  Load(Pack(release));
  Run();
  EXPECT_EQ(caption, "Corvane Travok Utility for Windows (v3.2.0.1)");
  EXPECT_NE(MainWindow().style & os::kWS_SYSMENU, 0u);
  EXPECT_EQ(MainWindow().grayedMenuItems.count(os::kSC_CLOSE), 0u);
  EXPECT_FALSE(mainVisible);  // silent mode whatever the command line says
  EXPECT_TRUE(Journaled("CreateMutexA \"ORMSBY_SCCM_TOOL_MUTEX\""));
  EXPECT_FALSE(pc.MutexExists(app::kSingleInstanceMutex));  // released when the process ends
  EXPECT_EQ(labels[0], app::kLabel1.big5);
  EXPECT_EQ(labels[5], app::kClose.big5);

  release.language = 0;
  Load(Pack(release));
  Run();
  const std::vector<std::string> english = {
      "Please select target device", "it will be updated from", "To", "Message", "Update", "Close"};
  EXPECT_EQ(labels, english);
}

TEST_F(StartUp, TheCloseTimerWaitsTheSecondsOfThePackageAndStaysOffUntilAMessage) {
  // Neither 1 nor 2: the framework's and the form's own intervals would pass unset.
  for (char seconds : {'0', '5', '9'}) {
    auto file = Pack(SmallRelease());
    SetOptionPosition(file, 26, seconds);
    Load(file);
    pc.Reset();
    Run();
    EXPECT_EQ(closeInterval, std::uint32_t(seconds - '0') * 1000) << seconds;
    EXPECT_FALSE(closeEnabled) << seconds;
  }
}

TEST_F(StartUp, ASecondInstanceBringsTheFirstToTheFrontAndEndsWith11) {
  Load(Pack(SmallRelease()));
  pc.AddForeignMutex(app::kSingleInstanceMutex);
  const os::Hwnd first = pc.AddForeignWindow("TApplication", "travok", /*iconic=*/true);
  EXPECT_EQ(Run("/S"), 11);
  EXPECT_FALSE(pc.Window(first)->iconic);
  EXPECT_EQ(pc.TopWindow(), first);
  EXPECT_EQ(pc.ForegroundWindow(), first);
  EXPECT_FALSE(Journaled("CreateMutexA"));
  EXPECT_FALSE(Journaled("CreateFileA"));
  EXPECT_EQ(pc.LastWindowOfClass("TApplication")->text, "");  // cleared before the search
  EXPECT_FALSE(mainVisible);
  EXPECT_TRUE(pc.MessageBoxes().empty());
}

}  // namespace
