// The files of the boot-time path on the simulated PC: what lands where, the copy program's
// start, and the answers when Windows refuses a file.
#include "package/boot_files.h"

#include <gtest/gtest.h>

#include <vector>

#include "os/os.h"
#include "package/fw_image.h"
#include "package/package_area.h"
#include "sim/sim_pc.h"
#include "tests/support/release.h"

namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

class BootFiles : public ::testing::Test {
 protected:
  void SetUp() override { os::Install(&pc); }
  void TearDown() override { os::Install(nullptr); }

  // Loads a release with one image of `size` bytes, flashed from Windows.
  void LoadImage(std::size_t size) {
    Load(Pack(SmallRelease(size)));
    package::PackageConfig config;
    package::ParseLeadingOptions(package::PackageArea(), config);
    package::LoadFwImage(package::FwBuffer(buffer.data(), package::kImageBufferSize),
                         package::PackageArea(), config, 0, context);
  }

  sim::SimPc pc;
  Bytes buffer = Bytes(package::kImageBufferSize);
  package::AesContext context;
};

TEST_F(BootFiles, FwBinHoldsExactlyThePreparedImage) {
  for (const bool wow64 : {false, true}) {
    SCOPED_TRACE(wow64);
    pc.Reset();
    pc.system.wow64 = wow64;
    LoadImage(525313);
    ASSERT_TRUE(package::WriteImageFile());
    // Under WOW64 Windows redirects the system directory to SysWOW64.
    const Bytes* written = pc.files.Contents(wow64 ? "C:\\Windows\\SysWOW64\\FW.bin"
                                                   : "C:\\Windows\\system32\\FW.bin");
    ASSERT_NE(written, nullptr);
    EXPECT_EQ(written->size(), 525824u);
    EXPECT_TRUE(std::equal(written->begin(), written->end(), buffer.begin()));
    EXPECT_EQ(pc.files.OpenFiles(), 0);
  }
}

TEST_F(BootFiles, AnEmptyImageGivesAnEmptyFwBin) {
  pc.system.wow64 = false;
  LoadImage(100);
  package::gBinSize = 0;
  pc.files.AddFile("C:\\Windows\\system32\\FW.bin", Bytes(10, 1));  // an earlier run's
  ASSERT_TRUE(package::WriteImageFile());
  EXPECT_EQ(*pc.files.Contents("C:\\Windows\\system32\\FW.bin"), Bytes());
}

TEST_F(BootFiles, AFileWindowsRefusesAnswersFailure) {
  pc.system.wow64 = false;
  LoadImage(4096);
  pc.files.DenyWrites("C:\\Windows\\system32");
  EXPECT_FALSE(package::WriteImageFile());
  EXPECT_FALSE(package::WriteFlasherFile("C:\\Windows\\system32\\NtKavlo.exe", Bytes(8, 'M')));
  EXPECT_FALSE(pc.files.Exists("C:\\Windows\\system32\\FW.bin"));
  EXPECT_EQ(pc.files.OpenFiles(), 0);

  pc.files.systemDirectory = "";  // GetSystemDirectoryA fails
  EXPECT_FALSE(package::WriteImageFile());
  EXPECT_FALSE(pc.files.Exists("\\FW.bin"));
}

TEST_F(BootFiles, TheFlasherLandsWhereTheHandOffSays) {
  pc.system.wow64 = false;
  const Bytes flasher = {'M', 'Z', 0, 1, 2, 3};
  ASSERT_TRUE(package::WriteFlasherFile("C:\\Windows\\system32\\NtKavlo.exe", flasher));
  EXPECT_EQ(*pc.files.Contents("C:\\Windows\\system32\\NtKavlo.exe"), flasher);
}

TEST_F(BootFiles, TheCopyProgramIsWrittenAndStartedHiddenThroughCmd) {
  pc.files.windowsDirectory = "D:\\WIN";
  pc.files.AddDirectory("D:\\WIN\\SysWOW64");
  const Bytes program = {'M', 'Z', 9, 9};
  ASSERT_TRUE(package::StartCopyProgram(program));
  EXPECT_EQ(*pc.files.Contents("D:\\WIN\\SysWOW64\\CopyFile.exe"), program);
  ASSERT_EQ(pc.processes.ShellStarts().size(), 1u);
  const sim::ShellStart& start = pc.processes.ShellStarts()[0];
  EXPECT_EQ(start.operation, "open");
  EXPECT_EQ(start.file, "cmd.exe");
  EXPECT_EQ(start.parameters, "/c D:\\WIN\\SysWOW64\\CopyFile.exe");
  EXPECT_EQ(start.showCmd, os::kSW_HIDE);
  EXPECT_EQ(pc.files.OpenFiles(), 0);
}

// Whatever an earlier run left under the name would run in its place.
TEST_F(BootFiles, ACopyProgramThatCannotBeWrittenIsNotStarted) {
  pc.files.AddFile("C:\\Windows\\SysWOW64\\CopyFile.exe", Bytes(4, 'x'));
  pc.files.DenyWrites("C:\\Windows\\SysWOW64\\CopyFile.exe");
  EXPECT_FALSE(package::StartCopyProgram(Bytes(4, 'M')));
  pc.files.windowsDirectory = "";
  EXPECT_FALSE(package::StartCopyProgram(Bytes(4, 'M')));
  EXPECT_TRUE(pc.processes.ShellStarts().empty());
}

}  // namespace
