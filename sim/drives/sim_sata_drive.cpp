#include "sim/drives/sim_sata_drive.h"

#include "sim/drives/sim_ata_answer.h"
#include "sim/drives/sim_ata_identify.h"
#include "sim/kernel/sim_fault.h"

#include <algorithm>
#include <cstring>

namespace sim {
namespace {

constexpr std::uint8_t kIdentifyDevice = 0xEC;
constexpr std::uint8_t kReadLogExt = 0x2F;
constexpr std::uint8_t kVendorCommand = 0xFF;
constexpr std::uint8_t kWriteBuffer = 0xE8;
constexpr std::uint8_t kReadBuffer = 0xE4;
constexpr std::uint8_t kDownloadMicrocode = 0x92;

constexpr std::uint8_t kPpidLogAddress = 0x9A;
constexpr std::uint8_t kVendorRequest = 0xFC;
constexpr std::uint8_t kVendorReply = 0xFD;
constexpr std::uint8_t kPeaStatusFeatures = 0x80;
constexpr std::uint8_t kPeaKey[4] = {0x12, 0x34, 0x56, 0x78};

using ata::Abort;
using ata::Done;

bool IsSignature(const AtaRegisters& r, const char* sig) {
  return r[ata::kLbaLow] == std::uint8_t(sig[0]) && r[ata::kLbaMid] == std::uint8_t(sig[1]) &&
         r[ata::kLbaHigh] == std::uint8_t(sig[2]);
}

// A 512-byte data-in reply, or an abort when the host did not ask for one sector in.
SimAtaResult Sector(const SimAtaCommand& command, std::span<const std::uint8_t> bytes) {
  if (command.phase != AtaDataPhase::kIn || command.length < 512) return Abort(command);
  SimAtaResult r = Done(command);
  r.data.assign(512, 0);
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 512), r.data.begin());
  return r;
}

bool OneSectorOut(const SimAtaCommand& command) {
  return command.phase == AtaDataPhase::kOut && command.data.size() >= 512;
}

}  // namespace

void PutAtaString(std::span<std::uint8_t> bytes, std::size_t at, std::size_t width,
                  const std::string& text) {
  for (std::size_t i = 0; i < width; ++i) {
    const char c = i < text.size() ? text[i] : ' ';
    bytes[at + (i ^ 1)] = std::uint8_t(c);
  }
}

SimFault SimFault::AtaError(std::uint8_t command, std::uint8_t status, std::uint8_t error) {
  SimFault f;
  f.command = command;
  f.status = status;
  f.error = error;
  return f;
}

SimFault SimFault::WindowsError(std::uint32_t error) {
  SimFault f;
  f.windowsError = error;
  return f;
}

SimFault SimFault::Slow(std::uint8_t command, std::uint64_t delayUs) {
  SimFault f;
  f.command = command;
  f.delayUs = delayUs;
  return f;
}

SimFault SimFault::CheckCondition(std::uint8_t command, SimSense sense) {
  SimFault f;
  f.command = command;
  f.checkCondition = sense;
  return f;
}

std::optional<SimFault> SimSataDrive::TakeFault(const AtaRegisters& registers) {
  return sim::TakeFault(faults, [&](const SimFault& f) {
    return (!f.command || *f.command == registers[ata::kCommand]) &&
           (!f.features || *f.features == registers[ata::kFeatures]);
  });
}

SimAtaResult SimSataDrive::Execute(const SimAtaCommand& command, const SimFault* fault) {
  SimAtaResult r;
  if (fault && fault->status) {
    r = Done(command, *fault->status, fault->error);
  } else {
    switch (command.registers[ata::kCommand]) {
      case kIdentifyDevice:
        r = Identify(command);
        break;
      case kReadLogExt:
        r = ReadLogExt(command);
        break;
      case kVendorCommand:
        r = Vendor(command);
        break;
      case kWriteBuffer:
        r = WriteBuffer(command);
        break;
      case kReadBuffer:
        r = ReadBuffer(command);
        break;
      case kDownloadMicrocode:
        r = DownloadMicrocode(command);
        break;
      default:
        r = Abort(command);
    }
  }
  if (fault) r.durationUs += fault->delayUs;
  return r;
}

std::array<std::uint8_t, 512> SimSataDrive::IdentifyData() const {
  return BuildIdentifyDevice(identity);
}

// The part identifier as the drive keeps it: the first 24 characters as an ATA string, the
// last 8 as they are.
std::array<std::uint8_t, 512> SimSataDrive::PpidLog() const {
  std::array<std::uint8_t, 512> d = {};
  std::string ppid = identity.ppid;
  ppid.resize(32, ' ');
  PutAtaString(d, 0, 24, ppid.substr(0, 24));
  std::memcpy(&d[24], ppid.data() + 24, 8);
  return d;
}

SimAtaResult SimSataDrive::Identify(const SimAtaCommand& command) {
  return Sector(command, IdentifyData());
}

SimAtaResult SimSataDrive::ReadLogExt(const SimAtaCommand& command) {
  const AtaRegisters& r = command.registers;
  if (!hasPpidLog || r[ata::kLbaLow] != kPpidLogAddress || r[ata::kCount] != 1 ||
      r[ata::kLbaMid] != 0)
    return Abort(command);
  return Sector(command, PpidLog());
}

// The vendor channel: a request sector goes out with features FCh, then its reply comes in (or,
// for a preformat, the work is done) with features FDh.
SimAtaResult SimSataDrive::Vendor(const SimAtaCommand& command) {
  if (!answersVendorCommands) return Abort(command);
  const std::uint8_t phase = command.registers[ata::kFeatures];
  if (phase == kVendorRequest) {
    m_Pending = Pending::kNone;
    if (!OneSectorOut(command)) return Abort(command);
    if (command.data[0] == 0x0A && command.data[1] == 0x07) m_Pending = Pending::kVersion;
    if (command.data[0] == 0x07 && command.data[1] == 0xBE) m_Pending = Pending::kPreformat;
    return m_Pending == Pending::kNone ? Abort(command) : Done(command);
  }
  if (phase != kVendorReply) return Abort(command);
  const Pending pending = m_Pending;
  m_Pending = Pending::kNone;
  if (pending == Pending::kVersion && command.phase == AtaDataPhase::kIn) {
    std::array<std::uint8_t, 512> reply = {};
    std::string version = identity.vendorVersion;
    version.resize(8, ' ');
    std::memcpy(reply.data(), version.data(), 8);
    return Sector(command, reply);
  }
  if (pending == Pending::kPreformat && command.phase == AtaDataPhase::kNone) {
    ++m_Preformats;
    SimAtaResult r = Done(command);
    r.durationUs = preformatUs;
    return r;
  }
  return Abort(command);
}

SimAtaResult SimSataDrive::WriteBuffer(const SimAtaCommand& command) {
  if (!peaChannel || !IsSignature(command.registers, "PEA") || !OneSectorOut(command))
    return Abort(command);
  if (!std::equal(std::begin(kPeaKey), std::end(kPeaKey), command.data.begin() + 28))
    return Abort(command);
  m_PeaStatus = 0;
  if (command.data[0] == 0x51) {
    m_PeaStatus = peaQueryStatus;
    return Done(command);
  }
  if (command.data[0] == 0x07 && command.data[1] == 0xBE) {
    ++m_Preformats;
    m_PeaStatus = 1;
    SimAtaResult r = Done(command);
    r.durationUs = preformatUs;
    return r;
  }
  return Abort(command);
}

SimAtaResult SimSataDrive::ReadBuffer(const SimAtaCommand& command) {
  const AtaRegisters& r = command.registers;
  std::array<std::uint8_t, 512> reply = {};
  if (IsSignature(r, "RPE")) {
    if (auto it = rpeBuffers.find(r[ata::kFeatures]); it != rpeBuffers.end())
      std::copy_n(it->second.begin(), std::min<std::size_t>(it->second.size(), 512), reply.begin());
    return Sector(command, reply);
  }
  if (!peaChannel || !IsSignature(r, "PEA")) return Abort(command);
  if (r[ata::kFeatures] == kPeaStatusFeatures) {
    reply[0] = std::uint8_t(m_PeaStatus);
    return Sector(command, reply);
  }
  if (peaNewSupport)
    for (std::size_t i = 0; i < peaNewSupportText.size() && 4 * i < reply.size(); ++i)
      reply[4 * i] = std::uint8_t(peaNewSupportText[i]);
  return Sector(command, reply);
}

}  // namespace sim
