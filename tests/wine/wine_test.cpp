// The real Windows executables: the x86_64 build run under Wine, and the i686 product checked
// as a file. The releases are made by the release maker, as a release engineer makes them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>

#include "framework/bytes.h"
#include "package/package_layout.h"
#include "package/package_locator.h"
#include "sim/drives/sim_firmware_image.h"
#include "tools/travok-pack/packer.h"

namespace {

namespace fs = std::filesystem;

const fs::path kWin64Dir = TRAVOK_WIN64_DIR;
const fs::path kWin32Dir = TRAVOK_WIN32_DIR;
const fs::path kWorkDir = fs::path(TRAVOK_BINARY_DIR) / "wine-work";
const std::string kWine = "/usr/lib/wine/wine64";
const std::string kWineServer = "/usr/lib/wine/wineserver";

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(fs::exists(path) ? fs::file_size(path) : 0);
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Outcome {
  int exitCode;
  std::string output;
};

Outcome Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, ""};
  std::array<char, 512> buffer;
  while (std::fgets(buffer.data(), int(buffer.size()), pipe)) output += buffer.data();
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string Env() {
  return "WINEPREFIX='" + (kWorkDir / "prefix").string() + "' WINEDEBUG=-all ";
}

class Wine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::create_directories(kWorkDir);
    const fs::path ready = kWorkDir / "prefix-ready";
    if (fs::exists(ready)) return;
    // No display here: windows exist but are never drawn, and message boxes are answered by
    // a helper program through their dialog controls. wineserver -w waits until the prefix
    // is written out; a registry change made while wineboot is still busy can be lost.
    Shell(Env() + kWine + " wineboot -i >/dev/null 2>&1");
    Shell(Env() + kWineServer + " -w");
    Shell(Env() + kWine +
          " reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f >/dev/null 2>&1");
    Shell(Env() + kWineServer + " -w");
    ASSERT_EQ(Shell("grep -q '\"Graphics\"=\"null\"' '" +
                    (kWorkDir / "prefix" / "user.reg").string() + "'")
                  .exitCode,
              0)
        << "the Wine prefix did not take the null display driver";
    std::ofstream(ready) << "ok\n";
  }

  void SetUp() override {
    for (const char* program :
         {"travok.exe", "travok-sim.exe", "answer_box.exe", "platform_probe.exe",
          "version_probe.exe", "enumerate_probe.exe", "message_probe.exe"})
      ASSERT_TRUE(fs::exists(kWin64Dir / program))
          << (kWin64Dir / program).string()
          << " is missing: build the win64 preset first (cmake --preset win64 && cmake --build "
             "--preset win64)";
  }

  // Runs a copy of the program named `name` (its application title) with `arguments`.
  int Run(const std::vector<std::uint8_t>& exe, const std::string& name,
          const std::string& arguments) {
    const fs::path path = kWorkDir / (name + ".exe");
    WriteFile(path, exe);
    return Shell(Env() + kWine + " '" + path.string() + "' " + arguments + " 2>/dev/null").exitCode;
  }

  std::vector<std::uint8_t> Template() { return ReadFile(kWin64Dir / "travok.exe"); }

  std::vector<std::uint8_t> Release(const std::string& digitsWith, int position) {
    pack::Release release;
    release.title = "Corvane Travok Utility for Windows";
    release.version = "v3.2.0.1";
    pack::ReleaseImage image;
    image.source = "k5.bin";
    image.bytes.assign(4096, 0x5A);
    image.newFw = "K5FW0200";
    release.images.push_back(image);
    release.optionDigits[pack::kWindowsFlashPosition - 2] = '1';
    if (position) release.optionDigits[std::size_t(position - 2)] = digitsWith[0];
    auto exe = Template();
    pack::WriteRelease(exe, release);
    return exe;
  }
};

TEST_F(Wine, TheUnfilledTemplateHoldsNoFirmware) {
  EXPECT_EQ(Run(Template(), "template", "/S"), 4);
}

// A program that folded the template's values would end with 4 here too. This one reads its
// package, scans, and finds no drive in the Wine prefix (nor a CSMI controller): 2.
TEST_F(Wine, AReleaseIsReadFromTheExecutablesOwnImage) {
  EXPECT_EQ(Run(Release("0", 0), "plain", "/S"), 2);
}

TEST_F(Wine, ABrokenOptionDigitEndsWith255AfterTheErrorBox) {
  auto exe = Release("0", 0);
  std::string error;
  const auto block = package::LocatePackageBlock(exe, &error);
  ASSERT_TRUE(block) << error;
  exe[*block + package::kOptionRecordOffset + package::OptionDigitOffset(4)] = ' ';
  auto answer = std::async(std::launch::async, [] {
    return Shell(Env() + kWine + " '" + (kWin64Dir / "answer_box.exe").string() +
                 "' broken 1 60 2>/dev/null");
  });
  EXPECT_EQ(Run(exe, "broken", "/S"), 255);
  const Outcome box = answer.get();
  EXPECT_EQ(box.exitCode, 0) << "no error box appeared";
  EXPECT_NE(box.output.find("' ' is not a valid boolean value."), std::string::npos) << box.output;
}

// A usable target that reaches no drive in the Wine prefix ends with 3.
TEST_F(Wine, UpdaterModeEndsWith2Or8OnAnUnusableCommandLineAnd3WithoutTheDrive) {
  const auto exe = Release("1", 20);
  struct Case {
    const char* arguments;
    int exitCode;
  };
  for (const Case& c : {Case{"", 2}, Case{"/t:\\\\?\\scsi#disk#1", 2}, Case{"/T:", 2},
                        Case{"/C:x,01", 8}, Case{"/C:3,0123456789ABCDEF01", 8},
                        Case{"/C:3,0123456789ABCDEF", 3}, Case{"/T:\\\\.\\PhysicalDrive9", 3}})
    EXPECT_EQ(Run(exe, "updater", c.arguments), c.exitCode) << c.arguments;
}

TEST_F(Wine, TheProgramReadsTheFileVersionOfItsVersionResource) {
  const Outcome probe = Shell(Env() + kWine + " '" + (kWin64Dir / "version_probe.exe").string() +
                              "' '" + (kWin64Dir / "travok.exe").string() + "' 2>/dev/null");
  EXPECT_EQ(probe.exitCode, 0);
  EXPECT_EQ(probe.output, "3.1.21.20\r\n");
}

// ---- Platform services: the version code and the waits ----

// The version code family that platform_probe prints ("code XXXXXXXX"); -1 when it printed none.
int FamilyIn(const std::string& output) {
  const auto at = output.find("code ");
  return at == std::string::npos ? -1
                                 : int(std::strtoul(output.c_str() + at + 5, nullptr, 16) >> 24);
}

// The family a workstation of that version gets. The probe, like the program, names no newer
// system in a manifest, so 8.1 is told it is 6.2 and only a 10.0 found behind that is
// recognised.
int WorkstationFamily(int major, int minor) {
  struct Row {
    int major, minor, family;
  };
  for (const Row& r : {Row{10, 0, 0x14}, Row{6, 3, 0x10}, Row{6, 2, 0x10}, Row{6, 1, 0x0E},
                       Row{6, 0, 0x0A}, Row{5, 2, 0x08}, Row{5, 1, 0x07}, Row{5, 0, 0x06}})
    if (r.major == major && r.minor == minor) return r.family;
  return -1;
}

TEST_F(Wine, AWaitEndsOnTimeHandlesTimersWithoutBusyingAProcessorAndTheVersionCodeFits) {
  const Outcome probe =
      Shell(Env() + kWine + " '" + (kWin64Dir / "platform_probe.exe").string() + "' 2>/dev/null");
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
  int major = 0, minor = 0;
  const Outcome ver = Shell(Env() + kWine + " cmd /c ver 2>/dev/null");
  const auto at = ver.output.find("Windows ");
  ASSERT_NE(at, std::string::npos) << ver.output;
  ASSERT_EQ(std::sscanf(ver.output.c_str() + at + 8, "%d.%d", &major, &minor), 2) << ver.output;
  EXPECT_EQ(FamilyIn(probe.output), WorkstationFamily(major, minor))
      << "Wine reports " << major << "." << minor << "; the probe printed " << probe.output;
}

// The flash worker pumps messages while it waits on its own thread, and so does the main thread:
// each must dispatch the message it took from its own queue.
TEST_F(Wine, TwoThreadsPumpingAtOnceEachDispatchOnlyTheirOwnMessages) {
  const Outcome probe =
      Shell(Env() + kWine + " '" + (kWin64Dir / "message_probe.exe").string() + "' 2>/dev/null");
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
}

// Wine can play another Windows for one program; these are the two behind the 6.2 layer.
TEST_F(Wine, TheCompatibilityLayerHidesWindows81ButNotWindows10) {
  struct Case {
    const char* wineVersion;
    int family;
  };
  for (const Case& c : {Case{"win10", 0x14}, Case{"win81", 0x10}}) {
    const std::string name = std::string("platform_probe_") + c.wineVersion + ".exe";
    fs::copy_file(kWin64Dir / "platform_probe.exe", kWorkDir / name,
                  fs::copy_options::overwrite_existing);
    Shell(Env() + kWine + " reg add 'HKCU\\Software\\Wine\\AppDefaults\\" + name +
          "' /v Version /d " + c.wineVersion + " /f >/dev/null 2>&1");
    const Outcome probe =
        Shell(Env() + kWine + " '" + (kWorkDir / name).string() + "' /nowait 2>/dev/null");
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
    EXPECT_EQ(FamilyIn(probe.output), c.family) << c.wineVersion << ": " << probe.output;
  }
}

// The enumeration against Wine's own SetupAPI, configuration manager and WMI: whatever they
// report (Wine's WMI counts disks that expose no disk interface), it ends and lists a table.
TEST_F(Wine, TheDiskEnumerationRunsAgainstTheSystemsOwnSetupApi) {
  const Outcome probe =
      Shell(Env() + kWine + " '" + (kWin64Dir / "enumerate_probe.exe").string() + "' 2>/dev/null");
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
  int disks = -1;
  ASSERT_EQ(std::sscanf(probe.output.c_str(), "disks: %d", &disks), 1) << probe.output;
  EXPECT_GE(disks, 0);
  EXPECT_EQ(std::count(probe.output.begin(), probe.output.end(), '\n'), 1 + 2 * disks)
      << probe.output;
}

// ---- Whole updates under Wine: the real Windows layer over simulated drives ----

// travok-sim.exe hands the program to Wine (its windows, boxes, timers, worker thread, files and
// registry) and simulates only the storage. A release of package style 9 ends a successful run
// with its "Flash finished !" box, shown in silent mode too; the box is read for four seconds
// before it is answered, and the progress timer goes on meanwhile, since the box's own loop
// dispatches the main window's timer messages: three seconds after the download started, the
// bar of a finished update is full.
class WineUpdate : public Wine {
 protected:
  struct Result {
    Outcome run, box;
  };

  // Runs a release for `model` as `name` under the given Wine Windows version on `machine`;
  // answers the finish box when `finishBox`.
  Result Update(const std::string& model, const std::string& target, const std::string& machine,
                const std::string& name, const std::string& windowsVersion, bool finishBox) {
    pack::Release release;
    release.title = "Corvane Travok Utility for Windows";
    release.version = "v3.2.0.1";
    release.visualStyle = 9;
    pack::ReleaseImage image;
    image.source = "fw.bin";
    image.bytes = sim::MakeSimFirmwareImage(model, target, 65536);
    image.newFw = target;
    image.rows = {{"", "", model}};
    release.images.push_back(image);
    release.optionDigits[pack::kWindowsFlashPosition - 2] = '1';
    auto exe = ReadFile(kWin64Dir / "travok-sim.exe");
    pack::WriteRelease(exe, release);
    WriteFile(kWorkDir / name, exe);
    std::ofstream(kWorkDir / "machine.toml") << machine;
    Shell(Env() + kWine + " reg add 'HKCU\\Software\\Wine\\AppDefaults\\" + name +
          "' /v Version /d " + windowsVersion + " /f >/dev/null 2>&1");

    std::future<Outcome> box;
    if (finishBox)
      box = std::async(std::launch::async, [] {
        return Shell(Env() + kWine + " '" + (kWin64Dir / "answer_box.exe").string() +
                     "' Information 1 120 4000 2>/dev/null");
      });
    Result result;
    result.run = Shell("cd '" + kWorkDir.string() + "' && " + Env() + kWine + " " + name +
                       " --machine machine.toml --args /S 2>/dev/null");
    if (finishBox) result.box = box.get();
    return result;
  }

  static void ExpectUpdated(const Result& r, const std::string& revisions,
                            const std::string& commands) {
    EXPECT_EQ(r.run.exitCode, 0) << r.run.output;
    EXPECT_NE(r.run.output.find("revision " + revisions + "\r\n"), std::string::npos)
        << r.run.output;
    EXPECT_NE(r.run.output.find(commands), std::string::npos) << r.run.output;
    EXPECT_NE(r.run.output.find("progress:  100%"), std::string::npos) << r.run.output;
    EXPECT_EQ(r.box.exitCode, 0) << "no finish box appeared";
    EXPECT_NE(r.box.output.find("Flash finished !"), std::string::npos) << r.box.output;
  }
};

constexpr const char* kSataMachine = R"(
[[device]]
instance_id = 'PCI\VEN_8086&DEV_A352\3&11583659&0&B8'
class = "hdc"
service = "storahci"

[[disk]]
instance_id = 'SCSI\DISK&VEN_&PROD_K5\4&2A37BD3B&0&000000'
parent = 'PCI\VEN_8086&DEV_A352\3&11583659&0&B8'
friendly_name = "CORVANE K5 512GB"
scsi_address = [0, 0, 0, 0]

[disk.ata]
model = "CORVANE K5 512GB"
firmware = "K5FW0150"
serial = "SN-K5"
vendor_version = "A5FW010A"
)";

constexpr const char* kNvmeMachine = R"(
[[device]]
instance_id = 'PCI\VEN_144D&DEV_A808\4&1F7E4B4B&0&00E0'
class = "scsiadapter"
service = "stornvme"

[[disk]]
instance_id = 'SCSI\DISK&VEN_NVME&PROD_N7\5&1&0&000000'
parent = 'PCI\VEN_144D&DEV_A808\4&1F7E4B4B&0&00E0'
bus_type = 0x11
friendly_name = "CORVANE N7 1TB"
scsi_address = [1, 0, 0, 0]

[disk.nvme]
model = "CORVANE N7 1TB"
serial = "SN-N7"
firmware = "N7FW0100"
frmw = 0x16
fwug = 0
)";

TEST_F(WineUpdate, ASataDriveTakesItsImageFromTheWorkerThreadAndTheRunEndsWithAFullBar) {
  const Result r =
      Update("CORVANE K5 512GB", "K5FW0200", kSataMachine, "sata-update.exe", "win7", true);
  ExpectUpdated(r, "K5FW0150 -> K5FW0200", "DOWNLOAD MICROCODE 03h x128, DOWNLOAD MICROCODE 07h");
}

// The inbox driver passes firmware requests on from Windows 10 on; Windows 7 needs the RST
// driver, and its run ends with 7 before any image is sent.
TEST_F(WineUpdate, AnNvmeDriveOnTheInboxDriverTakesItsImageOnWindows10AndNothingOnWindows7) {
  const Result updated =
      Update("CORVANE N7 1TB", "N7FW0200", kNvmeMachine, "nvme-update.exe", "win10", true);
  ExpectUpdated(updated, "N7FW0100 -> N7FW0200",
                "Firmware Image Download x16, Firmware Commit (action 3, slot 2)");

  const Result refused =
      Update("CORVANE N7 1TB", "N7FW0200", kNvmeMachine, "nvme-win7.exe", "win7", false);
  EXPECT_EQ(refused.run.exitCode, 7) << refused.run.output;
  EXPECT_NE(refused.run.output.find("revision N7FW0100 (unchanged)"), std::string::npos)
      << refused.run.output;
  EXPECT_EQ(refused.run.output.find("Firmware Image Download"), std::string::npos)
      << refused.run.output;
}

// The PE's section headers: the package areas must lie in writable initialised data that
// occupies bytes of the file, where the release maker patches them.
struct Section {
  std::string name;
  std::uint32_t rawOffset, rawSize, characteristics;
};

std::vector<Section> Sections(const std::vector<std::uint8_t>& pe) {
  const std::uint32_t header = fw::GetU32le(pe, 0x3C);
  const std::uint16_t count = fw::GetU16le(pe, header + 6);
  const std::uint16_t optionalSize = fw::GetU16le(pe, header + 20);
  std::vector<Section> out;
  for (std::size_t i = 0, at = header + 24 + optionalSize; i < count; ++i, at += 40) {
    std::string name(reinterpret_cast<const char*>(&pe[at]), 8);
    name.resize(name.find('\0') == std::string::npos ? 8 : name.find('\0'));
    out.push_back(
        {name, fw::GetU32le(pe, at + 20), fw::GetU32le(pe, at + 16), fw::GetU32le(pe, at + 36)});
  }
  return out;
}

TEST(Product, IsA32BitAdministratorProgramWithItsPackageInInitialisedData) {
  const fs::path exe = kWin32Dir / "travok.exe";
  ASSERT_TRUE(fs::exists(exe)) << exe.string()
                               << " is missing: build the win32 preset first (cmake --preset "
                                  "win32 && cmake --build --preset win32)";
  const Outcome file = Shell("file -b '" + exe.string() + "'");
  EXPECT_NE(file.output.find("PE32 executable"), std::string::npos) << file.output;
  EXPECT_NE(file.output.find("Intel 80386"), std::string::npos) << file.output;

  const auto bytes = ReadFile(exe);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);

  std::string error;
  const auto block = package::LocatePackageBlock(bytes, &error);
  ASSERT_TRUE(block) << error;
  constexpr std::uint32_t kInitialisedData = 0x40, kWritable = 0x80000000;
  bool inData = false;
  for (const Section& s : Sections(bytes))
    if (*block >= s.rawOffset &&
        *block + package::kAreaSize <= std::uint64_t(s.rawOffset) + s.rawSize)
      inData = (s.characteristics & kInitialisedData) && (s.characteristics & kWritable);
  EXPECT_TRUE(inData) << "the package areas are not inside one writable initialised section";
}

}  // namespace
