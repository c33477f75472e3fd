// DOWNLOAD MICROCODE on the simulated SATA drive by itself: segments must follow each other
// within the drive's limits, the assembled image is checked, and activation, restarts and the
// boot code behave as the drive's flows promise.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/drives/sim_firmware_image.h"
#include "sim/drives/sim_sata_drive.h"

namespace {

using sim::AtaDataPhase;
using sim::SimAtaCommand;
using sim::SimSataDrive;

constexpr const char* kModel = "CORVANE K5 512GB";
constexpr const char* kOld = "K5FW0150";
constexpr const char* kNew = "K5FW0160";

// A segment of `blocks` from the image at block `offset`, zero beyond its end.
SimAtaCommand Segment(std::uint8_t sub, std::uint32_t offset, std::uint32_t blocks,
                      const std::vector<std::uint8_t>& image) {
  SimAtaCommand c;
  c.registers = {sub,
                 std::uint8_t(blocks),
                 std::uint8_t(blocks >> 8),
                 std::uint8_t(offset),
                 std::uint8_t(offset >> 8),
                 0,
                 0x92,
                 0};
  c.phase = AtaDataPhase::kOut;
  c.length = blocks * 512;
  c.data.assign(c.length, 0);
  for (std::size_t i = 0; i < c.length && offset * 512 + i < image.size(); ++i)
    c.data[i] = image[offset * 512 + i];
  return c;
}

SimAtaCommand Control(std::uint8_t sub, std::uint32_t offset) {
  SimAtaCommand c;
  c.registers = {sub, 0, 0, std::uint8_t(offset), std::uint8_t(offset >> 8), 0, 0x92, 0};
  return c;
}

// "good 01" or "abort": the status and, for a good one, the sector count it answered.
std::string Outcome(const sim::SimAtaResult& r) {
  if (r.Failed()) return r.registers[sim::ata::kError] == sim::ata::kErrorAbort ? "abort" : "error";
  return "good 0" + std::to_string(r.registers[sim::ata::kCount]);
}

struct Step {
  const char* name;
  SimAtaCommand command;
  std::string outcome;
  std::uint32_t receivedAfter;
};

void RunSteps(SimSataDrive& drive, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    EXPECT_EQ(Outcome(drive.Execute(s.command)), s.outcome) << s.name;
    EXPECT_EQ(drive.ReceivedBlocks(), s.receivedAfter) << s.name;
  }
}

SimSataDrive Drive() {
  SimSataDrive drive;
  drive.identity.model = kModel;
  drive.identity.firmware = kOld;
  return drive;
}

TEST(SimSataDownload, SegmentsFollowEachOtherWithinTheDrivesLimits) {
  SimSataDrive drive = Drive();
  drive.identity.minBlocksPerDownload = 2;
  drive.identity.maxBlocksPerDownload = 4;
  const auto image = sim::MakeSimFirmwareImage(kModel, kNew, 8 * 512);
  SimAtaCommand shortData = Segment(0x03, 4, 2, image);
  shortData.data.resize(512);
  RunSteps(drive,
           {
               {"the first segment", Segment(0x03, 0, 2, image), "good 01", 2},
               {"a gap discards the image", Segment(0x03, 4, 2, image), "abort", 0},
               {"so the next one is out of order too", Segment(0x03, 2, 2, image), "abort", 0},
               {"offset 0 starts again", Segment(0x03, 0, 2, image), "good 01", 2},
               {"fewer blocks than word 234 allows", Segment(0x03, 2, 1, image), "abort", 0},
               {"", Segment(0x03, 0, 4, image), "good 01", 4},
               {"more than word 235 allows", Segment(0x03, 0, 5, image), "abort", 0},
               {"", Segment(0x03, 0, 4, image), "good 01", 4},
               {"the other flow's subcommand", Segment(0x0E, 4, 4, image), "abort", 0},
               {"", Segment(0x03, 0, 4, image), "good 01", 4},
               {"less data than the count", shortData, "abort", 0},
               {"", Segment(0x03, 0, 4, image), "good 01", 4},
               {"the last segment", Segment(0x03, 4, 4, image), "good 02", 0},
           });
  EXPECT_TRUE(drive.ImageWaiting());

  SimSataDrive again = Drive();
  RunSteps(again, {{"", Segment(0x03, 0, 6, image), "good 01", 6},
                   {"blocks beyond the image's length", Segment(0x03, 6, 4, image), "abort", 0}});
  EXPECT_FALSE(again.ImageWaiting());
}

TEST(SimSataDownload, TheImageIsCheckedWhenItsLastSegmentArrives) {
  auto damaged = sim::MakeSimFirmwareImage(kModel, kNew, 4 * 512);
  damaged[1000] ^= 0x01;
  auto headerless = sim::MakeSimFirmwareImage(kModel, kNew, 4 * 512);
  headerless[0] = 'X';
  struct Case {
    const char* name;
    std::vector<std::uint8_t> image;
    std::string last;
  };
  const Case cases[] = {
      {"intact and for this model", sim::MakeSimFirmwareImage(kModel, kNew, 4 * 512), "good 02"},
      {"for another model", sim::MakeSimFirmwareImage("CORVANE K3 256GB", kNew, 4 * 512), "abort"},
      {"damaged on the way", damaged, "abort"},
      {"no image at all: the drive waits for more", headerless, "good 01"},
  };
  for (const Case& c : cases) {
    SimSataDrive drive = Drive();
    EXPECT_EQ(Outcome(drive.Execute(Segment(0x03, 0, 2, c.image))), "good 01") << c.name;
    EXPECT_EQ(Outcome(drive.Execute(Segment(0x03, 2, 2, c.image))), c.last) << c.name;
    const bool bTaken = c.last == "good 02";
    EXPECT_EQ(Outcome(drive.Execute(Control(0x07, 0x0000))), bTaken ? "good 00" : "abort")
        << c.name;
    EXPECT_EQ(drive.identity.firmware, bTaken ? kNew : kOld) << c.name;
    EXPECT_EQ(drive.Activations(), bTaken ? 1 : 0) << c.name;
  }
}

TEST(SimSataDownload, ActivationRestartsTheDriveIntoTheImageItsFlowTook) {
  const auto image = sim::MakeSimFirmwareImage(kModel, kNew, 2 * 512);
  struct Case {
    const char* name;
    std::vector<SimAtaCommand> commands;
    std::string lastOutcome;
    std::string runningAfter, runningAfterReset;
    int bootCodeUpdates;
  };
  const Case cases[] = {
      {"03h, then 07h at 0000h",
       {Segment(0x03, 0, 2, image), Control(0x07, 0x0000)},
       "good 00",
       kNew,
       kNew,
       0},
      {"03h, then 07h at 0001h: at the next reset",
       {Segment(0x03, 0, 2, image), Control(0x07, 0x0001)},
       "good 00",
       kOld,
       kNew,
       0},
      {"03h without a closing command: at the next reset",
       {Segment(0x03, 0, 2, image)},
       "good 02",
       kOld,
       kNew,
       0},
      {"03h, then 07h at 414Ch: with the boot code at the next reset",
       {Segment(0x03, 0, 2, image), Control(0x07, 0x414C)},
       "good 00",
       kOld,
       kNew,
       1},
      {"07h at another offset",
       {Segment(0x03, 0, 2, image), Control(0x07, 0x0002)},
       "abort",
       kOld,
       kNew,
       0},
      {"07h without an image", {Control(0x07, 0x0000)}, "abort", kOld, kOld, 0},
      {"0Eh, then 0Fh", {Segment(0x0E, 0, 2, image), Control(0x0F, 0)}, "good 00", kNew, kNew, 0},
      {"0Eh with the boot code, then 0Fh",
       {Control(0x0E, 0x414C), Segment(0x0E, 0, 2, image), Control(0x0F, 0)},
       "good 00",
       kNew,
       kNew,
       1},
      {"0Eh without 0Fh is lost at a reset",
       {Segment(0x0E, 0, 2, image)},
       "good 03",
       kOld,
       kOld,
       0},
      {"0Fh for an image 03h took",
       {Segment(0x03, 0, 2, image), Control(0x0F, 0)},
       "abort",
       kOld,
       kNew,
       0},
      {"0Fh without an image", {Control(0x0F, 0)}, "abort", kOld, kOld, 0},
  };
  for (const Case& c : cases) {
    SimSataDrive drive = Drive();
    std::string outcome;
    for (const SimAtaCommand& command : c.commands) outcome = Outcome(drive.Execute(command));
    EXPECT_EQ(outcome, c.lastOutcome) << c.name;
    EXPECT_EQ(drive.identity.firmware, c.runningAfter) << c.name;
    drive.Reset();
    EXPECT_EQ(drive.identity.firmware, c.runningAfterReset) << c.name;
    EXPECT_EQ(drive.BootCodeUpdates(), c.bootCodeUpdates) << c.name;
    EXPECT_FALSE(drive.ImageWaiting()) << c.name;
  }
}

TEST(SimSataDownload, OnlyAnActivationTakesTheDriveOffTheBusAndAResetEndsAPartImage) {
  SimSataDrive drive = Drive();
  drive.leavesBusOnActivation = true;
  const auto image = sim::MakeSimFirmwareImage(kModel, kNew, 4 * 512);
  drive.Execute(Segment(0x03, 0, 2, image));
  EXPECT_FALSE(drive.TakeBusDeparture());
  drive.Reset();
  EXPECT_EQ(drive.ReceivedBlocks(), 0u) << "a reset before the last segment discards the image";
  EXPECT_EQ(Outcome(drive.Execute(Segment(0x03, 2, 2, image))), "abort");

  drive.Execute(Segment(0x03, 0, 4, image));
  drive.Execute(Control(0x07, 0x0000));
  EXPECT_TRUE(drive.TakeBusDeparture());
  EXPECT_FALSE(drive.TakeBusDeparture()) << "once";

  drive.identity.downloadMicrocode = false;
  EXPECT_EQ(Outcome(drive.Execute(Segment(0x03, 0, 4, image))), "abort")
      << "a drive without the command";
}

}  // namespace
