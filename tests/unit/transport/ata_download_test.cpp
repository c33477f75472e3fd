// The ATA firmware download through the simulated disk stack: which DOWNLOAD MICROCODE commands
// each flow sends, with the registers, lengths and time-outs the stack decodes on its own, and
// what the drive made of the image it assembled.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/fixed_text.h"
#include "sim/drives/sim_firmware_image.h"
#include "tests/unit/transport/transport_fixture.h"
#include "transport/ata_device.h"

namespace {

using namespace transport;
using namespace transport_test;
using Lines = std::vector<std::string>;

constexpr const char* kModel = "CORVANE K5 512GB";
constexpr const char* kOld = "K5FW0150";
constexpr const char* kNew = "K5FW0160";

std::vector<std::uint8_t> Image(std::size_t size, const std::string& model = kModel) {
  return sim::MakeSimFirmwareImage(model, kNew, size);
}

// "03 x64 @0" for a segment, "07 @414C" for a non-data command. Registers the layout fixes, a
// data phase that does not match the count and a time-out other than 60 s show as slips.
std::string Described(const sim::SimAtaRecord& r) {
  const sim::AtaRegisters& g = r.command.registers;
  const unsigned offset = unsigned(g[3] | g[4] << 8);
  char text[64];
  if (g[1])
    std::snprintf(text, sizeof text, "%02X x%u @%u", g[0], g[1], offset);
  else
    std::snprintf(text, sizeof text, "%02X @%04X", g[0], offset);
  std::string s = text;
  const bool bData = g[1] != 0;
  if (g[2] || g[5] || g[7]) s += " !registers";
  if (bData != (r.command.phase == sim::AtaDataPhase::kOut) || r.command.length != g[1] * 512u)
    s += " !data " + std::to_string(r.command.length);
  if (r.timeoutSeconds != 60) s += " !timeout " + std::to_string(r.timeoutSeconds);
  return s;
}

class AtaDownloadTest : public TransportTest {
 protected:
  // A fresh PC each time, for tests that try several downloads.
  TAtaDevice& Bound(const std::string& ata = "", const std::string& disk = "") {
    device.reset();
    devMgr.reset();
    pc.Reset();
    TAtaDevice& d = Machine(Disk("D", 0, disk,
                                 "[disk.ata]\nmodel = \"" + std::string(kModel) +
                                     "\"\nfirmware = \"" + kOld + "\"\n" + ata));
    EXPECT_TRUE(d.SelectPort(0, nullptr, -1, 0));
    d.SetTimeout(7.0f);
    m_Seen = Drive("D").Records().size();
    Mark();
    return d;
  }
  // The DOWNLOAD MICROCODE commands the drive received since the device was bound.
  Lines Sent() {
    Lines out;
    const auto& records = Drive("D").Records();
    for (std::size_t i = m_Seen; i < records.size(); ++i)
      if (records[i].command.registers[6] == 0x92) out.push_back(Described(records[i]));
    return out;
  }
  // n segments of `count` blocks from offset 0.
  static Lines Segments(const char* sub, int n, int count, int first = 0) {
    Lines out;
    for (int i = 0; i < n; ++i)
      out.push_back(std::string(sub) + " x" + std::to_string(count) + " @" +
                    std::to_string(first + i * count));
    return out;
  }
  static Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

 private:
  std::size_t m_Seen = 0;
};

TEST_F(AtaDownloadTest, TheNormalFlowSendsFullSegmentsTheRemainderAndTheClosingCommand) {
  TAtaDevice& d = Bound();
  const auto image = Image(525'312);  // 1,026 blocks
  EXPECT_EQ(d.DownloadMicrocode(image.data(), std::uint32_t(image.size()), 64, 0, 0, 1), ATACMD_OK);
  EXPECT_EQ(Sent(), Join(Segments("03", 16, 64), {"03 x2 @1024", "07 @0000"}));
  EXPECT_EQ(d.TimeoutSeconds(), 60.0f) << "the download's time-out stays";
  // The drive checked the image it assembled from the segments, and restarted into it.
  EXPECT_EQ(Drive("D").Activations(), 1);
  EXPECT_EQ(Drive("D").identity.firmware, kNew);
  EXPECT_EQ(Drive("D").Records().back().transport, "ATA") << "the closing command has no data";
  EXPECT_EQ(Drive("D").Records()[Drive("D").Records().size() - 2].transport, "ATA direct");
}

TEST_F(AtaDownloadTest, SegmentSizesFlowsAndClosingCommands) {
  struct Case {
    const char* name;
    std::size_t length;
    std::uint32_t maxSectors;
    std::int32_t flashMode;
    std::uint8_t bootcode, reboot;
    Lines sent;
  };
  const Case cases[] = {
      {"an exact multiple has no remainder", 8192, 8, 0, 0, 1,
       Join(Segments("03", 2, 8), {"07 @0000"})},
      {"one block per command", 1536, 1, 0, 0, 1, Join(Segments("03", 3, 1), {"07 @0000"})},
      {"flash mode 1 sends no closing command", 8192, 8, 1, 1, 1, Segments("03", 2, 8)},
      {"nor does any other mode but 0 and 2", 8192, 8, 3, 0, 0, Segments("03", 2, 8)},
      {"the boot code wins over the restart", 8192, 8, 0, 1, 1,
       Join(Segments("03", 2, 8), {"07 @414C"})},
      {"the boot code without a restart", 8192, 8, 0, 1, 0,
       Join(Segments("03", 2, 8), {"07 @414C"})},
      {"no restart asked", 8192, 8, 0, 0, 0, Join(Segments("03", 2, 8), {"07 @0001"})},
      {"the normal flow's boot code is 1 only", 8192, 8, 0, 2, 1,
       Join(Segments("03", 2, 8), {"07 @0000"})},
      {"flash mode 2: boot code, segments, activation",
       5000,
       8,
       2,
       1,
       1,
       {"0E @414C", "0E x8 @0", "0E x2 @8", "0F @0000"}},
      {"flash mode 2 without either", 5000, 8, 2, 0, 0, {"0E x8 @0", "0E x2 @8"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TAtaDevice& d = Bound();
    const auto image = Image(c.length);
    EXPECT_EQ(d.DownloadMicrocode(image.data(), std::uint32_t(image.size()), c.maxSectors,
                                  c.flashMode, c.bootcode, c.reboot),
              ATACMD_OK);
    EXPECT_EQ(Sent(), c.sent);
  }
}

TEST_F(AtaDownloadTest, AOneByteImageIsOneBlockPaddedWithZeros) {
  TAtaDevice& d = Bound();
  const std::uint8_t image[] = {0xA7};
  std::memset(d.GetResponseBuffer(), 0xEE, kResponseBufferSize);
  std::memset(d.GetRequestBuffer(), 0xEE, kRequestBufferSize);
  // The byte is no image: the drive answers that it waits for the rest, and without a closing
  // command that answer is the download's result.
  EXPECT_EQ(d.DownloadMicrocode(image, 1, 64, 1, 0, 0), ATACMD_ERR);
  ASSERT_EQ(Sent(), Lines{"03 x1 @0"});
  std::vector<std::uint8_t> expected(512, 0);
  expected[0] = 0xA7;
  EXPECT_EQ(Drive("D").Records().back().command.data, expected);
  EXPECT_EQ(d.LastTaskFile()[reg::kCount], 0x01) << "the drive waits for the rest of an image";
  EXPECT_FALSE(Drive("D").ImageWaiting());
}

TEST_F(AtaDownloadTest, ADriveThatAsksForTheEnterpriseFlowGetsIt) {
  TAtaDevice& d = Bound("word159 = 0x0103");
  const auto image = Image(5000);
  EXPECT_EQ(d.DownloadMicrocode(image.data(), 5000, 8, 0, 1, 0), ATACMD_OK);
  EXPECT_EQ(Sent(), (Lines{"0E @414C", "0E x8 @0", "0E x2 @8"})) << "no activation without restart";
  EXPECT_EQ(d.LastTaskFile()[reg::kCount], 0x03) << "saved, waiting for activation";
  EXPECT_TRUE(Drive("D").ImageWaiting());
  EXPECT_EQ(Drive("D").identity.firmware, kOld);

  // Word 159's low byte chooses the flow, when the drive identifies at all.
  struct Case {
    std::uint16_t word159, word2;
    bool enterprise;
  };
  const Case cases[] = {{0x0000, 0xC837, false}, {0x0001, 0xC837, true},  {0x0007, 0xC837, true},
                        {0x0008, 0xC837, false}, {0x00FF, 0xC837, false}, {0x0003, 0x0000, false}};
  for (const Case& c : cases) {
    Drive("D").identity.word159 = c.word159;
    Drive("D").identity.specificConfiguration = c.word2;
    EXPECT_EQ(d.IsEnterpriseFlashTarget(), c.enterprise) << std::hex << c.word159 << " " << c.word2;
  }
}

TEST_F(AtaDownloadTest, TheFirstFailingSegmentEndsTheDownload) {
  TAtaDevice& d = Bound(
      "[[disk.ata.fault]]\ncommand = 0x92\nfeatures = 3\nskip = 5\nstatus = 0x51\nerror = 0x04");
  const auto image = Image(8192);
  EXPECT_EQ(d.DownloadMicrocode(image.data(), 8192, 2, 0, 0, 1), ATACMD_ERR);
  EXPECT_EQ(Sent(), Segments("03", 6, 2)) << "segment 5 fails; nothing follows it";
  EXPECT_EQ(d.LastAtaStatus(), 0x51);

  // A drive that takes at most 32 blocks a command, as IDENTIFY word 235 says.
  TAtaDevice& limited = Bound("max_download_blocks = 32");
  EXPECT_EQ(limited.DownloadMicrocode(image.data(), 8192, 64, 0, 0, 1), ATACMD_OK);
  const auto larger = Image(40'000);
  EXPECT_EQ(limited.DownloadMicrocode(larger.data(), 40'000, 64, 0, 0, 1), ATACMD_ERR);
  EXPECT_EQ(Sent(), (Lines{"03 x16 @0", "07 @0000", "03 x64 @0"}));
  EXPECT_EQ(limited.LastAtaStatus(), 0x51);
}

TEST_F(AtaDownloadTest, WhatTheBuffersCannotCarryIsRefusedBeforeAnythingIsSent) {
  TAtaDevice& d = Bound();
  const std::vector<std::uint8_t> large(kResponseBufferSize + 1, 0x5A);
  struct Case {
    const char* name;
    const std::uint8_t* image;
    std::uint32_t length, maxSectors;
  };
  const Case cases[] = {
      {"longer than the staging buffer", large.data(), std::uint32_t(large.size()), 64},
      {"no segment size", large.data(), 4096, 0},
      {"a segment larger than its count register", large.data(), 4096, 256},
      {"no image", nullptr, 4096, 64},
      {"an empty image", large.data(), 0, 64},
      {"an image in the staging buffer", d.GetResponseBuffer() + 4096, 4096, 64},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(d.DownloadMicrocode(c.image, c.length, c.maxSectors, 0, 0, 1), ATACMD_FAIL) << c.name;
    EXPECT_EQ(Requests(), Lines{}) << c.name;
    EXPECT_EQ(d.TimeoutSeconds(), 7.0f) << c.name;
  }
  // The largest image and segment there are go through.
  const auto image = Image(kResponseBufferSize);
  EXPECT_EQ(d.DownloadMicrocode(image.data(), std::uint32_t(image.size()), 255, 0, 0, 1),
            ATACMD_OK);
  EXPECT_EQ(Sent(), Join(Segments("03", 8, 255), {"03 x8 @2040", "07 @0000"}));
  EXPECT_EQ(Drive("D").identity.firmware, kNew);
}

TEST_F(AtaDownloadTest, ARestartedDriveIsGoneUntilTheControllerIsRescanned) {
  TAtaDevice& d =
      Bound("leaves_bus_on_activation = true", "revision = \"" + std::string(kOld) + "\"");
  const auto image = Image(8192);
  ASSERT_EQ(d.DownloadMicrocode(image.data(), 8192, 64, 0, 0, 1), ATACMD_OK);
  EXPECT_EQ(Count("Device left the bus"), 1);
  EXPECT_EQ(d.IdentifyDevice(), ATACMD_FAIL) << "nothing answers on the old handle";
  EXPECT_EQ(d.LastOsError(), 21u);
  EXPECT_TRUE(devMgr->BuildDiskTable().empty());

  ASSERT_TRUE(devMgr->RescanStorageControllers());
  const auto table = devMgr->BuildDiskTable();
  ASSERT_EQ(table.size(), 1u);
  EXPECT_EQ(fw::FieldText(table[0].productRevision), kNew) << "Windows reads the new identity";
}

TEST_F(AtaDownloadTest, ADriveThatDoesNotReturnAfterARescanStaysAway) {
  TAtaDevice& d = Bound("leaves_bus_on_activation = true", "returns_after_rescan = false");
  const auto image = Image(8192);
  ASSERT_EQ(d.DownloadMicrocode(image.data(), 8192, 64, 0, 0, 1), ATACMD_OK);
  ASSERT_TRUE(devMgr->RescanStorageControllers());
  EXPECT_TRUE(devMgr->BuildDiskTable().empty());
}

}  // namespace
