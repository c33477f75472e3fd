#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, SwitchesMatchInAnyCaseAndSilentModeIsAlwaysOn) {
  auto cl = app::ReadCommandLine({"/ver", "/Erase", "/rste", "/LOGFILE=C:\\x.log", "stray"}, false);
  EXPECT_TRUE(cl.bVersionOnly);
  EXPECT_TRUE(cl.bEraseAll);
  EXPECT_TRUE(cl.bRSTeScan);
  EXPECT_TRUE(cl.bSilent);
  EXPECT_EQ(cl.iExitCode, 0);
  EXPECT_TRUE(app::ReadCommandLine({}, false).bSilent);
  EXPECT_TRUE(app::ReadCommandLine({"/raid"}, false).bRSTeScan);
  // Updater-mode arguments mean nothing outside updater mode.
  auto plain = app::ReadCommandLine({"/T:\\\\.\\PhysicalDrive1", "/C:x"}, false);
  EXPECT_EQ(plain.iExitCode, 0);
  EXPECT_EQ(plain.sTargetPath, "");
  EXPECT_FALSE(plain.bCsmiTarget);
}

struct UpdaterCase {
  Args args;
  int exitCode;
  std::string path;
};

TEST(CommandLine, UpdaterModeNeedsATarget) {
  const UpdaterCase cases[] = {
      {{}, 2, ""},
      {{"/S"}, 2, ""},
      {{"/t:\\\\?\\scsi#disk"}, 2, ""},  // lower case is not the switch
      {{"/T:"}, 2, ""},
      {{"/T:   "}, 2, ""},
      {{"/T: \\\\?\\scsi#disk#1 "}, 0, "\\\\?\\scsi#disk#1"},
      {{"/T:first", "/S", "/T:second"}, 0, "second"},
      {{"x/T:inner"}, 0, "inner"},
      {{"/C:0,00"}, 0, ""},
  };
  for (const auto& c : cases) {
    auto cl = app::ReadCommandLine(c.args, true);
    EXPECT_EQ(cl.iExitCode, c.exitCode) << ::testing::PrintToString(c.args);
    EXPECT_EQ(cl.sTargetPath, c.path) << ::testing::PrintToString(c.args);
  }
}

TEST(CommandLine, CsmiTargetAndItsMalformedForms) {
  auto cl = app::ReadCommandLine({"/C:3,0123456789ABCDEF"}, true);
  EXPECT_EQ(cl.iExitCode, 0);
  EXPECT_TRUE(cl.bCsmiTarget);
  EXPECT_EQ(cl.csmiTarget.SCSI_PORT, 3);
  EXPECT_EQ(cl.csmiTarget.SAS_ADDR, 0xEFCDAB8967452301u);
  EXPECT_EQ(cl.csmiTarget.INDEX, 0);
  EXPECT_EQ(cl.csmiTarget.PORT, 0);
  EXPECT_EQ(app::ReadCommandLine({"/C: 12 , 5000 "}, true).csmiTarget.SAS_ADDR, 0x0050u);

  for (const char* bad :
       {"/C:x,01", "/C:3", "/C:3,01G2", "/C:,01", "/C:3,0123456789ABCDEF01", "/C:99999999999,01",
        "x,/C:3,01"}) {  // the port ends at the argument's first comma: here it is empty
    auto malformed = app::ReadCommandLine({bad}, true);
    EXPECT_EQ(malformed.iExitCode, 8) << bad;
    EXPECT_TRUE(malformed.bCsmiTarget) << bad;  // the CSMI scan was chosen before the parse
  }
}

TEST(CommandLine, AddressBytesAreListedInMemoryOrder) {
  struct Case {
    const char* text;
    std::optional<std::uint64_t> value;
  };
  const Case cases[] = {
      {"", 0},
      {"01", 0x01},
      {"0102", 0x0201},
      {"123", 0x2301},  // the leftmost piece of an odd text has one character
      {"5000CCA0", 0xA0CC0050},
      {"ffFF", 0xFFFF},
      {"0123456789ABCDEF", 0xEFCDAB8967452301},
      {"0123456789ABCDEF0", std::nullopt},  // more than 64 bits
      {"0x12", std::nullopt},
      {"1 2", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(app::AddressFromHex(c.text), c.value) << c.text;
}

}  // namespace
