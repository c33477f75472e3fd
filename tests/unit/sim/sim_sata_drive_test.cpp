// The simulated SATA drive on its own: IDENTIFY data as ATA lays it out, the vendor and buffer
// channels, faults, and the machine-description keys that describe drives.
#include "sim/drives/sim_sata_drive.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"

namespace {

using sim::AtaDataPhase;
using sim::SimAtaCommand;
using sim::SimSataDrive;

std::uint16_t Word(const std::array<std::uint8_t, 512>& d, int w) {
  return std::uint16_t(d[std::size_t(2 * w)] | d[std::size_t(2 * w + 1)] << 8);
}

// An ATA string read back: the first character of each pair is the word's high byte.
std::string AtaString(const std::array<std::uint8_t, 512>& d, int firstWord, int words) {
  std::string s;
  for (int w = firstWord; w < firstWord + words; ++w) {
    s += char(Word(d, w) >> 8);
    s += char(Word(d, w) & 0xFF);
  }
  return s;
}

SimAtaCommand Command(std::uint8_t command, std::uint8_t features, AtaDataPhase phase,
                      std::vector<std::uint8_t> data = {}) {
  SimAtaCommand c;
  c.registers = {features, 1, 0, 0, 0, 0, command, 0};
  c.phase = phase;
  c.length = 512;
  c.data = std::move(data);
  return c;
}

TEST(SimSataDrive, IdentifyDataCarriesTheIdentityAndTheDownloadWords) {
  SimSataDrive drive;
  drive.identity.model = "CORVANE K5 512GB";
  drive.identity.serial = "CVK5A0123456789";
  drive.identity.firmware = "K5FW0150";
  drive.identity.word159 = 0x0003;
  drive.identity.minBlocksPerDownload = 8;
  drive.identity.maxBlocksPerDownload = 128;
  auto d = drive.IdentifyData();
  EXPECT_EQ(AtaString(d, 27, 20), "CORVANE K5 512GB" + std::string(24, ' '));
  EXPECT_EQ(AtaString(d, 10, 10), "CVK5A0123456789     ");
  EXPECT_EQ(AtaString(d, 23, 4), "K5FW0150");
  EXPECT_EQ(Word(d, 2), 0xC837);
  EXPECT_EQ(Word(d, 159), 0x0003);
  EXPECT_EQ(Word(d, 83) & 0xC001, 0x4001) << "DOWNLOAD MICROCODE supported, word valid";
  EXPECT_EQ(Word(d, 86) & 0x0001, 0x0001);
  EXPECT_EQ(Word(d, 119) & 0xC010, 0x4010) << "offsets mode supported";
  EXPECT_EQ(Word(d, 120) & 0xC010, 0x4010);
  EXPECT_EQ(Word(d, 69) & 0x0100, 0) << "no DMA form";
  EXPECT_EQ(Word(d, 234), 8);
  EXPECT_EQ(Word(d, 235), 128);
  std::uint8_t sum = 0;
  for (std::uint8_t b : d) sum = std::uint8_t(sum + b);
  EXPECT_EQ(d[510], 0xA5);
  EXPECT_EQ(sum, 0) << "the integrity word";

  drive.identity.downloadMicrocode = false;
  drive.identity.downloadOffsets = false;
  drive.identity.downloadDma = true;
  d = drive.IdentifyData();
  EXPECT_EQ(Word(d, 83) & 1, 0);
  EXPECT_EQ(Word(d, 86) & 1, 0);
  EXPECT_EQ(Word(d, 119) & 0x10, 0);
  EXPECT_EQ(Word(d, 69) & 0x0100, 0x0100);
}

TEST(SimSataDrive, ChannelsAnswerOnlyTheRequestsTheyKnow) {
  SimSataDrive drive;
  std::vector<std::uint8_t> version(512, 0);
  version[0] = 0x0A;
  version[1] = 0x07;
  struct Step {
    const char* name;
    SimAtaCommand command;
    bool fails;
  };
  const Step steps[] = {
      {"a reply nobody asked for", Command(0xFF, 0xFD, AtaDataPhase::kIn), true},
      {"the version request", Command(0xFF, 0xFC, AtaDataPhase::kOut, version), false},
      {"its reply", Command(0xFF, 0xFD, AtaDataPhase::kIn), false},
      {"no second reply", Command(0xFF, 0xFD, AtaDataPhase::kIn), true},
      {"an unknown vendor request", Command(0xFF, 0xFC, AtaDataPhase::kOut, {0x01, 0x02}), true},
      {"an unknown command", Command(0xB0, 0xD0, AtaDataPhase::kIn), true},
      {"IDENTIFY as data out", Command(0xEC, 0, AtaDataPhase::kOut, version), true},
      {"WRITE BUFFER PEA on a drive without the channel",
       Command(0xE8, 0, AtaDataPhase::kOut, version), true},
  };
  for (const Step& s : steps) {
    const auto r = drive.Execute(s.command);
    EXPECT_EQ(r.Failed(), s.fails) << s.name;
    if (s.fails) {
      EXPECT_EQ(r.registers[sim::ata::kError], sim::ata::kErrorAbort) << s.name;
    }
  }

  SimAtaCommand log = Command(0x2F, 0, AtaDataPhase::kIn);
  log.registers[sim::ata::kLbaLow] = 0x9A;
  EXPECT_FALSE(drive.Execute(log).Failed());
  log.registers[sim::ata::kLbaLow] = 0x30;
  EXPECT_TRUE(drive.Execute(log).Failed()) << "only the part-identifier log";
  drive.hasPpidLog = false;
  log.registers[sim::ata::kLbaLow] = 0x9A;
  EXPECT_TRUE(drive.Execute(log).Failed());
}

TEST(SimSataDrive, FaultsSkipCountAndMatch) {
  SimSataDrive drive;
  sim::SimFault f = sim::SimFault::AtaError(0xEC, 0x51);
  f.skip = 1;
  f.times = 2;
  f.features = 0x00;
  drive.faults.push_back(f);
  const sim::AtaRegisters identify = {0, 1, 0, 0, 0, 0, 0xEC, 0};
  const sim::AtaRegisters other = {0, 1, 0, 0, 0, 0, 0x2F, 0};
  EXPECT_FALSE(drive.TakeFault(other)) << "another command";
  EXPECT_FALSE(drive.TakeFault(identify)) << "skipped";
  EXPECT_TRUE(drive.TakeFault(identify));
  EXPECT_TRUE(drive.TakeFault(identify));
  EXPECT_FALSE(drive.TakeFault(identify)) << "used up";
}

TEST(MachineDrives, DescriptionsRefuseWhatTheyDoNotKnow) {
  constexpr const char* kDisk = "[[disk]]\ninstance_id = 'SCSI\\DISK\\1'\n";
  const char* bad[] = {
      "transports = [\"ata\", \"usb\"]",    "sat_sense = \"short\"",
      "[disk.ata]\ncolour = \"red\"",       "[disk.ata]\nword2 = 70000",
      "[[disk.ata.fault]]\nsense = [1, 2]", "[disk.ata]\nmax_download_blocks = 70000",
  };
  for (const char* keys : bad) {
    sim::SimPc pc;
    EXPECT_THROW(sim::LoadMachine(pc, std::string(kDisk) + keys, "bad"), sim::MachineError) << keys;
  }
  sim::SimPc pc;
  EXPECT_THROW(sim::LoadMachine(pc, "[[csmi]]\nphy = []\n", "bad"), sim::MachineError)
      << "a controller without its port";

  sim::LoadMachine(pc,
                   std::string(kDisk) +
                       "transports = [\"cdb\"]\npass_through_error = 50\n"
                       "[disk.ata]\nmodel = \"M\"\n[[disk.ata.fault]]\ncommand = 0xEC\n"
                       "times = -1\nsense = [5, 0x24, 0, 1]\n"
                       "[[csmi]]\nport = 3\nreported_phys = 33\n[[csmi.phy]]\nprotocol = 4\n"
                       "[files]\nexist = ['c:\\rtk_k5.txt']\n",
                   "good");
  const sim::SimDisk& disk = *pc.devices.Find("SCSI\\DISK\\1")->disk;
  EXPECT_TRUE(disk.transports.vendorCdb);
  EXPECT_FALSE(disk.transports.ataPassThrough);
  EXPECT_FALSE(disk.transports.sat);
  EXPECT_EQ(disk.transports.passThroughError, 50u);
  ASSERT_TRUE(disk.ata);
  EXPECT_EQ(disk.ata->identity.model, "M");
  ASSERT_EQ(disk.ata->faults.size(), 1u);
  EXPECT_EQ(disk.ata->faults[0].times, -1);
  EXPECT_TRUE(disk.ata->faults[0].checkCondition->descriptorFormat);
  EXPECT_EQ(pc.scsiPorts.at(3).csmi->reportedPhys, 33);
  EXPECT_EQ(pc.scsiPorts.at(3).csmi->phys.at(0).attachedTargetProtocol, 4);
  EXPECT_TRUE(pc.files.Exists("C:/RTK_K5.TXT"));
}

}  // namespace
