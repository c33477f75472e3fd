// Drives that replay identify data captured from real drives: the program reads the capture
// itself, except for the fields the machine file overrides, and a capture of the wrong size
// never gets that far.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "devices/dev_mgr.h"
#include "framework/fixed_text.h"
#include "sim/drives/sim_nvme_identity.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"
#include "transport/ata_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kSource = TRAVOK_SOURCE_DIR;
const std::string kMachine = kSource + "/tests/machines/captured_drives.toml";
const std::string kSataCapture = kSource + "/tests/fixtures/identify/sata-ssd-sbfm61.2.bin";
const std::string kZeroPadded = kSource + "/tests/fixtures/identify/sata-zero-padded-model.bin";
const std::string kNvmeCapture = kSource + "/tests/fixtures/identify/nvme-tvk-nv5-2tb.bin";

const std::string kSataDisk = "SCSI\\DISK&VEN_&PROD_SATA_SSD\\4&2A37BD3B&0&";

Bytes FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// An ATA string as IDENTIFY holds it: blank-padded, the two bytes of each word swapped.
void PutSwapped(Bytes& data, std::size_t word, std::size_t width, std::string text) {
  text.resize(width, ' ');
  for (std::size_t i = 0; i < width; i += 2) {
    data[2 * word + i] = std::uint8_t(text[i + 1]);
    data[2 * word + i + 1] = std::uint8_t(text[i]);
  }
}

std::uint8_t Sum(const Bytes& data) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : data) sum = std::uint8_t(sum + b);
  return sum;
}

class CapturedIdentify : public ::testing::Test {
 protected:
  void SetUp() override {
    os::Install(&pc);
    // Loaded from its file, so the captures' relative paths start at tests/machines/.
    sim::LoadMachineFile(pc, kMachine);
    devMgr = std::make_unique<devices::TDevMgr>();
    device = std::make_unique<transport::TAtaDevice>(devMgr->BuildDiskTable());
  }
  void TearDown() override {
    device.reset();
    devMgr.reset();
    os::Install(nullptr);
  }
  int IndexOf(const std::string& instanceId) const {
    for (int i = 0; i < device->DriveCount(); ++i)
      if (fw::FieldText(device->DriveAt(i)->instanceId) == instanceId) return i;
    ADD_FAILURE() << instanceId << " is not in the table";
    return -1;
  }
  // IDENTIFY DEVICE as the program reads it from the SATA disk at `target`.
  Bytes ProgramIdentify(const std::string& target) {
    EXPECT_TRUE(device->SelectPort(IndexOf(kSataDisk + target), nullptr, -1, transport::kKindNone));
    EXPECT_EQ(device->IdentifyDevice(), transport::ATACMD_OK);
    return Bytes(device->GetResponseBuffer(), device->GetResponseBuffer() + 512);
  }
  sim::SimSataDrive& SataDrive(const std::string& target) {
    return *pc.devices.Find(kSataDisk + target)->disk->ata;
  }

  sim::SimPc pc;
  std::unique_ptr<devices::TDevMgr> devMgr;
  std::unique_ptr<transport::TAtaDevice> device;
};

TEST_F(CapturedIdentify, ASataCaptureReplaysByteForByte) {
  const Bytes capture = FileBytes(kSataCapture);
  ASSERT_EQ(capture.size(), 512u);
  EXPECT_EQ(ProgramIdentify("000000"), capture);
  std::array<std::uint8_t, 512> expected;
  std::copy(capture.begin(), capture.end(), expected.begin());
  EXPECT_EQ(pc.scsiPorts[3].csmi->phys[0].drive->IdentifyData(), expected);  // behind CSMI
  // Padded with zeros, not blanks: the model is the same, and the bytes stay the drive's.
  EXPECT_EQ(ProgramIdentify("020000"), FileBytes(kZeroPadded));
  EXPECT_EQ(SataDrive("020000").identity.model, "SATA SSD");

  // The drive behaves as the capture says: its download limits and flow are the real drive's.
  const sim::SimAtaIdentity& id = SataDrive("000000").identity;
  EXPECT_EQ(id.model, "SATA SSD");
  EXPECT_EQ(id.serial, "A45A078A198600476509");
  EXPECT_EQ(id.firmware, "SBFM61.2");
  EXPECT_EQ(id.specificConfiguration, 0xC837);
  EXPECT_EQ(id.minBlocksPerDownload, 1);
  EXPECT_EQ(id.maxBlocksPerDownload, 0xFFFE);
  EXPECT_EQ(id.word159, 0);
  EXPECT_TRUE(id.downloadMicrocode && id.downloadOffsets && id.downloadDma);
  EXPECT_EQ(id.sectors, 0x1BF244B0u);
}

// The keys (and an activation that changes the revision) rewrite their own words; the checksum
// follows, everything else stays as the drive sent it.
TEST_F(CapturedIdentify, KeysOverrideSingleFieldsOfTheCapture) {
  Bytes expected = FileBytes(kSataCapture);
  PutSwapped(expected, 10, 20, "TVK-OVERRIDE-01");
  PutSwapped(expected, 23, 8, "SBFM61.3");
  const Bytes overridden = ProgramIdentify("010000");
  EXPECT_EQ(Sum(overridden), 0);
  EXPECT_EQ(overridden[510], 0xA5);
  expected[511] = overridden[511];
  EXPECT_EQ(overridden, expected);

  SataDrive("000000").identity.firmware = "SBFM62.0";
  const std::array<std::uint8_t, 512> after = SataDrive("000000").IdentifyData();
  EXPECT_EQ(std::string(after.begin() + 46, after.begin() + 54), "BSMF260.");
  EXPECT_EQ(Sum(Bytes(after.begin(), after.end())), 0);
}

TEST_F(CapturedIdentify, AnNvmeCaptureReplaysThroughTheInboxAndTheRsteDrivers) {
  const Bytes capture = FileBytes(kNvmeCapture);
  ASSERT_EQ(capture.size(), 4096u);
  ASSERT_TRUE(device->DoIdentifyDeviceNVMeStorageQuery(
      IndexOf("SCSI\\DISK&VEN_NVME&PROD_TRAVOK_NV5\\5&1&0&000000")));
  EXPECT_EQ(Bytes(device->GetResponseBuffer(), device->GetResponseBuffer() + 4096), capture);

  // The pass-through disk runs a newer revision than the capture's.
  Bytes expected = capture;
  std::copy_n("5B2QGXB1", 8, expected.begin() + 64);
  const sim::SimNvmeIdentity& id = pc.scsiPorts[4].rste->passThroughDisks[0].identity;
  const sim::NvmeIdentifyData rste = sim::BuildIdentifyController(id, id.firmware);
  EXPECT_EQ(Bytes(rste.begin(), rste.end()), expected);
  EXPECT_EQ(id.model, "TRAVOK NV5 2TB");
  EXPECT_EQ(id.frmw, 0x14);
}

class CapturedIdentifyFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::path(::testing::TempDir()) /
             ("captured-" +
              std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(folder);
    Write("511.bin", 511);
    Write("512.bin", 512);
    Write("4096.bin", 4096);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  void Write(const std::string& name, std::size_t size) {
    std::ofstream(folder / name, std::ios::binary) << std::string(size, '\x5A');
  }
  std::string Refusal(const std::string& machine) {
    sim::SimPc pc;
    try {
      sim::LoadMachine(pc, machine, "m.toml", folder);
    } catch (const sim::MachineError& e) {
      return e.what();
    }
    return "accepted";
  }
  std::filesystem::path folder;
};

TEST_F(CapturedIdentifyFiles, AFileOfTheWrongSizeIsRefusedWithFileAndLine) {
  const std::string disk = "[[disk]]\ninstance_id = 'SCSI\\DISK&VEN_&PROD_A\\1'\n";
  const std::string at = (folder / "").string();
  struct Case {
    std::string machine, refusal;
  } cases[] = {
      {disk + "[disk.ata]\nidentify = \"511.bin\"\n",
       "m.toml:4: identify: " + at + "511.bin holds 511 bytes, not 512"},
      {disk + "[disk.ata]\nidentify = \"4096.bin\"\n",
       "m.toml:4: identify: " + at + "4096.bin holds 4096 bytes, not 512"},
      {disk + "[disk.nvme]\nidentify = \"512.bin\"\n",
       "m.toml:4: identify: " + at + "512.bin holds 512 bytes, not 4096"},
      {"[[rste]]\nport = 4\n[[rste.pass_through]]\nidentify = \"512.bin\"\n",
       "m.toml:4: identify: " + at + "512.bin holds 512 bytes, not 4096"},
      {"[[csmi]]\nport = 3\n[[csmi.phy]]\n[csmi.phy.ata]\n\nidentify = \"none.bin\"\n",
       "m.toml:6: identify: cannot open " + at + "none.bin"},
      {disk + "[disk.ata]\nidentify = \"512.bin\"\n", "accepted"},
  };
  for (const Case& c : cases) EXPECT_EQ(Refusal(c.machine), c.refusal) << c.machine;
}

}  // namespace
