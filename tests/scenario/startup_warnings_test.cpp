// Whole runs past the scan: no eligible drive, the warnings before the update, the system menu
// and the silent update or the armed automatic run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/frmTravok.h"
#include "app/texts.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"
#include "tests/unit/transport/transport_fixture.h"

namespace {

using namespace testing_support;

std::string SataDrive(const std::string& name, int target, const std::string& model) {
  return transport_test::Disk(name, target, "",
                              "[disk.ata]\nmodel = \"" + model +
                                  "\"\nfirmware = \"K5FW0100\"\nserial = \"SN" + name + "\"\n");
}

// Two drives; the small release takes only the first model unless a test widens it.
const std::string kMachine = std::string(transport_test::kController) +
                             SataDrive("K5", 0, "CORVANE K5 512GB") +
                             SataDrive("X9", 1, "OTHER SSD");

struct Options {
  int style = 0, language = 0;
  char noticeLevel = '0';
  bool hidden = false, autoMode = false, updater = false;
  std::string model = "CORVANE K5 512GB";  // the one model the release takes
};

class StartUpWarnings : public ::testing::Test {
 protected:
  int Run(const Options& o, const std::string& arguments = "") {
    auto release = SmallRelease();
    release.visualStyle = o.style;
    release.language = o.language;
    release.images[0].rows = {{"", "", o.model}};
    release.images[0].bytes = sim::MakeSimFirmwareImage(o.model, "K5FW0200", 4096);
    release.optionDigits[7 - 2] = o.noticeLevel;
    release.optionDigits[10 - 2] = o.hidden ? '1' : '0';
    release.optionDigits[5 - 2] = o.autoMode ? '1' : '0';
    release.optionDigits[20 - 2] = o.updater ? '1' : '0';
    Load(Pack(release));
    pc.Reset();
    sim::LoadMachine(pc, kMachine, "test");
    for (int answer : answers) pc.ScriptAnswer(answer);
    pc.commandLine = "\"" + pc.moduleFileName + "\"" + (arguments.empty() ? "" : " " + arguments);
    return sim::RunProgram(pc, [this](const app::TTravokMain& main) {
      stopUpdate = main.StopUpdate();
      noTargetText = main.NoTargetText();
      notice = main.NoticeMessage();
      autoArmed = main.AutoFlashArmed();
      updateEnabled = main.DriveList().cmdUpdate.Enabled;
    });
  }
  std::vector<std::string> Journaled(const std::string& call) const {
    std::vector<std::string> out;
    for (const auto& e : pc.Journal())
      if (e.rfind(call, 0) == 0) out.push_back(e);
    return out;
  }

  sim::SimPc pc;
  std::vector<int> answers;
  bool stopUpdate = false, autoArmed = false, updateEnabled = true;
  std::string noTargetText, notice;
};

constexpr const char* kListed =
    "Detected drives :\n(S)  0-0-0-0 CORVANE K5 512GB K5FW0100\n(S)  0-0-1-0 OTHER SSD K5FW0100\n";

TEST_F(StartUpWarnings, NoEligibleDriveEndsWith3AndTheTextHidesTheListOnlyInEnglish) {
  struct Case {
    int language;
    bool hidden;
    std::string text;
  } cases[] = {
      {0, false, std::string("No matched drives detected !\n") + kListed},
      {0, true, "No matched drives detected !\n"},
      // The list itself leaves the ineligible drives out.
      {1, true, std::string(app::kNoMatchedDrives.big5) + "Detected drives :\n"},
  };
  for (const Case& c : cases) {
    Options o;
    o.language = c.language;
    o.hidden = c.hidden;
    o.model = "NOT HERE";
    EXPECT_EQ(Run(o), 3) << c.text;
    EXPECT_TRUE(stopUpdate);
    EXPECT_EQ(noTargetText, c.text);
    EXPECT_TRUE(pc.MessageBoxes().empty());  // silent mode whatever the command line says
    EXPECT_TRUE(Journaled("RegCreateKeyExA").empty());
    EXPECT_TRUE(Journaled("RemoveMenu").empty());
  }
}

TEST_F(StartUpWarnings, DeploymentStyleMarksNoTargetDeviceKeyByKey) {
  Options o;
  o.style = 20;
  o.model = "NOT HERE";
  EXPECT_EQ(Run(o), 3);
  const std::vector<std::string> expected = {
      "RegCreateKeyExA \"SOFTWARE\\WOW6432NODE\\HALBROOK\" options 0x0 access 0x2001F",
      "RegCreateKeyExA \"SOFTWARE\\WOW6432NODE\\HALBROOK\\CORVANE\" options 0x0 access 0x2001F",
      "RegCreateKeyExA \"SOFTWARE\\WOW6432NODE\\HALBROOK\\CORVANE\\NOTARGETDEVICE\" options 0x0 "
      "access 0x2001F",
  };
  EXPECT_EQ(Journaled("RegCreateKeyExA"), expected);
  EXPECT_TRUE(
      pc.system.registry.HasKey("SOFTWARE\\WOW6432Node\\Halbrook\\Corvane\\NoTargetDevice"));
}

TEST_F(StartUpWarnings, TheStyle4WarningAsksEvenWhenSilentAndNoEndsWith11) {
  Options o;
  o.style = 4;
  answers = {os::kIDNO};
  EXPECT_EQ(Run(o, "/S"), 11);
  ASSERT_EQ(pc.MessageBoxes().size(), 1u);
  EXPECT_EQ(pc.MessageBoxes()[0].caption, "Warning");
  EXPECT_EQ(pc.MessageBoxes()[0].text, app::kStyle4Warning);
  EXPECT_EQ(pc.MessageBoxes()[0].type, os::kMB_TOPMOST | os::kMB_ICONINFORMATION | os::kMB_YESNO);
  EXPECT_FALSE(stopUpdate);
  EXPECT_TRUE(Journaled("RemoveMenu").empty());

  answers = {os::kIDYES};
  Run(o);
  EXPECT_EQ(pc.MessageBoxes().size(), 1u);
  EXPECT_TRUE(stopUpdate);  // the update ran
  const std::vector<std::string> removals(2, "RemoveMenu TfrmTravok 5 0x400");
  EXPECT_EQ(Journaled("RemoveMenu"), removals);
}

TEST_F(StartUpWarnings, TheNoticeListsTwoOrThreeItemsAndSilentModeKeepsItUnshown) {
  const std::string english =
      "This flash utility only supports Corvane K5 SSD.\n\nNOTICE : \n\n"
      "1> Please close all applications before running this utility !\n"
      "2> Don't turn off the system while flash is in progress. \n";
  const std::string third =
      "3> Don't remove the adapter and battery during F/W reflash processing. \n";
  const std::string& big5 = std::string(app::kNoticeBig5.supports) + "Corvane K5" +
                            app::kNoticeBig5.model + app::kNoticeBig5.notice +
                            app::kNoticeBig5.item1 + app::kNoticeBig5.item2 +
                            app::kNoticeBig5.item3 + app::kNoticeBig5.question;
  struct Case {
    int style, language;
    char level;
    std::string text;
  } cases[] = {
      {0, 0, '1', english + "\nDo you wish to continue ?"},
      {0, 0, '2', english + third + "\nDo you wish to continue ?"},
      {0, 1, '2', big5},
  };
  for (const Case& c : cases) {
    Options o;
    o.style = c.style;
    o.language = c.language;
    o.noticeLevel = c.level;
    EXPECT_EQ(Run(o), 0) << c.level;  // no box held the update back
    EXPECT_EQ(notice, c.text) << c.level;
    EXPECT_TRUE(pc.MessageBoxes().empty());
    EXPECT_TRUE(stopUpdate);
  }
}

}  // namespace
