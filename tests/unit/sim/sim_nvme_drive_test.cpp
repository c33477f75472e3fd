// The simulated NVMe drive on its own: its firmware images, the assembly of an image from
// pieces under FWUG, the commit actions and their slots, resets, and faults.
#include "sim/drives/sim_nvme_drive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/bytes.h"
#include "sim/drives/sim_firmware_image.h"

namespace {

using sim::NvmeSubmission;
using sim::SimNvmeDrive;

constexpr const char* kModel = "Travok NV3 1TB";

NvmeSubmission Sqe(std::uint8_t opcode, std::uint32_t cdw10, std::uint32_t cdw11 = 0) {
  NvmeSubmission s = {};
  s[0] = opcode;
  fw::PutU32le(s, 40, cdw10);
  fw::PutU32le(s, 44, cdw11);
  return s;
}

// A piece of `image` (zero beyond its end) sent as FIRMWARE IMAGE DOWNLOAD.
std::uint16_t Download(SimNvmeDrive& drive, const std::vector<std::uint8_t>& image,
                       std::uint32_t offset, std::uint32_t size) {
  std::vector<std::uint8_t> piece(size, 0);
  for (std::uint32_t i = 0; i < size && offset + i < image.size(); ++i)
    piece[i] = image[offset + i];
  return drive.AdminCommand(Sqe(0x11, size / 4 - 1, offset / 4), piece, {}).status;
}

std::uint16_t Commit(SimNvmeDrive& drive, int slot, int action) {
  return drive.AdminCommand(Sqe(0x10, std::uint32_t(slot | action << 3)), {}, {}).status;
}

TEST(SimFirmwareImage, TellsWhomItIsForAndRefusesDamage) {
  auto image = sim::MakeSimFirmwareImage(kModel, "NV3R2000", 5000);
  ASSERT_EQ(image.size(), 5000u);
  const auto info = sim::ParseSimFirmwareImage(image);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->model, kModel);
  EXPECT_EQ(info->revision, "NV3R2000");
  EXPECT_TRUE(sim::SimFirmwareImageFits(image, std::string(kModel) + "   "));
  EXPECT_FALSE(sim::SimFirmwareImageFits(image, "Travok NV3 2TB"));
  image.resize(8192, 0);  // the zero padding of the last chunk
  EXPECT_TRUE(sim::ParseSimFirmwareImage(image));
  image[7000] = 1;
  EXPECT_FALSE(sim::ParseSimFirmwareImage(image)) << "padding that is not zero";
  image[7000] = 0;
  image[100] ^= 0x40;
  EXPECT_FALSE(sim::ParseSimFirmwareImage(image)) << "a damaged byte";
  EXPECT_FALSE(sim::ParseSimFirmwareImage(std::vector<std::uint8_t>(4999, 0)));
}

TEST(SimNvmeDrive, AssemblesAnImageFromPiecesUnderItsGranularity) {
  struct Piece {
    std::uint32_t offset, size;
    std::uint16_t status;
  };
  struct Case {
    const char* name;
    std::uint8_t fwug;
    std::vector<Piece> pieces;
    std::uint16_t commit;
  };
  const Case cases[] = {
      {"in order", 1, {{0, 4096, 0}, {4096, 4096, 0}, {8192, 4096, 0}}, 0},
      {"out of order", 1, {{0, 4096, 0}, {8192, 4096, 0}, {4096, 4096, 0}}, 0},
      {"offset 0 last starts again", 1, {{8192, 4096, 0}, {4096, 4096, 0}, {0, 4096, 0}}, 0x107},
      {"a gap", 1, {{0, 4096, 0}, {8192, 4096, 0}}, 0x107},
      {"overlapping", 1, {{0, 8192, 0}, {4096, 4096, 0x114}, {8192, 4096, 0}}, 0},
      {"misaligned offset", 1, {{0, 4096, 0}, {6144, 2048, 0x002}}, 0x107},
      {"misaligned size", 2, {{0, 4096, 0x002}}, 0x107},
      {"16 KiB under 8 KiB units", 2, {{0, 16384, 0}}, 0},
      {"unknown granularity: dwords", 0, {{0, 1024, 0}, {1024, 11264, 0}}, 0},
      {"no restriction", 0xFF, {{0, 12, 0}, {12, 12276, 0}}, 0},
  };
  const auto image = sim::MakeSimFirmwareImage(kModel, "NV3R2000", 12288);
  for (const Case& c : cases) {
    SimNvmeDrive drive;
    drive.identity.fwug = c.fwug;
    for (const Piece& p : c.pieces)
      EXPECT_EQ(Download(drive, image, p.offset, p.size), p.status)
          << c.name << " piece at " << p.offset;
    EXPECT_EQ(Commit(drive, 2, 0), c.commit) << c.name;
    EXPECT_EQ(drive.SlotRevision(2), c.commit ? "" : "NV3R2000") << c.name;
  }
}

TEST(SimNvmeDrive, CommitActionsAndSlots) {
  enum Image { kNone, kGood, kOtherModel, kDamaged };
  struct Case {
    const char* name;
    std::uint8_t frmw;
    Image image;
    int slot, action;
    std::uint16_t status;
    int active, pending;
    const char* running;  // right after the commit
    const char* runningAfterReset;
  };
  // FRMW 07h: three slots, slot 1 read-only; 17h: and activation without a reset.
  const Case cases[] = {
      {"replace", 0x07, kGood, 2, 0, 0, 1, 0, "NV3R1000", "NV3R1000"},
      {"replace, activate at reset", 0x07, kGood, 2, 1, 0, 1, 2, "NV3R1000", "NV3R2000"},
      {"replace, activate now, reset needed", 0x07, kGood, 3, 3, 0x10B, 1, 3, "NV3R1000",
       "NV3R2000"},
      {"replace, activate now", 0x17, kGood, 2, 3, 0, 2, 0, "NV3R2000", "NV3R2000"},
      {"the controller's choice", 0x07, kGood, 0, 1, 0, 1, 2, "NV3R1000", "NV3R2000"},
      {"read-only slot 1", 0x07, kGood, 1, 1, 0x106, 1, 0, "NV3R1000", "NV3R1000"},
      {"slot 1 when writable", 0x06, kGood, 1, 1, 0, 1, 1, "NV3R1000", "NV3R2000"},
      {"slot above the count", 0x07, kGood, 4, 1, 0x106, 1, 0, "NV3R1000", "NV3R1000"},
      {"no image", 0x07, kNone, 2, 1, 0x107, 1, 0, "NV3R1000", "NV3R1000"},
      {"another model's image", 0x07, kOtherModel, 2, 1, 0x107, 1, 0, "NV3R1000", "NV3R1000"},
      {"a damaged image", 0x07, kDamaged, 2, 1, 0x107, 1, 0, "NV3R1000", "NV3R1000"},
      {"activate an empty slot", 0x07, kNone, 3, 2, 0x107, 1, 0, "NV3R1000", "NV3R1000"},
      {"activate slot 1", 0x07, kNone, 1, 2, 0, 1, 1, "NV3R1000", "NV3R1000"},
  };
  for (const Case& c : cases) {
    SimNvmeDrive drive;
    drive.identity.frmw = c.frmw;
    drive.identity.fwug = 1;
    if (c.image != kNone) {
      auto image = sim::MakeSimFirmwareImage(c.image == kOtherModel ? "Travok NV3 2TB" : kModel,
                                             "NV3R2000", 8192);
      if (c.image == kDamaged) image[5000] ^= 1;
      ASSERT_EQ(Download(drive, image, 0, 8192), 0) << c.name;
    }
    EXPECT_EQ(Commit(drive, c.slot, c.action), c.status) << c.name;
    EXPECT_EQ(drive.ActiveSlot(), c.active) << c.name;
    EXPECT_EQ(drive.PendingSlot(), c.pending) << c.name;
    EXPECT_EQ(drive.RunningRevision(), c.running) << c.name;
    drive.Reset();
    EXPECT_EQ(drive.RunningRevision(), c.runningAfterReset) << c.name;
    EXPECT_EQ(drive.PendingSlot(), 0) << c.name;
  }
}

TEST(SimNvmeDrive, ActivationOfTheSlotItRunsWaitsForTheReset) {
  SimNvmeDrive drive;
  drive.identity.frmw = 0x02;  // one writable slot
  const auto image = sim::MakeSimFirmwareImage(kModel, "NV3R2000", 4096);
  ASSERT_EQ(Download(drive, image, 0, 4096), 0);
  EXPECT_EQ(Commit(drive, 1, 0), 0);
  EXPECT_EQ(drive.SlotRevision(1), "NV3R2000");
  EXPECT_EQ(drive.RunningRevision(), "NV3R1000") << "the running image is not replaced in place";
  drive.Reset();
  EXPECT_EQ(drive.RunningRevision(), "NV3R2000");
}

TEST(SimNvmeDrive, IdentifyAndTheSlotLogTellTheSlots) {
  SimNvmeDrive drive;
  drive.identity.frmw = 0x07;
  drive.SetSlotRevision(1, "NV3R0900");
  drive.SetSlotRevision(2, "NV3R1000");
  drive.SetActiveSlot(2);
  drive.SetPendingSlot(1);
  std::vector<std::uint8_t> id(4096), log(512);
  EXPECT_EQ(drive.AdminCommand(Sqe(0x06, 1), {}, id).status, 0);
  EXPECT_EQ(std::string(id.begin() + 64, id.begin() + 72), "NV3R1000");
  EXPECT_EQ(id[260], 0x07);
  EXPECT_EQ(id[256] & 0x04, 0x04) << "OACS: firmware commands";
  EXPECT_EQ(drive.AdminCommand(Sqe(0x06, 0), {}, id).status, 0x002) << "CNS 0";
  EXPECT_EQ(drive.AdminCommand(Sqe(0x02, 0x03 | 127 << 16), {}, log).status, 0);
  EXPECT_EQ(log[0], 0x12) << "active 2, next 1";
  EXPECT_EQ(std::string(log.begin() + 8, log.begin() + 16), "NV3R0900");
  EXPECT_EQ(std::string(log.begin() + 16, log.begin() + 24), "NV3R1000");
  EXPECT_EQ(log[24], 0) << "slot 3 empty";
  EXPECT_EQ(drive.AdminCommand(Sqe(0x02, 0x02 | 127 << 16), {}, log).status, 0x109);
  EXPECT_EQ(drive.AdminCommand(Sqe(0x09, 0), {}, {}).status, 0x001);
  drive.firmwareUpdates = false;
  EXPECT_EQ(Commit(drive, 2, 2), 0x001);
}

TEST(SimNvmeDrive, FaultsSkipCountAndAnswerForTheDrive) {
  SimNvmeDrive drive;
  sim::SimNvmeFault f;
  f.opcode = 0x11;
  f.skip = 1;
  f.status = 0x006;
  f.delayUs = 5000;
  drive.faults.push_back(f);
  const auto image = sim::MakeSimFirmwareImage(kModel, "NV3R2000", 8192);
  std::vector<std::uint16_t> statuses;
  std::uint64_t slow = 0;
  for (std::uint32_t offset : {0u, 4096u, 4096u}) {
    const NvmeSubmission sqe = Sqe(0x11, 1023, offset / 4);
    const auto fault = drive.TakeFault(sqe[0]);
    std::vector<std::uint8_t> piece(image.begin() + offset, image.begin() + offset + 4096);
    const auto c = drive.AdminCommand(sqe, piece, {}, fault ? &*fault : nullptr);
    statuses.push_back(c.status);
    slow += c.durationUs;
  }
  EXPECT_EQ(statuses, (std::vector<std::uint16_t>{0, 0x006, 0})) << "the faulted piece is lost";
  EXPECT_EQ(slow, 5000u);
  EXPECT_FALSE(drive.TakeFault(0x11)) << "used up";
  EXPECT_EQ(Commit(drive, 2, 1), 0);
}

TEST(SimNvmeDrive, AResetLosesAPartImage) {
  SimNvmeDrive drive;
  const auto image = sim::MakeSimFirmwareImage(kModel, "NV3R2000", 8192);
  ASSERT_EQ(Download(drive, image, 0, 4096), 0);
  drive.Reset();
  ASSERT_EQ(Download(drive, image, 4096, 4096), 0);
  EXPECT_EQ(Commit(drive, 2, 1), 0x107);
  EXPECT_EQ(drive.Resets(), 1);
}

}  // namespace
