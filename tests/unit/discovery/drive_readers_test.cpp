// The drive-information readers through the simulated drivers: the ATA identity and its
// extended revision, the part identifier's byte order, the NVMe identity and slot boxes through
// Intel RST and through the inbox driver, and the system-drive test. What was sent is read from
// what the drives received.
#include "discovery/drive_readers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "devices/dev_mgr.h"
#include "framework/bytes.h"
#include "tests/unit/discovery/discovery_fixture.h"
#include "transport/ata_device.h"

namespace {

using namespace discovery;
using namespace discovery_test;

class DriveReadersTest : public DiscoveryTest {
 protected:
  // One SATA disk, bound as the scan binds it; its drive's records start afresh.
  transport::TAtaDevice& Sata(const std::string& ata, int style = 0) {
    Fresh();
    transport::TAtaDevice& d = Machine(Disk("D", 0, "", "[disk.ata]\n" + ata));
    d.SetVisualStyle(style);
    EXPECT_TRUE(d.SelectPort(0, nullptr, -1, transport::kKindNone));
    m_From = Drive("D").Records().size();
    return d;
  }
  std::vector<sim::SimAtaRecord> Sent(std::uint8_t opcode) {
    return Commands(Drive("D"), opcode, m_From);
  }

 private:
  std::size_t m_From = 0;
};

TEST_F(DriveReadersTest, TheExtendedRevisionFallsBackOnTheFirmwareRevision) {
  struct Case {
    const char* name;
    std::string ata;
    int style;
    std::string fwExt;
    std::size_t vendorRequests;
  };
  const Case cases[] = {
      {"vendor reply", "vendor_version = \"K5FW015A\"", 0, "K5FW015A", 2},
      {"reply of 8 blanks", "vendor_version = \"\"", 0, "K5FW0150", 2},
      {"vendor request refused", "vendor_commands = false", 0, "K5FW0150", 1},
      {"style 20", "vendor_version = \"K5FW015A\"", 20, "K5FW0150", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transport::TAtaDevice& d = Sata(
        "model = \"CORVANE K5 512GB\"\nfirmware = \"K5FW0150\"\nserial = \"CVK5A0123456789\"\n" +
            c.ata,
        c.style);
    ASSERT_EQ(ReadDriveIdentity(d, identity), transport::ATACMD_OK);
    EXPECT_EQ(std::string(identity.model, 40), "CORVANE K5 512GB" + std::string(24, ' '));
    EXPECT_EQ(std::string(identity.firmware, 8), "K5FW0150");
    EXPECT_EQ(std::string(identity.serial, 20), "CVK5A0123456789     ");
    EXPECT_EQ(std::string(identity.fwExt, 8), c.fwExt);
    const auto identify = Sent(0xEC);
    ASSERT_EQ(identify.size(), 1u);
    EXPECT_EQ(identify[0].timeoutSeconds, 3u);
    EXPECT_EQ(Sent(0xFF).size(), c.vendorRequests);
    if (c.style == 20) {
      EXPECT_EQ(d.TimeoutSeconds(), 20.0f) << "back to 20 s after IDENTIFY";
    }
  }
}

TEST_F(DriveReadersTest, AFailedIdentifyLeavesTheIdentityClearedAndAnswersItsResult) {
  transport::TAtaDevice& d =
      Sata("[[disk.ata.fault]]\ncommand = 0xEC\ntimes = -1\nstatus = 0x51\n");
  std::memset(&identity, 'X', sizeof identity);
  EXPECT_EQ(ReadDriveIdentity(d, identity), transport::ATACMD_FAIL);
  for (const char* field : {identity.model, identity.firmware, identity.serial, identity.fwExt})
    EXPECT_EQ(field[0], 0);
  EXPECT_EQ(identity.PPID[0], 'X') << "not the identity reader's";
  EXPECT_TRUE(Sent(0xFF).empty()) << "no vendor request after a failed IDENTIFY";
}

// The log stores its first 24 bytes as ATA words, the last 8 as they are.
TEST_F(DriveReadersTest, ThePartIdentifierIsSwappedBackInItsFirst24BytesOnly) {
  transport::TAtaDevice& d = Sata("ppid = \"ABCDEFGHIJKLMNOPQRSTUVWXyz012345\"");
  const auto log = Drive("D").PpidLog();
  ASSERT_EQ(std::string(log.begin(), log.begin() + 4), "BADC") << "the log holds it swapped";
  ASSERT_EQ(std::string(log.begin() + 24, log.begin() + 32), "yz012345");
  ASSERT_EQ(ReadAtaPpid(d, identity), transport::ATACMD_OK);
  EXPECT_EQ(std::string(identity.PPID, 32), "ABCDEFGHIJKLMNOPQRSTUVWXyz012345");
  const auto read = Sent(0x2F);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].timeoutSeconds, 10u);
  EXPECT_EQ(d.TimeoutSeconds(), 20.0f);

  transport::TAtaDevice& without = Sata("ppid_log = false");
  EXPECT_NE(ReadAtaPpid(without, identity), transport::ATACMD_OK);
  EXPECT_EQ(std::string(identity.PPID, 32), std::string(32, '\0'));
}

// ---- NVMe ----

class NvmeReadersTest : public DiscoveryTest {
 protected:
  transport::TAtaDevice& Rst(const std::string& nvme) {
    transport::TAtaDevice& d = Machine(RstController("15.2.0.1020") +
                                       NvmeDisk("RST", kRstParent, 8, "[2, 1, 0, 0]", nvme));
    EXPECT_TRUE(d.SelectPort(IndexOf(NvmeDiskId("RST")), nullptr, 2, transport::kKindNvme));
    Mark();
    return d;
  }
  transport::TAtaDevice& Inbox(const std::string& nvme, const std::string& keys = "") {
    transport::TAtaDevice& d = Machine(
        InboxController() + NvmeDisk("INBOX", kInboxParent, 0x11, "[1, 0, 0, 0]", nvme, keys));
    const int index = IndexOf(NvmeDiskId("INBOX"));
    EXPECT_TRUE(d.SelectPort(index, d.DriveAt(index)->devicePath, -1, transport::kKindNvme));
    Mark();
    return d;
  }
  const sim::SimNvmeDrive& NvmeDrive(const std::string& name) {
    return *pc.devices.Find(NvmeDiskId(name))->disk->nvme;
  }
};

// FRMW 06h: three slots. The log is read whole, and the boxes list only the slots the drive has.
TEST_F(NvmeReadersTest, IrstIdentifyFillsTheIdentityAndListsTheSlotsTheDriveHas) {
  transport::TAtaDevice& d =
      Rst("firmware = \"NV3R1000\"\nfrmw = 0x06\nfwug = 4\npart_id = \"PART-0001\"\n"
          "slots = [\"NV3R1000\", \"\", \"NV3R0900\"]");
  cboFwSlot.Items = {"stale"};
  ASSERT_EQ(Identify_irst(d, 1, identity, Boxes()), 1);
  EXPECT_EQ(std::string(identity.model, 9), "RST model");
  EXPECT_EQ(std::string(identity.serial, 10), "RST-SERIAL");
  EXPECT_EQ(std::string(identity.firmware, 8), "NV3R1000");
  EXPECT_EQ(std::string(identity.fwExt, 8), "NV3R1000");
  EXPECT_EQ(FieldText(identity.PPID), "PART-0001");
  EXPECT_EQ(identity.slotCount, 3);
  EXPECT_EQ(identity.m_NVMeFWUG, 4);
  EXPECT_EQ(cboFwSlot.Items, (Items{"Default", "1. NV3R1000", "2. NA", "3. NV3R0900"}));
  EXPECT_EQ(cboFwSlot.ItemIndex, 0);
  EXPECT_EQ(cboCommitAction.Items, (Items{"0", "1", "2", "3"}));
  EXPECT_EQ(cboCommitAction.ItemIndex, 3);

  const auto& records = NvmeDrive("RST").Records();
  ASSERT_EQ(records.size(), 2u);
  for (const auto& r : records) EXPECT_EQ(r.transport, "IntelNvm");
  EXPECT_EQ(records[0].command[0], 0x06);
  EXPECT_EQ(fw::GetU32le(records[0].command, 40), 1u) << "CNS 1, CNTID 0";
  EXPECT_EQ(records[1].command[0], 0x02);
  EXPECT_EQ(fw::GetU32le(records[1].command, 4), 0xFFFFFFFFu);
  EXPECT_EQ(fw::GetU32le(records[1].command, 40), 0x007F0003u) << "log 03h, 128 dwords";
  for (const std::string& line : Requests())
    EXPECT_NE(line.find("length 4096"), std::string::npos) << line;
}

TEST_F(NvmeReadersTest, AFailedIrstIdentifyLeavesTheIdentityAsItWas) {
  transport::TAtaDevice& d = Rst("");
  pc.scsiPorts[2].irst->passThroughError = 1117;
  std::memset(&identity, 'X', sizeof identity);
  cboFwSlot.Items = {"kept"};
  EXPECT_EQ(Identify_irst(d, 1, identity, Boxes()), 0);
  EXPECT_EQ(std::string(identity.firmware, 8), "XXXXXXXX");
  EXPECT_EQ(identity.slotCount, std::uint8_t('X'));
  EXPECT_EQ(cboFwSlot.Items, Items{"kept"});
}

TEST_F(NvmeReadersTest, InboxSlotInformationGivesTheActiveRevisionAndEverySlot) {
  transport::TAtaDevice& d = Inbox("slots = [\"R1\", \"\", \"R3\"]\nactive_slot = 3\n");
  std::memset(identity.firmware, 'X', sizeof identity.firmware);
  ASSERT_TRUE(ReadFwSlotInfo(d, identity, Boxes()));
  EXPECT_EQ(std::string(identity.firmware, 8), "R3      ");
  EXPECT_EQ(cboFwSlot.Items, (Items{"Default", "1. R1", "2. NA", "3. R3"}));
  EXPECT_EQ(cboFwSlot.ItemIndex, 0);
  EXPECT_EQ(cboCommitAction.Items, (Items{"0", "1", "2", "3"}));
  EXPECT_EQ(cboCommitAction.ItemIndex, 3);
  EXPECT_EQ(pc.ioRequests.back().inSize, 4172u);
  ASSERT_EQ(Requests().size(), 1u);
  EXPECT_NE(Requests()[0].find("\"FIRMWARE\" function 1"), std::string::npos) << Requests()[0];
}

TEST_F(NvmeReadersTest, InboxSlotInformationThatCannotBeReadLeavesTheBoxes) {
  transport::TAtaDevice& d = Inbox("", "");
  pc.devices.Find(NvmeDiskId("INBOX"))->disk->nvmeStack.miniportError = 1117;
  cboFwSlot.Items = {"kept"};
  cboCommitAction.Items = {"kept"};
  std::memset(identity.firmware, 'X', sizeof identity.firmware);
  EXPECT_FALSE(ReadFwSlotInfo(d, identity, Boxes()));
  EXPECT_EQ(cboFwSlot.Items, Items{"kept"});
  EXPECT_EQ(cboCommitAction.Items, Items{"kept"});
  EXPECT_EQ(std::string(identity.firmware, 8), std::string(8, '\0'));
}

TEST_F(NvmeReadersTest, InboxPartIdentifierComesWithTheGranularity) {
  transport::TAtaDevice& d = Inbox("part_id = \"PART-INBOX\"\nfwug = 8\n");
  ASSERT_TRUE(ReadNvmePpid(d, IndexOf(NvmeDiskId("INBOX")), identity));
  EXPECT_EQ(FieldText(identity.PPID), "PART-INBOX");
  EXPECT_EQ(identity.m_NVMeFWUG, 8);
  EXPECT_FALSE(d.HandleValid());
  EXPECT_EQ(NvmeDrive("INBOX").Records().back().transport, "storage query");
}

// ---- The system drive ----

TEST_F(DriveReadersTest, TheSystemDriveIsTheDiskThatHoldsTheSystemDirectorysVolume) {
  struct Case {
    const char* name;
    std::string systemDirectory;
    std::uint32_t openError;  // of disk B
    bool a, b;
  };
  const Case cases[] = {
      {"system on D", "D:\\Windows\\system32", 0, false, true},
      {"system on C", "C:\\Windows\\system32", 0, true, false},
      {"volume unknown", "X:\\Windows\\system32", 0, false, false},
      {"both queries fail", "X:\\Windows\\system32", 32, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fresh();
    Machine(Disk("A", 0) + Disk("B", 1));
    DiskOf("A").volumes = "C";
    DiskOf("B").volumes = "DE";
    DiskOf("B").openError = c.openError;
    pc.files.systemDirectory = c.systemDirectory;
    Mark();
    EXPECT_EQ(IsSystemDrive(*devMgr, DiskOf("A").devicePath), c.a);
    EXPECT_EQ(IsSystemDrive(*devMgr, DiskOf("B").devicePath), c.b);
    const std::string volume = "CreateFileA \"\\\\.\\" + c.systemDirectory.substr(0, 2) + "\"";
    const auto lines = Since();
    EXPECT_EQ(*std::find_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("CreateFileA", 0) == 0; }),
              volume);
  }
}

}  // namespace
