#include "sim/drivers/sim_csmi.h"

#include <algorithm>
#include <cstring>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "sim/drivers/sim_miniport_header.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

// The published CSMI structures (packed to 8, no pointers): the same bytes in either width.
// Their IOCTL_HEADER is SRB_IO_CONTROL.
namespace info {  // CSMI_SAS_DRIVER_INFO_BUFFER
constexpr std::size_t kName = 28, kDescription = 109, kMajor = 190, kMinor = 192, kBuild = 194,
                      kRelease = 196, kCsmiMajor = 198, kCsmiMinor = 200, kSize = 204;
}
namespace phys {  // CSMI_SAS_PHY_INFO_BUFFER and its entities
constexpr std::size_t kCount = 28, kFirst = 32, kEntity = 64, kMax = 32, kSize = 2080;
constexpr std::size_t kDeviceType = 0, kInitiatorProtocol = 2, kTargetProtocol = 3,
                      kSasAddress = 12, kPhyId = 20;  // within an address frame
constexpr std::size_t kPortId = 28, kNegotiatedRate = 29, kAttached = 36;
}  // namespace phys
namespace stp {  // CSMI_SAS_STP_PASSTHRU_BUFFER
constexpr std::size_t kPhy = 28, kPort = 29, kConnectionRate = 30, kSasAddress = 32, kFis = 44,
                      kFlags = 64, kDataLength = 68, kConnection = 72, kStatusFis = 76,
                      kDataBytes = 160, kData = 164, kSize = 168;
}

constexpr std::uint32_t kDriverInfo = 1, kPhyInfo = 20, kStp = 25;
constexpr std::uint32_t kBadControlCode = 2, kInvalidParameter = 3, kLinkRateOutOfRange = 2001,
                        kPhyDoesNotExist = 2002, kNoSataDevice = 2009;
constexpr std::uint32_t kStpRead = 0x01, kStpWrite = 0x02, kStpUnspecified = 0x04;
constexpr std::uint32_t kStpDirections = kStpRead | kStpWrite | kStpUnspecified;
// PIO, DMA, PACKET, DMA QUEUED, EXECUTE DIAGNOSTIC, RESET DEVICE: how the FIS is carried.
constexpr std::uint32_t kStpProtocols = 0x3F0;
// bConnectionRate: negotiated, 1.5, 3.0 or 6.0 Gbit/s.
constexpr std::uint8_t kRates[] = {0x00, 0x08, 0x09, 0x0A};
constexpr std::uint8_t kAny = 0xFF;

bool ExactlyOne(std::uint32_t bits) {
  return bits && !(bits & (bits - 1));
}

void PutText(std::span<std::uint8_t> b, std::size_t at, std::size_t width, const std::string& t) {
  std::memcpy(&b[at], t.data(), std::min(t.size(), width - 1));
}

void DriverInfo(const SimCsmiController& c, std::span<std::uint8_t> b) {
  PutText(b, info::kName, 81, c.driverName);
  PutText(b, info::kDescription, 81, c.description);
  fw::PutU16le(b, info::kMajor, 1);
  fw::PutU16le(b, info::kMinor, 0);
  fw::PutU16le(b, info::kBuild, 0);
  fw::PutU16le(b, info::kRelease, 0);
  fw::PutU16le(b, info::kCsmiMajor, 0);
  fw::PutU16le(b, info::kCsmiMinor, 82);
}

void PhyInfo(const SimCsmiController& c, std::span<std::uint8_t> b) {
  b[phys::kCount] = c.reportedPhys ? *c.reportedPhys : std::uint8_t(c.phys.size());
  for (std::size_t i = 0; i < std::min(c.phys.size(), phys::kMax); ++i) {
    const SimCsmiPhy& p = c.phys[i];
    std::uint8_t* e = &b[phys::kFirst + i * phys::kEntity];
    e[phys::kDeviceType] = p.deviceType;
    e[phys::kInitiatorProtocol] = 0x0F & ~0x02;  // SATA, STP, SSP initiator
    std::copy(c.hbaSasAddress.begin(), c.hbaSasAddress.end(), e + phys::kSasAddress);
    e[phys::kPhyId] = p.phyIdentifier;
    e[phys::kPortId] = p.portIdentifier;
    e[phys::kNegotiatedRate] = p.attachedDeviceType ? 0x0A : 0x00;  // 6.0 Gbit/s
    std::uint8_t* a = e + phys::kAttached;
    a[phys::kDeviceType] = p.attachedDeviceType;
    a[phys::kTargetProtocol] = p.attachedTargetProtocol;
    std::copy(p.attachedSasAddress.begin(), p.attachedSasAddress.end(), a + phys::kSasAddress);
  }
}

SimCsmiPhy* Target(SimCsmiController& c, std::span<const std::uint8_t> in) {
  const std::uint8_t phy = in[stp::kPhy], port = in[stp::kPort];
  for (SimCsmiPhy& p : c.phys) {
    if (phy != kAny && p.phyIdentifier != phy) continue;
    if (port != kAny && p.portIdentifier != port) continue;
    if (c.matchSasAddress && !std::equal(p.attachedSasAddress.begin(), p.attachedSasAddress.end(),
                                         in.begin() + stp::kSasAddress))
      continue;
    return &p;
  }
  return nullptr;
}

// One ATA command through the STP pass-through: the register frame in, the drive's answer in
// the status frame.
std::uint32_t StpPassThrough(SimCsmiController& c, std::span<std::uint8_t> b, std::size_t outSize,
                             std::uint32_t headerLength, std::uint32_t timeout,
                             std::uint64_t* elapsedUs, std::uint32_t* error, std::string* text) {
  const std::uint32_t length = fw::GetU32le(b, stp::kDataLength);
  const std::uint32_t flags = fw::GetU32le(b, stp::kFlags);
  const std::uint8_t rate = b[stp::kConnectionRate];
  const std::uint8_t* fis = &b[stp::kFis];
  SimAtaCommand command;
  command.registers = {fis[3], fis[12], fis[4], fis[5], fis[6], fis[7], fis[2], 0};
  command.phase = (flags & kStpRead)    ? AtaDataPhase::kIn
                  : (flags & kStpWrite) ? AtaDataPhase::kOut
                                        : AtaDataPhase::kNone;
  command.length = length;
  *text = "phy " + std::to_string(b[stp::kPhy]) + " port " + std::to_string(b[stp::kPort]) +
          " rate " + std::to_string(rate) + " sas " + HexBytes(b.subspan(stp::kSasAddress, 8)) +
          " regs " + HexBytes(command.registers) + " flags " + HexDigits(flags, 2) + " data " +
          std::to_string(length);
  // The header has to cover the whole STP buffer with its data; a driver that reads less would
  // cut the data short. One direction and one protocol say how the FIS is carried.
  if (headerLength < stp::kSize - srb::kSize + length || fis[0] != 0x27 || !(fis[1] & 0x80) ||
      !ExactlyOne(flags & kStpDirections) || !ExactlyOne(flags & kStpProtocols) ||
      (flags & ~(kStpDirections | kStpProtocols)) || length > b.size() - stp::kData ||
      (command.phase == AtaDataPhase::kIn && length > outSize - std::min(outSize, stp::kData)))
    return kInvalidParameter;
  // A rate the controller may choose is taken; the journal shows one that is not "negotiated".
  if (std::find(std::begin(kRates), std::end(kRates), rate) == std::end(kRates))
    return kLinkRateOutOfRange;
  SimCsmiPhy* target = Target(c, b);
  if (!target) return kPhyDoesNotExist;
  if (!target->drive) return kNoSataDevice;
  SimSataDrive& drive = *target->drive;
  if (command.phase == AtaDataPhase::kOut)
    command.data.assign(b.begin() + stp::kData, b.begin() + stp::kData + length);

  std::optional<SimFault> fault = drive.TakeFault(command.registers);
  if (fault && fault->powerLoss) {
    *error = drive.LosePower({"CSMI STP", command, timeout}, *fault);
    *elapsedUs = fault->delayUs;
    return 0;
  }
  if (fault && fault->windowsError) {
    *error = fault->windowsError;
    *elapsedUs = fault->delayUs;
    return 0;
  }
  drive.Record({"CSMI STP", command, timeout});
  const SimAtaResult r = drive.Execute(command, fault ? &*fault : nullptr);
  *elapsedUs = r.durationUs;
  if (timeout && r.durationUs > std::uint64_t(timeout) * 1'000'000) {
    *elapsedUs = std::uint64_t(timeout) * 1'000'000;
    *error = os::kERROR_SEM_TIMEOUT;
    return 0;
  }
  b[stp::kConnection] = 0;  // OPEN_ACCEPT
  std::uint8_t* status = &b[stp::kStatusFis];
  status[0] = 0x34;
  status[1] = 0x40;  // interrupt
  status[2] = r.registers[ata::kStatus];
  status[3] = r.registers[ata::kError];
  status[4] = r.registers[ata::kLbaLow];
  status[5] = r.registers[ata::kLbaMid];
  status[6] = r.registers[ata::kLbaHigh];
  status[7] = r.registers[ata::kDevice];
  status[12] = r.registers[ata::kCount];
  std::uint32_t moved = 0;
  if (!r.Failed() && command.phase == AtaDataPhase::kIn) {
    moved = std::min<std::uint32_t>(std::uint32_t(r.data.size()), length);
    std::copy_n(r.data.begin(), moved, b.begin() + stp::kData);
  } else if (!r.Failed() && command.phase == AtaDataPhase::kOut) {
    moved = length;
  }
  fw::PutU32le(b, stp::kDataBytes, moved);
  *text += " -> status " + HexBytes({&status[2], 2});
  return 0;
}

}  // namespace

SimIoOutcome CsmiIoControl(SimCsmiController& c, std::uint32_t code,
                           std::span<const std::uint8_t> in, std::uint8_t* out,
                           std::uint32_t outSize) {
  std::string journal = "IOCTL_SCSI_MINIPORT";
  if (code != os::kIOCTL_SCSI_MINIPORT) return Refuse(journal, os::kERROR_INVALID_FUNCTION);
  if (c.miniportError) return Refuse(journal, c.miniportError);
  const SimMiniportHeader h = ReadMiniportHeader(in, outSize, MiniportTimeout::kOptional);
  // A buffer shorter than the header has nothing to tell; any other header fault is refused
  // after the journal shows what the request said.
  if (in.size() < srb::kSize) return Refuse(journal, h.error);
  const std::uint32_t control = h.controlCode, length = h.length;
  journal += " " + h.SignatureText() + " " + std::to_string(control) + " in " +
             std::to_string(in.size()) + " length " + std::to_string(length);
  if (h.error) return Refuse(journal, h.error);
  const bool bAll = h.Signed("CSMIALL"), bSas = h.Signed("CSMISAS");
  if (!bAll && !bSas) return Refuse(journal, os::kERROR_INVALID_FUNCTION);
  const bool bKnown =
      (control == kDriverInfo && bAll) || ((control == kPhyInfo || control == kStp) && bSas);

  std::vector<std::uint8_t> b = SystemBuffer(in, outSize);
  std::uint32_t returnCode = 0;
  std::uint64_t elapsedUs = 0;
  std::uint32_t error = 0;
  std::size_t returned = outSize;
  if (!bKnown) {
    returnCode = kBadControlCode;
  } else if (control == kDriverInfo) {
    returnCode = outSize < info::kSize || length < info::kSize - srb::kSize
                     ? kInvalidParameter
                     : c.driverInfoReturnCode;
    if (!returnCode) DriverInfo(c, b);
  } else if (control == kPhyInfo) {
    returnCode = outSize < phys::kSize || length < phys::kSize - srb::kSize ? kInvalidParameter
                                                                            : c.phyInfoReturnCode;
    if (!returnCode) PhyInfo(c, b);
  } else {
    std::string text;
    returnCode = b.size() < stp::kSize || outSize < stp::kSize
                     ? kInvalidParameter
                     : StpPassThrough(c, b, outSize, length, h.timeout, &elapsedUs, &error, &text);
    journal += " " + text;
    returned = std::min<std::size_t>(outSize, stp::kData + fw::GetU32le(b, stp::kDataBytes));
  }
  if (error) {
    SimIoOutcome o = Refuse(journal, error);
    o.elapsedUs = elapsedUs;
    return o;
  }
  fw::PutU32le(b, srb::kReturnCode, returnCode);
  if (returnCode) journal += " -> return code " + std::to_string(returnCode);
  SimIoOutcome o;
  o.elapsedUs = elapsedUs;
  o.bytesReturned = std::uint32_t(returned);
  o.journal = journal;
  std::memcpy(out, b.data(), std::min<std::size_t>(outSize, b.size()));
  return o;
}

}  // namespace sim
