// The device object's NVMe paths through the simulated drivers: the Intel RST pass-through, the
// inbox identify query, and firmware download and activation through the inbox driver's
// miniport interface and through the RST driver. The drivers decode the requests on their own;
// what the drive received is compared with what the program meant to send.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "devices/dev_mgr.h"
#include "discovery/dev_info.h"
#include "framework/bytes.h"
#include "os/layouts/intel_rst.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/drives/sim_nvme_drive.h"
#include "tests/unit/transport/transport_fixture.h"
#include "transport/nvme_requests.h"

namespace {

using transport::NvmeCommand;

constexpr const char* kModel = "Travok NV3 1TB";
constexpr const char* kInboxDisk = "SCSI\\DISK&VEN_NVME&PROD_TRAVOK_NV3\\5&1&0&000000";
constexpr const char* kRstDisk = "SCSI\\DISK&VEN_NVME&PROD_TRAVOK_NV3\\5&2&0&010000";
constexpr int kRstPort = 2;
constexpr std::uint8_t kRstPath = 1;

// Three slots with the running revision in slot 1, unless the keys say otherwise.
std::string NvmeTable(const std::string& nvme) {
  std::string t = "\n[disk.nvme]\nmodel = \"" + std::string(kModel) + "\"\n";
  if (nvme.find("slots =") == std::string::npos) t += "slots = [\"NV3R1000\", \"\", \"\"]\n";
  return t + nvme + "\n";
}

constexpr const char* kInboxController = R"(
[[device]]
instance_id = 'PCI\VEN_1E4B&DEV_1202\4&1F7E4B4B&0&00E0'
class = "scsiadapter"
service = "stornvme"
)";

constexpr const char* kRstController = R"(
[[device]]
instance_id = 'PCI\VEN_8086&DEV_2822\3&11583659&0&B9'
class = "scsiadapter"
service = "iaStorA"
description = "Intel(R) Chipset SATA/PCIe RST Premium Controller"
)";

// An NVMe SSD on the inbox driver; `nvme` adds keys to its [disk.nvme] table, `more` to its
// [[disk]].
std::string InboxMachine(const std::string& nvme, const std::string& more) {
  return std::string(kInboxController) + "\n[[disk]]\ninstance_id = '" + kInboxDisk +
         "'\nparent = 'PCI\\VEN_1E4B&DEV_1202\\4&1F7E4B4B&0&00E0'\nbus_type = 0x11\n"
         "scsi_address = [1, 0, 0, 0]\n" +
         more + NvmeTable(nvme);
}

// The same drive behind Intel RST at path 1 of port 2, with the RST driver's version.
std::string RstMachine(const std::string& version, const std::string& nvme) {
  return std::string(kRstController) + "driver_version = \"" + version +
         "\"\n\n[[disk]]\ninstance_id = '" + kRstDisk +
         "'\nparent = 'PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9'\nbus_type = 8\n"
         "scsi_address = [2, 1, 0, 0]\n" +
         NvmeTable(nvme) +
         "\n[[irst]]\nport = 2\ninstance_id = 'PCI\\VEN_8086&DEV_2822\\3&11583659&0&B9'\n";
}

class NvmeTest : public transport_test::TransportTest {
 protected:
  // Loads the machine and binds its one NVMe disk the way the scan does: the inbox disk by its
  // path, the RST disk through its controller's port.
  transport::TAtaDevice& Inbox(const std::string& nvme = "", const std::string& more = "") {
    Fresh();
    transport::TAtaDevice& d = Machine(InboxMachine(nvme, more));
    m_Drive = pc.devices.Find(kInboxDisk)->disk->nvme.get();
    const int index = IndexOf(kInboxDisk);
    EXPECT_TRUE(d.SelectPort(index, fw::FieldText(d.DriveAt(index)->devicePath).c_str(), -1,
                             transport::kKindNvme));
    Mark();
    return d;
  }
  transport::TAtaDevice& Rst(const std::string& version = "15.2.0.1020",
                             const std::string& nvme = "") {
    Fresh();
    transport::TAtaDevice& d = Machine(RstMachine(version, nvme));
    m_Drive = pc.devices.Find(kRstDisk)->disk->nvme.get();
    EXPECT_TRUE(d.SelectPort(IndexOf(kRstDisk), nullptr, kRstPort, transport::kKindNvme));
    Mark();
    return d;
  }
  // A new PC, for tests that try several machines.
  void Fresh() {
    device.reset();
    pc.Reset();
  }
  int IndexOf(const std::string& instanceId) const {
    for (int i = 0; i < device->DriveCount(); ++i)
      if (fw::FieldText(device->DriveAt(i)->instanceId) == instanceId) return i;
    ADD_FAILURE() << instanceId << " is not in the table";
    return -1;
  }
  sim::SimNvmeDrive& Drive() { return *m_Drive; }

  // The commands of one opcode the drive received since the start.
  std::vector<sim::SimNvmeRecord> Received(std::uint8_t opcode) const {
    std::vector<sim::SimNvmeRecord> out;
    for (const sim::SimNvmeRecord& r : m_Drive->Records())
      if (r.command[0] == opcode) out.push_back(r);
    return out;
  }
  static std::uint32_t Cdw(const sim::SimNvmeRecord& r, int n) {
    return fw::GetU32le(r.command, std::size_t(4 * n));
  }

  // An image for this drive's model, staged at the start of a zeroed 2 MiB buffer as the
  // update procedure stages it.
  std::vector<std::uint8_t> Staged(std::size_t size, const std::string& model = kModel) {
    m_Image = sim::MakeSimFirmwareImage(model, "NV3R2000", size);
    std::vector<std::uint8_t> buffer(2 * 1024 * 1024, 0);
    std::copy(m_Image.begin(), m_Image.end(), buffer.begin());
    return buffer;
  }
  const std::vector<std::uint8_t>& Image() const { return m_Image; }

 private:
  sim::SimNvmeDrive* m_Drive = nullptr;
  std::vector<std::uint8_t> m_Image;
};

NvmeCommand IdentifyCommand() {
  NvmeCommand c{};
  c[0] = transport::nvme::kOpcodeIdentify;
  fw::PutU32le(c, transport::nvme::kCdw10, transport::nvme::kCnsController);
  return c;
}

// ---- Intel RST pass-through ----

TEST_F(NvmeTest, RstPassThroughReadsIdentifyAndReturnsTheCompletionEntry) {
  transport::TAtaDevice& d = Rst();
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  ASSERT_TRUE(d.Send_IRST_NVME_PASS_THROUTH(kRstPath, IdentifyCommand(), nullptr, 4096, false,
                                            result.data(), 30, transport::kNvmeFromDevice));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.GetResponseBuffer()) + 24, 14), kModel);
  EXPECT_EQ(std::memcmp(result.data() + 4, "IntelNvm", 8), 0);
  ASSERT_FALSE(pc.ioRequests.empty());
  EXPECT_EQ(pc.ioRequests.back().inSize, 4264u);
  EXPECT_EQ(pc.ioRequests.back().outSize, 4264u);
  const auto identify = Received(0x06);
  ASSERT_EQ(identify.size(), 1u);
  EXPECT_EQ(identify[0].transport, "IntelNvm");
  EXPECT_EQ(Cdw(identify[0], 10), 1u);
}

TEST_F(NvmeTest, RstPassThroughAnswersOneWhateverTheNvmeStatus) {
  // Invalid Field: the request completed, and the caller reads the status from the entry.
  transport::TAtaDevice& d = Rst("15.2.0.1020", "[[disk.nvme.fault]]\nopcode = 6\nstatus = 2\n");
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  EXPECT_TRUE(d.Send_IRST_NVME_PASS_THROUTH(kRstPath, IdentifyCommand(), nullptr, 4096, false,
                                            result.data(), 30, transport::kNvmeFromDevice));
  const std::uint16_t status = fw::GetU16le(result, os::layout::irst_nvm::kCompletionStatus);
  EXPECT_EQ((status >> 1) & 0xFF, 0x02);
  EXPECT_EQ((status >> 9) & 0x7, 0);
}

TEST_F(NvmeTest, RstPassThroughSendsRequestBufferWhenNoDataIsGiven) {
  transport::TAtaDevice& d = Rst();
  for (int i = 0; i < 4096; ++i) d.GetRequestBuffer()[i] = std::uint8_t(i * 7 + 1);
  NvmeCommand download{};
  download[0] = 0x11;
  fw::PutU32le(download, 40, 4096 / 4 - 1);  // NUMD, zero-based
  fw::PutU32le(download, 44, 0);             // OFST
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  ASSERT_TRUE(d.Send_IRST_NVME_PASS_THROUTH(kRstPath, download, nullptr, 4096, false, result.data(),
                                            30, transport::kNvmeToDevice));
  const auto received = Received(0x11);
  ASSERT_EQ(received.size(), 1u);
  ASSERT_EQ(received[0].data.size(), 4096u);
  EXPECT_EQ(std::memcmp(received[0].data.data(), d.GetRequestBuffer(), 4096), 0);
}

TEST_F(NvmeTest, RstDriverBefore14_8RefusesThePassThroughAndStillFillsTheResult) {
  transport::TAtaDevice& d = Rst("14.5.0.1081");
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  EXPECT_FALSE(d.Send_IRST_NVME_PASS_THROUTH(kRstPath, IdentifyCommand(), nullptr, 4096, false,
                                             result.data(), 30, transport::kNvmeFromDevice));
  EXPECT_EQ(d.LastOsError(), os::kERROR_INVALID_FUNCTION);
  EXPECT_EQ(std::memcmp(result.data() + 4, "IntelNvm", 8), 0);
  EXPECT_TRUE(Received(0x06).empty());
}

TEST_F(NvmeTest, RstPassThroughRefusesALengthBeyondTheTransferBuffers) {
  transport::TAtaDevice& d = Rst();
  std::array<std::uint8_t, transport::kIrstResultSize> result{};
  EXPECT_FALSE(d.Send_IRST_NVME_PASS_THROUTH(kRstPath, IdentifyCommand(), nullptr,
                                             std::uint32_t(transport::kResponseBufferSize + 1),
                                             false, result.data(), 30, transport::kNvmeFromDevice));
  EXPECT_EQ(Count("DeviceIoControl"), 0);
}

// ---- Inbox identify ----

TEST_F(NvmeTest, InboxIdentifyReadsTheControllerAndLeavesTheHandleClosed) {
  transport::TAtaDevice& d = Inbox();
  ASSERT_TRUE(d.DoIdentifyDeviceNVMeStorageQuery(IndexOf(kInboxDisk)));
  EXPECT_EQ(pc.ioRequests.back().inSize, 4144u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.GetResponseBuffer()) + 24, 14), kModel);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.GetResponseBuffer()) + 64, 8), "NV3R1000");
  EXPECT_FALSE(d.HandleValid());
  EXPECT_EQ(Received(0x06).size(), 1u);
}

TEST_F(NvmeTest, InboxIdentifyFailureAlsoLeavesTheHandleClosed) {
  transport::TAtaDevice& d = Inbox("query_error = 1117");
  EXPECT_FALSE(d.DoIdentifyDeviceNVMeStorageQuery(IndexOf(kInboxDisk)));
  EXPECT_FALSE(d.HandleValid());
  EXPECT_EQ(d.LastOsError(), 1117u);
  EXPECT_FALSE(d.DoIdentifyDeviceNVMeStorageQuery(-1));
  EXPECT_FALSE(d.DoIdentifyDeviceNVMeStorageQuery(d.DriveCount()));
}

// ---- Firmware download ----

struct ChunkCase {
  std::uint32_t size;
  bool use16KiB;
  std::size_t chunks;
  friend void PrintTo(const ChunkCase& c, std::ostream* os) {
    *os << c.size << " bytes in " << (c.use16KiB ? "16" : "4") << " KiB chunks";
  }
};

class NvmeChunkTest : public NvmeTest, public ::testing::WithParamInterface<ChunkCase> {};

// Every chunk is read whole from the staged buffer, so the drive gets the image followed by
// zeros up to the chunk end, and no chunk beyond the image.
TEST_P(NvmeChunkTest, BothPathsSendTheImageInWholeChunks) {
  const ChunkCase c = GetParam();
  const std::uint32_t chunk = c.use16KiB ? 16384 : 4096;
  for (bool rst : {false, true}) {
    SCOPED_TRACE(rst ? "RST" : "inbox");
    transport::TAtaDevice& d = rst ? Rst() : Inbox();
    const std::vector<std::uint8_t> image = Staged(c.size);
    const bool ok =
        rst ? d.IrstNvmeFirmwareUpgrade(kRstPath, 0, 0, image.data(), c.size, c.use16KiB, 2)
            : d.NvmeFirmwareUpgrade(image.data(), c.size, c.use16KiB, 1, 2);
    EXPECT_TRUE(ok);
    const auto pieces = Received(0x11);
    ASSERT_EQ(pieces.size(), c.chunks);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_EQ(Cdw(pieces[i], 11), i * chunk / 4) << "piece " << i;
      EXPECT_EQ(Cdw(pieces[i], 10), chunk / 4 - 1) << "piece " << i;
      ASSERT_EQ(pieces[i].data.size(), chunk);
    }
    const std::vector<std::uint8_t>& last = pieces.back().data;
    const std::size_t tail = c.size - (c.chunks - 1) * chunk;
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + std::ptrdiff_t(tail),
                           Image().begin() + std::ptrdiff_t(c.size - tail)));
    EXPECT_TRUE(std::all_of(last.begin() + std::ptrdiff_t(tail), last.end(),
                            [](std::uint8_t b) { return b == 0; }));
    const auto commits = Received(0x10);
    ASSERT_EQ(commits.size(), 1u);
    EXPECT_EQ(Cdw(commits[0], 10) & 7, 2u);
    Drive().Reset();
    EXPECT_EQ(Drive().RunningRevision(), "NV3R2000");
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, NvmeChunkTest,
                         ::testing::Values(ChunkCase{525'312, false, 129},
                                           ChunkCase{525'312, true, 33}, ChunkCase{8192, false, 2},
                                           ChunkCase{16384, true, 1}));

// ---- Slot choice ----

struct SlotCase {
  const char* name;
  std::string nvme;  // keys of [disk.nvme] besides the model and slots
  std::string more;  // keys of [disk]
  std::uint32_t requested;
  bool ok;
  int committedSlot;  // -1: nothing may be sent after the slot information
  friend void PrintTo(const SlotCase& c, std::ostream* os) { *os << c.name; }
};

class InboxSlotTest : public NvmeTest, public ::testing::WithParamInterface<SlotCase> {};

TEST_P(InboxSlotTest, ChoosesTheSlotBeforeAnyChunk) {
  const SlotCase c = GetParam();
  transport::TAtaDevice& d = Inbox(c.nvme, c.more);
  const std::vector<std::uint8_t> image = Staged(8192);
  EXPECT_EQ(d.NvmeFirmwareUpgrade(image.data(), 8192, false, 1, c.requested), c.ok);
  if (c.committedSlot < 0) {
    EXPECT_TRUE(Received(0x11).empty());
    EXPECT_TRUE(Received(0x10).empty());
    EXPECT_EQ(Count("DeviceIoControl"), 1);  // the slot information only
    return;
  }
  const auto commits = Received(0x10);
  ASSERT_EQ(commits.size(), 1u);
  EXPECT_EQ(int(Cdw(commits[0], 10) & 7), c.committedSlot);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InboxSlotTest,
    ::testing::Values(
        SlotCase{"RequestedSlotZeroLeavesTheChoiceToTheController", "", "", 0, true, 0},
        SlotCase{"RequestedSlotWithinTheCount", "", "", 3, true, 3},
        SlotCase{"OneSlotDriveTakesItsFirstWritableSlot", "frmw = 0x02\nslots = [\"NV3R1000\"]", "",
                 3, true, 1},
        SlotCase{"EveryWritableSlotMissingSendsNothing", "frmw = 0x03\nslots = [\"NV3R1000\"]", "",
                 3, false, -1},
        SlotCase{"ReadOnlyRequestedSlotTakesTheLowestWritable", "frmw = 0x07", "", 1, true, 2},
        SlotCase{"ReadOnlyRequestedSlotOnTwoSlotsTakesTheOther",
                 "frmw = 0x05\nslots = [\"NV3R1000\", \"\"]", "", 1, true, 2},
        SlotCase{"WritableSlotBesideAReadOnlyOneIsKept", "frmw = 0x07", "", 3, true, 3},
        SlotCase{"RequestedSlotZeroStaysZeroBesideAReadOnlySlot", "frmw = 0x07", "", 0, true, 0},
        SlotCase{"ReadOnlyRequestedSlotAloneSendsNothing", "frmw = 0x03\nslots = [\"NV3R1000\"]",
                 "", 1, false, -1},
        SlotCase{"UpgradeNotSupportedSendsNothing", "upgrade_supported = false", "", 2, false, -1}),
    [](const auto& param) { return std::string(param.param.name); });

struct RstSlotCase {
  std::uint8_t frmw;
  std::uint32_t requested;
  int committedSlot;  // -1: nothing may be sent after IDENTIFY
  friend void PrintTo(const RstSlotCase& c, std::ostream* os) {
    *os << "FRMW " << int(c.frmw) << ", slot " << c.requested << " requested";
  }
};

class RstSlotTest : public NvmeTest, public ::testing::WithParamInterface<RstSlotCase> {};

// The RST path reads FRMW from IDENTIFY first. A one-slot drive with slot 1 read-only is sent
// slot 2 when slot 1 is asked for, which it does not have; it refuses that, and the refusal is a
// failure. A request beyond the slot count falls back to slot 1, or to slot 2 when slot 1 is
// read-only, and to nothing when the drive has no other.
TEST_P(RstSlotTest, TakesTheSlotFromFrmw) {
  const RstSlotCase c = GetParam();
  const int slots = std::max(1, (c.frmw >> 1) & 7);
  std::string revisions = "\"NV3R1000\"";
  for (int i = 1; i < slots; ++i) revisions += ", \"\"";
  transport::TAtaDevice& d =
      Rst("15.2.0.1020", "frmw = " + std::to_string(c.frmw) + "\nslots = [" + revisions + "]");
  const std::vector<std::uint8_t> image = Staged(8192);
  const bool ok = d.IrstNvmeFirmwareUpgrade(kRstPath, 0, 0, image.data(), 8192, false, c.requested);
  // IDENTIFY comes before the first chunk.
  EXPECT_EQ(Received(0x06).size(), 1u);
  EXPECT_EQ(Drive().Records().front().command[0], 0x06);
  if (c.committedSlot < 0) {
    EXPECT_FALSE(ok);
    EXPECT_TRUE(Received(0x11).empty());
    EXPECT_TRUE(Received(0x10).empty());
    EXPECT_EQ(Count("DeviceIoControl"), 1);  // IDENTIFY only
    return;
  }
  const auto commits = Received(0x10);
  ASSERT_EQ(commits.size(), 1u);
  EXPECT_EQ(int(Cdw(commits[0], 10) & 7), c.committedSlot);
  EXPECT_EQ(ok, c.committedSlot <= slots);
}

INSTANTIATE_TEST_SUITE_P(Cases, RstSlotTest,
                         ::testing::Values(RstSlotCase{0x03, 1, 2}, RstSlotCase{0x06, 4, 1},
                                           RstSlotCase{0x07, 1, 2}, RstSlotCase{0x06, 3, 3},
                                           RstSlotCase{0x07, 4, 2}, RstSlotCase{0x05, 3, 2},
                                           RstSlotCase{0x07, 3, 3}, RstSlotCase{0x03, 2, -1}));

// ---- Activation ----

TEST_F(NvmeTest, ActivationIsRepeatedAtOnceWhenTheRequestFails) {
  struct Case {
    int failures;
    bool ok;
  };
  for (const Case c : {Case{4, true}, Case{5, false}}) {
    SCOPED_TRACE(c.failures);
    transport::TAtaDevice& d =
        Inbox("[[disk.nvme.fault]]\nopcode = 0x10\nwindows_error = 1117\ntimes = " +
              std::to_string(c.failures));
    const std::vector<std::uint8_t> image = Staged(8192);
    const std::uint64_t before = pc.NowMicroseconds();
    EXPECT_EQ(d.NvmeFirmwareUpgrade(image.data(), 8192, false, 1, 2), c.ok);
    // The slot information, two chunks and five activation requests at most.
    EXPECT_EQ(Count("DeviceIoControl"), 1 + 2 + 5);
    EXPECT_EQ(Received(0x10).size(), c.ok ? 1u : 0u);
    EXPECT_EQ(d.LastOsError(), 1117u);
    EXPECT_LT(pc.NowMicroseconds() - before, 1'000'000u);  // no wait between the attempts
  }
}

// A drive that judged the image or the slot has decided: the operation fails at once rather
// than report an update that did not happen.
TEST_F(NvmeTest, ActivationCountsOnlySuccessOrAPendingPowerCycle) {
  struct Case {
    const char* name;
    std::string nvme;
    std::string model;
    bool ok;
  };
  const Case cases[] = {
      {"activated now", "frmw = 0x16", kModel, true},
      {"power cycle required", "", kModel, true},
      {"image for another model", "", "Other Model 512GB", false},
      {"slot refused", "[[disk.nvme.fault]]\nopcode = 0x10\nstatus = 0x106", kModel, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool rst : {false, true}) {
      SCOPED_TRACE(rst ? "RST" : "inbox");
      transport::TAtaDevice& d = rst ? Rst("15.2.0.1020", c.nvme) : Inbox(c.nvme);
      const std::vector<std::uint8_t> image = Staged(8192, c.model);
      const bool ok = rst ? d.IrstNvmeFirmwareUpgrade(kRstPath, 0, 0, image.data(), 8192, false, 2)
                          : d.NvmeFirmwareUpgrade(image.data(), 8192, false, 1, 2);
      EXPECT_EQ(ok, c.ok);
      EXPECT_EQ(Received(0x10).size(), 1u);  // a refusal is not repeated
    }
  }
}

TEST_F(NvmeTest, ADownloadChunkThatFailsEndsTheUpdateBeforeActivation) {
  transport::TAtaDevice& d = Inbox("[[disk.nvme.fault]]\nopcode = 0x11\nskip = 1\nstatus = 0x114");
  const std::vector<std::uint8_t> image = Staged(16384);
  EXPECT_FALSE(d.NvmeFirmwareUpgrade(image.data(), 16384, false, 1, 2));
  EXPECT_EQ(Received(0x11).size(), 2u);
  EXPECT_TRUE(Received(0x10).empty());
}

// Without an image an activation would commit whatever the slot holds.
TEST_F(NvmeTest, AnUpgradeWithoutAnImageSendsNothing) {
  for (bool rst : {false, true}) {
    SCOPED_TRACE(rst ? "RST" : "inbox");
    transport::TAtaDevice& d = rst ? Rst() : Inbox();
    const std::vector<std::uint8_t> image = Staged(8192);
    EXPECT_FALSE(rst ? d.IrstNvmeFirmwareUpgrade(kRstPath, 0, 0, image.data(), 0, false, 2)
                     : d.NvmeFirmwareUpgrade(image.data(), 0, false, 1, 2));
    EXPECT_FALSE(rst ? d.IrstNvmeFirmwareUpgrade(kRstPath, 0, 0, nullptr, 8192, false, 2)
                     : d.NvmeFirmwareUpgrade(nullptr, 8192, false, 1, 2));
    EXPECT_EQ(Count("DeviceIoControl"), 0);
  }
}

}  // namespace
