#include "sim/drivers/sim_disk_stack.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

// The requests as ntddscsi.h lays them out. ULONG_PTR DataBufferOffset and PVOID DataBuffer sit
// at the first pointer boundary after byte 20, so what follows moves with the pointer width.
constexpr std::size_t kPtr = sizeof(void*);
constexpr std::size_t kPtrField = (20 + kPtr - 1) / kPtr * kPtr;
constexpr std::size_t Round(std::size_t n) {
  return (n + kPtr - 1) / kPtr * kPtr;
}

namespace apt {  // ATA_PASS_THROUGH_EX / _DIRECT
constexpr std::size_t kLength = 0, kFlags = 2, kPathId = 4, kTransfer = 8, kTimeout = 12;
constexpr std::size_t kData = kPtrField;
constexpr std::size_t kPrevious = kData + kPtr;
constexpr std::size_t kCurrent = kPrevious + 8;
constexpr std::size_t kSize = Round(kCurrent + 8);
}  // namespace apt

namespace spt {  // SCSI_PASS_THROUGH / _DIRECT
constexpr std::size_t kLength = 0, kStatus = 2, kPathId = 3, kTargetId = 4, kLun = 5,
                      kCdbLength = 6, kSenseLength = 7, kDataIn = 8, kTransfer = 12, kTimeout = 16;
constexpr std::size_t kData = kPtrField;
constexpr std::size_t kSenseOffset = kData + kPtr;
constexpr std::size_t kCdb = kSenseOffset + 4;
constexpr std::size_t kSize = Round(kCdb + 16);
}  // namespace spt

// The port drivers take time-outs from one second to 30 hours.
constexpr std::uint32_t kMaxTimeout = 30 * 60 * 60;

// The bridges with the vendor CDB put their ATA command channel at target 1 of their bus, next
// to the disk's own LUN at target 0; their port driver passes the request's address through.
constexpr std::uint8_t kVendorCdbTarget = 1;
constexpr std::size_t kVendorCdbLength = 10;

constexpr std::uint8_t kGood = 0x00;
constexpr std::uint8_t kCheckCondition = 0x02;
constexpr std::uint8_t kKeyRecoveredError = 0x01;
constexpr std::uint8_t kKeyIllegalRequest = 0x05;
constexpr std::uint8_t kKeyAbortedCommand = 0x0B;
constexpr std::uint8_t kAscInvalidOpcode = 0x20;
constexpr std::uint8_t kAscInvalidField = 0x24;
constexpr std::uint8_t kAscqAtaInformation = 0x1D;  // with ASC 00h

std::uintptr_t GetPointer(std::span<const std::uint8_t> b, std::size_t at) {
  std::uintptr_t v = 0;
  for (std::size_t i = 0; i < kPtr; ++i) v |= std::uintptr_t(b[at + i]) << (8 * i);
  return v;
}

// The data a command sent, up to its last non-zero byte and at most 32 bytes: enough to tell
// the program's requests apart in the journal. "..." says more non-zero bytes follow.
std::string DataText(const std::vector<std::uint8_t>& data) {
  std::size_t used = data.size();
  while (used > 0 && data[used - 1] == 0) --used;
  if (!used) return " data zeros";
  const std::size_t shown = std::min<std::size_t>(used, 32);
  return " data " + HexBytes({data.data(), shown}) + (used > shown ? " ..." : "");
}

const char* PhaseText(AtaDataPhase phase) {
  return phase == AtaDataPhase::kIn ? "in" : phase == AtaDataPhase::kOut ? "out" : "none";
}

std::string CommandText(const SimAtaCommand& c, std::uint32_t timeout) {
  std::string s = "regs " + HexBytes(c.registers) + " " + PhaseText(c.phase) + " " +
                  std::to_string(c.length) + " timeout " + std::to_string(timeout);
  if (c.phase == AtaDataPhase::kOut) s += DataText(c.data);
  return s;
}

// One sense block in the format the transport reports, with the registers of an ATA command
// when there are any to report.
std::vector<std::uint8_t> Sense(bool descriptor, std::uint8_t key, std::uint8_t asc,
                                std::uint8_t ascq, const AtaRegisters* regs) {
  std::vector<std::uint8_t> s;
  if (descriptor) {
    s.assign(8, 0);
    s[0] = 0x72;
    s[1] = key;
    s[2] = asc;
    s[3] = ascq;
    if (regs) {
      const AtaRegisters& r = *regs;
      const std::uint8_t d[14] = {0x09,
                                  0x0C,
                                  0,
                                  r[ata::kError],
                                  0,
                                  r[ata::kCount],
                                  0,
                                  r[ata::kLbaLow],
                                  0,
                                  r[ata::kLbaMid],
                                  0,
                                  r[ata::kLbaHigh],
                                  r[ata::kDevice],
                                  r[ata::kStatus]};
      s.insert(s.end(), std::begin(d), std::end(d));
    }
    s[7] = std::uint8_t(s.size() - 8);
    return s;
  }
  s.assign(18, 0);
  s[0] = 0x70;
  s[2] = key;
  s[7] = 10;
  s[12] = asc;
  s[13] = ascq;
  if (regs) {  // SAT: error, status, device and count in INFORMATION, the LBA after it
    const AtaRegisters& r = *regs;
    s[0] |= 0x80;
    s[3] = r[ata::kError];
    s[4] = r[ata::kStatus];
    s[5] = r[ata::kDevice];
    s[6] = r[ata::kCount];
    s[9] = r[ata::kLbaLow];
    s[10] = r[ata::kLbaMid];
    s[11] = r[ata::kLbaHigh];
  }
  return s;
}

std::vector<std::uint8_t> Sense(const SimSense& s) {
  return Sense(s.descriptorFormat, s.key, s.asc, s.ascq, nullptr);
}

// The decoded request and the bytes the driver answers in.
struct Request {
  std::vector<std::uint8_t> bytes;  // the system buffer: the input, then the answer
  bool direct = false;
  std::uint32_t transfer = 0;
  std::uint32_t timeout = 0;
  std::uintptr_t data = 0;  // offset into bytes (buffered) or the caller's address (direct)
  AtaDataPhase phase = AtaDataPhase::kNone;
  std::size_t inSize = 0;
  std::uint32_t outSize = 0;

  static Request Received(std::span<const std::uint8_t> in, std::uint32_t outSize, bool direct) {
    Request req;
    req.bytes = SystemBuffer(in, outSize);
    req.inSize = in.size();
    req.outSize = outSize;
    req.direct = direct;
    return req;
  }

  std::vector<std::uint8_t> DataOut() const {
    if (phase != AtaDataPhase::kOut || !transfer) return {};
    const std::uint8_t* from =
        direct ? reinterpret_cast<const std::uint8_t*>(data) : bytes.data() + data;
    return std::vector<std::uint8_t>(from, from + transfer);
  }
  void DataIn(const std::vector<std::uint8_t>& in) {
    const std::size_t n = std::min<std::size_t>(in.size(), transfer);
    if (!n) return;
    std::uint8_t* to = direct ? reinterpret_cast<std::uint8_t*>(data) : bytes.data() + data;
    std::memcpy(to, in.data(), n);
  }
  // Where the data area is inside the request, it starts past the request's own fields and lies
  // within what came in (data-out) or what goes back (data-in); without a direction, both.
  bool DataFits(std::size_t header) const {
    if (!transfer) return true;
    if (direct) return data != 0;
    if (data < header) return false;
    const auto within = [&](std::size_t limit) {
      return data <= limit && transfer <= limit - data;
    };
    if (phase == AtaDataPhase::kOut) return within(inSize);
    if (phase == AtaDataPhase::kIn) return within(outSize);
    return within(inSize) && within(outSize);
  }
};

// Runs the command on the drive, with the fault that takes it, and the driver's time-out.
struct Run {
  SimAtaResult result;
  std::optional<SimFault> fault;
  std::uint64_t elapsedUs = 0;
  std::uint32_t error = 0;
};

Run Deliver(SimSataDrive& drive, const char* transport, const SimAtaCommand& command,
            std::uint32_t timeout, bool bScsi) {
  Run run;
  run.fault = drive.TakeFault(command.registers);
  if (run.fault && run.fault->powerLoss) {
    run.error = drive.LosePower({transport, command, timeout}, *run.fault);
    run.elapsedUs = run.fault->delayUs;
    return run;
  }
  if (run.fault && run.fault->windowsError) {
    run.error = run.fault->windowsError;
    run.elapsedUs = run.fault->delayUs;
    return run;
  }
  drive.Record({transport, command, timeout});
  if (bScsi && run.fault && run.fault->checkCondition && !run.fault->senseAfterData) {
    run.elapsedUs = run.fault->delayUs;
    return run;
  }
  run.result = drive.Execute(command, run.fault ? &*run.fault : nullptr);
  run.elapsedUs = run.result.durationUs;
  // The port driver gives up on a command that outlasts the request's time-out.
  const std::uint64_t limitUs = std::uint64_t(timeout) * 1'000'000;
  if (run.elapsedUs > limitUs) {
    run.elapsedUs = limitUs;
    run.error = os::kERROR_SEM_TIMEOUT;
  }
  return run;
}

}  // namespace

const char* PassThroughRequestName(std::uint32_t code) {
  switch (code) {
    case os::kIOCTL_ATA_PASS_THROUGH:
      return "IOCTL_ATA_PASS_THROUGH";
    case os::kIOCTL_ATA_PASS_THROUGH_DIRECT:
      return "IOCTL_ATA_PASS_THROUGH_DIRECT";
    case os::kIOCTL_SCSI_PASS_THROUGH:
      return "IOCTL_SCSI_PASS_THROUGH";
    default:
      return "IOCTL_SCSI_PASS_THROUGH_DIRECT";
  }
}

namespace {

// What every pass-through entry starts with: the request, and the buffer sizes it came with. A
// size the stack takes although it is not the one the request family fixes shows here.
std::string RequestText(std::uint32_t code, std::size_t inSize, std::uint32_t outSize) {
  return std::string(PassThroughRequestName(code)) + " size " + std::to_string(inSize) + "/" +
         std::to_string(outSize);
}

// The port driver of a disk takes the address from the disk itself and ignores these fields;
// an address that names another device is shown all the same, as the slip it is.
std::string AddressText(std::span<const std::uint8_t> in, std::size_t at) {
  if (!in[at] && !in[at + 1] && !in[at + 2]) return "";
  return " address " + std::to_string(in[at]) + " " + std::to_string(in[at + 1]) + " " +
         std::to_string(in[at + 2]);
}

SimIoOutcome Answer(Request& req, std::string journal, std::uint32_t bytesReturned,
                    std::uint64_t elapsedUs, std::uint8_t* out) {
  SimIoOutcome o;
  o.elapsedUs = elapsedUs;
  o.bytesReturned = std::min<std::uint32_t>(bytesReturned, req.outSize);
  o.journal = std::move(journal);
  std::memcpy(out, req.bytes.data(), std::min<std::size_t>(req.outSize, req.bytes.size()));
  return o;
}

SimIoOutcome AtaRequest(SimSataDrive* drive, const SimDiskTransports& transports,
                        std::uint32_t code, std::span<const std::uint8_t> in, std::uint8_t* out,
                        std::uint32_t outSize) {
  std::string journal = RequestText(code, in.size(), outSize);
  if (in.size() < apt::kSize || outSize < apt::kSize)
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  Request req = Request::Received(in, outSize, code == os::kIOCTL_ATA_PASS_THROUGH_DIRECT);
  const std::uint16_t flags = fw::GetU16le(in, apt::kFlags);
  req.transfer = fw::GetU32le(in, apt::kTransfer);
  req.timeout = fw::GetU32le(in, apt::kTimeout);
  req.data = GetPointer(in, apt::kData);
  const bool bIn = flags & os::kATA_FLAGS_DATA_IN, bOut = flags & os::kATA_FLAGS_DATA_OUT;
  req.phase = bIn ? AtaDataPhase::kIn : bOut ? AtaDataPhase::kOut : AtaDataPhase::kNone;

  SimAtaCommand command;
  std::copy_n(in.begin() + apt::kCurrent, 8, command.registers.begin());
  command.phase = req.phase;
  command.length = req.transfer;
  // A data phase without a byte count leaves the drive waiting for data that never comes.
  const bool bValid = fw::GetU16le(in, apt::kLength) == apt::kSize && !(bIn && bOut) &&
                      !((bIn || bOut) && !req.transfer) && req.timeout != 0 &&
                      req.timeout <= kMaxTimeout && req.DataFits(apt::kSize);
  if (bValid) command.data = req.DataOut();
  // The flags go to the journal as they came. Without ATA_FLAGS_DRDY_REQUIRED the driver sends
  // the command without waiting for the drive to be ready; it does not refuse it, and a drive
  // that is ready takes the command, so only the journal can show the flag missing.
  journal += " flags " + HexDigits(flags, 2) + AddressText(in, apt::kPathId) + " " +
             CommandText(command, req.timeout);
  if (!bValid) return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  if (transports.passThroughError) return Refuse(journal, transports.passThroughError);
  if (!drive) return Refuse(journal, os::kERROR_INVALID_FUNCTION);
  if (!transports.ataPassThrough) return Refuse(journal, transports.ataPassThroughError);

  Run run = Deliver(*drive, req.direct ? "ATA direct" : "ATA", command, req.timeout, false);
  if (run.error) {
    SimIoOutcome o = Refuse(journal, run.error);
    o.elapsedUs = run.elapsedUs;
    return o;
  }
  std::copy(run.result.registers.begin(), run.result.registers.end(),
            req.bytes.begin() + apt::kCurrent);
  std::uint32_t moved = 0;
  if (!run.result.Failed()) {
    if (req.phase == AtaDataPhase::kIn) {
      req.DataIn(run.result.data);
      moved = std::min<std::uint32_t>(std::uint32_t(run.result.data.size()), req.transfer);
    } else if (req.phase == AtaDataPhase::kOut) {
      moved = req.transfer;
    }
  }
  fw::PutU32le(req.bytes, apt::kTransfer, moved);
  journal += " -> status " + HexDigits(run.result.registers[ata::kStatus], 2);
  const std::uint32_t returned =
      std::uint32_t(!req.direct && req.phase == AtaDataPhase::kIn ? req.data + moved : apt::kSize);
  return Answer(req, journal, returned, run.elapsedUs, out);
}

// What the SCSI layer answers for a CDB: status, sense, the bytes it moved.
struct ScsiAnswer {
  std::uint8_t status = kGood;
  std::vector<std::uint8_t> sense;
  std::uint32_t moved = 0;
  std::uint64_t elapsedUs = 0;
  std::uint32_t error = 0;
  std::string text;
};

ScsiAnswer IllegalRequest(std::uint8_t asc) {
  ScsiAnswer a;
  a.status = kCheckCondition;
  a.sense = Sense(false, kKeyIllegalRequest, asc, 0, nullptr);
  return a;
}

ScsiAnswer RunCdbCommand(SimSataDrive& drive, const char* transport, Request& req,
                         SimAtaCommand command, bool bSat, bool bCkCond, bool bDescriptor) {
  ScsiAnswer a;
  command.data = req.DataOut();
  Run run = Deliver(drive, transport, command, req.timeout, true);
  a.elapsedUs = run.elapsedUs;
  a.text = CommandText(command, req.timeout);
  if (run.error) {
    a.error = run.error;
    return a;
  }
  const SimAtaResult& r = run.result;
  if (run.fault && run.fault->checkCondition) {
    if (run.fault->senseAfterData && req.phase == AtaDataPhase::kIn) req.DataIn(r.data);
    a.status = kCheckCondition;
    a.sense = Sense(*run.fault->checkCondition);
    return a;
  }
  if (r.Failed()) {
    a.status = kCheckCondition;
    a.sense = bSat ? Sense(bDescriptor, kKeyAbortedCommand, 0, kAscqAtaInformation, &r.registers)
                   : Sense(false, kKeyAbortedCommand, 0, 0, nullptr);
    return a;
  }
  if (req.phase == AtaDataPhase::kIn) {
    req.DataIn(r.data);
    a.moved = std::min<std::uint32_t>(std::uint32_t(r.data.size()), req.transfer);
  } else if (req.phase == AtaDataPhase::kOut) {
    a.moved = req.transfer;
  }
  if (bSat && bCkCond) {
    a.status = kCheckCondition;
    a.sense = Sense(bDescriptor, kKeyRecoveredError, 0, kAscqAtaInformation, &r.registers);
  }
  return a;
}

// A vendor CDB addressed anywhere but the bridge's channel reaches the disk's LUN, which knows
// CCh no better than a disk without the bridge. The bridge itself takes its CDB at 10 bytes.
ScsiAnswer VendorCdb(SimSataDrive* drive, const SimDiskTransports& t, Request& req,
                     std::span<const std::uint8_t> in, std::span<const std::uint8_t> cdb) {
  const bool bBridge =
      in[spt::kPathId] == 0 && in[spt::kTargetId] == kVendorCdbTarget && in[spt::kLun] == 0;
  if (!drive || !t.vendorCdb || !bBridge) return IllegalRequest(kAscInvalidOpcode);
  if (cdb.size() != kVendorCdbLength) return IllegalRequest(kAscInvalidField);
  SimAtaCommand command;
  std::copy_n(cdb.begin() + 2, 8, command.registers.begin());
  command.phase = req.phase;
  command.length = req.transfer;
  return RunCdbCommand(*drive, "CDB CC", req, command, false, false, false);
}

ScsiAnswer SatCdb(SimSataDrive* drive, const SimDiskTransports& t, Request& req,
                  std::span<const std::uint8_t> cdb) {
  if (!drive || !t.sat || cdb.size() != 12) return IllegalRequest(kAscInvalidOpcode);
  const std::uint8_t protocol = (cdb[1] >> 1) & 0x0F;
  const bool bExtend = cdb[1] & 1, bCkCond = cdb[2] & 0x20, bToHost = cdb[2] & 0x08;
  const std::uint8_t tLength = cdb[2] & 0x03;
  AtaDataPhase phase;
  if (protocol == 3 && tLength == 0)
    phase = AtaDataPhase::kNone;
  else if (protocol == 4 && bToHost && tLength)
    phase = AtaDataPhase::kIn;
  else if (protocol == 5 && !bToHost && tLength)
    phase = AtaDataPhase::kOut;
  else
    return IllegalRequest(kAscInvalidField);
  // The direction of the request has to agree with the protocol.
  if (bExtend || (phase != AtaDataPhase::kNone && phase != req.phase))
    return IllegalRequest(kAscInvalidField);
  SimAtaCommand command;
  for (std::size_t i = 0; i < 7; ++i) command.registers[i] = cdb[3 + i];
  command.phase = phase;
  command.length = phase == AtaDataPhase::kNone ? 0 : req.transfer;
  return RunCdbCommand(*drive, "SAT", req, command, true, bCkCond, t.satDescriptorSense);
}

SimIoOutcome ScsiRequest(SimSataDrive* drive, const SimDiskTransports& transports,
                         std::uint32_t code, std::span<const std::uint8_t> in, std::uint8_t* out,
                         std::uint32_t outSize) {
  std::string journal = RequestText(code, in.size(), outSize);
  if (in.size() < spt::kSize || outSize < spt::kSize)
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  Request req = Request::Received(in, outSize, code == os::kIOCTL_SCSI_PASS_THROUGH_DIRECT);
  req.transfer = fw::GetU32le(in, spt::kTransfer);
  req.timeout = fw::GetU32le(in, spt::kTimeout);
  req.data = GetPointer(in, spt::kData);
  const std::uint8_t dataIn = in[spt::kDataIn];
  req.phase = dataIn == os::kSCSI_IOCTL_DATA_IN    ? AtaDataPhase::kIn
              : dataIn == os::kSCSI_IOCTL_DATA_OUT ? AtaDataPhase::kOut
                                                   : AtaDataPhase::kNone;
  const std::uint8_t cdbLength = in[spt::kCdbLength];
  const std::uint8_t senseLength = in[spt::kSenseLength];
  const std::uint32_t senseOffset = fw::GetU32le(in, spt::kSenseOffset);
  const std::span<const std::uint8_t> cdb =
      in.subspan(spt::kCdb, std::min<std::size_t>(cdbLength, 16));
  // The sense area lies past the request's fields, before a buffered data area and within what
  // goes back. Any length that fits is taken, so the journal shows the one asked for.
  const bool bSenseFits =
      !senseLength ||
      (senseOffset >= spt::kSize && senseOffset <= outSize &&
       senseLength <= outSize - senseOffset &&
       (req.direct || !req.transfer || std::uintptr_t(senseOffset) + senseLength <= req.data));
  journal += AddressText(in, spt::kPathId) + " sense " + std::to_string(senseLength) + " cdb " +
             HexBytes(cdb);
  if (fw::GetU16le(in, spt::kLength) != spt::kSize || cdbLength == 0 || cdbLength > 16 ||
      dataIn > os::kSCSI_IOCTL_DATA_UNSPECIFIED || req.timeout == 0 || req.timeout > kMaxTimeout ||
      !req.DataFits(spt::kSize) || !bSenseFits)
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  if (transports.passThroughError) return Refuse(journal, transports.passThroughError);

  ScsiAnswer a;
  if (cdb[0] == 0xCC)
    a = VendorCdb(drive, transports, req, in, cdb);
  else if (cdb[0] == 0xA1)
    a = SatCdb(drive, transports, req, cdb);
  else
    a = IllegalRequest(kAscInvalidOpcode);
  if (!a.text.empty()) journal += " " + a.text;
  if (a.error) {
    SimIoOutcome o = Refuse(journal, a.error);
    o.elapsedUs = a.elapsedUs;
    return o;
  }
  req.bytes[spt::kStatus] = a.status;
  const std::size_t senseCopied = std::min<std::size_t>(senseLength, a.sense.size());
  std::copy_n(a.sense.begin(), senseCopied, req.bytes.begin() + senseOffset);
  req.bytes[spt::kSenseLength] = std::uint8_t(senseCopied);
  fw::PutU32le(req.bytes, spt::kTransfer, a.moved);
  journal += a.status == kGood
                 ? " -> GOOD"
                 : " -> CHECK CONDITION " +
                       HexBytes(std::span(a.sense).first(std::min<std::size_t>(a.sense.size(), 4)));
  const std::uint32_t returned =
      std::uint32_t(!req.direct && req.phase == AtaDataPhase::kIn ? req.data + a.moved
                                                                  : senseOffset + senseCopied);
  return Answer(req, journal, returned, a.elapsedUs, out);
}

}  // namespace

bool IsPassThroughRequest(std::uint32_t code) {
  return code == os::kIOCTL_ATA_PASS_THROUGH || code == os::kIOCTL_ATA_PASS_THROUGH_DIRECT ||
         code == os::kIOCTL_SCSI_PASS_THROUGH || code == os::kIOCTL_SCSI_PASS_THROUGH_DIRECT;
}

SimIoOutcome PassThroughIoControl(SimSataDrive* drive, const SimDiskTransports& transports,
                                  std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::uint8_t* out, std::uint32_t outSize) {
  if (code == os::kIOCTL_ATA_PASS_THROUGH || code == os::kIOCTL_ATA_PASS_THROUGH_DIRECT)
    return AtaRequest(drive, transports, code, in, out, outSize);
  return ScsiRequest(drive, transports, code, in, out, outSize);
}

}  // namespace sim
