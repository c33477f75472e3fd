#include "sim/drivers/sim_rste.h"
#include "sim/drivers/sim_miniport_header.h"
#include "sim/kernel/journal_text.h"
#include "sim/kernel/sim_fault.h"

#include <algorithm>
#include <cstring>

#include "framework/bytes.h"
#include "os/os.h"

namespace sim {
namespace {

// What follows the header, request by request.
constexpr std::size_t kCount = 28;                          // the four counts
constexpr std::size_t kVolume = 28, kMembers = 128;         // RAID information
constexpr std::size_t kConfigRoom = 32, kConfigFirst = 36;  // RAID configuration
constexpr std::size_t kListRoom = 28, kListFirst = 32;      // pass-through disk information
namespace entry {
constexpr std::size_t kId = 0, kModel = 4, kFirmware = 44, kSerial = 52, kSize = 92;
}
namespace nvme {  // the pass-through
constexpr std::size_t kCommand = 52, kStatus = 116 + 14, kDirection = 132, kQueue = 136,
                      kDataLength = 140, kReturnLength = 148, kData = 152;
constexpr std::size_t kNsid = kCommand + 4, kCdw10 = kCommand + 40;
}  // namespace nvme

constexpr std::uint32_t kUnknownRequest = 1, kInvalidParameter = 2, kNoSuchDisk = 3;
constexpr std::uint8_t kIdentify = 0x06, kCnsController = 1;
constexpr std::uint32_t kFromDevice = 2;
// NVMe completion status field: phase tag in bit 0, status code from bit 1, its type from bit 9.
constexpr std::uint16_t kInvalidOpcode = 0x01 << 1, kInvalidField = 0x02 << 1;

struct Code {
  std::uint32_t controlCode;
  RsteRequest request;
  const char* name;
};
constexpr Code kCodes[] = {
    {0xE0002014, RsteRequest::kNumberOfRaidVolumes, "numberOfRaidVolumes"},
    {0xE0002028, RsteRequest::kNumberOfPassThroughDisks, "numberOfPassThroughDisks"},
    {0xE0002020, RsteRequest::kNumberOfSpareDisks, "numberOfSpareDisks"},
    {0xE0002030, RsteRequest::kNumberOfJournalingDisks, "numberOfJournalingDisks"},
    {0xE0002018, RsteRequest::kRaidInformation, "raidInformation"},
    {0xE000201C, RsteRequest::kRaidConfiguration, "raidConfiguration"},
    {0xE000202C, RsteRequest::kPassThroughDiskInformation, "PassThroughDiskInformation"},
    {0xE0002000, RsteRequest::kNvmePassThrough, "nvmePassThrough"},
};

std::optional<SimRsteFault> TakeFault(SimRsteController& c, RsteRequest request,
                                      std::uint32_t disk) {
  return sim::TakeFault(c.faults, [&](const SimRsteFault& f) {
    if (f.request != RsteRequest::kAny && f.request != request) return false;
    return !f.disk || (request == RsteRequest::kNvmePassThrough && *f.disk == disk);
  });
}

const SimRsteDisk* FindDisk(const SimRsteController& c, std::uint32_t id) {
  for (const SimRsteVolume& v : c.volumes)
    for (const SimRsteDisk& d : v.members)
      if (d.rsteDiskId == id) return &d;
  for (const SimRsteDisk& d : c.passThroughDisks)
    if (d.rsteDiskId == id) return &d;
  return nullptr;
}

void PutText(std::span<std::uint8_t> b, std::size_t at, std::size_t width, const std::string& t,
             bool terminated) {
  std::memcpy(&b[at], t.data(), std::min(t.size(), terminated ? width - 1 : width));
}

// The disk list of a configuration or pass-through request: `room` bytes from `first`.
std::uint32_t PutEntries(std::span<std::uint8_t> b, std::size_t first, std::uint32_t room,
                         const std::vector<SimRsteDisk>& disks, std::string* text) {
  if (room < entry::kSize * disks.size()) return kInvalidParameter;
  for (std::size_t i = 0; i < disks.size(); ++i) {
    const auto e = b.subspan(first + i * entry::kSize, entry::kSize);
    fw::PutU32le(e, entry::kId, disks[i].rsteDiskId);
    PutText(e, entry::kModel, 40, disks[i].identity.model, false);
    PutText(e, entry::kFirmware, 8, disks[i].identity.firmware, false);
    PutText(e, entry::kSerial, 40, disks[i].identity.serial, true);
  }
  *text += " -> " + std::to_string(disks.size()) + " entries";
  return 0;
}

const SimRsteVolume* Volume(const SimRsteController& c, std::span<const std::uint8_t> b) {
  const std::uint32_t number = fw::GetU32le(b, kVolume);  // 1 for the first
  return number >= 1 && number <= c.volumes.size() ? &c.volumes[number - 1] : nullptr;
}

std::uint32_t PassThrough(const SimRsteController& c, std::span<std::uint8_t> b, std::size_t room,
                          std::uint32_t length, const std::optional<SimRsteFault>& fault,
                          std::string* text) {
  const std::uint32_t disk = fw::GetU32le(b, srb::kReturnCode);
  const std::uint8_t opcode = b[nvme::kCommand];
  const std::uint32_t cns = fw::GetU32le(b, nvme::kCdw10) & 0xFF;
  const std::uint32_t direction = fw::GetU32le(b, nvme::kDirection);
  const std::uint32_t queue = fw::GetU32le(b, nvme::kQueue);
  const std::uint32_t returnLength = fw::GetU32le(b, nvme::kReturnLength);
  if (length < nvme::kData - srb::kSize || returnLength < nvme::kData || returnLength > room ||
      queue != 0)
    return kInvalidParameter;
  const SimRsteDisk* target = FindDisk(c, disk);
  if (!target) return kNoSuchDisk;
  std::uint16_t status = 0;
  if (fault && fault->nvmeStatus) {
    status = *fault->nvmeStatus;
  } else if (opcode != kIdentify) {
    status = kInvalidOpcode;
  } else if (cns != kCnsController || direction != kFromDevice ||
             returnLength - nvme::kData < kNvmeIdentifySize) {
    status = kInvalidField;
  } else {
    const NvmeIdentifyData data =
        BuildIdentifyController(target->identity, target->identity.firmware);
    std::copy(data.begin(), data.end(), b.begin() + nvme::kData);
  }
  fw::PutU16le(b, nvme::kStatus, status);
  *text += " -> status " + HexDigits(status, 4);
  return 0;
}

// What the journal tells of a request, read from its bytes before anything is answered.
std::string Describe(RsteRequest request, std::span<const std::uint8_t> b) {
  const auto dword = [&](std::size_t at) { return std::to_string(fw::GetU32le(b, at)); };
  switch (request) {
    case RsteRequest::kRaidInformation:
      return " volume " + dword(kVolume);
    case RsteRequest::kRaidConfiguration:
      return " volume " + dword(kVolume) + " room " + dword(kConfigRoom);
    case RsteRequest::kPassThroughDiskInformation:
      return " room " + dword(kListRoom);
    case RsteRequest::kNvmePassThrough:
      return " disk " + dword(srb::kReturnCode) + " opcode " + HexDigits(b[nvme::kCommand], 2) +
             " nsid " + dword(nvme::kNsid) + " cns " +
             std::to_string(fw::GetU32le(b, nvme::kCdw10) & 0xFF) + " direction " +
             dword(nvme::kDirection) + " queue " + dword(nvme::kQueue) + " data " +
             dword(nvme::kDataLength) + " return " + dword(nvme::kReturnLength);
    default:
      return "";
  }
}

std::uint32_t Answer(SimRsteController& c, RsteRequest request, std::span<std::uint8_t> b,
                     std::size_t room, std::uint32_t length,
                     const std::optional<SimRsteFault>& fault, std::string* text) {
  const auto count = [&](std::size_t truth, const std::optional<std::uint32_t>& claimed) {
    if (length < 4) return kInvalidParameter;
    const std::uint32_t n = claimed.value_or(std::uint32_t(truth));
    fw::PutU32le(b, kCount, n);
    *text += " -> " + std::to_string(n);
    return 0u;
  };
  switch (request) {
    case RsteRequest::kNumberOfRaidVolumes:
      return count(c.volumes.size(), c.reportedVolumes);
    case RsteRequest::kNumberOfPassThroughDisks:
      return count(c.passThroughDisks.size(), c.reportedPassThroughDisks);
    case RsteRequest::kNumberOfSpareDisks:
      return count(c.spareDisks, std::nullopt);
    case RsteRequest::kNumberOfJournalingDisks:
      return count(c.journalingDisks, std::nullopt);
    case RsteRequest::kRaidInformation: {
      const SimRsteVolume* v = Volume(c, b);
      if (!v || length < kMembers + 4 - srb::kSize) return kInvalidParameter;
      const std::uint32_t n = c.reportedMembers.value_or(std::uint32_t(v->members.size()));
      fw::PutU32le(b, kMembers, n);
      *text += " -> " + std::to_string(n) + " members";
      return 0;
    }
    case RsteRequest::kRaidConfiguration: {
      const SimRsteVolume* v = Volume(c, b);
      const std::uint32_t roomAsked = fw::GetU32le(b, kConfigRoom);
      if (!v || length < kConfigFirst - srb::kSize ||
          roomAsked > length - (kConfigFirst - srb::kSize))
        return kInvalidParameter;
      return PutEntries(b, kConfigFirst, roomAsked, v->members, text);
    }
    case RsteRequest::kPassThroughDiskInformation: {
      const std::uint32_t roomAsked = fw::GetU32le(b, kListRoom);
      if (length < kListFirst - srb::kSize || roomAsked > length - (kListFirst - srb::kSize))
        return kInvalidParameter;
      return PutEntries(b, kListFirst, roomAsked, c.passThroughDisks, text);
    }
    case RsteRequest::kNvmePassThrough:
      return PassThrough(c, b, room, length, fault, text);
    case RsteRequest::kAny:
      break;
  }
  return kUnknownRequest;
}

}  // namespace

std::optional<RsteRequest> RsteRequestNamed(const std::string& name) {
  for (const Code& code : kCodes)
    if (name == code.name) return code.request;
  if (name == "any") return RsteRequest::kAny;
  return std::nullopt;
}

bool IsRsteRequest(std::span<const std::uint8_t> in) {
  return MiniportSigned(in, "NvmeRAID");
}

SimIoOutcome RsteIoControl(SimRsteController& c, std::span<const std::uint8_t> in,
                           std::uint8_t* out, std::uint32_t outSize) {
  std::string journal = "IOCTL_SCSI_MINIPORT NvmeRAID";
  if (in.size() < srb::kSize || !out) return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  const SimMiniportHeader h = ReadMiniportHeader(in, outSize);
  const auto* code = std::find_if(std::begin(kCodes), std::end(kCodes),
                                  [&](const Code& k) { return k.controlCode == h.controlCode; });
  const RsteRequest request = code == std::end(kCodes) ? RsteRequest::kAny : code->request;
  journal += " " +
             (code == std::end(kCodes) ? HexDigits(h.controlCode, 8) : std::string(code->name)) +
             " in " + std::to_string(in.size()) + " length " + std::to_string(h.length);
  if (h.error) return Refuse(journal, h.error);
  if (!h.Signed("NvmeRAID")) return Refuse(journal, os::kERROR_INVALID_PARAMETER);

  std::vector<std::uint8_t> b = SystemBuffer(in, outSize);
  journal += Describe(request, b);
  const std::optional<SimRsteFault> fault = TakeFault(c, request, h.returnCode);
  if (fault && fault->windowsError) return Refuse(journal, fault->windowsError);
  // What the driver's own return buffer length may reach: it reads the request from the input
  // and writes its answer to the output.
  const std::size_t room = std::min<std::size_t>(in.size(), outSize);
  std::uint32_t returnCode = 0;
  if (fault && fault->returnCode)
    returnCode = fault->returnCode;
  else if (request == RsteRequest::kAny)
    returnCode = kUnknownRequest;
  else
    returnCode = Answer(c, request, b, room, h.length, fault, &journal);
  fw::PutU32le(b, srb::kReturnCode, returnCode);
  if (returnCode) journal += " -> return code " + std::to_string(returnCode);
  SimIoOutcome o;
  o.bytesReturned = outSize;
  o.journal = journal;
  std::memcpy(out, b.data(), outSize);
  return o;
}

}  // namespace sim
