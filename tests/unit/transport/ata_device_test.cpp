// TAtaDevice through the simulated disk stack: binding, the transport probe, the three
// pass-through kinds with their size rules, the error mapping, time-outs and the re-bind, as
// the simulated drivers decode and journal the requests.
#include "transport/ata_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "devices/dev_mgr.h"
#include "os/layouts/ntddscsi.h"
#include "tests/unit/transport/transport_fixture.h"

namespace {

using namespace transport;
using namespace transport_test;
using Lines = std::vector<std::string>;

const std::string kVendorRequest = "regs FC 01 00 00 00 00 FF 00 out 512 timeout 10 data 0A 07";
const std::string kVendorReply = "regs FD 01 00 00 00 00 FF 00 in 512 timeout 10";
const std::string kIdentify = "regs 00 01 00 00 00 00 EC 00 in 512 timeout 10";

// The request sizes of this build: the pointer-sized fields of the Windows structures move what
// follows them, so 556 and 592 bytes for the buffered requests at 32 bits are 564 and 604 at 64.
constexpr bool b64 = sizeof(void*) == 8;
constexpr std::size_t kAtaDirectSize = b64 ? 48 : 40;
constexpr std::size_t kAtaSize = kAtaDirectSize + 4 + 512;
constexpr std::size_t kScsiDirectSize = (b64 ? 60 : 48) + 32;  // the sense area ends it
constexpr std::size_t kScsiSize = kScsiDirectSize + 512;

std::string Size(std::size_t n) {
  return "size " + std::to_string(n) + "/" + std::to_string(n);
}
std::string Ata(const std::string& flags, const std::string& regs) {
  return "IOCTL_ATA_PASS_THROUGH " + Size(kAtaSize) + " flags " + flags + " " + regs;
}
std::string Sat(const std::string& cdb, const std::string& regs) {
  return "IOCTL_SCSI_PASS_THROUGH " + Size(kScsiSize) + " sense 32 cdb " + cdb + " " + regs;
}
std::string VendorCdb(const std::string& cdb) {
  return "IOCTL_SCSI_PASS_THROUGH " + Size(kScsiSize) + " address 0 1 0 sense 24 cdb " + cdb;
}
const std::string kVendorCdbRequest = VendorCdb("CC 00 FC 01 00 00 00 00 FF 00");

class AtaDeviceTest : public TransportTest {
 protected:
  // One disk "D" with these keys and ATA table, bound and probed.
  TAtaDevice& Bound(const std::string& keys = "", const std::string& ata = "[disk.ata]\n") {
    TAtaDevice& d = Machine(Disk("D", 0, keys, ata));
    EXPECT_TRUE(d.SelectPort(0, nullptr, -1, 0));
    d.SetTimeout(20.0f);  // the probe leaves the vendor request's 10 s; readers set it back
    Mark();
    return d;
  }
  // Disks "D0", "D1", ... with these keys each; none bound.
  TAtaDevice& Disks(const std::vector<std::string>& keys) {
    std::string machine;
    for (std::size_t i = 0; i < keys.size(); ++i)
      machine += Disk("D" + std::to_string(i), int(i), keys[i]);
    return Machine(machine);
  }
  void Select(TAtaDevice& d, int index) {
    EXPECT_TRUE(d.SelectPort(index, nullptr, -1, 0));
    d.SetTimeout(20.0f);
    Mark();
  }
  std::uint8_t Read(TAtaDevice& d, std::uint32_t& length, std::uint8_t* buffer) {
    TaskFile tf = {0, 1, 0, 0, 0, 0, 0xEC, 0};
    return d.AtaCommand(tf, buffer, DATA_IN, length);
  }
};

// ---- Construction and binding ----

TEST_F(AtaDeviceTest, TheObjectStartsWithItsBuffersTheDiskTableAndTheDefaults) {
  TAtaDevice& d = Machine(Disk("A", 0) + Disk("B", 1));
  EXPECT_EQ(d.DriveCount(), 2);
  ASSERT_NE(d.GetResponseBuffer(), nullptr);
  ASSERT_NE(d.GetRequestBuffer(), nullptr);
  EXPECT_EQ(d.GetResponseBuffer()[kResponseBufferSize - 1], 0);
  EXPECT_EQ(d.GetRequestBuffer()[kRequestBufferSize - 1], 0);
  EXPECT_EQ(d.SelectedIndex(), -1);
  EXPECT_EQ(d.TimeoutSeconds(), 20.0f);
  EXPECT_EQ(d.GetTransportKind(), kKindAtaPassThrough);
  EXPECT_EQ(d.LastAtaStatus(), 0);
  EXPECT_EQ(d.LastOsError(), 0u);
  EXPECT_FALSE(d.HandleValid());
  EXPECT_EQ(d.DriveAt(-1), nullptr) << "nothing selected yet";
  EXPECT_EQ(d.DriveAt(2), nullptr);
  EXPECT_EQ(std::string(d.DriveAt(1)->friendlyName), "B");
}

TEST_F(AtaDeviceTest, SelectPortBindsByIndexAndOpensWhatTheArgumentsName) {
  TAtaDevice& d = Machine(Disk("A", 0) + Disk("B", 1));
  pc.scsiPorts[2];
  pc.scsiPorts[3].csmi.emplace();

  Mark();
  for (int bad : {-1, 2, 99}) EXPECT_FALSE(d.SelectPort(bad, nullptr, -1, 0)) << bad;
  EXPECT_FALSE(d.SelectPort(-1, nullptr, 2, kKindNvme)) << "NVMe also binds by index";
  EXPECT_EQ(Count("CreateFileA"), 0) << "an index outside the table opens nothing";
  EXPECT_EQ(d.SelectedIndex(), -1);

  Mark();
  ASSERT_TRUE(d.SelectPort(1, nullptr, -1, 0));
  EXPECT_EQ(d.SelectedIndex(), 1);
  EXPECT_EQ(d.DriveAt(-1), d.DriveAt(1));
  EXPECT_EQ(d.ParentVid(), 0x8086);
  EXPECT_EQ(d.ParentDid(), 0xA352);
  EXPECT_EQ(Since()[0], "CreateFileA \"" + std::string(d.DriveAt(1)->devicePath) + "\"");

  struct Case {
    int index;
    const char* path;
    int scsiPort;
    int kind;
    std::string opened;
    int kindAfter;
  };
  const Case cases[] = {
      {0, nullptr, 2, kKindNvme, "\\\\.\\Scsi2:", kKindNvme},
      {3, nullptr, -1, kKindCsmi, "\\\\.\\SCSI3:", kKindCsmi},
      {7, d.DriveAt(0)->devicePath, -1, 0, d.DriveAt(0)->devicePath, kKindAtaPassThrough},
  };
  for (const Case& c : cases) {
    Mark();
    EXPECT_TRUE(d.SelectPort(c.index, c.path, c.scsiPort, c.kind)) << c.opened;
    EXPECT_EQ(Since()[0], "CreateFileA \"" + c.opened + "\"");
    EXPECT_EQ(d.GetTransportKind(), c.kindAfter) << c.opened;
  }
  EXPECT_EQ(d.SelectedIndex(), 0) << "kind 14 and a given path keep the binding";

  Mark();
  EXPECT_FALSE(d.SelectPort(0, "\\\\?\\no such disk", -1, 0));
  EXPECT_FALSE(d.HandleValid());
  EXPECT_EQ(d.GetTransportKind(), kKindNone);
  EXPECT_EQ(Count("DeviceIoControl"), 0) << "no probe through a handle that did not open";
}

// The rescans after a download enumerate again through the same device manager, which frees
// and rebuilds its records; the bound object must still reach its drive from its own table.
TEST_F(AtaDeviceTest, ARebuiltDiskTableLeavesTheBoundObjectItsDrive) {
  TAtaDevice& d = Machine(Disk("A", 0) + Disk("B", 1));
  ASSERT_TRUE(d.SelectPort(1, nullptr, -1, 0));
  EXPECT_EQ(devMgr->DiskCount(), 0) << "the manager handed its records over and kept none";
  for (int rescan = 0; rescan < 2; ++rescan) ASSERT_TRUE(devMgr->EnumerateDisks());
  ASSERT_EQ(devMgr->DiskCount(), 2);
  ASSERT_EQ(std::string(devMgr->Disks()[1].devicePath), std::string(d.DriveAt(1)->devicePath));

  EXPECT_EQ(d.DriveCount(), 2);
  EXPECT_EQ(std::string(d.SelectedRecord()->friendlyName), "B");
  EXPECT_EQ(d.ParentVid(), 0x8086);
  d.ClosePort();
  d.SetTimeout(20.0f);
  Mark();
  EXPECT_EQ(d.IdentifyDevice(), ATACMD_OK) << "the re-bind opens the record it kept";
  ASSERT_FALSE(Since().empty());
  EXPECT_EQ(Since()[0], "CreateFileA \"" + std::string(d.DriveAt(1)->devicePath) + "\"");

  Mark();
  ASSERT_TRUE(d.SelectPort(0, nullptr, -1, 0));
  EXPECT_EQ(Since()[0], "CreateFileA \"" + std::string(d.DriveAt(0)->devicePath) + "\"");
  EXPECT_EQ(std::string(d.SelectedRecord()->friendlyName), "A");
}

// ---- The transport probe ----

TEST_F(AtaDeviceTest, TheProbeKeepsTheFirstKindThatAnswersTheVendorVersionThenIdentify) {
  struct Case {
    const char* name;
    std::string keys, ata;
    int style;
    int kind;
    Lines requests;
  };
  const Case cases[] = {
      {"ATA pass-through",
       "",
       "[disk.ata]\n",
       0,
       kKindAtaPassThrough,
       {Ata("05", kVendorRequest), Ata("03", kVendorReply)}},
      {"a bridge with the vendor CDB",
       "transports = [\"cdb\"]",
       "[disk.ata]\n",
       0,
       kKindScsiVendorCdb,
       {Ata("05", kVendorRequest), kVendorCdbRequest + " " + kVendorRequest,
        VendorCdb("CC 00 FD 01 00 00 00 00 FF 00 ") + kVendorReply}},
      {"SAT only: the bridge CDB is refused",
       "transports = [\"sat\"]",
       "[disk.ata]\n",
       0,
       kKindSat,
       {Ata("05", kVendorRequest), kVendorCdbRequest,
        Sat("A1 0A 06 FC 01 00 00 00 00 FF 00 00", kVendorRequest),
        Sat("A1 08 0E FD 01 00 00 00 00 FF 00 00", kVendorReply)}},
      {"no vendor channel: identify decides",
       "",
       "[disk.ata]\nvendor_commands = false",
       0,
       kKindAtaPassThrough,
       {Ata("05", kVendorRequest), kVendorCdbRequest,
        Sat("A1 0A 06 FC 01 00 00 00 00 FF 00 00", kVendorRequest), Ata("03", kIdentify)}},
      {"style 20 goes to identify at once",
       "",
       "[disk.ata]\n",
       20,
       kKindAtaPassThrough,
       {Ata("03", kIdentify)}},
      {"identify data without a configuration word",
       "",
       "[disk.ata]\nvendor_commands = false\nword2 = 0",
       20,
       kKindNone,
       {Ata("03", kIdentify), VendorCdb("CC 00 00 01 00 00 00 00 EC 00"),
        Sat("A1 08 0E 00 01 00 00 00 00 EC 00 00", kIdentify)}},
  };
  std::string machine;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    machine += Disk("D" + std::to_string(i), int(i), cases[i].keys, cases[i].ata);
  TAtaDevice& d = Machine(machine);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    d.SetVisualStyle(c.style);
    Mark();
    EXPECT_TRUE(d.SelectPort(int(i), nullptr, -1, 0)) << "a handle is open, transport or not";
    EXPECT_EQ(d.GetTransportKind(), c.kind);
    EXPECT_EQ(Requests(), c.requests);
  }
}

TEST_F(AtaDeviceTest, NoTransportOrNvmeAnswers255AndSendsNothing) {
  TAtaDevice& d = Bound("pass_through_error = 50");
  EXPECT_EQ(d.GetTransportKind(), kKindNone) << "a stack without pass-through requests";
  for (int kind : {kKindNone, kKindNvme, 2, 7}) {
    d.SetTransportKind(kind);
    Mark();
    std::uint32_t length = 512;
    EXPECT_EQ(Read(d, length, d.GetResponseBuffer()), ATACMD_SYS_NOT_SUPPORT) << kind;
    EXPECT_EQ(d.IdentifyDevice(), ATACMD_FAIL) << "no data: the configuration word reads 0";
    EXPECT_EQ(Count("DeviceIoControl"), 0) << kind;
  }
}

// ---- The requests of each kind and their size rule ----

TEST_F(AtaDeviceTest, UpTo512BytesTravelInTheRequestAndLongerTransfersDirect) {
  struct Case {
    int disk;
    int kind;
    std::uint32_t length;
    const char* ioctl;
    const char* recorded;  // what the drive saw it come through
  };
  const Case cases[] = {
      {0, kKindAtaPassThrough, 512, "IOCTL_ATA_PASS_THROUGH ", "ATA"},
      {0, kKindAtaPassThrough, 513, "IOCTL_ATA_PASS_THROUGH_DIRECT ", "ATA direct"},
      {1, kKindScsiVendorCdb, 512, "IOCTL_SCSI_PASS_THROUGH ", "CDB CC"},
      {1, kKindScsiVendorCdb, 513, "IOCTL_SCSI_PASS_THROUGH_DIRECT ", "CDB CC"},
      {2, kKindSat, 512, "IOCTL_SCSI_PASS_THROUGH ", "SAT"},
      {2, kKindSat, 513, "IOCTL_SCSI_PASS_THROUGH_DIRECT ", "SAT"},
  };
  TAtaDevice& d =
      Disks({"transports = [\"ata\"]", "transports = [\"cdb\"]", "transports = [\"sat\"]"});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.length));
    Select(d, c.disk);
    ASSERT_EQ(d.GetTransportKind(), c.kind);
    sim::SimSataDrive& drive = Drive("D" + std::to_string(c.disk));
    const std::size_t before = drive.Records().size();

    // Data out: the vendor request of 0A 07 padded to the length.
    std::vector<std::uint8_t> out(c.length, 0);
    out[0] = 0x0A;
    out[1] = 0x07;
    out[c.length - 1] = 0x5A;
    TaskFile tf = {0xFC, 0x01, 0, 0, 0, 0, 0xFF, 0};
    std::uint32_t length = c.length;
    EXPECT_EQ(d.AtaCommand(tf, out.data(), DATA_OUT, length), ATACMD_OK);
    EXPECT_EQ(length, c.length) << "the driver's count comes back";
    ASSERT_EQ(drive.Records().size(), before + 1);
    const sim::SimAtaRecord& sent = drive.Records().back();
    EXPECT_EQ(sent.transport, c.recorded);
    EXPECT_EQ(sent.command.data, out) << "every byte arrives, from the request or the buffer";
    EXPECT_EQ(sent.command.length, c.length);
    EXPECT_EQ(sent.timeoutSeconds, 20u);

    // Data in: the reply lands in the caller's buffer.
    std::vector<std::uint8_t> in(c.length, 0xEE);
    tf = {0xFD, 0x01, 0, 0, 0, 0, 0xFF, 0};
    length = c.length;
    Mark();
    EXPECT_EQ(d.AtaCommand(tf, in.data(), DATA_IN, length), ATACMD_OK);
    EXPECT_EQ(length, 512u) << "the drive sends one sector";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(in.data()), 8), "S1FM613A");
    EXPECT_EQ(in[8], 0);
    EXPECT_EQ(in[c.length - 1], c.length > 512 ? 0xEE : 0) << "past the sector stays";
    ASSERT_EQ(Requests().size(), 1u);
    EXPECT_EQ(Requests()[0].rfind(c.ioctl, 0), 0u) << Requests()[0];
  }
}

// What the driver journals of each request before the command inside it: the buffer sizes, the
// ATA flags, the SCSI address and the sense length. A stack takes many of these wrong without a
// word, so only this shows them.
TEST_F(AtaDeviceTest, EachKindSendsTheSizesFlagsAddressAndSenseLengthItsFormatFixes) {
  const std::string kAta = "IOCTL_ATA_PASS_THROUGH " + Size(kAtaSize) + " flags ";
  const std::string kAtaDirect =
      "IOCTL_ATA_PASS_THROUGH_DIRECT " + Size(kAtaDirectSize) + " flags ";
  const std::string kScsi = "IOCTL_SCSI_PASS_THROUGH ";
  const std::string kScsiDirect = "IOCTL_SCSI_PASS_THROUGH_DIRECT " + Size(kScsiDirectSize);
  const std::string kBridge = " address 0 1 0 sense 24";
  struct Case {
    int kind;
    int direction;
    std::uint32_t length;
    std::string request;
  };
  const Case cases[] = {
      {kKindAtaPassThrough, DATA_IN, 512, kAta + "03"},
      {kKindAtaPassThrough, DATA_IN, 16, kAta + "03"},
      {kKindAtaPassThrough, DATA_OUT, 512, kAta + "05"},
      {kKindAtaPassThrough, DATA_NONE, 0, kAta + "00"},
      {kKindAtaPassThrough, DATA_IN, 4096, kAtaDirect + "03"},
      // The vendor CDB's buffered request ends with its data, or with the sense area.
      {kKindScsiVendorCdb, DATA_IN, 512, kScsi + Size(kScsiSize) + kBridge},
      {kKindScsiVendorCdb, DATA_IN, 16, kScsi + Size(kScsiDirectSize + 16) + kBridge},
      {kKindScsiVendorCdb, DATA_OUT, 512, kScsi + Size(kScsiSize) + kBridge},
      {kKindScsiVendorCdb, DATA_NONE, 0, kScsi + Size(kScsiDirectSize) + kBridge},
      {kKindScsiVendorCdb, DATA_IN, 4096, kScsiDirect + kBridge},
      // SAT sends the whole request whatever the data.
      {kKindSat, DATA_IN, 512, kScsi + Size(kScsiSize) + " sense 32"},
      {kKindSat, DATA_IN, 16, kScsi + Size(kScsiSize) + " sense 32"},
      {kKindSat, DATA_OUT, 512, kScsi + Size(kScsiSize) + " sense 32"},
      {kKindSat, DATA_NONE, 0, kScsi + Size(kScsiSize) + " sense 32"},
      {kKindSat, DATA_IN, 4096, kScsiDirect + " sense 32"},
  };
  TAtaDevice& d =
      Disks({"transports = [\"ata\"]", "transports = [\"cdb\"]", "transports = [\"sat\"]"});
  std::vector<std::uint8_t> buffer(4096);
  buffer[0] = 0x0A;
  buffer[1] = 0x07;
  for (const Case& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + ", direction " + std::to_string(c.direction) +
                 ", " + std::to_string(c.length));
    Select(d, c.kind == kKindAtaPassThrough ? 0 : c.kind == kKindScsiVendorCdb ? 1 : 2);
    ASSERT_EQ(d.GetTransportKind(), c.kind);
    TaskFile tf = c.direction == DATA_OUT    ? TaskFile{0xFC, 1, 0, 0, 0, 0, 0xFF, 0}
                  : c.direction == DATA_NONE ? TaskFile{0xFD, 0, 0, 0, 0, 0, 0xFF, 0}
                                             : TaskFile{0, 1, 0, 0, 0, 0, 0xEC, 0};
    std::uint32_t length = c.length;
    d.AtaCommand(tf, buffer.data(), c.direction, length);
    ASSERT_EQ(Requests().size(), 1u);
    const std::string r = Requests()[0];
    EXPECT_EQ(r.substr(0, std::min(r.find(" cdb "), r.find(" regs "))), c.request);
  }
}

TEST_F(AtaDeviceTest, AtaPassThroughTakesTheRegistersBackAnd7FhForSuccess) {
  TAtaDevice& d = Bound();
  sim::SimSataDrive& drive = Drive("D");
  std::vector<std::uint8_t> buffer(512, 0xEE);

  // ERR with 51h: the status is kept and nothing is copied.
  drive.faults.push_back(sim::SimFault::AtaError(0xEC, 0x51, 0x04));
  std::uint32_t length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_ERR);
  EXPECT_EQ(d.LastAtaStatus(), 0x51);
  EXPECT_EQ(d.LastTaskFile(), (TaskFile{0x04, 0x01, 0, 0, 0, 0, 0x51, 0}));
  EXPECT_EQ(length, 512u);
  EXPECT_EQ(buffer[0], 0xEE);

  // 7Fh has the ERR bit but is taken for success: no data, the length as it was.
  drive.faults.push_back(sim::SimFault::AtaError(0xEC, 0x7F, 0x00));
  length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_OK);
  EXPECT_EQ(d.LastAtaStatus(), 0) << "the 51h belonged to the command before";
  EXPECT_EQ(d.LastTaskFile()[reg::kCommand], 0x7F);
  EXPECT_EQ(buffer[0], 0xEE);
  EXPECT_EQ(length, 512u);

  // A good command: its registers, its data.
  length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_OK);
  EXPECT_EQ(d.LastTaskFile()[reg::kCommand], 0x50);
  EXPECT_EQ(buffer[4], 0x37) << "IDENTIFY word 2";
}

TEST_F(AtaDeviceTest, TheVendorCdbReturnsNoRegistersAndACheckConditionIsAnError) {
  TAtaDevice& d = Bound("transports = [\"cdb\"]");
  ASSERT_EQ(d.GetTransportKind(), kKindScsiVendorCdb);
  std::vector<std::uint8_t> buffer(512);
  std::uint32_t length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_OK);
  EXPECT_EQ(d.LastTaskFile(), (TaskFile{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Requests(), Lines{VendorCdb("CC 00 00 01 00 00 00 00 EC 00 regs 00 01 00 00 00 00 EC "
                                        "00 in 512 timeout 20")});

  // The bridge reports the drive's abort as CHECK CONDITION: an error, not a success.
  Drive("D").faults.push_back(sim::SimFault::AtaError(0xEC, 0x51));
  length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_ERR);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(d.LastSense().SenseKey(), 0x0B);

  // CHECK CONDITION with no sense key still counts as done.
  Drive("D").faults.push_back(sim::SimFault::CheckCondition(0xEC, {0, 0, 0}));
  length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_OK);
}

// A download's failure text shows what the device object holds after the failing command. An
// aborted command before it, on this drive or through another transport, must not show up
// there: each command starts with no status and no registers of its own.
TEST_F(AtaDeviceTest, TheStatusAndRegistersOfACommandDoNotOutliveIt) {
  const TaskFile none = {};
  const TaskFile noRegisters = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  struct Case {
    const char* name;
    int kind;
    std::optional<sim::SimFault> fault;
    std::uint8_t result;
    TaskFile taskFile;  // LastTaskFile afterwards
  };
  const Case cases[] = {
      {"vendor CDB, the bridge answers CHECK CONDITION", kKindScsiVendorCdb,
       sim::SimFault::AtaError(0xEC, 0x51), ATACMD_ERR, noRegisters},
      {"vendor CDB, done", kKindScsiVendorCdb, std::nullopt, ATACMD_OK, noRegisters},
      {"SAT, fixed sense without registers", kKindSat,
       sim::SimFault::CheckCondition(0xEC, {0x05, 0x24, 0x00}), ATACMD_ERR, none},
      {"ATA pass-through, refused by Windows", kKindAtaPassThrough, sim::SimFault::WindowsError(5),
       ATACMD_FAIL, none},
      {"no transport", kKindNvme, std::nullopt, ATACMD_SYS_NOT_SUPPORT, none},
  };
  // One drive that takes all three pass-through kinds, so only the kind changes.
  TAtaDevice& d = Bound("transports = [\"ata\", \"cdb\", \"sat\"]\nsat_sense = \"fixed\"");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Drive("D").faults.clear();
    std::vector<std::uint8_t> buffer(512);
    d.SetTransportKind(kKindAtaPassThrough);
    Drive("D").faults.push_back(sim::SimFault::AtaError(0xEC, 0x51, 0x04));
    std::uint32_t length = 512;
    ASSERT_EQ(Read(d, length, buffer.data()), ATACMD_ERR);
    ASSERT_EQ(d.LastAtaStatus(), 0x51);

    d.SetTransportKind(c.kind);
    if (c.fault) Drive("D").faults.push_back(*c.fault);
    length = 512;
    EXPECT_EQ(Read(d, length, buffer.data()), c.result);
    if (c.fault) {
      EXPECT_EQ(Drive("D").faults.back().times, 0) << "the fault took the command";
    }
    EXPECT_EQ(d.LastAtaStatus(), 0);
    EXPECT_EQ(d.LastTaskFile(), c.taskFile);
  }

  // A command that finds the handle closed binds the drive again first, with a probe of its
  // own; the registers of the probe's reply are not this command's either.
  Drive("D").faults.clear();
  d.SetTransportKind(kKindAtaPassThrough);
  d.ClosePort();
  sim::SimFault refused = sim::SimFault::WindowsError(5);
  refused.skip = 2;  // past the probe's vendor version request and reply
  Drive("D").faults.push_back(refused);
  Mark();
  std::vector<std::uint8_t> buffer(512);
  std::uint32_t length = 512;
  EXPECT_EQ(Read(d, length, buffer.data()), ATACMD_FAIL);
  EXPECT_EQ(Count("CreateFileA"), 1) << "bound again";
  EXPECT_EQ(Requests().size(), 3u) << "the probe's two, then the refused command";
  EXPECT_EQ(d.LastTaskFile(), none);
}

TEST_F(AtaDeviceTest, SatReadsBothSenseFormatsAndWritesTheRegistersBack) {
  struct Case {
    const char* name;
    const char* senseFormat;
    sim::SimFault fault;
    std::uint8_t result;
    std::uint32_t length;
    TaskFile taskFile;  // the caller's block afterwards
  };
  // READ LOG EXT of log 9Ah, with a device byte, so every register has a value of its own.
  const TaskFile sent = {0, 1, 0x9A, 0x00, 0x00, 0xE0, 0x2F, 0x77};
  const Case cases[] = {
      {"descriptor sense with the ATA Status Return descriptor",
       "descriptor",
       sim::SimFault::AtaError(0x2F, 0x51, 0x04),
       ATACMD_ERR,
       0,
       {0x04, 0x01, 0x9A, 0x00, 0x00, 0xE0, 0x51, 0x77}},
      {"fixed sense, aborted command", "fixed", sim::SimFault::AtaError(0x2F, 0x51, 0x04),
       ATACMD_ERR, 0, sent},
      {"fixed sense key 5 from the layer", "fixed",
       sim::SimFault::CheckCondition(0x2F, {0x05, 0x24, 0x00}), ATACMD_ERR, 0, sent},
      {"CHECK CONDITION without a sense key", "descriptor",
       sim::SimFault::CheckCondition(0x2F, {0x00, 0x00, 0x00, true}), ATACMD_OK, 0, sent},
      {"good status", "descriptor", sim::SimFault::AtaError(0x00, 0x51), ATACMD_OK, 512, sent},
  };
  TAtaDevice& d = Disks({"transports = [\"sat\"]\nsat_sense = \"descriptor\"",
                         "transports = [\"sat\"]\nsat_sense = \"fixed\""});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int disk = std::string(c.senseFormat) == "fixed";
    Select(d, disk);
    ASSERT_EQ(d.GetTransportKind(), kKindSat);
    Drive("D" + std::to_string(disk)).faults.push_back(c.fault);
    TaskFile tf = sent;
    std::vector<std::uint8_t> buffer(512);
    std::uint32_t length = 512;
    EXPECT_EQ(d.AtaCommand(tf, buffer.data(), DATA_IN, length), c.result);
    EXPECT_EQ(length, c.length);
    EXPECT_EQ(tf, c.taskFile);
    if (c.taskFile != sent) {
      EXPECT_EQ(d.LastTaskFile(), c.taskFile);
      EXPECT_EQ(d.LastAtaStatus(), 0x51);
    }
  }
}

TEST_F(AtaDeviceTest, SatRefusesDirectionsItHasNoProtocolFor) {
  TAtaDevice& d = Bound("transports = [\"sat\"]");
  d.ClosePort();
  Mark();
  for (int direction : {1, 3, 6}) {
    TaskFile tf = {0, 1, 0, 0, 0, 0, 0xEC, 0};
    std::uint32_t length = 512;
    EXPECT_EQ(d.AtaCommand(tf, d.GetResponseBuffer(), direction, length), ATACMD_SYS_NOT_SUPPORT);
  }
  EXPECT_EQ(Count("CreateFileA"), 0) << "not even a re-bind";
  EXPECT_EQ(Count("DeviceIoControl"), 0);
}

// ---- Errors and time-outs ----

TEST_F(AtaDeviceTest, WindowsErrorsMapToResultCodes) {
  struct Case {
    std::uint32_t error;
    std::uint8_t result;
  };
  const Case cases[] = {
      {121, ATACMD_TIMEOUT},       {258, ATACMD_TIMEOUT},        {1460, ATACMD_TIMEOUT},
      {1, ATACMD_SYS_NOT_SUPPORT}, {50, ATACMD_SYS_NOT_SUPPORT}, {5, ATACMD_FAIL},
      {31, ATACMD_FAIL},           {1117, ATACMD_FAIL}};
  TAtaDevice& d =
      Disks({"transports = [\"ata\"]", "transports = [\"cdb\"]", "transports = [\"sat\"]"});
  for (int disk = 0; disk < 3; ++disk) {
    Select(d, disk);
    for (const Case& c : cases) {
      Drive("D" + std::to_string(disk)).faults.push_back(sim::SimFault::WindowsError(c.error));
      std::uint32_t length = 512;
      EXPECT_EQ(Read(d, length, d.GetResponseBuffer()), c.result)
          << "kind " << d.GetTransportKind() << ", error " << c.error;
      EXPECT_EQ(d.LastOsError(), c.error);
    }
  }
}

TEST_F(AtaDeviceTest, ADirectTransferAsLongAsItsTimeOutHasTimedOutWhateverTheDriverSays) {
  TAtaDevice& d = Bound();
  sim::SimSataDrive& drive = Drive("D");
  std::vector<std::uint8_t> buffer(4096);
  struct Case {
    const char* name;
    std::uint32_t length;
    std::uint64_t delayUs;
    std::uint8_t result;
  };
  const Case cases[] = {
      {"direct, just inside", 4096, 19'999'999, ATACMD_OK},
      {"direct, exactly the time-out: the driver still succeeds", 4096, 20'000'000, ATACMD_TIMEOUT},
      {"direct, beyond it: the driver gives up", 4096, 25'000'000, ATACMD_TIMEOUT},
      {"buffered, exactly the time-out", 512, 20'000'000, ATACMD_OK},
      {"buffered, beyond it", 512, 25'000'000, ATACMD_TIMEOUT},
  };
  for (const Case& c : cases) {
    drive.faults.push_back(sim::SimFault::Slow(0xEC, c.delayUs));
    const std::uint64_t before = pc.NowMicroseconds();
    std::uint32_t length = c.length;
    EXPECT_EQ(Read(d, length, buffer.data()), c.result) << c.name;
    EXPECT_EQ(pc.NowMicroseconds() - before, std::min<std::uint64_t>(c.delayUs, 20'000'000))
        << c.name << ": the virtual clock moves by what the command took";
  }
}

// ---- The re-bind ----

TEST_F(AtaDeviceTest, ACommandOnAClosedHandleBindsTheDriveAgainFirst) {
  TAtaDevice& d = Bound("transports = [\"sat\"]");
  d.ClosePort();
  EXPECT_FALSE(d.HandleValid());
  d.SetTimeout(3.0f);
  Mark();
  EXPECT_EQ(d.Preformat(), ATACMD_OK);
  EXPECT_EQ(Count("CreateFileA"), 1);
  const Lines r = Requests();
  ASSERT_EQ(r.size(), 6u);  // the probe's four, then the preformat
  EXPECT_EQ(r[4], Sat("A1 0A 06 FC 01 00 00 00 00 FF 00 00",
                      "regs FC 01 00 00 00 00 FF 00 out 512 timeout 60 data 07 BE"))
      << "the probe's own request must not replace the caller's";
  EXPECT_EQ(r[5], Sat("A1 06 0C FD 00 00 00 00 00 FF 00 00",
                      "regs FD 00 00 00 00 00 FF 00 none 0 timeout 300"));
  EXPECT_EQ(Drive("D").Preformats(), 1);
}

TEST_F(AtaDeviceTest, ARebindThatCannotOpenTheDriveAnswers254AfterOneAttempt) {
  TAtaDevice& d = Bound();
  d.ClosePort();
  DiskOf("D").openError = os::kERROR_ACCESS_DENIED;
  Mark();
  std::uint32_t length = 512;
  EXPECT_EQ(Read(d, length, d.GetResponseBuffer()), ATACMD_FAIL);
  EXPECT_EQ(Count("CreateFileA"), 1) << "no re-bind inside the re-bind";
  EXPECT_EQ(Count("DeviceIoControl"), 0);
  // The failed open left kind 0: nothing more is tried until the drive is selected again.
  EXPECT_EQ(d.IdentifyDevice(), ATACMD_FAIL);
  EXPECT_EQ(Count("CreateFileA"), 1);
}

}  // namespace
