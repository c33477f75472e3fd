// The simulated PC's storage under another Windows: here the host is a second simulated PC, so
// that a test sees which side every call reached.
#include "sim/sim_hosted_pc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/windows/loader.h"
#include "tests/support/release.h"
#include "tests/unit/transport/transport_fixture.h"

namespace {

constexpr const char* kModel = "CORVANE K5 512GB";

std::string K5Machine() {
  return std::string(transport_test::kController) +
         transport_test::Disk("K5", 0, "",
                              "[disk.ata]\nmodel = \"" + std::string(kModel) +
                                  "\"\nfirmware = \"K5FW0150\"\nserial = \"SN-K5\"\n"
                                  "vendor_version = \"A5FW010A\"\n");
}

bool Logged(const sim::SimPc& pc, const std::string& call) {
  const auto& journal = pc.Journal();
  return std::any_of(journal.begin(), journal.end(),
                     [&](const std::string& entry) { return entry.starts_with(call); });
}

class HostedPc : public ::testing::Test {
 protected:
  void SetUp() override { sim::LoadMachine(storage, K5Machine(), "test"); }
  sim::SimPc host;     // stands for the Windows the program runs on: no disk of its own
  sim::SimPc storage;  // the drives
  sim::SimHostedPc hosted{host, storage, "\"C:\\Travok\\travok.exe\" /S"};
};

// Both PCs number their objects from the same start, so the first disk handle and the first
// host handle carry one number; each must still go back to the side that made it, with the
// last error of the side that answered.
TEST_F(HostedPc, EachHandleGoesBackToTheSideThatMadeItAndBringsItsLastError) {
  os::Install(&hosted);
  const os::Handle mutex = hosted.CreateMutexA(false, "Local\\one");
  const os::Handle disk =
      hosted.CreateFileA("\\\\.\\PhysicalDrive0", os::kGENERIC_READ, 0, os::kOPEN_EXISTING, 0);
  ASSERT_NE(disk, os::kINVALID_HANDLE_VALUE);
  EXPECT_TRUE(hosted.CloseHandle(mutex));
  EXPECT_FALSE(host.MutexExists("Local\\one"));
  std::uint8_t number[12] = {};
  std::uint32_t returned = 0;
  EXPECT_TRUE(hosted.DeviceIoControl(disk, os::kIOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, number,
                                     sizeof number, &returned))
      << "closing the host's mutex closed the disk";
  EXPECT_TRUE(hosted.CloseHandle(disk));
  EXPECT_FALSE(hosted.DeviceIoControl(disk, os::kIOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0,
                                      number, sizeof number, &returned));

  host.SetLastError(0);
  EXPECT_EQ(
      hosted.CreateFileA("\\\\.\\PhysicalDrive9", os::kGENERIC_READ, 0, os::kOPEN_EXISTING, 0),
      os::kINVALID_HANDLE_VALUE);
  EXPECT_EQ(hosted.GetLastError(), os::kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(Logged(host, "CreateFileA"));
  os::Install(nullptr);
}

// A whole silent update: the storage PC sees the drive's commands and nothing else, the host
// sees the windows, the thread and the waits and never a drive.
TEST_F(HostedPc, AWholeUpdateReachesTheDrivesOnlyThroughTheStorageSide) {
  pack::Release release = testing_support::SmallRelease();
  release.images[0].newFw = "K5FW0200";
  release.images[0].rows = {{"", "", kModel}};
  release.images[0].bytes = sim::MakeSimFirmwareImage(kModel, "K5FW0200", 8 * 512);
  testing_support::Load(testing_support::Pack(release));

  EXPECT_EQ(sim::RunProgram(hosted), 0);
  const auto& drive = *storage.devices.Find(transport_test::DiskId("K5"))->disk->ata;
  EXPECT_EQ(drive.identity.firmware, "K5FW0200");
  for (const char* call : {"DeviceIoControl", "SetupDiGetClassDevsA", "LoadLibraryA \"Setupapi"})
    EXPECT_FALSE(Logged(host, call)) << call << " reached the host";
  for (const char* call : {"CreateWindowExA", "CreateThread", "CreateMutexA"}) {
    EXPECT_TRUE(Logged(host, call)) << call << " did not reach the host";
    EXPECT_FALSE(Logged(storage, call)) << call << " reached the storage side";
  }
  sim::RestoreOwnPackage();
}

// The worker thread and the main thread may both reach the drives; the hosted PC lets one call
// in at a time.
TEST_F(HostedPc, TwoThreadsOpeningAndAskingTheDisksAtOnceEachGetTheirAnswers) {
  const auto ask = [this](int* failures) {
    for (int i = 0; i < 500; ++i) {
      const os::Handle disk =
          hosted.CreateFileA("\\\\.\\PhysicalDrive0", os::kGENERIC_READ, 0, os::kOPEN_EXISTING, 0);
      std::uint8_t number[12] = {};
      std::uint32_t returned = 0;
      if (disk == os::kINVALID_HANDLE_VALUE ||
          !hosted.DeviceIoControl(disk, os::kIOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, number,
                                  sizeof number, &returned) ||
          !hosted.CloseHandle(disk))
        ++*failures;
    }
  };
  int first = 0, second = 0;
  std::thread other(ask, &second);
  ask(&first);
  other.join();
  EXPECT_EQ(first + second, 0);
}

}  // namespace
