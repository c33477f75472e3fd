// The drive scan on simulated PCs: how the ATA/NVMe pass classifies disks and which driver path
// it takes for each, the attempts and their waits, the "/T:" path, the CSMI pass in both forms,
// the RSTe pass, the bound of the table, and a scan of the built-in machine. What was sent is
// read from what the drives received and from the drivers' journal.
#include "discovery/drive_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "devices/dev_mgr.h"
#include "sim/machine/machine_toml.h"
#include "tests/unit/discovery/discovery_fixture.h"
#include "transport/ata_device.h"

namespace {

using namespace discovery;
using namespace discovery_test;

class DriveScanTest : public DiscoveryTest {
 protected:
  void SetUp() override {
    DiscoveryTest::SetUp();
    bRSTeScan = false;
  }
  void TearDown() override {
    bRSTeScan = false;
    DiscoveryTest::TearDown();
  }

  std::int32_t Scan(std::int32_t kind = 0) {
    TScanContext context{.device = *device,
                         .devMgr = *devMgr,
                         .devInfo = *table,
                         .currentIdentity = identity,
                         .csmiTarget = target,
                         .bUpdaterMode = bUpdaterMode,
                         .sTargetPath = sTargetPath,
                         .slotBoxes = Boxes()};
    return ScanSSDDrive(context, kind);
  }
  const DevInfo& Rec(int i) const { return (*table)[std::size_t(i)]; }
  // The built-in machine, without the fixture's controller.
  void BuiltIn() {
    sim::LoadMachine(pc, sim::BuiltInMachine(), "demo");
    devMgr = std::make_unique<devices::TDevMgr>();
    device = std::make_unique<transport::TAtaDevice>(devMgr->BuildDiskTable());
  }
  sim::SimNvmeDrive& NvmeDrive(const std::string& instanceId) {
    return *pc.devices.Find(instanceId)->disk->nvme;
  }
  // The detail lines of the drivers that contain `text`.
  std::vector<std::string> RequestsWith(const std::string& text) const {
    std::vector<std::string> out;
    for (const std::string& r : Requests(true))
      if (r.find(text) != std::string::npos) out.push_back(r);
    return out;
  }

  // On the heap by itself, so that a write past its end is caught.
  std::unique_ptr<TDevInfoTable> table = std::make_unique<TDevInfoTable>();
  TCsmiTarget target;
  bool bUpdaterMode = false;
  std::string sTargetPath;
};

std::string Text(const char* field, std::size_t width) {
  return std::string(field, width);
}
template <std::size_t N>
std::string Text(const char (&field)[N]) {
  return FieldText(field);
}

// ---- ATA/NVMe pass: classification and paths ----

// "14.10.0.1000" sorts before "14.8.0.0", so the check calls it older, while the driver itself
// carries the pass-through; "14.5.0.1081" is older by both and refuses it.
TEST_F(DriveScanTest, AnNvmeDiskBehindAnOlderRstDriverIsAskedThroughTheControllersPort) {
  struct Case {
    const char* version;
    std::int32_t count;
  };
  for (const Case& c : {Case{"14.10.0.1000", 1}, Case{"14.5.0.1081", 0}}) {
    SCOPED_TRACE(c.version);
    Fresh();
    Machine(RstController(c.version, "IaStorA") +
            NvmeDisk("RST", kRstParent, 8, "[2, 1, 0, 0]", "firmware = \"RSTFW001\"\nfwug = 2"));
    Mark();
    const std::uint64_t start = pc.NowMicroseconds();
    ASSERT_EQ(Scan(), c.count);
    EXPECT_EQ(Count("CreateFileA \"\\\\.\\Scsi2:\""), 1) << "SelectPort kind 16 on PortNumber";
    const auto identify = RequestsWith("\"IntelNvm\" path 1 opcode 06");
    if (c.count == 0) {
      EXPECT_EQ(identify.size(), 4u) << "four calls";
      EXPECT_GE(pc.NowMicroseconds() - start, 3u * 500'000u) << "500 ms between calls";
      EXPECT_FALSE(Rec(0).bExisted) << "nothing found: the table stays zeros";
      continue;
    }
    EXPECT_EQ(identify.size(), 1u);
    const DevInfo& r = Rec(0);
    EXPECT_TRUE(r.bIsNvme);
    EXPECT_TRUE(r.bIsNVMe_InBoxDriver);
    EXPECT_TRUE(r.bIsNVMe_IrstDriverBelow_14_8);
    EXPECT_FALSE(r.bIsNVMe_IrstDriver);
    EXPECT_FALSE(r.bIsNvmeRSTeDriver);
    EXPECT_EQ(r.PortNumber, 2);
    EXPECT_EQ(r.PathId, 1);
    EXPECT_EQ(r.order, 0);
    EXPECT_EQ(Text(r.firmware, 8), "RSTFW001");
    EXPECT_EQ(Text(r.fwExt, 8), "RSTFW001");
    EXPECT_EQ(fw::Trim(Text(r.model)), "RST model") << "from the Identify data";
    EXPECT_EQ(fw::Trim(Text(r.checkModel)), "RST friendly") << "from the enumeration";
    EXPECT_EQ(r.m_NVMeFWUG, 2);
    EXPECT_EQ(cboFwSlot.Items, (Items{"Default", "1. RSTFW001", "2. NA", "3. NA"}));
  }
}

// The inbox driver's service in any letter case; "NVME" alone makes an NVMe disk, but one no
// path of the program reaches.
TEST_F(DriveScanTest, AnNvmeDiskOnTheInboxDriverTakesItsRevisionFromTheActiveSlot) {
  const std::string nvme =
      "slots = [\"OLDREV01\", \"NEWREV02\"]\nactive_slot = 2\npart_id = \"PART-77\"\nfwug = 3";
  struct Case {
    const char* service;
    std::int32_t count;
  };
  for (const Case& c : {Case{"StorNVMe", 1}, Case{"secnvme", 0}}) {
    SCOPED_TRACE(c.service);
    Fresh();
    Machine(InboxController(c.service) +
            NvmeDisk("INBOX", kInboxParent, 0x11, "[1, 0, 0, 0]", nvme));
    Mark();
    ASSERT_EQ(Scan(), c.count);
    EXPECT_EQ(RequestsWith("IOCTL_STORAGE_QUERY_PROPERTY property 49").size(), 1u) << "PPID";
    EXPECT_EQ(RequestsWith("FIRMWARE").size(), std::size_t(c.count));
    EXPECT_EQ(RequestsWith("IOCTL_ATA_PASS_THROUGH").size(), 0u);
    EXPECT_TRUE(pc.devices.files.empty()) << "the handle is closed at the end";
    if (c.count == 0) continue;
    const DevInfo& r = Rec(0);
    EXPECT_TRUE(r.bIsNvme);
    EXPECT_TRUE(r.bIsNVMe_InBoxDriver);
    EXPECT_FALSE(r.bIsNVMe_IrstDriverBelow_14_8);
    EXPECT_EQ(Text(r.model), "INBOX friendly");
    EXPECT_EQ(Text(r.checkModel), "INBOX friendly");
    EXPECT_EQ(Text(r.serial), "INBOX-STACK-SERIAL") << "the storage stack's";
    EXPECT_EQ(Text(r.firmware, 8), "NEWREV02");
    EXPECT_EQ(Text(r.fwExt, 8), "NEWREV02");
    EXPECT_EQ(Text(r.PPID), "PART-77");
    EXPECT_EQ(r.m_NVMeFWUG, 3);
    EXPECT_EQ(Text(r.instanceId), NvmeDiskId("INBOX"));
    EXPECT_EQ(r.PortNumber, 1);
    EXPECT_EQ(cboFwSlot.Items, (Items{"Default", "1. OLDREV01", "2. NEWREV02", "3. NA"}));
  }
}

// The first disk behind VROC turns the run to RSTe scans: it and every later disk of the pass
// stay unrecorded, and the next scan lists the RSTe ports whatever kind it is asked for.
TEST_F(DriveScanTest, AVrocDiskTurnsEveryLaterScanIntoAnRstePass) {
  Machine(
      "\n[[device]]\ninstance_id = 'PCI\\VEN_8086&DEV_201D\\3&0&0&28'\nclass = \"scsiadapter\"\n"
      "service = \"iVROC\"\n" +
      NvmeDisk("VROC", "PCI\\VEN_8086&DEV_201D\\3&0&0&28", 8, "[0, 0, 0, 0]") + Disk("SATA", 1) +
      "\n[[rste]]\nport = 5\n[[rste.pass_through]]\nid = 3\nserial = \"PT-0003\"\n");
  EXPECT_EQ(Scan(), 0);
  EXPECT_TRUE(bRSTeScan);
  EXPECT_TRUE(Drive("SATA").Records().empty()) << "the SATA disk after it is not asked either";

  for (std::int32_t kind : {0, 1}) {
    SCOPED_TRACE(kind);
    Mark();
    ASSERT_EQ(Scan(kind), 1);
    EXPECT_TRUE(bRSTeScan);
    EXPECT_EQ(fw::Trim(Text(Rec(0).serial)), "PT-0003");
    EXPECT_FALSE(RequestsWith("NvmeRAID").empty());
  }
}

TEST_F(DriveScanTest, AnAtaDiskIsAskedFourTimesWithWaitsInBetween) {
  struct Case {
    int failures;
    std::int32_t count;
  };
  for (const Case& c : {Case{3, 1}, Case{4, 0}}) {
    SCOPED_TRACE(c.failures);
    Fresh();
    Machine(Disk("D", 0, "",
                 "[disk.ata]\nserial = \"SN-D\"\nppid = \"PPID-D\"\n[[disk.ata.fault]]\n"
                 "command = 0xEC\nstatus = 0x51\ntimes = " +
                     std::to_string(c.failures) + "\n"));
    const std::uint64_t start = pc.NowMicroseconds();
    ASSERT_EQ(Scan(), c.count);
    EXPECT_EQ(Commands(Drive("D"), 0xEC).size(), 4u);
    EXPECT_GE(pc.NowMicroseconds() - start, 3u * 500'000u);
    EXPECT_TRUE(pc.devices.files.empty()) << "the handle is closed at the end";
    if (c.count == 0) continue;
    EXPECT_EQ(fw::Trim(Text(Rec(0).serial)), "SN-D");
    EXPECT_EQ(fw::Trim(Text(Rec(0).PPID)), "PPID-D");
    EXPECT_EQ(Text(Rec(0).checkModel), Text(Rec(0).model));
  }
}

// A deployment script names the disk itself: every non-NVMe disk is opened through that path,
// so the same drive is recorded for each of them.
TEST_F(DriveScanTest, TheTargetPathOpensEveryNonNvmeDisk) {
  Machine(Disk("A", 0, "", "[disk.ata]\nserial = \"SN-A\"\n") +
          Disk("B", 1, "", "[disk.ata]\nserial = \"SN-B\"\n") + InboxController() +
          NvmeDisk("INBOX", kInboxParent, 0x11, "[1, 0, 0, 0]"));
  sTargetPath = "\\\\.\\PhysicalDrive1";
  Mark();
  ASSERT_EQ(Scan(), 3);
  EXPECT_EQ(fw::Trim(Text(Rec(0).serial)), "SN-B");
  EXPECT_EQ(fw::Trim(Text(Rec(1).serial)), "SN-B");
  EXPECT_EQ(Rec(0).order, 0);
  EXPECT_EQ(Rec(1).order, 1);
  EXPECT_EQ(Text(Rec(2).model), "INBOX friendly");
  EXPECT_EQ(Count("CreateFileA \"\\\\.\\PhysicalDrive1\""), 2);
  EXPECT_TRUE(Drive("A").Records().empty());
}

// ---- CSMI ----

TEST_F(DriveScanTest, TheCsmiPassTakesSataAndStpTargetsOfAll32Phys) {
  Machine(R"(
[[csmi]]
port = 4
reported_phys = 1
[[csmi.phy]]
phy = 0
port = 0
protocol = 1
sas_address = [0x50, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07]
[csmi.phy.ata]
serial = "CSMI-SATA"
[[csmi.phy]]
phy = 1
port = 0
protocol = 8
[[csmi.phy]]
phy = 2
port = 0
attached_type = 0
[csmi.phy.ata]
serial = "NOTHING-ATTACHED"
[[csmi.phy]]
phy = 3
port = 0
device_type = 0
[csmi.phy.ata]
serial = "PHY-UNUSED"
[[csmi.phy]]
phy = 4
port = 1
protocol = 4
sas_address = [0x50, 0, 0, 0, 0, 0, 0, 0x44]
[csmi.phy.ata]
serial = "CSMI-STP"
ppid = "NOT-READ-HERE"
)");
  std::memcpy(identity.PPID, "STALE", 5);
  ASSERT_EQ(Scan(1), 2);
  const struct {
    const char* serial;
    int phy, port;
    std::uint64_t sas;
  } expected[] = {{"CSMI-SATA", 0, 0, 0x0706050403020150}, {"CSMI-STP", 4, 1, 0x4400000000000050}};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const DevInfo& r = Rec(i);
    EXPECT_EQ(fw::Trim(Text(r.serial)), expected[i].serial);
    EXPECT_EQ(r.PortNumber, 4);
    EXPECT_EQ(r.order, 4);
    EXPECT_EQ(r.TargetId, expected[i].phy);
    EXPECT_EQ(r.scsi_index, expected[i].phy);
    EXPECT_EQ(r.PathId, expected[i].port);
    EXPECT_EQ(r.csmi_port, expected[i].port);
    EXPECT_EQ(r.SAS_ADDR, expected[i].sas);
    EXPECT_EQ(Text(r.PPID), "") << "the CSMI pass reads no part identifier";
    EXPECT_FALSE(r.bIsNvme);
  }
  for (int skipped : {2, 3})
    EXPECT_TRUE(pc.scsiPorts[4].csmi->phys[std::size_t(skipped)].drive->Records().empty());
}

// "/C:4,00000C0B0A000000": phy 0, port 0 and the address as given for three calls; then phy
// 0Ch, port 0Bh and address 0000000Ah, read from the packed address.
TEST_F(DriveScanTest, TheSingleCsmiTargetIsTriedAgainWithThePackedAddress) {
  const std::string controller = R"(
[[csmi]]
port = 4
[[csmi.phy]]
phy = 12
port = 11
sas_address = [0x0A, 0, 0, 0, 0, 0, 0, 0]
)";
  for (bool bDrive : {true, false}) {
    SCOPED_TRACE(bDrive ? "the drive answers at the packed address" : "no drive answers");
    Fresh();
    Machine(controller + (bDrive ? "[csmi.phy.ata]\nserial = \"PACKED\"\n" : ""));
    bUpdaterMode = true;
    target = {.SCSI_PORT = 4, .SAS_ADDR = 0x0000000A0B0C0000, .INDEX = 0, .PORT = 0};
    Mark();
    ASSERT_EQ(Scan(1), bDrive ? 1 : 0);
    std::vector<std::string> addresses;
    for (const std::string& line : RequestsWith("CSMISAS 25")) {
      const std::size_t at = line.find("phy ");
      addresses.push_back(line.substr(at, line.find(" regs") - at));
    }
    const std::string given = "phy 0 port 0 rate 0 sas 00 00 0C 0B 0A 00 00 00";
    const std::string packed = "phy 12 port 11 rate 0 sas 0A 00 00 00 00 00 00 00";
    // IDENTIFY three times at the given address; then IDENTIFY and the vendor request, or four
    // more IDENTIFY, at the packed one.
    const std::vector<std::string> sent = {given, given, given, packed, packed, packed, packed};
    EXPECT_EQ(addresses, bDrive ? std::vector<std::string>(sent.begin(), sent.begin() + 6) : sent);
    EXPECT_EQ(target.INDEX, 12);
    EXPECT_EQ(target.PORT, 11);
    EXPECT_EQ(target.SAS_ADDR, 0x0Au);
    EXPECT_TRUE(Rec(0).bExisted);
    EXPECT_EQ(Rec(0).PortNumber, 4);
    EXPECT_EQ(Rec(0).order, 0);
    EXPECT_EQ(fw::Trim(Text(Rec(0).serial)), bDrive ? "PACKED" : "");
  }
}

// ---- RSTe ----

// A member whose Identify failed would carry the 55h fill of the data area as its identity.
TEST_F(DriveScanTest, TheRaidVolumesMembersAreRecordedInTheDriversOrder) {
  const std::string volume = R"(
[[rste]]
port = 2
[[rste.volume]]
[[rste.volume.member]]
id = 256
serial = "M-0"
firmware = "MFW00000"
[[rste.volume.member]]
id = 257
serial = "M-1"
[[rste.volume.member]]
id = 258
serial = "M-2"
model = "Travok NV5 2TB"
)";
  const std::string failing =
      "\n[[rste.fault]]\nrequest = \"nvmePassThrough\"\ndisk = 257\nwindows_error = 1117\n";
  struct Case {
    const char* name;
    std::string more;
    std::vector<int> members;
  };
  for (const Case& c : {Case{"three members", "", {0, 1, 2}},
                        Case{"the second member's Identify fails", failing, {0, 2}}}) {
    SCOPED_TRACE(c.name);
    Fresh();
    Machine(volume + c.more);
    bRSTeScan = true;
    ASSERT_EQ(Scan(), std::int32_t(c.members.size()));
    for (std::size_t i = 0; i < c.members.size(); ++i) {
      const DevInfo& r = Rec(int(i));
      const int k = c.members[i];
      EXPECT_EQ(r.PortNumber, k);
      EXPECT_EQ(r.order, k);
      EXPECT_EQ(r.Lun, 0);
      EXPECT_TRUE(r.bExisted);
      EXPECT_EQ(fw::Trim(Text(r.serial)), "M-" + std::to_string(k));
      EXPECT_EQ(Text(r.fwExt, 8), Text(r.firmware, 8));
      EXPECT_EQ(fw::Trim(Text(r.model)), k == 2 ? "Travok NV5 2TB" : "Travok NV3 1TB");
      EXPECT_EQ(Text(r.checkModel), Text(r.model));
      EXPECT_FALSE(r.bIsNvme) << "the RSTe pass sets no NVMe flag";
      EXPECT_TRUE(FoundByRstePass(r));
    }
    EXPECT_EQ(Text(Rec(0).firmware, 8), "MFW00000");
  }
}

// ---- The table's bound ----

TEST_F(DriveScanTest, ASeventeenthDriveIsNotRecordedButStillWalked) {
  std::string disks;
  for (int n = 0; n < 17; ++n)
    disks += Disk("D" + std::to_string(n), n, "",
                  "[disk.ata]\nserial = \"SN-" + std::to_string(n) + "\"\n");
  Machine(disks);
  ASSERT_EQ(Scan(), kMaxDrives);
  for (int n = 0; n < kMaxDrives; ++n)
    EXPECT_EQ(fw::Trim(Text(Rec(n).serial)), "SN-" + std::to_string(n));
  EXPECT_EQ(Commands(Drive("D16"), 0xEC).size(), 1u) << "the walk goes on";
  EXPECT_TRUE(pc.devices.files.empty()) << "the handle is closed at the end";
}

// ---- The built-in machine ----

TEST_F(DriveScanTest, TheBuiltInMachineIsFoundThroughEachDrivesOwnPath) {
  BuiltIn();
  ASSERT_EQ(Scan(0), 5);
  struct Expected {
    const char* model;
    const char* instance;  // the start of its instance identifier
    bool bInbox, bIrst;
    const char* transport;  // as the drive received its commands
  };
  const Expected drives[] = {
      {"CORVANE K5 512GB", "SCSI\\DISK&VEN_&PROD_CORVANE_K5", false, false, "ATA"},
      {"CORVANE Q7 2TB", "SCSI\\DISK&VEN_&PROD_CORVANE_Q7", false, false, "ATA"},
      {"Samsung SSD 970 EVO Plus 1TB", "SCSI\\DISK&VEN_NVME&PROD_SAMSUNG", true, false, "FIRMWARE"},
      {"INTEL SSDPEKNW512G8", "SCSI\\DISK&VEN_NVME&PROD_INTEL", false, true, "IntelNvm"},
      {"CORVANE K5 256GB", "USBSTOR\\DISK&VEN_JMICRON", false, false, "SAT"},
  };
  for (int i = 0; i < 5; ++i) {
    const Expected& e = drives[i];
    SCOPED_TRACE(e.model);
    const DevInfo& r = Rec(i);
    EXPECT_EQ(fw::Trim(Text(r.model)), e.model);
    EXPECT_EQ(Text(r.instanceId).rfind(e.instance, 0), 0u) << Text(r.instanceId);
    EXPECT_EQ(r.bIsNvme, e.bInbox || e.bIrst);
    EXPECT_EQ(r.bIsNVMe_InBoxDriver, e.bInbox);
    EXPECT_EQ(r.bIsNVMe_IrstDriver, e.bIrst);
    const sim::SimDevice& disk = *pc.devices.Find(Text(r.instanceId));
    const std::string transport = disk.disk->ata ? disk.disk->ata->Records().back().transport
                                                 : disk.disk->nvme->Records().back().transport;
    EXPECT_EQ(transport, e.transport);
  }
  EXPECT_EQ(Text(Rec(0).fwExt, 8), "K5FW015A");
  EXPECT_EQ(Text(Rec(2).firmware, 8), "2B2QEXM7");
  EXPECT_EQ(Rec(3).PortNumber, 2);
  EXPECT_EQ(Rec(3).PathId, 1);
  EXPECT_TRUE(pc.devices.files.empty());

  ASSERT_EQ(Scan(1), 1) << "the SATA SSD on the RST controller's CSMI interface";
  EXPECT_EQ(fw::Trim(Text(Rec(0).model)), "CORVANE Q7 1TB");
  EXPECT_EQ(Rec(0).PortNumber, 2);
  EXPECT_EQ(pc.scsiPorts[2].csmi->phys[0].drive->Records().back().transport, "CSMI STP");
}

TEST_F(DriveScanTest, StyleTwentySendsNoVendorRequestToAnyDrive) {
  BuiltIn();
  device->SetVisualStyle(20);
  ASSERT_EQ(Scan(0), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Text(Rec(i).fwExt, 8), Text(Rec(i).firmware, 8)) << i;
  ASSERT_EQ(Scan(1), 1);
  EXPECT_EQ(Text(Rec(0).fwExt, 8), Text(Rec(0).firmware, 8));

  std::vector<const sim::SimSataDrive*> drives = {pc.scsiPorts[2].csmi->phys[0].drive.get()};
  for (const sim::SimDevice& d : pc.devices.Devices())
    if (d.disk && d.disk->ata) drives.push_back(d.disk->ata.get());
  ASSERT_EQ(drives.size(), 4u);
  for (const sim::SimSataDrive* drive : drives) {
    EXPECT_FALSE(drive->Records().empty());
    EXPECT_TRUE(Commands(*drive, 0xFF).empty()) << drive->identity.model;
  }
}

}  // namespace
