// CSMI through a simulated controller: the generic request and its signatures, the phy
// information, and the STP pass-through that carries ATA commands while the kind is 14.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/bytes.h"
#include "os/layouts/csmi.h"
#include "tests/unit/transport/transport_fixture.h"
#include "transport/ata_device.h"

namespace {

using namespace transport;
using namespace transport_test;

// Controller 4 with three phys: a SATA drive, an SSP target and an empty phy.
constexpr const char* kController4 = R"(
[[csmi]]
port = 4

[[csmi.phy]]
phy = 0
port = 0
protocol = 1
sas_address = [0x50, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07]
[csmi.phy.ata]
model = "CORVANE Q7 2TB"

[[csmi.phy]]
phy = 1
port = 1
protocol = 8
sas_address = [0x50, 0, 0, 0, 0, 0, 0, 0x11]

[[csmi.phy]]
phy = 2
port = 2
attached_type = 0
)";

class CsmiTest : public TransportTest {
 protected:
  TAtaDevice& Controller(const std::string& more = "") {
    TAtaDevice& d = Machine(kController4 + more);
    EXPECT_TRUE(d.SelectPort(4, nullptr, -1, kKindCsmi));
    Mark();
    return d;
  }
  sim::SimCsmiController& Csmi() { return *pc.scsiPorts[4].csmi; }
  sim::SimSataDrive& PhyDrive() { return *Csmi().phys[0].drive; }
  // Addresses the SATA drive on phy 0.
  void Target(TAtaDevice& d) {
    CsmiPhyInfo info;
    ASSERT_TRUE(d.get_phy_info(info));
    const CsmiPhy phy = PhyAt(info, 0);
    d.SetCsmiPhy(phy.phyIdentifier);
    d.SetCsmiPort(phy.portIdentifier);
    d.SetCsmiSasAddress(phy.SasAddressLow(), phy.SasAddressHigh());
    d.SetTimeout(20.0f);
    Mark();
  }
};

TEST_F(CsmiTest, KindFourteenOpensTheControllerAndReadsItsPhys) {
  TAtaDevice& d = Machine(kController4);
  Mark();
  ASSERT_TRUE(d.SelectPort(4, nullptr, -1, kKindCsmi));
  EXPECT_EQ(Since()[0], "CreateFileA \"\\\\.\\SCSI4:\"");
  EXPECT_EQ(d.GetTransportKind(), kKindCsmi);
  EXPECT_EQ(Count("DeviceIoControl"), 0) << "no probe";

  Mark();
  CsmiPhyInfo info;
  ASSERT_TRUE(d.get_phy_info(info));
  EXPECT_EQ(Requests(),
            (std::vector<std::string>{"IOCTL_SCSI_MINIPORT CSMIALL 1 in 204 length 176",
                                      "IOCTL_SCSI_MINIPORT CSMISAS 20 in 2080 length 2052"}));
  EXPECT_EQ(NumberOfPhys(info), 3);
  const CsmiPhy sata = PhyAt(info, 0), ssp = PhyAt(info, 1), empty = PhyAt(info, 2);
  EXPECT_TRUE(sata.IsSataTarget());
  EXPECT_EQ(sata.attachedSasAddress,
            (std::array<std::uint8_t, 8>{0x50, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}));
  EXPECT_EQ(sata.SasAddressLow(), 0x03020150u);
  EXPECT_EQ(sata.SasAddressHigh(), 0x07060504u);
  EXPECT_FALSE(ssp.IsSataTarget()) << "an SSP-only target";
  EXPECT_EQ(ssp.phyIdentifier, 1);
  EXPECT_FALSE(empty.IsSataTarget()) << "nothing attached";
  EXPECT_FALSE(PhyAt(info, 3).IsSataTarget()) << "beyond the reported phys: zeros";
}

TEST_F(CsmiTest, PhyInformationIsRefusedWhenTheControllerDoesNotAnswerOrOverstates) {
  struct Case {
    const char* name;
    std::string keys;
    bool ok;
    int requests;
  };
  const Case cases[] = {
      {"32 phys", "reported_phys = 32", true, 2},
      {"33 phys", "reported_phys = 33", false, 2},
      {"driver information refused", "driver_info_return_code = 1", false, 1},
      {"phy information refused", "phy_info_return_code = 3", false, 2},
      {"no CSMI at all", "miniport_error = 1", false, 1},
  };
  std::string machine;
  for (std::size_t i = 0; i < std::size(cases); ++i)
    machine += "[[csmi]]\nport = " + std::to_string(i) + "\n" + cases[i].keys + "\n";
  TAtaDevice& d = Machine(machine);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    ASSERT_TRUE(d.SelectPort(int(i), nullptr, -1, kKindCsmi));
    Mark();
    CsmiPhyInfo info;
    EXPECT_EQ(d.get_phy_info(info), cases[i].ok);
    EXPECT_EQ(int(Requests().size()), cases[i].requests);
  }
}

TEST_F(CsmiTest, TheGenericRequestFillsTheHeaderAndMapsItsOutcome) {
  TAtaDevice& d = Controller();
  d.SetTimeout(12.9f);
  std::vector<std::uint8_t> buffer(os::layout::csmi::driver_info::kSize, 0);
  EXPECT_EQ(d.CsmiIoctl(os::layout::csmi::CC_CSMI_SAS_GET_DRIVER_INFO, buffer.data(),
                        std::uint32_t(buffer.size())),
            ATACMD_OK);
  EXPECT_EQ(fw::GetU32le(buffer, os::layout::csmi::header::kHeaderLength), 28u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&buffer[4]), 8), std::string("CSMIALL\0", 8));
  EXPECT_EQ(fw::GetU32le(buffer, os::layout::csmi::header::kTimeout), 12u);
  EXPECT_EQ(fw::GetU32le(buffer, os::layout::csmi::header::kControlCode), 1u);
  EXPECT_EQ(fw::GetU32le(buffer, os::layout::csmi::header::kLength), 204u - 28u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(&buffer[os::layout::csmi::driver_info::kName])),
            "simsas");

  Mark();
  for (std::uint32_t code : {2u, 3u, 24u, 0u})
    EXPECT_EQ(d.CsmiIoctl(code, buffer.data(), std::uint32_t(buffer.size())), ATACMD_ERR) << code;
  EXPECT_EQ(Count("DeviceIoControl"), 0) << "codes it does not know are never sent";

  Csmi().driverInfoReturnCode = 1;
  std::fill(buffer.begin(), buffer.end(), 0);
  EXPECT_EQ(d.CsmiIoctl(1, buffer.data(), std::uint32_t(buffer.size())), ATACMD_FAIL);
  Csmi().miniportError = 50;
  EXPECT_EQ(d.CsmiIoctl(1, buffer.data(), std::uint32_t(buffer.size())), ATACMD_SYS_NOT_SUPPORT);
  Csmi().miniportError = 1460;
  EXPECT_EQ(d.CsmiIoctl(1, buffer.data(), std::uint32_t(buffer.size())), ATACMD_TIMEOUT);
  EXPECT_EQ(d.LastOsError(), 1460u);
  EXPECT_EQ(d.CsmiIoctl(1, buffer.data(), 27), ATACMD_FAIL) << "no room for the header";
}

TEST_F(CsmiTest, AtaCommandsTravelAsStpPassThroughToTheAddressedPhy) {
  TAtaDevice& d = Controller();
  Target(d);
  ASSERT_EQ(d.IdentifyDevice(), ATACMD_OK);
  ASSERT_EQ(Requests().size(), 1u);
  EXPECT_EQ(Requests()[0],
            "IOCTL_SCSI_MINIPORT CSMISAS 25 in 1048744 length 652 phy 0 port 0 rate 0 sas 50 01 02 "
            "03 04 05 06 07 regs 00 01 00 00 00 A0 EC 00 flags 11 data 512")
      << "the whole CSMI buffer, the header over the data only, device A0h, PIO read";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(d.GetResponseBuffer()) + 54, 8), "OCVRNA E");

  // Data out with the PIO write flag, a non-data command with "unspecified".
  Mark();
  ASSERT_EQ(d.Preformat(), ATACMD_OK);
  const auto& records = PhyDrive().Records();
  ASSERT_GE(records.size(), 2u);
  EXPECT_EQ(records[records.size() - 2].command.data[1], 0xBE);
  EXPECT_EQ(records[records.size() - 2].command.length, 512u);
  EXPECT_NE(Requests()[0].find(" length 652 phy 0 port 0 rate 0 "), std::string::npos)
      << Requests()[0];
  EXPECT_NE(Requests()[0].find(" flags 12 data 512"), std::string::npos) << Requests()[0];
  EXPECT_NE(Requests()[1].find(" length 140 phy 0 port 0 rate 0 "), std::string::npos)
      << Requests()[1];
  EXPECT_NE(Requests()[1].find("regs FD 00 00 00 00 A0 FF 00 flags 14 data 0"), std::string::npos)
      << Requests()[1];
  EXPECT_EQ(PhyDrive().Preformats(), 1);

  // Another address reaches nothing.
  d.SetCsmiPhy(1);
  d.SetCsmiPort(1);
  EXPECT_EQ(d.IdentifyDevice(), ATACMD_FAIL);
}

TEST_F(CsmiTest, OnlyStatus50hWithoutErrorIsSuccessAndTheRegistersAreNotKept) {
  TAtaDevice& d = Controller();
  Target(d);
  struct Case {
    const char* name;
    sim::SimFault fault;
    std::uint8_t result;
  };
  const Case cases[] = {
      {"ready without seek complete", sim::SimFault::AtaError(0xEC, 0x40, 0x00), ATACMD_FAIL},
      {"aborted", sim::SimFault::AtaError(0xEC, 0x51, 0x04), ATACMD_FAIL},
      {"50h with an error byte", sim::SimFault::AtaError(0xEC, 0x50, 0x04), ATACMD_FAIL},
      {"a semaphore time-out", sim::SimFault::WindowsError(121), ATACMD_TIMEOUT},
      {"no such function", sim::SimFault::WindowsError(1), ATACMD_SYS_NOT_SUPPORT},
  };
  for (const Case& c : cases) {
    PhyDrive().faults.push_back(c.fault);
    std::vector<std::uint8_t> buffer(512, 0xEE);
    std::uint32_t length = 512;
    TaskFile tf = {0, 1, 0, 0, 0, 0, 0xEC, 0};
    EXPECT_EQ(d.AtaCommand(tf, buffer.data(), DATA_IN, length), c.result) << c.name;
    EXPECT_EQ(buffer[0], 0xEE) << c.name << ": nothing copied";
    EXPECT_EQ(d.LastAtaStatus(), 0) << c.name;
    EXPECT_EQ(d.LastTaskFile(), TaskFile{}) << c.name;
  }
}

TEST_F(CsmiTest, AClosedControllerHandleIsOpenedAgainAsTheController) {
  TAtaDevice& d = Controller();
  Target(d);
  d.ClosePort();
  Mark();
  EXPECT_EQ(d.ReadVendorVersion(), ATACMD_OK);
  EXPECT_EQ(Since()[0], "CreateFileA \"\\\\.\\SCSI4:\"");
  EXPECT_EQ(d.GetTransportKind(), kKindCsmi);
  EXPECT_EQ(Requests().size(), 2u) << "no disk probe in between";
}

}  // namespace
