#include "sim/drives/sim_nvme_drive.h"
#include "sim/kernel/sim_fault.h"

#include <algorithm>
#include <cstring>

#include "framework/bytes.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

// Offsets of the submission queue entry.
constexpr std::size_t kOpcode = 0, kNsid = 4, kCdw10 = 40, kCdw11 = 44;
// A garbage offset must not make the drive allocate gigabytes: no image is larger than this.
constexpr std::uint64_t kMaxImageBytes = 64ull << 20;

NvmeCompletion Status(std::uint16_t status) {
  NvmeCompletion c;
  c.status = status;
  return c;
}

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string NvmeCommandText(std::span<const std::uint8_t, 64> sqe) {
  return "opcode " + HexDigits(sqe[kOpcode], 2) + " nsid " +
         HexDigits(fw::GetU32le(sqe, kNsid), 1) + " cdw10 " +
         HexDigits(fw::GetU32le(sqe, kCdw10), 8) + " cdw11 " +
         HexDigits(fw::GetU32le(sqe, kCdw11), 8);
}

std::string NvmeStatusText(std::uint16_t status) {
  return "status " + HexDigits(status, 3);
}

std::optional<SimNvmeFault> SimNvmeDrive::TakeFault(std::uint8_t opcode) {
  return sim::TakeFault(faults,
                        [&](const SimNvmeFault& f) { return !f.opcode || *f.opcode == opcode; });
}

NvmeCompletion SimNvmeDrive::AdminCommand(std::span<const std::uint8_t, 64> sqe,
                                          std::span<const std::uint8_t> dataIn,
                                          std::span<std::uint8_t> dataOut,
                                          const SimNvmeFault* fault) {
  NvmeCompletion c;
  const std::uint32_t cdw10 = fw::GetU32le(sqe, kCdw10), cdw11 = fw::GetU32le(sqe, kCdw11);
  const std::uint8_t opcode = sqe[kOpcode];
  const bool bFirmware = opcode == nvme::kFirmwareCommit || opcode == nvme::kFirmwareImageDownload;
  if (fault && fault->status)
    c = Status(*fault->status);
  else if (bFirmware && !firmwareUpdates)
    c = Status(nvme::kInvalidOpcode);
  else if (opcode == nvme::kIdentify)
    c = Identify(cdw10, dataOut);
  else if (opcode == nvme::kGetLogPage)
    c = GetLogPage(cdw10, cdw11, dataOut);
  else if (opcode == nvme::kFirmwareImageDownload)
    c = Download(cdw10, cdw11, dataIn);
  else if (opcode == nvme::kFirmwareCommit)
    c = Commit(cdw10);
  else
    c = Status(nvme::kInvalidOpcode);
  if (fault) c.durationUs += fault->delayUs;
  return c;
}

void SimNvmeDrive::Reset() {
  ++m_Resets;
  if (m_Pending) m_Active = m_Pending;
  m_Pending = 0;
  m_Running.clear();
  m_Image.clear();
  m_Pieces.clear();
}

void SimNvmeDrive::SetSlotRevision(int slot, std::string revision) {
  m_Slots[slot] = std::move(revision);
  m_Running.clear();
}

void SimNvmeDrive::SetActiveSlot(int slot) {
  m_Active = slot;
  m_Running.clear();
}

std::string SimNvmeDrive::SlotRevision(int slot) const {
  if (auto it = m_Slots.find(slot); it != m_Slots.end()) return it->second;
  return slot == m_Active ? identity.firmware : "";
}

std::vector<std::string> SimNvmeDrive::SlotRevisions() const {
  std::vector<std::string> list;
  for (int slot = 1; slot <= SlotCount(); ++slot) list.push_back(SlotRevision(slot));
  return list;
}

std::string SimNvmeDrive::RunningRevision() const {
  return m_Running.empty() ? SlotRevision(m_Active) : m_Running;
}

NvmeIdentifyData SimNvmeDrive::IdentifyController() const {
  NvmeIdentifyData d = BuildIdentifyController(identity, RunningRevision());
  d[kNvmeOacs] = std::uint8_t(firmwareUpdates ? d[kNvmeOacs] | kNvmeOacsFirmware
                                              : d[kNvmeOacs] & ~kNvmeOacsFirmware);
  return d;
}

std::array<std::uint8_t, nvme::kFirmwareSlotLogSize> SimNvmeDrive::FirmwareSlotLog() const {
  std::array<std::uint8_t, nvme::kFirmwareSlotLogSize> log = {};
  log[0] = std::uint8_t((m_Active & 7) | (m_Pending & 7) << 4);
  for (int slot = 1; slot <= SlotCount(); ++slot) {
    const std::string revision = SlotRevision(slot);
    if (revision.empty()) continue;
    std::uint8_t* at = &log[std::size_t(8 * slot)];
    std::fill_n(at, 8, std::uint8_t(' '));
    std::memcpy(at, revision.data(), std::min<std::size_t>(8, revision.size()));
  }
  return log;
}

NvmeCompletion SimNvmeDrive::Identify(std::uint32_t cdw10, std::span<std::uint8_t> out) const {
  if ((cdw10 & 0xFF) != 1) return Status(nvme::kInvalidField);
  const NvmeIdentifyData d = IdentifyController();
  std::copy_n(d.begin(), std::min(out.size(), d.size()), out.begin());
  return {};
}

NvmeCompletion SimNvmeDrive::GetLogPage(std::uint32_t cdw10, std::uint32_t cdw11,
                                        std::span<std::uint8_t> out) const {
  if ((cdw10 & 0xFF) != nvme::kFirmwareSlotLog) return Status(nvme::kInvalidLogPage);
  const std::uint64_t dwords = ((std::uint64_t(cdw11 & 0xFFFF) << 16) | (cdw10 >> 16)) + 1;
  const auto log = FirmwareSlotLog();
  const std::size_t n = std::size_t(std::min<std::uint64_t>({dwords * 4, log.size(), out.size()}));
  std::copy_n(log.begin(), n, out.begin());
  return {};
}

// A piece of the image: NUMD (zero-based) dwords at dword offset OFST, aligned to FWUG.
NvmeCompletion SimNvmeDrive::Download(std::uint32_t cdw10, std::uint32_t cdw11,
                                      std::span<const std::uint8_t> in) {
  const std::uint64_t bytes = (std::uint64_t(cdw10) + 1) * 4, offset = std::uint64_t(cdw11) * 4;
  if (in.size() < bytes || offset + bytes > kMaxImageBytes) return Status(nvme::kInvalidField);
  const std::uint8_t fwug = identity.fwug;
  if (fwug != 0 && fwug != 0xFF) {
    const std::uint64_t granularity = std::uint64_t(fwug) * 4096;
    if (offset % granularity || bytes % granularity) return Status(nvme::kInvalidField);
  }
  if (offset == 0) {
    m_Image.clear();
    m_Pieces.clear();
  }
  for (const auto& [begin, end] : m_Pieces)
    if (offset < end && begin < offset + bytes) return Status(nvme::kOverlappingRange);
  if (m_Image.size() < offset + bytes) m_Image.resize(std::size_t(offset + bytes), 0);
  std::copy_n(in.begin(), bytes, m_Image.begin() + std::ptrdiff_t(offset));
  m_Pieces.emplace_back(offset, offset + bytes);
  return {};
}

// The slot the controller chooses when the host names none: for an activation the slot
// replaced last (else the active one), for a replacement the first writable slot that is not
// running, else the first writable one.
int SimNvmeDrive::ChosenSlot(int action) const {
  if (action == nvme::kActivateAtReset) return m_LastReplaced ? m_LastReplaced : m_Active;
  for (int slot = 1; slot <= SlotCount(); ++slot)
    if (!SlotReadOnly(slot) && slot != m_Active) return slot;
  for (int slot = 1; slot <= SlotCount(); ++slot)
    if (!SlotReadOnly(slot)) return slot;
  return 1;
}

void SimNvmeDrive::Store(int slot, const std::string& revision) {
  if (slot == m_Active && m_Running.empty()) m_Running = RunningRevision();
  m_Slots[slot] = revision;
  m_LastReplaced = slot;
}

void SimNvmeDrive::Activate(int slot) {
  m_Active = slot;
  m_Pending = 0;
  m_Running = SlotRevision(slot);
}

NvmeCompletion SimNvmeDrive::Commit(std::uint32_t cdw10) {
  const int action = int((cdw10 >> 3) & 7);
  if (action > nvme::kReplaceActivateNow) return Status(nvme::kInvalidField);
  const int slot = (cdw10 & 7) ? int(cdw10 & 7) : ChosenSlot(action);
  if (slot > SlotCount()) return Status(nvme::kInvalidFirmwareSlot);
  if (action == nvme::kActivateAtReset) {
    if (SlotRevision(slot).empty()) return Status(nvme::kInvalidFirmwareImage);
    m_Pending = slot;
    return {};
  }
  if (SlotReadOnly(slot)) return Status(nvme::kInvalidFirmwareSlot);
  if (m_Image.empty()) return Status(nvme::kInvalidFirmwareImage);
  std::uint64_t received = 0;
  for (const auto& [begin, end] : m_Pieces) received += end - begin;
  const std::optional<SimFirmwareImageInfo> image =
      received == m_Image.size() ? ParseSimFirmwareImage(m_Image) : std::nullopt;
  m_Image.clear();
  m_Pieces.clear();
  if (!image || image->model != Trimmed(identity.model)) return Status(nvme::kInvalidFirmwareImage);
  Store(slot, image->revision);
  if (action == nvme::kReplace) return {};
  if (action == nvme::kReplaceActivateNow && (identity.frmw & nvme::kFrmwActivateWithoutReset)) {
    Activate(slot);
    return {};
  }
  m_Pending = slot;
  return action == nvme::kReplaceActivateNow ? Status(nvme::kResetRequired) : NvmeCompletion{};
}

}  // namespace sim
