// The Intel RSTe requests through a simulated RSTe/VROC controller: the per-port sequence for a
// RAID volume and for pass-through disks as the driver journaled it, the sizes of the NVMe
// pass-through, what failed requests leave, counts too large to believe, and what the
// simulated driver refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "devices/dev_mgr.h"
#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "sim/drives/sim_nvme_identity.h"
#include "tests/unit/transport/transport_fixture.h"
#include "transport/ata_device.h"
#include "transport/rste_requests.h"

namespace {

using namespace transport;
using namespace transport_test;

// Port 2: one RAID volume of three members. Port 3: two pass-through disks.
constexpr const char* kRaid = R"(
[[rste]]
port = 2
spare_disks = 1
journaling_disks = 2
[[rste.volume]]
[[rste.volume.member]]
id = 256
serial = "RAID0001"
[[rste.volume.member]]
id = 257
serial = "RAID0002"
model = "Travok NV5 2TB"
[[rste.volume.member]]
id = 258
serial = "RAID0003"
)";
constexpr const char* kPassThrough = R"(
[[rste]]
port = 3
[[rste.pass_through]]
id = 5
serial = "PT01"
firmware = "NV3R2000"
[[rste.pass_through]]
id = 9
serial = "PT02"
)";

const std::string kPrefix = "IOCTL_SCSI_MINIPORT NvmeRAID ";
const std::vector<std::string> kCounts = {
    kPrefix + "numberOfRaidVolumes in 32 length 4",
    kPrefix + "numberOfPassThroughDisks in 32 length 4",
    kPrefix + "numberOfSpareDisks in 32 length 4",
    kPrefix + "numberOfJournalingDisks in 32 length 4",
};

std::string MemberIdentify(int disk) {
  return kPrefix + "nvmePassThrough in 4252 length 4224 disk " + std::to_string(disk) +
         " opcode 06 nsid 0 cns 1 direction 2 queue 0 data 0 return 4252";
}
std::string PassThroughIdentify(int disk) {
  return kPrefix + "nvmePassThrough in 4252 length 132 disk " + std::to_string(disk) +
         " opcode 06 nsid 0 cns 1 direction 2 queue 0 data 0 return 4252";
}
std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
std::string Serial(const NvmeIdentify& data) {
  return std::string(data.begin() + 4, data.begin() + 24);
}

class RsteTest : public TransportTest {
 protected:
  os::Handle Open(int port) {
    const os::Handle h = os::Current().CreateFileA(
        "\\\\.\\Scsi" + std::to_string(port) + ":", os::kGENERIC_READ | os::kGENERIC_WRITE,
        os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE, os::kOPEN_EXISTING, 0);
    EXPECT_NE(h, os::kINVALID_HANDLE_VALUE);
    Mark();
    return h;
  }
  // The sequence on a port of a machine with more keys of its own.
  RstePort List(const std::string& toml, int port) {
    TAtaDevice& d = Machine(toml);
    return ListRsteDisks(d, Open(port));
  }
  // The same on a PC of its own, for one case of a table; the requests come in *requests.
  static RstePort ListAlone(const std::string& toml, int port, const std::string& name,
                            std::vector<std::string>* requests) {
    sim::SimPc machine;
    os::Install(&machine);
    sim::LoadMachine(machine, kController + toml, name);
    RstePort p;
    {
      devices::TDevMgr devMgr;
      TAtaDevice object(devMgr.BuildDiskTable());
      const os::Handle h = os::Current().CreateFileA(
          "\\\\.\\Scsi" + std::to_string(port) + ":", os::kGENERIC_READ | os::kGENERIC_WRITE,
          os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE, os::kOPEN_EXISTING, 0);
      const std::size_t mark = machine.Journal().size();
      p = ListRsteDisks(object, h);
      for (std::size_t i = mark; i < machine.Journal().size(); ++i) {
        const std::string& e = machine.Journal()[i];
        if (e.rfind("  ", 0) == 0) requests->push_back(e.substr(2, e.find(" ->") - 2));
      }
    }
    os::Install(nullptr);
    return p;
  }
};

TEST_F(RsteTest, ARaidVolumeIsListedByItsMembersEachIdentifiedInTheDriversBlock) {
  const RstePort p = List(kRaid, 2);
  EXPECT_EQ(Requests(),
            Join(kCounts, {kPrefix + "raidInformation in 132 length 104 volume 1",
                           kPrefix + "raidConfiguration in 316 length 288 volume 1 "
                                     "room 276",
                           MemberIdentify(256), MemberIdentify(257), MemberIdentify(258)}));
  EXPECT_EQ(p.raidVolumes, 1u);
  EXPECT_EQ(p.passThroughDisks, 0u);
  EXPECT_EQ(p.spareDisks, 1u);
  EXPECT_EQ(p.journalingDisks, 2u);
  EXPECT_EQ(p.members, 3u);
  ASSERT_EQ(p.disks.size(), 3u);
  const RsteDisk& second = p.disks[1];
  EXPECT_EQ(second.entry.rsteDiskId, 257u);
  EXPECT_EQ(second.entry.model, "Travok NV5 2TB");
  EXPECT_EQ(second.entry.firmware, "NV3R1000");
  EXPECT_EQ(second.entry.serial, "RAID0002");
  EXPECT_TRUE(second.identified);
  sim::SimNvmeIdentity identity;
  identity.serial = "RAID0002";
  identity.model = "Travok NV5 2TB";
  const sim::NvmeIdentifyData want = sim::BuildIdentifyController(identity, identity.firmware);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), second.identify.begin()));
}

TEST_F(RsteTest, PassThroughDisksAreListedAndIdentifiedThroughTheGeneralPassThrough) {
  const RstePort p = List(kPassThrough, 3);
  EXPECT_EQ(Requests(),
            Join(kCounts, {kPrefix + "PassThroughDiskInformation in 220 length 192 room 184",
                           PassThroughIdentify(5), PassThroughIdentify(9)}));
  ASSERT_EQ(p.disks.size(), 2u);
  EXPECT_EQ(p.disks[0].entry.rsteDiskId, 5u);
  EXPECT_EQ(p.disks[0].entry.firmware, "NV3R2000");
  EXPECT_EQ(Serial(p.disks[0].identify), "PT01                ");
  EXPECT_EQ(Serial(p.disks[1].identify), "PT02                ");
}

TEST_F(RsteTest, WhatFailedRequestsLeave) {
  struct Case {
    const char* name;
    std::string toml;
    int port;
    std::vector<std::string> requests;  // after the counts
    std::vector<std::uint32_t> disks;   // listed
  };
  const std::string failRaidCount =
      std::string(kRaid) + "[[rste.fault]]\nrequest = \"numberOfRaidVolumes\"\nwindows_error = 1\n";
  const Case cases[] = {
      {"a failed RAID volume count reads 0: the pass-through disks are asked for, of which there "
       "are none",
       failRaidCount,
       2,
       {},
       {}},
      {"a count refused with a ReturnCode reads the zeros it was sent with",
       std::string(kPassThrough) +
           "[[rste.fault]]\nrequest = \"numberOfPassThroughDisks\"\nreturn_code = 2\n",
       3,
       {},
       {}},
      {"a failed member Identify does not end the volume's list",
       std::string(kRaid) +
           "[[rste.fault]]\nrequest = \"nvmePassThrough\"\ndisk = 257\nwindows_error = 1117\n",
       2,
       {kPrefix + "raidInformation in 132 length 104 volume 1",
        kPrefix + "raidConfiguration in 316 length 288 volume 1 room 276", MemberIdentify(256),
        MemberIdentify(257), MemberIdentify(258)},
       {256, 257, 258}},
      {"a failed pass-through Identify ends the port's list",
       std::string(kPassThrough) +
           "[[rste.fault]]\nrequest = \"nvmePassThrough\"\ndisk = 5\nwindows_error = 1\n",
       3,
       {kPrefix + "PassThroughDiskInformation in 220 length 192 room 184", PassThroughIdentify(5)},
       {}},
      {"a failed RAID information reads 0 members",
       std::string(kRaid) + "[[rste.fault]]\nrequest = \"raidInformation\"\nwindows_error = 1\n",
       2,
       {kPrefix + "raidInformation in 132 length 104 volume 1",
        kPrefix + "raidConfiguration in 40 length 12 volume 1 room 0"},
       {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> requests;
    const RstePort p = ListAlone(c.toml, c.port, c.name, &requests);
    EXPECT_EQ(requests, Join(kCounts, c.requests)) << c.name;
    std::vector<std::uint32_t> ids;
    for (const RsteDisk& d : p.disks) ids.push_back(d.entry.rsteDiskId);
    EXPECT_EQ(ids, c.disks) << c.name;
    for (const RsteDisk& d : p.disks) {
      // The member whose Identify failed reads as the data area's fill.
      const bool filled = std::all_of(d.identify.begin(), d.identify.end(),
                                      [](std::uint8_t b) { return b == 0x55; });
      EXPECT_EQ(filled, !d.identified) << c.name << " disk " << d.entry.rsteDiskId;
      EXPECT_EQ(d.identified, d.entry.rsteDiskId != 257) << c.name;
    }
  }
  os::Install(&pc);
}

TEST_F(RsteTest, CountsTooLargeToBelieveAreRefusedBeforeAnythingIsAllocated) {
  struct Case {
    const char* name;
    std::string toml;
    int port;
    std::vector<std::string> requests;
  };
  const Case cases[] = {
      {"members",
       std::string(kRaid) + "reported_members = 100000000\n",
       2,
       {kPrefix + "raidInformation in 132 length 104 volume 1"}},
      {"pass-through disks",
       std::string(kPassThrough) + "reported_pass_through_disks = 4294967295\n",
       3,
       {}},
  };
  for (const Case& c : cases) {
    // The keys belong to [[rste]], in front of its sub-tables.
    std::string toml = c.toml;
    const std::string key = toml.substr(toml.rfind("reported_"));
    toml.erase(toml.rfind("reported_"));
    toml.insert(toml.find('\n', toml.find("port =")) + 1, key);
    std::vector<std::string> requests;
    const RstePort p = ListAlone(toml, c.port, c.name, &requests);
    EXPECT_EQ(requests, Join(kCounts, c.requests)) << c.name;
    EXPECT_TRUE(p.countRefused) << c.name;
    EXPECT_TRUE(p.disks.empty()) << c.name;
  }
  os::Install(&pc);
  // The list requests refuse such a count themselves.
  Machine(kPassThrough);
  const os::Handle port = Open(3);
  std::vector<RsteDiskEntry> entries(3);
  EXPECT_FALSE(PassThroughDiskInformationIoctl(port, kMaxRsteDisks + 1, entries));
  EXPECT_FALSE(raidConfigurationIoctl(port, 0x40000000, entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_TRUE(Requests().empty());
}

TEST_F(RsteTest, TheGeneralPassThroughRaisesTheLengthToWholeDwords) {
  TAtaDevice& d = Machine(kPassThrough);
  const os::Handle port = Open(3);
  const NvmeCommand identify = NvmeIdentifyControllerCommand();
  std::fill_n(d.GetResponseBuffer(), 8192, std::uint8_t(0xAA));
  // 4,095 bytes asked for: 4,096 move, in a block of 4,252.
  EXPECT_TRUE(d.nvmePassThroughIoctl(port, 9, nullptr, 4095, 0, kNvmeFromDevice, identify));
  EXPECT_EQ(d.GetResponseBuffer()[4095], 0x00);
  EXPECT_EQ(d.GetResponseBuffer()[4096], 0xAA);
  EXPECT_EQ(Serial(*reinterpret_cast<const NvmeIdentify*>(d.GetResponseBuffer())),
            "PT02                ");
  // To the device: the caller's 5 bytes, padded with zeros to 8, and a block of 164. Any other
  // command than Identify completes with an NVMe error status, which is no failure of the call.
  NvmeCommand setFeatures{};
  setFeatures[0] = 0x09;
  const std::array<std::uint8_t, 5> five = {1, 2, 3, 4, 5};
  EXPECT_TRUE(d.nvmePassThroughIoctl(port, 5, five.data(), 5, 0, kNvmeToDevice, setFeatures));
  // No data: the fixed block alone, whose Length cannot be 132.
  EXPECT_TRUE(d.nvmePassThroughIoctl(port, 5, nullptr, 0, 0, 0, setFeatures));
  // A length the transfer buffers cannot hold is refused unsent.
  EXPECT_FALSE(d.nvmePassThroughIoctl(port, 5, nullptr, 0xFFFFFFFF, 0, kNvmeFromDevice, identify));
  EXPECT_EQ(Requests(true),
            (std::vector<std::string>{
                PassThroughIdentify(9) + " -> status 0000",
                kPrefix + "nvmePassThrough in 164 length 132 disk 5 opcode 09 nsid 0 cns 0 "
                          "direction 1 queue 0 data 8 return 156 -> status 0002",
                kPrefix + "nvmePassThrough in 156 length 128 disk 5 opcode 09 nsid 0 cns 0 "
                          "direction 0 queue 0 data 0 return 156 -> status 0002",
            }));
}

// Requests laid out here byte by byte, as the driver reads them.
TEST_F(RsteTest, TheDriverRefusesWhatIsNoRequestOfItsOwn) {
  Machine(kPassThrough);
  const os::Handle port = Open(3);
  struct Case {
    const char* name;
    std::size_t size;
    std::vector<std::pair<std::size_t, std::uint32_t>> dwords;  // offset, value
    bool completes;
    std::uint32_t errorOrReturnCode;
    std::uint16_t nvmeStatus;
  };
  const std::vector<std::pair<std::size_t, std::uint32_t>> identify = {
      {16, 0xE0002000}, {24, 4224}, {52, 0x06}, {92, 1}, {132, 2}, {148, 4252}};
  const auto with = [&](std::vector<std::pair<std::size_t, std::uint32_t>> more) {
    auto all = identify;
    all.insert(all.end(), more.begin(), more.end());
    return all;
  };
  const Case cases[] = {
      {"a count", 32, {{16, 0xE0002028}, {24, 4}}, true, 0, 0},
      {"HeaderLength 24", 32, {{0, 24}, {16, 0xE0002028}, {24, 4}}, false, 87, 0},
      {"a Length past the buffer", 32, {{16, 0xE0002028}, {24, 8}}, false, 87, 0},
      {"an unknown control code", 32, {{16, 0xE0002040}, {24, 4}}, true, 1, 0},
      {"a list with less room than its disks",
       128,
       {{16, 0xE000202C}, {24, 100}, {28, 92}},
       true,
       2,
       0},
      {"Identify of disk 9", 4252, with({{20, 9}}), true, 0, 0},
      {"Identify of a disk it does not have", 4252, with({{20, 7}}), true, 3, 0},
      {"Identify on an I/O queue", 4252, with({{20, 9}, {136, 1}}), true, 2, 0},
      {"a return buffer larger than the block", 4252, with({{20, 9}, {148, 8192}}), true, 2, 0},
      {"Identify with CNS 0", 4252, with({{20, 9}, {92, 0}}), true, 0, 0x0004},
      {"Get Log Page", 4252, with({{20, 9}, {52, 0x02}}), true, 0, 0x0002},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> b(c.size, 0);
    fw::PutU32le(b, 0, 28);
    std::memcpy(&b[4], "NvmeRAID", 8);
    fw::PutU32le(b, 12, 40);  // the driver refuses a request without a time-out
    for (const auto& [at, value] : c.dwords) fw::PutU32le(b, at, value);
    std::uint32_t returned = 0;
    const bool ok = os::Current().DeviceIoControl(port, os::kIOCTL_SCSI_MINIPORT, b.data(),
                                                  std::uint32_t(b.size()), b.data(),
                                                  std::uint32_t(b.size()), &returned);
    EXPECT_EQ(ok, c.completes) << c.name;
    EXPECT_EQ(ok ? fw::GetU32le(b, 20) : os::Current().GetLastError(), c.errorOrReturnCode)
        << c.name;
    if (ok && c.size > 132) {
      EXPECT_EQ(fw::GetU16le(b, 130), c.nvmeStatus) << c.name;
    }
  }
}

TEST_F(RsteTest, TheMachineDescriptionNamesTheLineOfWhatItCannotRead) {
  const std::pair<std::string, std::string> cases[] = {
      {"[[rste]]\nport = 2\ncolour = 1\n", "test:3: unknown key 'colour'"},
      {"[[rste]]\nspare_disks = 1\n", "test:1: port: missing"},
      {"[[rste]]\nport = 2\n[[rste.pass_through]]\nid = 1\n[[rste.pass_through]]\nid = 1\n",
       "test:5: id: 1 twice"},
      {"[[rste]]\nport = 2\n[[rste.volume]]\n[[rste.volume.member]]\nserial = "
       "\"123456789012345678901\"\n",
       "test:5: serial: at most 20"},
      {"[[rste]]\nport = 2\n[[rste.fault]]\nrequest = \"format\"\nwindows_error = 1\n",
       "test:4: request: any,"},
      {"[[rste]]\nport = 2\n[[rste.fault]]\nrequest = \"raidInformation\"\n",
       "test:3: fault: windows_error"},
      {"[[rste]]\nport = 2\n[[rste]]\nport = 2\n", "test:3: port 2 twice"},
  };
  for (const auto& [toml, message] : cases) {
    sim::SimPc machine;
    try {
      sim::LoadMachine(machine, toml, "test");
      ADD_FAILURE() << toml;
    } catch (const sim::MachineError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
    }
  }
}

}  // namespace
