// The simulated NVMe drivers read requests built by hand from the Windows and Intel layouts:
// the inbox driver's storage query and firmware interface on the disk, the Intel RST
// pass-through and firmware interface and the RSTe interface on the SCSI port, each refusing a
// request with any one field spoiled, a restart that activates the pending slot, and the
// machine-description keys of NVMe drives.
#include <gtest/gtest.h>

#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "framework/bytes.h"
#include "os/os.h"
#include "sim/drivers/sim_irst.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"

namespace {

constexpr const char* kMachine = R"(
[[device]]
instance_id = 'PCI\NVME'
class = "scsiadapter"
service = "stornvme"
[[device]]
instance_id = 'PCI\RST'
class = "scsiadapter"
service = "iaStorAC"
driver_version = "15.2.0.1020"
[[disk]]
instance_id = 'SCSI\DISK\NVME'
parent = 'PCI\NVME'
scsi_address = [1, 0, 0, 0]
bus_type = 0x11
[disk.nvme]
model = "Travok NV3 1TB"
firmware = "NV3R1000"
frmw = 0x06
fwug = 1
[[disk]]
instance_id = 'SCSI\DISK\RST'
parent = 'PCI\RST'
scsi_address = [2, 1, 0, 0]
bus_type = 0x08
[disk.nvme]
model = "Travok NV2 512GB"
firmware = "NV2R0100"
frmw = 0x02
[[disk]]
instance_id = 'SCSI\DISK\SATA'
parent = 'PCI\NVME'
[disk.ata]
[[irst]]
port = 2
[[rste]]
port = 3
[[rste.pass_through]]
id = 5
serial = "PT05"
)";

using Bytes = std::vector<std::uint8_t>;

// SRB_IO_CONTROL in front of a block of `size` bytes.
Bytes Srb(std::size_t size, const char* signature, std::uint32_t controlCode) {
  Bytes b(size, 0);
  fw::PutU32le(b, 0, 28);
  std::memcpy(&b[4], signature, 8);
  fw::PutU32le(b, 12, 30);
  fw::PutU32le(b, 16, controlCode);
  fw::PutU32le(b, 24, std::uint32_t(size - 28));
  return b;
}

// The miniport firmware request: FIRMWARE_REQUEST_BLOCK at 28, its data at 52.
Bytes FirmwareRequest(std::uint32_t function, std::size_t dataSize) {
  Bytes b = Srb(52 + dataSize, "FIRMWARE", 0x001B0780);
  fw::PutU32le(b, 28, 1);
  fw::PutU32le(b, 32, 24);
  fw::PutU32le(b, 36, function);
  fw::PutU32le(b, 40, 1);
  fw::PutU32le(b, 44, 52);
  fw::PutU32le(b, 48, std::uint32_t(dataSize));
  return b;
}

Bytes MiniportDownload(const Bytes& image, std::uint64_t offset, std::size_t chunk) {
  Bytes b = FirmwareRequest(2, 24 + chunk);
  fw::PutU32le(b, 52, 1);
  fw::PutU32le(b, 56, 24);
  fw::PutU64le(b, 60, offset);
  fw::PutU64le(b, 68, chunk);
  for (std::size_t i = 0; i < chunk && offset + i < image.size(); ++i)
    b[76 + i] = image[offset + i];
  return b;
}

Bytes MiniportActivate(std::uint8_t slot) {
  Bytes b = FirmwareRequest(3, 12);
  fw::PutU32le(b, 52, 1);
  fw::PutU32le(b, 56, 12);
  b[60] = slot;
  return b;
}

// STORAGE_PROPERTY_QUERY with STORAGE_PROTOCOL_SPECIFIC_DATA for NVMe.
Bytes ProtocolQuery(std::uint32_t dataType, std::uint32_t value, std::uint32_t length,
                    std::uint32_t offset = 40, std::uint32_t protocol = 3) {
  Bytes b(8 + offset + length, 0);
  fw::PutU32le(b, 0, 49);
  fw::PutU32le(b, 8, protocol);
  fw::PutU32le(b, 12, dataType);
  fw::PutU32le(b, 16, value);
  fw::PutU32le(b, 24, offset);
  fw::PutU32le(b, 28, length);
  return b;
}

// "IntelNvm" with an admin command and L bytes of data.
Bytes IntelNvm(std::uint8_t path, std::uint8_t opcode, std::uint32_t cdw10, std::uint32_t length) {
  Bytes b = Srb(168 + length, "IntelNvm", 0xF0002808);
  b[28] = 1;
  b[29] = path;
  b[32] = opcode;
  fw::PutU16le(b, 34, 0x1234);  // command identifier
  fw::PutU32le(b, 72, cdw10);
  fw::PutU32le(b, 116, 168);
  fw::PutU32le(b, 120, length);
  return b;
}

// "IntelFw " with its function data at 56.
Bytes IntelFw(std::uint32_t function, std::size_t dataSize, std::uint8_t path = 1) {
  Bytes b = Srb(56 + dataSize, "IntelFw ", 0xF0000040);
  b[28] = 1;
  b[29] = path;
  fw::PutU32le(b, 32, 1);
  fw::PutU32le(b, 36, 24);
  fw::PutU32le(b, 40, function);
  fw::PutU32le(b, 44, 1);
  fw::PutU32le(b, 48, 56);
  fw::PutU32le(b, 52, std::uint32_t(dataSize));
  return b;
}

Bytes IntelFwDownload(const Bytes& image, std::uint64_t offset, std::size_t chunk) {
  Bytes b = IntelFw(2, 32 + chunk);
  fw::PutU32le(b, 56, 2);
  fw::PutU32le(b, 60, 32);
  fw::PutU64le(b, 64, offset);
  fw::PutU64le(b, 72, chunk);
  b[80] = 0xFF;
  for (std::size_t i = 0; i < chunk && offset + i < image.size(); ++i)
    b[88 + i] = image[offset + i];
  return b;
}

class NvmeDrivers : public ::testing::Test {
 protected:
  void SetUp() override { sim::LoadMachine(pc, kMachine, "test"); }

  os::Handle Open(const std::string& id) {
    return pc.CreateFileA(pc.devices.Find(id)->disk->devicePath, 0, 0, os::kOPEN_EXISTING, 0);
  }
  // Sends the block in and out; the Windows error, 0 on success.
  std::uint32_t Send(os::Handle h, std::uint32_t code, Bytes& b) {
    std::uint32_t returned = 0;
    if (pc.DeviceIoControl(h, code, b.data(), std::uint32_t(b.size()), b.data(),
                           std::uint32_t(b.size()), &returned))
      return 0;
    return pc.GetLastError();
  }
  std::uint32_t Miniport(os::Handle h, Bytes& b) { return Send(h, 0x0004D008, b); }
  static std::uint32_t ReturnCode(const Bytes& b) { return fw::GetU32le(b, 20); }
  sim::SimNvmeDrive& Drive(const std::string& id) { return *pc.devices.Find(id)->disk->nvme; }
  // The program's restart of a disk: DIF_REMOVE, then the controller is re-enumerated.
  void Restart(const std::string& id, const std::string& controller) {
    pc.devices.Remove(pc.devices.DevInstOf(id));
    pc.devices.Reenumerate(pc.devices.DevInstOf(controller));
  }

  // One field of a correct request changed, and what the driver answers: the Windows error, or
  // when the request completes (error 0) its ReturnCode.
  struct Spoiled {
    const char* name;
    std::size_t at;
    std::uint32_t value;
    std::uint32_t error;
    std::uint32_t returnCode = 0;
    int width = 4;
  };
  // Sends each spoiled copy of `good`, then `good` itself, which must complete with ReturnCode 0;
  // its answer comes back.
  Bytes ExpectEachRefused(os::Handle h, const Bytes& good, std::span<const Spoiled> cases) {
    for (const Spoiled& c : cases) {
      Bytes b = good;
      if (c.width == 1)
        b[c.at] = std::uint8_t(c.value);
      else
        fw::PutU32le(b, c.at, c.value);
      const std::uint32_t error = Miniport(h, b);
      EXPECT_EQ(error, c.error) << c.name;
      if (!error && !c.error) {
        EXPECT_EQ(ReturnCode(b), c.returnCode) << c.name;
      }
      EXPECT_TRUE(c.error || c.returnCode) << c.name << ": a case must expect a refusal";
    }
    Bytes b = good;
    EXPECT_EQ(Miniport(h, b), 0u) << "the request unspoiled";
    EXPECT_EQ(ReturnCode(b), 0u) << "the request unspoiled";
    return b;
  }

  sim::SimPc pc;
};

TEST_F(NvmeDrivers, StorageQueryReadsIdentifyAndLogsAsWindowsLaysThemOut) {
  const os::Handle h = Open("SCSI\\DISK\\NVME");
  Bytes q = ProtocolQuery(1, 1, 4096);
  ASSERT_EQ(Send(h, os::kIOCTL_STORAGE_QUERY_PROPERTY, q), 0u);
  EXPECT_EQ(fw::GetU32le(q, 0), 48u) << "STORAGE_PROTOCOL_DATA_DESCRIPTOR.Version";
  EXPECT_EQ(std::string(q.begin() + 48 + 24, q.begin() + 48 + 38), "Travok NV3 1TB");
  EXPECT_EQ(std::string(q.begin() + 48 + 64, q.begin() + 48 + 72), "NV3R1000");
  Bytes log = ProtocolQuery(2, 3, 512);
  ASSERT_EQ(Send(h, os::kIOCTL_STORAGE_QUERY_PROPERTY, log), 0u);
  EXPECT_EQ(log[48], 0x01) << "active slot 1";

  struct Case {
    const char* name;
    Bytes query;
    std::size_t outSize;
    std::uint32_t error;
  };
  const Case refused[] = {
      {"data inside the specific data", ProtocolQuery(1, 1, 4096, 39), 0, 87},
      {"identify shorter than 4096", ProtocolQuery(1, 1, 512), 0, 87},
      {"no such data type", ProtocolQuery(7, 1, 4096), 0, 87},
      {"ATA protocol", ProtocolQuery(1, 1, 4096, 40, 2), 0, 50},
      {"answer does not fit", ProtocolQuery(1, 1, 4096), 4000, 122},
      {"CNS 0", ProtocolQuery(1, 0, 4096), 0, 1117},
  };
  for (const Case& c : refused) {
    Bytes b = c.query;
    const std::uint32_t outSize = std::uint32_t(c.outSize ? c.outSize : b.size());
    std::uint32_t returned = 0;
    b.resize(std::max<std::size_t>(b.size(), outSize));
    EXPECT_FALSE(pc.DeviceIoControl(h, os::kIOCTL_STORAGE_QUERY_PROPERTY, b.data(),
                                    std::uint32_t(c.query.size()), b.data(), outSize, &returned))
        << c.name;
    EXPECT_EQ(pc.GetLastError(), c.error) << c.name;
  }
  Bytes rst = ProtocolQuery(1, 1, 4096);
  EXPECT_EQ(Send(Open("SCSI\\DISK\\RST"), os::kIOCTL_STORAGE_QUERY_PROPERTY, rst), 50u)
      << "the RAID driver's disk has no inbox query";
}

TEST_F(NvmeDrivers, MiniportFirmwareUpdateActivatesAtTheRestart) {
  const os::Handle h = Open("SCSI\\DISK\\NVME");
  Bytes info = FirmwareRequest(1, 4096);
  ASSERT_EQ(Miniport(h, info), 0u);
  EXPECT_EQ(ReturnCode(info), 0u);
  EXPECT_EQ(info[52 + 8], 1) << "upgrade supported";
  EXPECT_EQ(info[52 + 9], 3) << "slot count";
  EXPECT_EQ(info[52 + 10], 1) << "active slot";
  EXPECT_EQ(info[52 + 11], 0xFF) << "none pending";
  EXPECT_EQ(info[52 + 16], 1);
  EXPECT_EQ(std::string(info.begin() + 52 + 24, info.begin() + 52 + 32), "NV3R1000");

  const Bytes image = sim::MakeSimFirmwareImage("Travok NV3 1TB", "NV3R2000", 10000);
  for (std::uint64_t offset = 0; offset < image.size(); offset += 4096) {
    Bytes chunk = MiniportDownload(image, offset, 4096);
    ASSERT_EQ(Miniport(h, chunk), 0u);
    EXPECT_EQ(ReturnCode(chunk), 0u) << offset;
  }
  Bytes activate = MiniportActivate(2);
  ASSERT_EQ(Miniport(h, activate), 0u);
  EXPECT_EQ(ReturnCode(activate), 0x20u) << "power cycle required";
  EXPECT_NE(pc.Journal().back().find("\"FIRMWARE\" function 3 slot 2 opcode 10"), std::string::npos)
      << pc.Journal().back();
  EXPECT_EQ(Drive("SCSI\\DISK\\NVME").PendingSlot(), 2);
  EXPECT_EQ(fw::GetU32le(Drive("SCSI\\DISK\\NVME").Records().back().command, 40), 2u | 1u << 3)
      << "commit action 1: no activation without a reset";

  Restart("SCSI\\DISK\\NVME", "PCI\\NVME");
  EXPECT_EQ(Drive("SCSI\\DISK\\NVME").RunningRevision(), "NV3R2000");
  EXPECT_EQ(pc.devices.Find("SCSI\\DISK\\NVME")->disk->revision, "NV3R2000");
  Bytes q = ProtocolQuery(1, 1, 4096);
  ASSERT_EQ(Send(Open("SCSI\\DISK\\NVME"), os::kIOCTL_STORAGE_QUERY_PROPERTY, q), 0u);
  EXPECT_EQ(std::string(q.begin() + 48 + 64, q.begin() + 48 + 72), "NV3R2000");
}

TEST_F(NvmeDrivers, MiniportChecksItsRequestBlocks) {
  const os::Handle h = Open("SCSI\\DISK\\NVME");
  const Bytes image = sim::MakeSimFirmwareImage("Travok NV3 1TB", "NV3R2000", 4096);
  const auto with = [](Bytes b, std::size_t at, std::uint32_t value) {
    fw::PutU32le(b, at, value);
    return b;
  };
  struct Case {
    const char* name;
    Bytes request;
    std::uint32_t returnCode;
  };
  const Case cases[] = {
      {"slot information beyond the buffer", with(FirmwareRequest(1, 4096), 48, 5000), 3},
      {"slot information with no room for its slots", with(FirmwareRequest(1, 4096), 48, 8), 3},
      {"offset off the granularity", MiniportDownload(image, 2048, 4096), 3},
      {"activate size 16", with(MiniportActivate(2), 56, 16), 3},
      {"activate a slot above the count", MiniportActivate(4), 6},
      {"activate with no image, an empty slot", MiniportActivate(3), 7},
  };
  for (const Case& c : cases) {
    Bytes b = c.request;
    ASSERT_EQ(Miniport(h, b), 0u) << c.name;
    EXPECT_EQ(ReturnCode(b), c.returnCode) << c.name;
  }
  Bytes sata = FirmwareRequest(1, 4096);
  EXPECT_EQ(Miniport(Open("SCSI\\DISK\\SATA"), sata), 1u) << "a disk that is no NVMe drive";

  pc.devices.Find("SCSI\\DISK\\NVME")->disk->nvmeStack.upgradeSupported = false;
  Bytes info = FirmwareRequest(1, 4096);
  ASSERT_EQ(Miniport(h, info), 0u);
  EXPECT_EQ(info[52 + 8], 0) << "upgrade not supported";
  Bytes chunk = MiniportDownload(image, 0, 4096);
  ASSERT_EQ(Miniport(h, chunk), 0u);
  EXPECT_EQ(ReturnCode(chunk), 2u);
}

TEST_F(NvmeDrivers, MiniportFirmwareRefusesADownloadWithAnyFieldSpoiled) {
  const Bytes image = sim::MakeSimFirmwareImage("Travok NV3 1TB", "NV3R2000", 4096);
  const Bytes good = MiniportDownload(image, 0, 4096);  // 4172 bytes, Length 4144
  const Spoiled cases[] = {
      {"HeaderLength 24", 0, 24, 87},
      {"signature FIRMWARX", 11, 'X', 1, 0, 1},
      {"Timeout 0", 12, 0, 87},
      {"ControlCode of another interface", 16, 0x001B0781, 1},
      {"Length 0", 24, 0, 0, 3},
      {"Length short of the image", 24, 4143, 0, 3},
      {"Length past the buffer", 24, 4145, 87},
      {"request block Version 2", 28, 2, 0, 3},
      {"request block Size 20", 32, 20, 0, 3},
      {"Function 4", 36, 4, 0, 3},
      {"Flags 0, not the controller's", 40, 0, 0, 3},
      {"DataBufferOffset inside the request block", 44, 48, 0, 3},
      {"DataBufferLength past the buffer", 48, 4121, 0, 3},
      {"download Version 2", 52, 2, 0, 3},
      {"download Size 20", 56, 20, 0, 3},
      {"BufferSize larger than its data", 68, 4097, 0, 3},
  };
  const os::Handle h = Open("SCSI\\DISK\\NVME");
  ExpectEachRefused(h, good, cases);
  EXPECT_EQ(Drive("SCSI\\DISK\\NVME").Records().size(), 1u) << "only the good request reached it";
}

TEST_F(NvmeDrivers, AFaultFailsTheRequestThatCarriesIt) {
  sim::SimNvmeFault f;
  f.opcode = 0x11;
  f.windowsError = 1117;
  Drive("SCSI\\DISK\\NVME").faults.push_back(f);
  const Bytes image = sim::MakeSimFirmwareImage("Travok NV3 1TB", "NV3R2000", 4096);
  const os::Handle h = Open("SCSI\\DISK\\NVME");
  Bytes chunk = MiniportDownload(image, 0, 4096);
  EXPECT_EQ(Miniport(h, chunk), 1117u);
  EXPECT_TRUE(Drive("SCSI\\DISK\\NVME").Records().empty()) << "the drive saw nothing";
  chunk = MiniportDownload(image, 0, 4096);
  EXPECT_EQ(Miniport(h, chunk), 0u);

  // Power lost in the middle of the image: what was received is gone.
  sim::SimNvmeFault loss;
  loss.opcode = 0x10;
  loss.powerLoss = true;
  Drive("SCSI\\DISK\\NVME").faults.push_back(loss);
  Bytes activate = MiniportActivate(2);
  EXPECT_EQ(Miniport(h, activate), 1117u);
  EXPECT_FALSE(Drive("SCSI\\DISK\\NVME").HasImage());
  activate = MiniportActivate(2);
  ASSERT_EQ(Miniport(h, activate), 0u);
  EXPECT_EQ(ReturnCode(activate), 7u) << "nothing to activate in slot 2";
}

TEST_F(NvmeDrivers, IntelNvmCarriesAdminCommandsToThePath) {
  const os::Handle port = pc.CreateFileA("\\\\.\\SCSI2:", 0, 0, os::kOPEN_EXISTING, 0);
  Bytes id = IntelNvm(1, 0x06, 1, 4096);
  ASSERT_EQ(Miniport(port, id), 0u);
  EXPECT_EQ(std::string(id.begin() + 168 + 24, id.begin() + 168 + 40), "Travok NV2 512GB");
  EXPECT_EQ(fw::GetU16le(id, 112), 0x1234) << "command identifier";
  EXPECT_EQ(fw::GetU16le(id, 114), 0x0001) << "phase tag, success";
  Bytes log = IntelNvm(1, 0x02, 0x02 | 127 << 16, 512);
  ASSERT_EQ(Miniport(port, log), 0u);
  EXPECT_EQ(fw::GetU16le(log, 114), 1 | 0x09 << 1 | 1 << 9) << "SCT 1, invalid log page";

  Bytes version2 = IntelNvm(1, 0x06, 1, 4096);
  version2[28] = 2;
  EXPECT_EQ(Miniport(port, version2), 87u);
  Bytes nobody = IntelNvm(3, 0x06, 1, 4096);
  EXPECT_EQ(Miniport(port, nobody), 55u);
  Bytes other = IntelNvm(1, 0x06, 1, 4096);
  std::memcpy(&other[4], "IntelNvX", 8);
  EXPECT_EQ(Miniport(port, other), 1u) << "no CSMI controller on this port either";

  pc.devices.Find("PCI\\RST")->driverVersion = "14.5.0.1081";
  Bytes old = IntelNvm(1, 0x06, 1, 4096);
  EXPECT_EQ(Miniport(port, old), 1u) << "before 14.8";
  pc.devices.Find("PCI\\RST")->driverVersion = "17.9.1.1009";
  pc.scsiPorts.at(2).irst->passThroughError = 1117;
  Bytes vmd = IntelNvm(1, 0x06, 1, 4096);
  EXPECT_EQ(Miniport(port, vmd), 1117u);
}

TEST_F(NvmeDrivers, IntelNvmRefusesARequestWithAnyFieldSpoiled) {
  const Bytes good = IntelNvm(1, 0x06, 1, 4096);  // 4264 bytes, Length 4236
  const Spoiled cases[] = {
      {"HeaderLength 24", 0, 24, 87},
      {"signature IntelNvX", 11, 'X', 1, 0, 1},
      {"Timeout 0", 12, 0, 87},
      {"ControlCode of the firmware interface", 16, 0xF0000040, 1},
      {"Length 0", 24, 0, 87},
      {"Length short of the data", 24, 4235, 87},
      {"Length past the buffer", 24, 4237, 87},
      {"version 2", 28, 2, 87, 0, 1},
      {"a path with no drive", 29, 3, 55, 0, 1},
      {"target 1", 30, 1, 55, 0, 1},
      {"LUN 1", 31, 1, 55, 0, 1},
      {"data inside the request block", 116, 164, 87},
      {"data past the buffer", 120, 4097, 87},
  };
  ExpectEachRefused(pc.CreateFileA("\\\\.\\SCSI2:", 0, 0, os::kOPEN_EXISTING, 0), good, cases);
  EXPECT_EQ(Drive("SCSI\\DISK\\RST").Records().size(), 1u) << "only the good request reached it";
}

TEST(IrstDriverVersion, IsComparedAsNumbers) {
  const std::pair<const char*, bool> cases[] = {
      {"14.8.0.1042", true}, {"14.10.0.1000", true}, {"15.0", true}, {"14.5.16.1063", false},
      {"9.6.0.1014", false}, {"14", false},          {"", false},
  };
  for (const auto& [version, enough] : cases)
    EXPECT_EQ(sim::DriverVersionAtLeast(version, 14, 8), enough) << version;
}

TEST_F(NvmeDrivers, IntelFwDownloadsAndActivates) {
  const os::Handle port = pc.CreateFileA("\\\\.\\SCSI2:", 0, 0, os::kOPEN_EXISTING, 0);
  const Bytes image = sim::MakeSimFirmwareImage("Travok NV2 512GB", "NV2R0200", 6000);
  for (std::uint64_t offset = 0; offset < image.size(); offset += 4096) {
    Bytes chunk = IntelFwDownload(image, offset, 4096);
    ASSERT_EQ(Miniport(port, chunk), 0u);
    EXPECT_EQ(ReturnCode(chunk), 0u);
  }
  Bytes activate = IntelFw(3, 12);
  fw::PutU32le(activate, 56, 1);
  fw::PutU32le(activate, 60, 12);
  activate[64] = 1;
  ASSERT_EQ(Miniport(port, activate), 0u);
  EXPECT_EQ(ReturnCode(activate), 0x20u);
  Restart("SCSI\\DISK\\RST", "PCI\\RST");
  EXPECT_EQ(Drive("SCSI\\DISK\\RST").RunningRevision(), "NV2R0200");
}

TEST_F(NvmeDrivers, IntelFwRefusesADownloadWithAnyFieldSpoiled) {
  const Bytes image = sim::MakeSimFirmwareImage("Travok NV2 512GB", "NV2R0200", 4096);
  const Bytes good = IntelFwDownload(image, 0, 4096);  // 4184 bytes, Length 4156
  const Spoiled cases[] = {
      {"HeaderLength 24", 0, 24, 87},
      {"signature IntelFwX", 11, 'X', 1, 0, 1},
      {"Timeout 0", 12, 0, 87},
      {"ControlCode of the pass-through", 16, 0xF0002808, 1},
      {"Length 0", 24, 0, 0, 3},
      {"Length short of the image", 24, 4155, 0, 3},
      {"Length past the buffer", 24, 4157, 87},
      {"version 2", 28, 2, 0, 3, 1},
      {"a path with no drive", 29, 0, 55, 0, 1},
      {"target 1", 30, 1, 55, 0, 1},
      {"LUN 1", 31, 1, 55, 0, 1},
      {"request version 2", 32, 2, 0, 3},
      {"request size 20", 36, 20, 0, 3},
      {"function 1, which it does not have", 40, 1, 0, 3},
      {"flags 0", 44, 0, 0, 3},
      {"data inside the request block", 48, 52, 0, 3},
      {"data past the buffer", 52, 4129, 0, 3},
      {"download version 1", 56, 1, 0, 3},
      {"download size 24", 60, 24, 0, 3},
      {"buffer size larger than its data", 72, 4097, 0, 3},
      {"slot 1 instead of any", 80, 0x01, 0, 3, 1},
  };
  ExpectEachRefused(pc.CreateFileA("\\\\.\\SCSI2:", 0, 0, os::kOPEN_EXISTING, 0), good, cases);
  EXPECT_EQ(Drive("SCSI\\DISK\\RST").Records().size(), 1u) << "only the good request reached it";
}

TEST_F(NvmeDrivers, NvmeRaidRefusesAnIdentifyWithAnyFieldSpoiled) {
  // The RAID member Identify: the whole block counts as Length.
  Bytes good = Srb(4252, "NvmeRAID", 0xE0002000);
  fw::PutU32le(good, 12, 40);
  fw::PutU32le(good, 20, 5);  // the disk
  good[52] = 0x06;
  fw::PutU32le(good, 92, 1);
  fw::PutU32le(good, 132, 2);
  fw::PutU32le(good, 148, 4252);
  const Spoiled cases[] = {
      {"HeaderLength 24", 0, 24, 87},
      {"signature NvmeRAIX", 11, 'X', 1, 0, 1},
      {"Timeout 0", 12, 0, 87},
      {"a control code it does not have", 16, 0xE0002040, 0, 1},
      {"a disk it does not have", 20, 7, 0, 3},
      {"Length short of the fixed part", 24, 123, 0, 2},
      {"Length past the buffer", 24, 4225, 87},
      {"an I/O queue", 136, 1, 0, 2},
      {"return buffer length past the block", 148, 4256, 0, 2},
      {"return buffer length short of the fixed part", 148, 148, 0, 2},
  };
  const Bytes answer =
      ExpectEachRefused(pc.CreateFileA("\\\\.\\SCSI3:", 0, 0, os::kOPEN_EXISTING, 0), good, cases);
  EXPECT_EQ(std::string(answer.begin() + 152 + 4, answer.begin() + 152 + 8), "PT05")
      << "the good request read the disk's Identify";
}

TEST(NvmeMachine, TheDemoMachineHasItsNvmeDrivesAndRst) {
  sim::SimPc pc;
  sim::LoadMachine(pc, sim::BuiltInMachine(), "built-in");
  const auto& inbox =
      *pc.devices.Find("SCSI\\DISK&VEN_NVME&PROD_SAMSUNG_SSD_970\\5&2D3C9A1&0&000000")->disk;
  ASSERT_TRUE(inbox.nvme);
  EXPECT_EQ(inbox.nvme->RunningRevision(), "2B2QEXM7");
  EXPECT_EQ(inbox.nvme->SlotCount(), 3);
  const sim::SimScsiPort& rst = pc.scsiPorts.at(2);
  ASSERT_TRUE(rst.irst && rst.csmi) << "RST and its CSMI interface share the port";
  EXPECT_TRUE(sim::DriverVersionAtLeast(sim::IrstDriverVersion(*rst.irst, pc.devices), 14, 8));

  // A CSMI request on that port still reaches the CSMI controller.
  const os::Handle h = pc.CreateFileA("\\\\.\\SCSI2:", 0, 0, os::kOPEN_EXISTING, 0);
  Bytes csmi = Srb(204, "CSMIALL\0", 1);
  std::uint32_t returned = 0;
  ASSERT_TRUE(pc.DeviceIoControl(h, 0x0004D008, csmi.data(), 204, csmi.data(), 204, &returned));
  EXPECT_EQ(fw::GetU32le(csmi, 20), 0u);
}

TEST(NvmeMachine, DescriptionsRefuseWhatTheyDoNotKnow) {
  constexpr const char* kDisk = "[[disk]]\ninstance_id = 'SCSI\\DISK\\1'\n";
  const char* bad[] = {
      "[disk.nvme]\ncolour = 1",
      "[disk.nvme]\nfrmw = 0x04\nslots = ['A', 'B', 'C']",
      "[disk.nvme]\nactive_slot = 4",
      "[disk.nvme]\nslots = ['A', '', 'C']\nactive_slot = 2",
      "[disk.nvme]\nslots = ['', 'B']",
      "[disk.nvme]\nslots = ['NINECHARS']",
      "[[disk.nvme.fault]]\nopcod = 1",
      "[[irst]]\ninstance_id = 'SCSI\\DISK\\1'",
      "[[irst]]\nport = 2\ninstance_id = 'PCI\\NONE'",
      "[[irst]]\nport = 2\n[[irst]]\nport = 2",
  };
  for (const char* keys : bad) {
    sim::SimPc pc;
    EXPECT_THROW(sim::LoadMachine(pc, std::string(kDisk) + keys, "bad"), sim::MachineError) << keys;
  }
  sim::SimPc pc;
  sim::LoadMachine(pc,
                   std::string(kDisk) +
                       "bus_type = 0x08\n[disk.nvme]\nmodel = 'M'\nfrmw = 0x07\n"
                       "slots = ['A1', 'B2']\nactive_slot = 2\npending_slot = 1\ninbox = true\n"
                       "upgrade_supported = false\n[[disk.nvme.fault]]\nopcode = 0x10\n"
                       "status = 0x113\ntimes = -1\npower_loss = true\n[[irst]]\nport = "
                       "4\ndriver_version = '14.2'\n"
                       "pass_through_error = 1117\n",
                   "good");
  const sim::SimDisk& disk = *pc.devices.Find("SCSI\\DISK\\1")->disk;
  ASSERT_TRUE(disk.nvme);
  EXPECT_EQ(disk.nvme->SlotRevisions(), (std::vector<std::string>{"A1", "B2", ""}));
  EXPECT_EQ(disk.nvme->RunningRevision(), "B2");
  EXPECT_EQ(disk.revision, "B2") << "the disk reports what the drive runs";
  EXPECT_EQ(disk.nvme->PendingSlot(), 1);
  EXPECT_EQ(disk.nvmeStack.inbox, true);
  EXPECT_FALSE(disk.nvmeStack.upgradeSupported);
  ASSERT_EQ(disk.nvme->faults.size(), 1u);
  EXPECT_EQ(disk.nvme->faults[0].status, 0x113);
  EXPECT_TRUE(disk.nvme->faults[0].powerLoss);
  EXPECT_EQ(pc.scsiPorts.at(4).irst->driverVersion, "14.2");
  EXPECT_EQ(pc.scsiPorts.at(4).irst->passThroughError, 1117u);
}

}  // namespace
