// What the boot-time hand-off leaves for the next boot: the flasher's patched settings and the
// boot-execute list, read back as bytes.
#include "app/boot_handoff.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/message_boxes.h"
#include "devices/dev_mgr.h"
#include "os/os.h"
#include "package/fw_image.h"
#include "sim/sim_pc.h"
#include "tests/support/release.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
std::string Str(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

// Placeholders as a flasher carries them: each key with dots for room.
const std::string kFlasher =
    "MZ..UPDATEBOOT=.|B_PREFORMAT=.|A_PREFORMAT=.|PROTOCOL=..|SSDREBOOT=.|_____FW=........|"
    "_FW_EXT=........|DRIVECOUNT=....|VENDID1=........................................|"
    "FW1=........|SN1=....................|SN1=....................|end";

TEST(FlasherSettings, EachKeyGetsItsValueAfterItsFirstOccurrenceOnly) {
  Bytes flasher = Text(kFlasher);
  app::TFlasherSettings s;
  s.bootcode = true;
  s.preformatBefore = false;
  s.preformatAfter = true;
  s.reboot = true;
  s.transportKind = 16;
  s.target = "EXB2A10";
  s.targetExt = "EXB2A10";
  s.model = "Travok SSD 512GB";
  s.firmware = "EXB1A00";
  s.serial = "12345678901234";  // 14 characters
  app::PatchFlasherSettings(flasher, s);
  const std::string out = Str(flasher);
  EXPECT_NE(out.find("UPDATEBOOT=1|"), std::string::npos) << out;
  EXPECT_NE(out.find("B_PREFORMAT=0|"), std::string::npos) << out;
  EXPECT_NE(out.find("A_PREFORMAT=1|"), std::string::npos) << out;
  EXPECT_NE(out.find("PROTOCOL=16|"), std::string::npos) << out;
  EXPECT_NE(out.find("SSDREBOOT=1|"), std::string::npos) << out;
  EXPECT_NE(out.find("_____FW=EXB2A10.|"), std::string::npos) << out;
  EXPECT_NE(out.find("DRIVECOUNT=0001|"), std::string::npos) << out;
  EXPECT_NE(out.find("VENDID1=Travok SSD 512GB........................|"), std::string::npos)
      << out;
  EXPECT_NE(out.find("FW1=EXB1A00.|"), std::string::npos) << out;
  // 14 bytes overwritten, the rest of the room as it was; the second SN1= untouched.
  EXPECT_NE(out.find("SN1=12345678901234......|SN1=....................|end"), std::string::npos)
      << out;
  EXPECT_EQ(flasher.size(), kFlasher.size());
}

TEST(FlasherSettings, MissingKeysAreSkippedAndValuesStopAtTheEnd) {
  Bytes flasher = Text("MZ no settings here FW1=");
  app::TFlasherSettings s;
  s.firmware = "EXB1A00";
  s.serial = "SERIAL";
  app::PatchFlasherSettings(flasher, s);
  EXPECT_EQ(Str(flasher), "MZ no settings here FW1=");  // no room after the key: nothing
  Bytes partial = Text("xxFW1=ab");
  app::PatchFlasherSettings(partial, s);
  EXPECT_EQ(Str(partial), "xxFW1=EX");
}

TEST(FlasherSettings, BaseNameIsWhatComesBeforeTheFirstExe) {
  EXPECT_EQ(app::FlasherBaseName("NtKavlo.exe"), "NtKavlo");
  EXPECT_EQ(app::FlasherBaseName("NtKavlo.EXE.exe"), "NtKavlo");
  EXPECT_EQ(app::FlasherBaseName("NtKavlo"), "NtKavlo");
}

class BootExecute : public ::testing::Test {
 protected:
  void SetUp() override {
    os::Install(&pc);
    pc.system.registry.AddKey(app::kSessionManagerKey);
    pc.system.registry.SetValue(app::kSessionManagerKey, "BootExecute",
                                {os::kREG_MULTI_SZ, Text(std::string("old entry\0\0", 11))});
  }
  void TearDown() override { os::Install(nullptr); }
  sim::SimPc pc;
};

TEST_F(BootExecute, ReplacesTheListWithExactlyTheTwoEntries) {
  EXPECT_EQ(app::RegisterBootExecute("NtKavlo", "FW.bin"), app::kHandOffDone);
  const auto* value = pc.system.registry.GetValue(app::kSessionManagerKey, "BootExecute");
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->type, os::kREG_MULTI_SZ);
  EXPECT_EQ(value->data, Text(std::string("autocheck autochk *\0NtKavlo FW.bin\0\0", 36)));
  EXPECT_EQ(pc.system.OpenRegistryKeys(), 0u);
}

TEST_F(BootExecute, AKeyThatDoesNotOpenOrTakeTheValueIsAFailure) {
  pc.system.registry.MakeUnwritable(app::kSessionManagerKey);
  EXPECT_EQ(app::RegisterBootExecute("NtKavlo", "FW.bin"), app::kHandOffBootExecFailed);
  pc.system.registry.MakeUnopenable(app::kSessionManagerKey);
  EXPECT_EQ(app::RegisterBootExecute("NtKavlo", "FW.bin"), app::kHandOffBootExecFailed);
  EXPECT_EQ(Str(pc.system.registry.GetValue(app::kSessionManagerKey, "BootExecute")->data),
            std::string("old entry\0\0", 11));
  EXPECT_EQ(pc.system.OpenRegistryKeys(), 0u);
}

// The whole hand-off on 64-bit Windows 10: the image, the patched flasher of slot 10, the
// boot-execute entry, the copy program of slot 13 started hidden, and the restart question.
class HandOff : public ::testing::Test {
 protected:
  void SetUp() override {
    os::Install(&pc);
    pc.system.registry.AddKey(app::kSessionManagerKey);
    pack::Release release = testing_support::BootTimeRelease(1000);
    release.programs[9]->bytes = Text("MZ PROTOCOL=.. SN1=....................");
    testing_support::Load(testing_support::Pack(release));
    if (emptyFlasher)  // the size string of slot 10 says 0, as in the unfilled template
      std::memcpy(
          package::PackageArea() + package::ProgramSizeOffset(10) + std::strlen("WIN7_X64_SIZE="),
          "0000000000", 10);
    package::ParseLeadingOptions(package::PackageArea(), config);
    package::ParseTrailingOptions(package::PackageArea(), config);
    package::LoadFwImage(package::FwBuffer(buffer.data(), package::kImageBufferSize),
                         package::PackageArea(), config, 0, context);
    std::memcpy(drive.serial, "SER123", 6);
  }
  void TearDown() override { os::Install(nullptr); }
  int Run(bool silent) {
    fw::TForm owner("TfrmTravok", "Travok");
    transport::TAtaDevice device({});
    app::THandOffRequest request{owner,
                                 device,
                                 drive,
                                 config,
                                 package::PackageArea(),
                                 [&] { device.SetTransportKind(16); },
                                 "K5FW0200",
                                 "K5FW0200",
                                 silent};
    return app::RunBootHandOff(request);
  }
  bool emptyFlasher = false;
  sim::SimPc pc;
  package::PackageConfig config;
  Bytes buffer = Bytes(package::kImageBufferSize);
  package::AesContext context;
  discovery::DevInfo drive{};
};

TEST_F(HandOff, LeavesTheImageTheFlasherAndTheEntryAndAsksForTheRestart) {
  pc.ScriptAnswer(os::kIDYES);
  EXPECT_EQ(Run(true), app::kHandOffDone);
  const Bytes* image = pc.files.Contents("C:\\Windows\\SysWOW64\\FW.bin");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(*image, Bytes(buffer.begin(), buffer.begin() + 1024));  // gBinSize, deciphered
  const Bytes* flasher = pc.files.Contents("C:\\Windows\\SysWOW64\\NtKavlo.exe");
  ASSERT_NE(flasher, nullptr);
  EXPECT_EQ(Str(*flasher), "MZ PROTOCOL=16 SN1=SER123..............");
  EXPECT_NE(pc.system.registry.GetValue(app::kSessionManagerKey, "BootExecute"), nullptr);
  ASSERT_EQ(pc.processes.ShellStarts().size(), 1u);
  EXPECT_EQ(pc.processes.ShellStarts()[0].parameters, "/c C:\\Windows\\SysWOW64\\CopyFile.exe");
  EXPECT_EQ(pc.processes.ShellStarts()[0].showCmd, os::kSW_HIDE);
  ASSERT_EQ(pc.MessageBoxes().size(), 1u);  // silent: only the question
  EXPECT_EQ(pc.MessageBoxes()[0].text, app::kHandOffRestartQuestion);
  EXPECT_EQ(pc.system.Restarts().size(), 1u);
}

TEST_F(HandOff, FailuresLeaveNothingRegistered) {
  pc.files.DenyWrites("C:\\Windows\\SysWOW64\\FW.bin");
  EXPECT_EQ(Run(false), 0);
  ASSERT_EQ(pc.MessageBoxes().size(), 1u);
  EXPECT_EQ(pc.MessageBoxes()[0].text, app::kImageWriteFailed);
  EXPECT_FALSE(pc.files.Exists("C:\\Windows\\SysWOW64\\NtKavlo.exe"));

  pc.Reset();
  emptyFlasher = true;  // the package holds no flasher for this Windows
  SetUp();
  EXPECT_EQ(Run(true), app::kHandOffFlasherFailed);
  EXPECT_TRUE(pc.files.Exists("C:\\Windows\\SysWOW64\\FW.bin"));
  EXPECT_FALSE(pc.files.Exists("C:\\Windows\\SysWOW64\\NtKavlo.exe"));
  // The list Windows had stays as it was.
  const auto* bootExecute = pc.system.registry.GetValue(app::kSessionManagerKey, "BootExecute");
  ASSERT_NE(bootExecute, nullptr);
  EXPECT_EQ(Str(bootExecute->data), std::string("autocheck autochk *\0\0", 21));
  EXPECT_TRUE(pc.MessageBoxes().empty());
  EXPECT_TRUE(pc.system.Restarts().empty());
}

}  // namespace
