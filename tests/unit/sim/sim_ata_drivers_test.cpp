// The simulated ATA drivers read requests built by hand from the Windows, SAT and CSMI layouts:
// one correct request per driver, then the same request with one field spoiled at a time. A
// field whose wrong value a real stack refuses is refused with its Windows error, sense or
// ReturnCode; one it takes silently shows in the journal entry.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr const char* kMachine = R"(
[[device]]
instance_id = 'PCI\AHCI'
class = "hdc"
service = "storahci"
[[disk]]
instance_id = 'SCSI\DISK\ATA'
parent = 'PCI\AHCI'
transports = ["ata"]
[disk.ata]
[[disk]]
instance_id = 'SCSI\DISK\CDB'
parent = 'PCI\AHCI'
scsi_address = [0, 0, 1, 0]
transports = ["cdb"]
[disk.ata]
[[disk]]
instance_id = 'SCSI\DISK\SAT'
parent = 'PCI\AHCI'
scsi_address = [0, 0, 2, 0]
transports = ["sat"]
[disk.ata]
[[csmi]]
port = 4
[[csmi.phy]]
phy = 3
port = 1
sas_address = [0x50, 1, 2, 3, 4, 5, 6, 7]
[csmi.phy.ata]
)";

// ntddscsi.h: DataBufferOffset (ULONG_PTR) sits at the first pointer boundary after byte 20, so
// everything after it moves with the pointer width.
constexpr std::size_t kPtr = sizeof(void*);
constexpr std::size_t kPointerField = kPtr == 8 ? 24 : 20;
constexpr std::size_t kAptSize = kPtr == 8 ? 48 : 40;  // ATA_PASS_THROUGH_EX
constexpr std::size_t kAptCurrentTaskFile = kAptSize - 8;
constexpr std::size_t kSptSize = kPtr == 8 ? 56 : 44;  // SCSI_PASS_THROUGH
constexpr std::size_t kSptSenseOffset = kPointerField + kPtr;
constexpr std::size_t kSptCdb = kSptSenseOffset + 4;

void PutPointer(Bytes& b, std::size_t at, std::uint64_t value) {
  for (std::size_t i = 0; i < kPtr; ++i) b[at + i] = std::uint8_t(value >> (8 * i));
}

// IDENTIFY DEVICE as IOCTL_ATA_PASS_THROUGH: the header, a filler, 512 bytes of data.
Bytes AtaIdentify() {
  Bytes b(kAptSize + 4 + 512, 0);
  fw::PutU16le(b, 0, std::uint16_t(kAptSize));
  fw::PutU16le(b, 2, os::kATA_FLAGS_DRDY_REQUIRED | os::kATA_FLAGS_DATA_IN);
  fw::PutU32le(b, 8, 512);
  fw::PutU32le(b, 12, 10);
  PutPointer(b, kPointerField, kAptSize + 4);
  b[kAptCurrentTaskFile + 1] = 1;
  b[kAptCurrentTaskFile + 6] = 0xEC;
  return b;
}

// IOCTL_SCSI_PASS_THROUGH reading 512 bytes: the header, a filler, 32 bytes for sense, the data.
Bytes ScsiRead(std::initializer_list<std::uint8_t> cdb, std::uint8_t target,
               std::uint8_t senseLength) {
  const std::size_t sense = kSptSize + 4, data = sense + 32;
  Bytes b(data + 512, 0);
  fw::PutU16le(b, 0, std::uint16_t(kSptSize));
  b[4] = target;
  b[6] = std::uint8_t(cdb.size());
  b[7] = senseLength;
  b[8] = os::kSCSI_IOCTL_DATA_IN;
  fw::PutU32le(b, 12, 512);
  fw::PutU32le(b, 16, 10);
  PutPointer(b, kPointerField, data);
  fw::PutU32le(b, kSptSenseOffset, std::uint32_t(sense));
  std::copy(cdb.begin(), cdb.end(), b.begin() + kSptCdb);
  return b;
}
Bytes VendorIdentify() {
  return ScsiRead({0xCC, 0, 0, 1, 0, 0, 0, 0, 0xEC, 0}, 1, 24);
}
Bytes SatIdentify() {
  return ScsiRead({0xA1, 0x08, 0x0E, 0, 1, 0, 0, 0, 0, 0xEC, 0, 0}, 0, 32);
}

// CSMI_SAS_STP_PASSTHRU_BUFFER with IDENTIFY DEVICE for the drive on phy 3.
Bytes StpIdentify() {
  Bytes b(168 + 512, 0);
  fw::PutU32le(b, 0, 28);
  std::memcpy(&b[4], "CSMISAS\0", 8);
  fw::PutU32le(b, 12, 10);
  fw::PutU32le(b, 16, 25);
  fw::PutU32le(b, 24, 140 + 512);
  b[28] = 3;
  b[29] = 1;
  const std::uint8_t sas[8] = {0x50, 1, 2, 3, 4, 5, 6, 7};
  std::memcpy(&b[32], sas, 8);
  b[44] = 0x27;
  b[45] = 0x80;
  b[46] = 0xEC;
  b[51] = 0xA0;
  b[56] = 1;
  fw::PutU32le(b, 64, 0x11);  // PIO, read
  fw::PutU32le(b, 68, 512);
  return b;
}

// One way to spoil a request: the bytes, and the buffer sizes it is sent with.
struct Sent {
  Bytes bytes;
  std::uint32_t inSize;
  std::uint32_t outSize;
};
using Spoil = std::function<void(Sent&)>;

Spoil Byte(std::size_t at, std::uint8_t value) {
  return [=](Sent& s) { s.bytes[at] = value; };
}
Spoil U16(std::size_t at, std::uint16_t value) {
  return [=](Sent& s) { fw::PutU16le(s.bytes, at, value); };
}
Spoil U32(std::size_t at, std::uint32_t value) {
  return [=](Sent& s) { fw::PutU32le(s.bytes, at, value); };
}
Spoil Pointer(std::size_t at, std::uint64_t value) {
  return [=](Sent& s) { PutPointer(s.bytes, at, value); };
}
Spoil Sizes(std::int64_t in, std::int64_t out) {
  return [=](Sent& s) {
    s.inSize = std::uint32_t(s.inSize + in);
    s.outSize = std::uint32_t(s.outSize + out);
    s.bytes.resize(std::max(s.inSize, s.outSize));
  };
}
Spoil Text(std::size_t at, const char* text) {
  return [=](Sent& s) { std::memcpy(&s.bytes[at], text, std::strlen(text)); };
}

Spoil Both(Spoil a, Spoil b) {
  return [=](Sent& s) {
    a(s);
    b(s);
  };
}

// What becomes of one spoiled request: the Windows error (0: the call succeeds), and for a
// request that went through, what tells its journal entry from the correct one's.
using Edits = std::vector<std::pair<std::string, std::string>>;
struct Case {
  const char* name;
  Spoil spoil;
  std::uint32_t error;
  Edits edits = {};
};

class SimAtaDrivers : public ::testing::Test {
 protected:
  void SetUp() override { sim::LoadMachine(pc, kMachine, "test"); }

  os::Handle Open(const std::string& id) {
    return pc.CreateFileA(pc.devices.Find(id)->disk->devicePath, 0, 0, os::kOPEN_EXISTING, 0);
  }
  // Sends the request; the Windows error, 0 on success. The journal entry of the driver, and
  // the request as it came back, are kept.
  std::uint32_t Send(os::Handle h, std::uint32_t code, Sent& s) {
    std::uint32_t returned = 0;
    const bool ok =
        pc.DeviceIoControl(h, code, s.bytes.data(), s.inSize, s.bytes.data(), s.outSize, &returned);
    entry = pc.Journal().back().substr(2);
    return ok ? 0 : pc.GetLastError();
  }
  // Sends the correct request, then each spoiled one, and checks what each came to.
  void Check(
      os::Handle h, std::uint32_t code, const Bytes& good, const std::string& goodEntry,
      std::span<const Case> cases,
      const std::function<void(const Case&, const std::string&, const Sent&)>& more = nullptr) {
    Sent s{good, std::uint32_t(good.size()), std::uint32_t(good.size())};
    ASSERT_EQ(Send(h, code, s), 0u);
    ASSERT_EQ(entry, goodEntry);
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      Sent spoiled{good, std::uint32_t(good.size()), std::uint32_t(good.size())};
      c.spoil(spoiled);
      EXPECT_EQ(Send(h, code, spoiled), c.error);
      if (c.error) {
        EXPECT_TRUE(entry.ends_with(" -> error " + std::to_string(c.error))) << entry;
        continue;
      }
      std::string expected = goodEntry;
      for (const auto& [from, to] : c.edits) {
        const std::size_t at = expected.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        expected.replace(at, from.size(), to);
      }
      EXPECT_EQ(entry, expected);
      if (more) more(c, expected, spoiled);
    }
  }

  sim::SimPc pc;
  std::string entry;
};

std::string Size(std::size_t in, std::size_t out) {
  return "size " + std::to_string(in) + "/" + std::to_string(out);
}

TEST_F(SimAtaDrivers, AtaPassThroughChecksItsFieldsAndJournalsWhatItTakes) {
  const Bytes good = AtaIdentify();
  const std::size_t n = good.size();
  const Case cases[] = {
      {"without DRDY_REQUIRED the driver does not wait for the drive, and says nothing",
       U16(2, os::kATA_FLAGS_DATA_IN),
       0,
       {{"flags 03", "flags 02"}}},
      {"a larger request", Sizes(8, 8), 0, {{Size(n, n), Size(n + 8, n + 8)}}},
      {"a read needs only the structure to come in",
       Sizes(-512, 0),
       0,
       {{Size(n, n), "size " + std::to_string(n - 512) + "/" + std::to_string(n)}}},
      {"an address: the disk's port driver ignores it",
       Byte(5, 1),
       0,
       {{"flags 03", "flags 03 address 0 1 0"}}},
      {"Length of another structure", U16(0, 44), os::kERROR_INVALID_PARAMETER},
      {"shorter than the structure", Sizes(36 - std::int64_t(n), 0), os::kERROR_INVALID_PARAMETER},
      {"no room for the data to come back", Sizes(0, -1), os::kERROR_INVALID_PARAMETER},
      {"data over the structure's own fields", Pointer(kPointerField, kAptSize - 8),
       os::kERROR_INVALID_PARAMETER},
      {"data in and out at once", U16(2, 0x07), os::kERROR_INVALID_PARAMETER},
      {"a data phase of no bytes", U32(8, 0), os::kERROR_INVALID_PARAMETER},
      {"no time-out", U32(12, 0), os::kERROR_INVALID_PARAMETER},
      {"a time-out beyond 30 hours", U32(12, 108001), os::kERROR_INVALID_PARAMETER},
  };
  Check(Open("SCSI\\DISK\\ATA"), os::kIOCTL_ATA_PASS_THROUGH, good,
        "IOCTL_ATA_PASS_THROUGH " + Size(n, n) +
            " flags 03 regs 00 01 00 00 00 00 EC 00 in 512 timeout 10 -> status 50",
        cases);
}

// The disk's LUN answers a CDB it does not take with ILLEGAL REQUEST.
const std::string kIllegal = " -> CHECK CONDITION 70 00 05 00";

TEST_F(SimAtaDrivers, TheVendorCdbReachesTheBridgeOnlyAtItsAddressAndLength) {
  const Bytes good = VendorIdentify();
  const std::size_t n = good.size();
  const std::string kRan = " regs 00 01 00 00 00 00 EC 00 in 512 timeout 10 -> GOOD";
  const Case cases[] = {
      {"sense 32: it fits before the data, so it is taken",
       Byte(7, 32),
       0,
       {{"sense 24", "sense 32"}}},
      {"a larger request", Sizes(8, 8), 0, {{Size(n, n), Size(n + 8, n + 8)}}},
      // Anywhere but the bridge's channel the CDB reaches the disk's LUN, which knows no CCh.
      {"target 0", Byte(4, 0), 0, {{" address 0 1 0", ""}, {kRan, kIllegal}}},
      {"LUN 1", Byte(5, 1), 0, {{"address 0 1 0", "address 0 1 1"}, {kRan, kIllegal}}},
      {"a 12-byte CDB", Byte(6, 12), 0, {{"EC 00 regs", "EC 00 00 00 regs"}, {kRan, kIllegal}}},
      {"Length of another structure", U16(0, 40), os::kERROR_INVALID_PARAMETER},
      {"sense over the data", Byte(7, 40), os::kERROR_INVALID_PARAMETER},
      {"sense over the structure's own fields", U32(kSptSenseOffset, 8),
       os::kERROR_INVALID_PARAMETER},
      {"no room for the data to come back", Sizes(0, -1), os::kERROR_INVALID_PARAMETER},
      {"DataIn 3", Byte(8, 3), os::kERROR_INVALID_PARAMETER},
      {"no time-out", U32(16, 0), os::kERROR_INVALID_PARAMETER},
  };
  Check(Open("SCSI\\DISK\\CDB"), os::kIOCTL_SCSI_PASS_THROUGH, good,
        "IOCTL_SCSI_PASS_THROUGH " + Size(n, n) +
            " address 0 1 0 sense 24 cdb CC 00 00 01 00 00 00 00 EC 00" + kRan,
        cases, [](const Case&, const std::string& expected, const Sent& s) {
          EXPECT_EQ(s.bytes[2], expected.ends_with(kIllegal) ? 0x02 : 0x00) << "ScsiStatus";
        });
}

TEST_F(SimAtaDrivers, SatChecksItsRequestAndJournalsWhatItTakes) {
  const Bytes good = SatIdentify();
  const std::size_t n = good.size();
  const Case cases[] = {
      {"a larger request", Sizes(8, 8), 0, {{Size(n, n), Size(n + 8, n + 8)}}},
      {"sense 24", Byte(7, 24), 0, {{"sense 32", "sense 24"}}},
      {"an address: the disk's port driver ignores it",
       Byte(4, 1),
       0,
       {{"sense 32", "address 0 1 0 sense 32"}}},
      {"T_DIR out for a read",
       Byte(kSptCdb + 2, 0x06),
       0,
       {{"A1 08 0E", "A1 08 06"},
        {" regs 00 01 00 00 00 00 EC 00 in 512 timeout 10 -> GOOD", kIllegal}}},
      {"a request sized to its sense area, with no room for the data", Sizes(-512, -512),
       os::kERROR_INVALID_PARAMETER},
      {"Length of another structure", U16(0, 48), os::kERROR_INVALID_PARAMETER},
      {"data over the sense area", Pointer(kPointerField, kSptSize + 4 + 16),
       os::kERROR_INVALID_PARAMETER},
      {"a CDB of 17 bytes", Byte(6, 17), os::kERROR_INVALID_PARAMETER},
      {"a time-out beyond 30 hours", U32(16, 108001), os::kERROR_INVALID_PARAMETER},
  };
  Check(Open("SCSI\\DISK\\SAT"), os::kIOCTL_SCSI_PASS_THROUGH, good,
        "IOCTL_SCSI_PASS_THROUGH " + Size(n, n) +
            " sense 32 cdb A1 08 0E 00 01 00 00 00 00 EC 00 00 regs 00 01 00 00 00 00 EC 00 in "
            "512 timeout 10 -> GOOD",
        cases);
}

TEST_F(SimAtaDrivers, CsmiStpChecksTheHeaderAddressFrameAndFlags) {
  const os::Handle h = pc.CreateFileA("\\\\.\\SCSI4:", 0, 0, os::kOPEN_EXISTING, 0);
  const Bytes good = StpIdentify();
  const std::string kRan = " -> status 50 00";
  // The controller answers in ReturnCode.
  const auto returns = [&](int code) {
    return std::make_pair(kRan, " -> return code " + std::to_string(code));
  };
  const Case cases[] = {
      {"Length beyond its data",
       Both(Sizes(8, 8), U32(24, 140 + 520)),
       0,
       {{"in 680 length 652", "in 688 length 660"}}},
      {"a rate the controller may choose, not negotiated",
       Byte(30, 0x09),
       0,
       {{"rate 0", "rate 9"}}},
      {"a larger buffer", Sizes(8, 8), 0, {{"in 680", "in 688"}}},
      // The program's command timer may round a short time-out to 0 seconds.
      {"no time-out", U32(12, 0), 0, {}},
      {"Length short of the data",
       U32(24, 140 + 511),
       0,
       {{"length 652", "length 651"}, returns(3)}},
      {"rate 1, no link rate", Byte(30, 1), 0, {{"rate 0", "rate 1"}, returns(2001)}},
      {"another phy", Byte(28, 2), 0, {{"phy 3", "phy 2"}, returns(2002)}},
      {"another SAS address", Byte(39, 8), 0, {{"07 regs", "08 regs"}, returns(2002)}},
      {"no protocol", U32(64, 0x01), 0, {{"flags 11", "flags 01"}, returns(3)}},
      {"read and unspecified", U32(64, 0x15), 0, {{"flags 11", "flags 15"}, returns(3)}},
      {"PIO and DMA", U32(64, 0x31), 0, {{"flags 11", "flags 31"}, returns(3)}},
      {"another FIS type", Byte(44, 0x34), 0, {returns(3)}},
      {"no command bit", Byte(45, 0), 0, {returns(3)}},
      {"control code 25 under CSMIALL",
       Text(4, "CSMIALL"),
       0,
       {{"CSMISAS", "CSMIALL"},
        {" phy 3 port 1 rate 0 sas 50 01 02 03 04 05 06 07 regs 00 01 00 00 00 A0 EC 00 flags 11 "
         "data 512" +
             kRan,
         " -> return code 2"}}},
      {"an unknown signature", Text(4, "CSMIRAID"), os::kERROR_INVALID_FUNCTION},
      {"HeaderLength 24", U32(0, 24), os::kERROR_INVALID_PARAMETER},
      {"Length beyond the buffer", U32(24, 680), os::kERROR_INVALID_PARAMETER},
  };
  Check(h, os::kIOCTL_SCSI_MINIPORT, good,
        "IOCTL_SCSI_MINIPORT CSMISAS 25 in 680 length 652 phy 3 port 1 rate 0 sas 50 01 02 03 04 "
        "05 06 07 regs 00 01 00 00 00 A0 EC 00 flags 11 data 512" +
            kRan,
        cases, [](const Case&, const std::string& expected, const Sent& s) {
          const std::size_t at = expected.find("return code ");
          const unsigned long code =
              at == std::string::npos ? 0 : std::stoul(expected.substr(at + 12));
          EXPECT_EQ(fw::GetU32le(s.bytes, 20), code) << "ReturnCode";
        });
}

}  // namespace

namespace {

// Power lost as a command starts: the drive saw the command and was reset by it (an image it had
// only in part is gone); the request fails with ERROR_IO_DEVICE, or the error the fault names.
TEST_F(SimAtaDrivers, PowerLostAtACommandResetsTheDriveAndFailsTheRequest) {
  struct Path {
    const char* what;
    std::function<os::Handle()> open;
    std::uint32_t ioctl;
    Bytes request;
    std::function<std::shared_ptr<sim::SimSataDrive>()> drive;
  };
  const Path paths[] = {
      {"ATA pass-through", [&] { return Open("SCSI\\DISK\\ATA"); }, os::kIOCTL_ATA_PASS_THROUGH,
       AtaIdentify(), [&] { return pc.devices.Find("SCSI\\DISK\\ATA")->disk->ata; }},
      {"CSMI STP", [&] { return pc.CreateFileA("\\\\.\\SCSI4:", 0, 0, os::kOPEN_EXISTING, 0); },
       os::kIOCTL_SCSI_MINIPORT, StpIdentify(),
       [&] { return pc.scsiPorts.at(4).csmi->phys[0].drive; }},
  };
  for (const Path& p : paths) {
    for (const std::uint32_t error : {0u, 31u}) {
      const auto drive = p.drive();
      // The first segment of an image: the drive now expects the next one at block 1.
      sim::SimAtaCommand segment;
      segment.registers[sim::ata::kCommand] = 0x92;
      segment.registers[sim::ata::kFeatures] = 0x03;
      segment.registers[sim::ata::kCount] = 1;
      segment.phase = sim::AtaDataPhase::kOut;
      const auto image = sim::MakeSimFirmwareImage(drive->identity.model, "NEW", 4 * 512);
      segment.data.assign(image.begin(), image.begin() + 512);
      ASSERT_FALSE(drive->Execute(segment).Failed()) << p.what;
      sim::SimFault loss;
      loss.powerLoss = true;
      loss.windowsError = error;
      drive->faults = {loss};
      const std::size_t recorded = drive->Records().size();

      Bytes buffer = p.request;
      std::uint32_t returned = 0;
      EXPECT_FALSE(pc.DeviceIoControl(p.open(), p.ioctl, buffer.data(),
                                      std::uint32_t(buffer.size()), buffer.data(),
                                      std::uint32_t(buffer.size()), &returned))
          << p.what;
      EXPECT_EQ(pc.GetLastError(), error ? error : os::kERROR_IO_DEVICE) << p.what;
      EXPECT_EQ(drive->Records().size(), recorded + 1) << p.what << ": the drive saw nothing";
      // The part image is gone: its next segment is refused.
      segment.registers[sim::ata::kLbaMid] = 1;
      EXPECT_TRUE(drive->Execute(segment).Failed()) << p.what << ": the drive was not reset";
    }
  }
}

}  // namespace
