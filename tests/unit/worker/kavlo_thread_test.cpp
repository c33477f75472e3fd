// The flash worker through its launcher on a simulated PC: the ATA retry schedule and its pauses
// on the virtual clock, the NVMe attempt and its single 16 KiB repeat, the two preformat
// attempts and the PEA recognition, the rescan, and what the caller sees when the work stores
// nothing.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "devices/dev_mgr.h"
#include "framework/application.h"
#include "framework/fixed_text.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"
#include "tests/unit/transport/transport_fixture.h"
#include "transport/ata_device.h"
#include "worker/flash_launcher.h"

namespace {

using transport_test::Disk;
using transport_test::DiskId;
using worker::_KV_THREAD_PARAMETER;

constexpr const char* kModel = "CORVANE K5 512GB";
constexpr const char* kNvmeModel = "Travok NV3 1TB";
constexpr const char* kNvmeDisk = "SCSI\\DISK&VEN_NVME&PROD_TRAVOK_NV3\\5&1&0&000000";
constexpr const char* kRstDisk = "SCSI\\DISK&VEN_NVME&PROD_TRAVOK_NV3\\5&2&0&010000";

// A driver that throws once told to, as a broken one can make the program do.
class ThrowingPc : public sim::SimPc {
 public:
  bool bThrow = false;
  bool DeviceIoControl(os::Handle device, std::uint32_t code, const void* in, std::uint32_t inSize,
                       void* out, std::uint32_t outSize, std::uint32_t* returned) override {
    if (bThrow) throw std::runtime_error("driver");
    return SimPc::DeviceIoControl(device, code, in, inSize, out, outSize, returned);
  }
  os::Hdevinfo SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                    const std::string& enumerator, os::Hwnd parent,
                                    std::uint32_t flags) override {
    if (bThrow) throw std::runtime_error("setupapi");
    return SimPc::SetupDiGetClassDevsA(fn, classGuid, enumerator, parent, flags);
  }
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os::Install(&pc);
    app = std::make_unique<fw::TApplication>();
    fw::Application = app.get();
    app->Initialize();
  }
  void TearDown() override {
    device.reset();
    devMgr.reset();
    app.reset();
    fw::Application = nullptr;
    os::Install(nullptr);
  }

  // One machine per test: the application window lives on this PC.
  transport::TAtaDevice& Machine(const std::string& toml) {
    sim::LoadMachine(pc, toml, "test");
    devMgr = std::make_unique<devices::TDevMgr>();
    device = std::make_unique<transport::TAtaDevice>(devMgr->BuildDiskTable());
    return *device;
  }
  // A SATA SSD below an AHCI controller, bound as the scan binds it.
  transport::TAtaDevice& Sata(const std::string& ata = "") {
    transport::TAtaDevice& d =
        Machine(std::string(transport_test::kController) +
                Disk("D", 0, "", "[disk.ata]\nmodel = \"" + std::string(kModel) + "\"\n" + ata));
    EXPECT_TRUE(d.SelectPort(0, nullptr, -1, 0));
    m_Seen = Drive().Records().size();
    return d;
  }
  sim::SimSataDrive& Drive() { return *pc.devices.Find(DiskId("D"))->disk->ata; }

  _KV_THREAD_PARAMETER Download(const std::vector<std::uint8_t>& image, std::int32_t maxSector) {
    _KV_THREAD_PARAMETER r;
    r.pDevice = device.get();
    r.pImage = image.data();
    r.iImageSize = std::int32_t(image.size());
    r.max_sector = maxSector;
    r.bReBoot = 1;
    r.iCommand = worker::kKvFirmwareDownload;
    r.iCommitAction = 1;
    return r;
  }
  // Runs the request; the virtual seconds it took come back in `seconds`.
  std::int32_t Run(const _KV_THREAD_PARAMETER& r, double* seconds = nullptr) {
    const std::uint64_t start = pc.NowMicroseconds();
    const std::int32_t result = launcher.RunFlashThread(r);
    if (seconds) *seconds = double(pc.NowMicroseconds() - start) / 1e6;
    EXPECT_TRUE(launcher.ThreadFinished());
    return result;
  }
  // The block count of each segment at offset 0, one per attempt, and what else the drive
  // received since it was bound, by name.
  std::vector<int> FirstSegments() const {
    std::vector<int> out;
    for (std::size_t i = m_Seen; i < ConstDrive().Records().size(); ++i) {
      const sim::AtaRegisters& g = ConstDrive().Records()[i].command.registers;
      if (g[6] == 0x92 && g[1] && !g[3] && !g[4]) out.push_back(g[1]);
    }
    return out;
  }
  std::vector<std::string> Preformats() {
    std::vector<std::string> out;
    for (std::size_t i = m_Seen; i < Drive().Records().size(); ++i) {
      const sim::SimAtaCommand& c = Drive().Records()[i].command;
      const bool bRequest = c.data.size() >= 2 && c.data[0] == 0x07 && c.data[1] == 0xBE;
      if (c.registers[6] == 0xE8 && bRequest) out.push_back("PEA");
      if (c.registers[6] == 0xFF && bRequest) out.push_back("FF");
    }
    m_Seen = Drive().Records().size();
    return out;
  }

  ThrowingPc pc;
  std::unique_ptr<fw::TApplication> app;
  std::unique_ptr<devices::TDevMgr> devMgr;
  std::unique_ptr<transport::TAtaDevice> device;
  worker::TFlashLauncher launcher;

 private:
  const sim::SimSataDrive& ConstDrive() const { return *pc.devices.Find(DiskId("D"))->disk->ata; }
  std::size_t m_Seen = 0;
};

// ---- ATA download ----

TEST_F(WorkerTest, AnAtaDownloadThatAlwaysFailsMakesThirteenAttemptsOneSecondApart) {
  Sata("[[disk.ata.fault]]\ncommand = 0x92\ntimes = -1\nstatus = 0x51");
  const auto image = sim::MakeSimFirmwareImage(kModel, "K5FW0160", 40'000);
  double seconds = 0;
  EXPECT_EQ(Run(Download(image, 4), &seconds), transport::ATACMD_ERR);
  EXPECT_EQ(FirstSegments(), (std::vector<int>{4, 1, 64, 64, 64, 64, 64, 64, 8, 7, 4, 1, 64}));
  EXPECT_GE(seconds, 13.0) << "a pause after every failed attempt";
  EXPECT_LT(seconds, 13.1);
}

TEST_F(WorkerTest, AnAtaDownloadThatSucceedsOnTheThirdAttemptStopsThere) {
  Sata("[[disk.ata.fault]]\ncommand = 0x92\ntimes = 2\nstatus = 0x51");
  const auto image = sim::MakeSimFirmwareImage(kModel, "K5FW0160", 40'000);
  double seconds = 0;
  EXPECT_EQ(Run(Download(image, 4), &seconds), transport::ATACMD_OK);
  EXPECT_EQ(FirstSegments(), (std::vector<int>{4, 1, 64}));
  EXPECT_EQ(Drive().identity.firmware, "K5FW0160");
  EXPECT_GE(seconds, 2.0);
  EXPECT_LT(seconds, 2.1);
}

// ---- NVMe download ----

class NvmeWorkerTest : public WorkerTest {
 protected:
  // An NVMe SSD on the inbox driver, or behind Intel RST on port 2, whose downloads fail
  // `failures` times.
  transport::TAtaDevice& Nvme(bool bRst, int failures) {
    const std::string controller =
        bRst ? "[[device]]\ninstance_id = 'PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9'\n"
               "class = \"scsiadapter\"\nservice = \"iaStorA\"\ndriver_version = \"15.2.0.1020\"\n"
             : "[[device]]\ninstance_id = 'PCI\\VEN_1E4B&DEV_1202\\4&1F7E4B4B&0&00E0'\n"
               "class = \"scsiadapter\"\nservice = \"stornvme\"\n";
    const std::string parent = bRst ? "PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9"
                                    : "PCI\\VEN_1E4B&DEV_1202\\4&1F7E4B4B&0&00E0";
    std::string toml = controller + "\n[[disk]]\ninstance_id = '" + (bRst ? kRstDisk : kNvmeDisk) +
                       "'\nparent = '" + parent + "'\nbus_type = " + (bRst ? "8" : "0x11") +
                       "\nscsi_address = [" + (bRst ? "2, 1" : "1, 0") + ", 0, 0]\n" +
                       "[disk.nvme]\nmodel = \"" + kNvmeModel +
                       "\"\nslots = [\"NV3R1000\", \"\", \"\"]\n"
                       "[[disk.nvme.fault]]\nopcode = 0x11\nstatus = 0x114\ntimes = " +
                       std::to_string(failures) + "\n";
    if (bRst) toml += "[[irst]]\nport = 2\n";
    transport::TAtaDevice& d = Machine(toml);
    const int index = 0;
    if (bRst)
      EXPECT_TRUE(d.SelectPort(index, nullptr, 2, transport::kKindNvme));
    else
      EXPECT_TRUE(d.SelectPort(index, fw::FieldText(d.DriveAt(index)->devicePath).c_str(), -1,
                               transport::kKindNvme));
    m_Drive = pc.devices.Find(bRst ? kRstDisk : kNvmeDisk)->disk->nvme.get();
    m_Image.assign(2 * 1024 * 1024, 0);
    const auto image = sim::MakeSimFirmwareImage(kNvmeModel, "NV3R2000", 32'768);
    std::copy(image.begin(), image.end(), m_Image.begin());
    return d;
  }
  _KV_THREAD_PARAMETER NvmeDownload(bool bRst, bool bUse16KB) {
    _KV_THREAD_PARAMETER r = Download(m_Image, 1);
    r.iImageSize = 32'768;
    r.bIsNvme = 1;
    r.bIsNvmeIrstDriver = bRst;
    r.bUse16KB = bUse16KB;
    r.iNvmeFwSlot = 2;
    r.PortNumber = 2;  // the RST controller
    r.PathId = 1;      // the drive's path behind it
    return r;
  }
  // The piece size of every FIRMWARE IMAGE DOWNLOAD the drive received.
  std::vector<std::size_t> Pieces() const {
    std::vector<std::size_t> out;
    for (const sim::SimNvmeRecord& r : m_Drive->Records())
      if (r.command[0] == 0x11) out.push_back(r.data.size());
    return out;
  }
  sim::SimNvmeDrive* m_Drive = nullptr;
  std::vector<std::uint8_t> m_Image;
};

TEST_F(NvmeWorkerTest, TheInboxPathRepeatsA4KiBFailureOnceWith16KiBPieces) {
  Nvme(false, 1);
  double seconds = 0;
  EXPECT_EQ(Run(NvmeDownload(false, false), &seconds), transport::ATACMD_OK);
  EXPECT_EQ(Pieces(), (std::vector<std::size_t>{4096, 16384, 16384}));
  EXPECT_LT(seconds, 0.1) << "no pause after a success";
}

TEST_F(NvmeWorkerTest, A16KiBFailureIsNotRepeated) {
  Nvme(false, 1);
  double seconds = 0;
  EXPECT_EQ(Run(NvmeDownload(false, true), &seconds), 254);
  EXPECT_EQ(Pieces(), (std::vector<std::size_t>{16384}));
  EXPECT_GE(seconds, 1.0) << "the pause after a failure";
}

TEST_F(NvmeWorkerTest, TheRstPathMakesOneAttempt) {
  Nvme(true, 1);
  EXPECT_EQ(Run(NvmeDownload(true, false)), 254);
  EXPECT_EQ(Pieces(), (std::vector<std::size_t>{4096}));
}

// ---- Preformat ----

TEST_F(WorkerTest, APreformatTakesThePeaFormOnlyWhenTheDriveNamesIt) {
  Sata("pea = true");
  struct Case {
    const char* name;
    bool peaChannel, newSupport;
    std::string text;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {"the drive names the PEA form", true, true, "AEP NEWSupport", {"PEA"}},
      {"its reply lacks the name", true, false, "AEP NEWSupport", {"FF"}},
      {"the name without its last character", true, true, "AEP NEWSuppor", {"FF"}},
      {"the name in other letters", true, true, "AEP NEWSupporT", {"FF"}},
      {"no PEA channel", false, true, "AEP NEWSupport", {"FF"}},
  };
  _KV_THREAD_PARAMETER r;
  r.pDevice = device.get();
  r.iCommand = worker::kKvPreformat;
  for (const Case& c : cases) {
    Drive().peaChannel = c.peaChannel;
    Drive().peaNewSupport = c.newSupport;
    Drive().peaNewSupportText = c.text;
    EXPECT_EQ(Run(r), transport::ATACMD_OK) << c.name;
    EXPECT_EQ(Preformats(), c.sent) << c.name;
  }

  // Two attempts a second apart, the second one's result stored.
  Drive().peaChannel = false;
  Drive().faults.push_back(sim::SimFault::AtaError(0xFF, 0x51));
  Drive().faults.back().times = -1;
  Drive().faults.back().features = 0xFD;
  double seconds = 0;
  EXPECT_EQ(Run(r, &seconds), transport::ATACMD_ERR);
  EXPECT_EQ(Preformats(), (std::vector<std::string>{"FF", "FF"}));
  EXPECT_GE(seconds, 1.0);
  EXPECT_LT(seconds, 1.1);

  // A drive that named the PEA form keeps it when its second query fails.
  Drive().faults.clear();
  Drive().peaChannel = true;
  Drive().peaNewSupportText = "AEP NEWSupport";
  Drive().faults.push_back(sim::SimFault::AtaError(0xE8, 0x51));
  Drive().faults.back().skip = 1;  // the first query's request goes through; the preformat fails
  sim::SimFault status = sim::SimFault::AtaError(0xE4, 0x51);
  status.features = 0x80;
  status.skip = 1;  // the second query's status read fails
  Drive().faults.push_back(status);
  EXPECT_EQ(Run(r), transport::ATACMD_OK);
  EXPECT_EQ(Preformats(), (std::vector<std::string>{"PEA", "PEA"}));
}

// ---- Rescan ----

TEST_F(WorkerTest, TheRescanAnswersOneWhetherTheRestartFindsTheDiskOrNot) {
  Sata();
  _KV_THREAD_PARAMETER r;
  r.iCommand = worker::kKvRescan;
  struct Case {
    const char* name;
    std::string path;
    int restarts, controllerRescans;
    double pause;
  };
  const Case cases[] = {
      {"no such disk", "SCSI\\DISK&VEN_&PROD_NONE\\1", 0, 1, 1.0},
      {"the updated disk", DiskId("D"), 1, 1, 1.0},
      {"no disk named", "", 0, 1, 0.0},
  };
  for (const Case& c : cases) {
    r.sDevicePath = c.path;
    const std::size_t from = pc.Journal().size();
    double seconds = 0;
    EXPECT_EQ(Run(r, &seconds), 1) << c.name;
    int restarts = 0, rescans = 0, arrivals = 0;
    for (std::size_t i = from; i < pc.Journal().size(); ++i) {
      restarts += pc.Journal()[i].starts_with("SetupDiCallClassInstaller DIF_REMOVE");
      rescans += pc.Journal()[i].starts_with("CM_Reenumerate_DevNode");
      arrivals += pc.Journal()[i].starts_with("Device arrived");
    }
    EXPECT_EQ(restarts, c.restarts) << c.name;
    EXPECT_EQ(rescans, c.controllerRescans) << c.name;
    EXPECT_EQ(arrivals, c.restarts) << c.name << ": the restarted disk comes back";
    EXPECT_GE(seconds, c.pause) << c.name;
    EXPECT_LT(seconds, c.pause + 0.1) << c.name;
  }
}

// ---- What the caller sees when nothing was stored ----

TEST_F(WorkerTest, AWorkerThatStoresNothingLeavesTheLaunchers255) {
  Sata();
  const auto image = sim::MakeSimFirmwareImage(kModel, "K5FW0160", 4096);
  struct Case {
    const char* name;
    bool bDevice;
    std::int32_t command;
    bool bThrow;
    std::int32_t result;
  };
  const Case cases[] = {
      {"a download without a device", false, worker::kKvFirmwareDownload, false, 255},
      {"a preformat without a device", false, worker::kKvPreformat, false, 255},
      {"a rescan with a device", true, worker::kKvRescan, false, 255},
      {"no such command", true, 4, false, 255},
      {"a download whose driver throws", true, worker::kKvFirmwareDownload, true, 255},
      {"a preformat whose driver throws", true, worker::kKvPreformat, true, 255},
      {"a rescan has stored its 1 before anything throws", false, worker::kKvRescan, true, 1},
  };
  for (const Case& c : cases) {
    _KV_THREAD_PARAMETER r = Download(image, 4);
    r.pDevice = c.bDevice ? device.get() : nullptr;
    r.iCommand = c.command;
    r.sDevicePath = DiskId("D");
    const std::size_t journal = pc.Journal().size();
    pc.bThrow = c.bThrow;
    EXPECT_EQ(Run(r), c.result) << c.name;
    pc.bThrow = false;
    if (!c.bThrow && c.result == 255) {
      const std::vector<std::string> since(pc.Journal().begin() + std::ptrdiff_t(journal),
                                           pc.Journal().end());
      EXPECT_EQ(since, std::vector<std::string>{"CreateThread"}) << c.name << ": nothing done";
    }
  }
}

}  // namespace
