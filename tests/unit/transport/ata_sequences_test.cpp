// The fixed command sequences of the device object: the register blocks, directions, lengths,
// time-outs and data each one sends, as the simulated disk stack journals them, and what each
// makes of the replies.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/unit/transport/transport_fixture.h"
#include "transport/ata_device.h"

namespace {

using namespace transport;
using namespace transport_test;
using Lines = std::vector<std::string>;

// The buffered request: 556 bytes at 32 bits, 564 at 64, where the pointer-sized fields grow.
const std::string kAtaRequest = sizeof(void*) == 8 ? "size 564/564" : "size 556/556";

// Data commands wait for the drive to be ready (DRDY_REQUIRED, 01h), non-data ones do not.
std::string Ata(const std::string& request) {
  const bool bData = request.find(" none ") == std::string::npos;
  const bool bOut = request.find(" out ") != std::string::npos;
  return "IOCTL_ATA_PASS_THROUGH " + kAtaRequest + " flags " + (bData ? bOut ? "05" : "03" : "00") +
         " regs " + request;
}

class AtaSequencesTest : public TransportTest {
 protected:
  TAtaDevice& Bound(const std::string& ata = "[disk.ata]\npea = true") {
    TAtaDevice& d = Machine(Disk("D", 0, "", ata));
    EXPECT_TRUE(d.SelectPort(0, nullptr, -1, 0));
    d.SetTimeout(7.0f);
    Mark();
    return d;
  }
  std::string Response(TAtaDevice& d, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(d.GetResponseBuffer()) + at, n);
  }
};

TEST_F(AtaSequencesTest, EachSequenceSendsItsRegistersDataAndTimeOut) {
  auto zeros = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += " 00";
    return s;
  };
  const std::string kPeaKey = " 12 34 56 78";  // at bytes 28-31
  struct Case {
    const char* name;
    std::function<std::uint8_t(TAtaDevice&)> run;
    Lines requests;
    float timeoutAfter;
  };
  const Case cases[] = {
      {"IdentifyDevice",
       [](TAtaDevice& d) { return d.IdentifyDevice(); },
       {Ata("00 01 00 00 00 00 EC 00 in 512 timeout 7")},
       7.0f},
      {"ReadPpidLog",
       [](TAtaDevice& d) { return d.ReadPpidLog(); },
       {Ata("00 01 9A 00 00 00 2F 00 in 512 timeout 7")},
       7.0f},
      {"ReadVendorVersion",
       [](TAtaDevice& d) { return d.ReadVendorVersion(); },
       {Ata("FC 01 00 00 00 00 FF 00 out 512 timeout 10 data 0A 07"),
        Ata("FD 01 00 00 00 00 FF 00 in 512 timeout 10")},
       10.0f},
      {"Preformat",
       [](TAtaDevice& d) { return d.Preformat(); },
       {Ata("FC 01 00 00 00 00 FF 00 out 512 timeout 60 data 07 BE"),
        Ata("FD 00 00 00 00 00 FF 00 none 0 timeout 300")},
       300.0f},
      {"PreformatPea",
       [](TAtaDevice& d) { return d.PreformatPea(); },
       {Ata("00 00 50 45 41 00 E8 00 out 512 timeout 60 data 07 BE" + zeros(26) + kPeaKey)},
       60.0f},
      {"QueryPeaSupport",
       [](TAtaDevice& d) { return d.QueryPeaSupport(); },
       {Ata("00 00 50 45 41 00 E8 00 out 512 timeout 10 data 51" + zeros(27) + kPeaKey),
        Ata("80 00 50 45 41 00 E4 00 in 512 timeout 10"),
        Ata("00 00 50 45 41 00 E4 00 in 512 timeout 10")},
       10.0f},
      {"ReadVendorBuffer(3, 0)",
       [](TAtaDevice& d) { return d.ReadVendorBuffer(3, 0); },
       {Ata("03 00 52 50 45 00 E4 00 in 512 timeout 20")},
       20.0f},
      {"ReadVendorBuffer(0x12, 0x34)",
       [](TAtaDevice& d) { return d.ReadVendorBuffer(0x12, 0x34); },
       {Ata("12 34 52 50 45 00 E4 00 in 512 timeout 20")},
       20.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TAtaDevice& d = device ? *device : Bound();
    d.SetTimeout(7.0f);
    Mark();
    EXPECT_EQ(c.run(d), ATACMD_OK);
    EXPECT_EQ(Requests(), c.requests);
    EXPECT_EQ(d.TimeoutSeconds(), c.timeoutAfter) << "a sequence leaves its time-out set";
  }
}

TEST_F(AtaSequencesTest, RepliesLandInTheResponseBuffer) {
  TAtaDevice& d = Bound(
      "[disk.ata]\nmodel = \"CORVANE K5 512GB\"\nserial = \"CVK5A0123456789\"\n"
      "firmware = \"K5FW0150\"\nvendor_version = \"K5FW015A\"\n"
      "ppid = \"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345\"\npea = true\nrpe = { 3 = [1, 2, 3] }");
  ASSERT_EQ(d.IdentifyDevice(), ATACMD_OK);
  // ATA strings come with the two bytes of each word swapped.
  EXPECT_EQ(Response(d, 54, 8), "OCVRNA E");
  EXPECT_EQ(Response(d, 46, 8), "5KWF1005");

  ASSERT_EQ(d.ReadPpidLog(), ATACMD_OK);
  EXPECT_EQ(Response(d, 0, 32), "BADCFEHGJILKNMPORQTSVUXWYZ012345")
      << "24 bytes swapped as the drive keeps them, 8 as they are";

  ASSERT_EQ(d.ReadVendorVersion(), ATACMD_OK);
  EXPECT_EQ(Response(d, 0, 8), "K5FW015A");

  ASSERT_EQ(d.QueryPeaSupport(), ATACMD_OK);
  std::string everyFourth;
  for (std::size_t i = 0; i < 14; ++i) everyFourth += char(d.GetResponseBuffer()[4 * i]);
  EXPECT_EQ(everyFourth, "AEP NEWSupport");

  std::memset(d.GetResponseBuffer(), 0xEE, 512);
  ASSERT_EQ(d.ReadVendorBuffer(3, 0), ATACMD_OK);
  EXPECT_EQ(Response(d, 0, 4), std::string("\x01\x02\x03\x00", 4));
  ASSERT_EQ(d.ReadVendorBuffer(4, 0), ATACMD_OK);
  EXPECT_EQ(Response(d, 0, 512), std::string(512, '\0')) << "a healthy drive's empty log";

  ASSERT_EQ(d.Preformat(), ATACMD_OK);
  ASSERT_EQ(d.PreformatPea(), ATACMD_OK);
  EXPECT_EQ(Drive("D").Preformats(), 2);
}

TEST_F(AtaSequencesTest, IdentifyChecksTheSpecificConfigurationUnlessTheMarkerExists) {
  struct Case {
    std::uint16_t word2;
    bool marker;
    bool failAfterData;  // the command reports an error although its data came in
    std::uint8_t result;
  };
  const Case cases[] = {
      {0xC837, false, false, ATACMD_OK},   {0xC837, false, true, ATACMD_OK},
      {0x0073, false, true, ATACMD_OK},    {0x008C, false, true, ATACMD_OK},
      {0x00C8, false, true, ATACMD_OK},    {0x1234, false, false, ATACMD_OK},
      {0x1234, false, true, ATACMD_ERR},   {0x3700, false, false, ATACMD_FAIL},
      {0x0000, false, false, ATACMD_FAIL}, {0x0000, true, false, ATACMD_OK},
      {0x0037, true, true, ATACMD_ERR},
  };
  std::string machine;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    machine +=
        Disk("D" + std::to_string(i), int(i), "transports = [\"sat\"]",
             "[disk.ata]\nvendor_commands = false\nword2 = " + std::to_string(cases[i].word2));
  TAtaDevice& d = Machine(machine);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(std::to_string(c.word2) + (c.marker ? " with the marker" : "") +
                 (c.failAfterData ? ", failing" : ""));
    if (c.marker) pc.files.AddFile("C:\\RTK_K5.TXT");
    d.SetVisualStyle(20);
    d.SelectPort(int(i), nullptr, -1, 0);
    d.SetTransportKind(kKindSat);
    if (c.failAfterData) {
      sim::SimFault f = sim::SimFault::CheckCondition(0xEC, {0x0B, 0x00, 0x00});
      f.senseAfterData = true;
      Drive("D" + std::to_string(i)).faults.push_back(f);
    }
    d.GetResponseBuffer()[4] = 0x37;  // nothing of an earlier reply may count
    EXPECT_EQ(d.IdentifyDevice(), c.result);
    pc.files.Remove("C:\\RTK_K5.TXT");
  }
}

TEST_F(AtaSequencesTest, TwoStepSequencesStopAtTheFirstFailure) {
  TAtaDevice& d = Bound("[disk.ata]\npea = true");
  sim::SimSataDrive& drive = Drive("D");

  drive.faults.push_back(sim::SimFault::AtaError(0xFF, 0x51));
  EXPECT_EQ(d.ReadVendorVersion(), ATACMD_ERR);
  EXPECT_EQ(Requests().size(), 1u) << "no reply asked for";

  Mark();
  drive.faults.push_back(sim::SimFault::AtaError(0xFF, 0x51));
  EXPECT_EQ(d.Preformat(), ATACMD_ERR);
  EXPECT_EQ(Requests().size(), 1u);
  EXPECT_EQ(d.TimeoutSeconds(), 60.0f) << "the format step never came";
  EXPECT_EQ(drive.Preformats(), 0);

  // WRITE BUFFER is tried three times; the third succeeds.
  Mark();
  sim::SimFault twice = sim::SimFault::AtaError(0xE8, 0x51);
  twice.times = 2;
  drive.faults.push_back(twice);
  EXPECT_EQ(d.QueryPeaSupport(), ATACMD_OK);
  EXPECT_EQ(Requests().size(), 5u);

  // Three failures: the last result, and no READ BUFFER.
  Mark();
  sim::SimFault always = sim::SimFault::WindowsError(1117);
  always.command = 0xE8;
  always.times = 3;
  drive.faults.push_back(always);
  EXPECT_EQ(d.QueryPeaSupport(), ATACMD_FAIL);
  EXPECT_EQ(Requests().size(), 3u);
  EXPECT_EQ(d.LastOsError(), 1117u);

  // The drive refuses the request in its status dword.
  Mark();
  drive.peaQueryStatus = 2;
  EXPECT_EQ(d.QueryPeaSupport(), ATACMD_FAIL);
  EXPECT_EQ(Requests().size(), 2u) << "the reply is not read";
}

}  // namespace
