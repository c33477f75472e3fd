// An NVMe SSD of the simulated PC, at the level of its admin queue: it takes a 64-byte
// submission queue entry and the data the host sent, and answers the completion (DW0 and the
// status) and the data it returns. The drivers of the simulated storage stack (the inbox NVMe
// driver's storage query and firmware interface, the Intel RST pass-through and firmware
// interface) deliver commands to it; none of them decides what the drive answers.
//
// It knows IDENTIFY (CNS 1), GET LOG PAGE of the firmware slot log, FIRMWARE IMAGE DOWNLOAD and
// FIRMWARE COMMIT, and keeps firmware slots: the revision in each, the active slot, the slot
// that becomes active at the next reset, and the image being assembled. Anything else answers
// Invalid Command Opcode.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/drives/sim_nvme_identity.h"

namespace sim {

using NvmeSubmission = std::array<std::uint8_t, 64>;

namespace nvme {
inline constexpr std::uint8_t kGetLogPage = 0x02;
inline constexpr std::uint8_t kIdentify = 0x06;
inline constexpr std::uint8_t kFirmwareCommit = 0x10;
inline constexpr std::uint8_t kFirmwareImageDownload = 0x11;
inline constexpr std::uint8_t kFirmwareSlotLog = 0x03;
inline constexpr std::size_t kFirmwareSlotLogSize = 512;
// Status as status code type << 8 | status code.
inline constexpr std::uint16_t kSuccess = 0x000;
inline constexpr std::uint16_t kInvalidOpcode = 0x001;
inline constexpr std::uint16_t kInvalidField = 0x002;
inline constexpr std::uint16_t kInternalError = 0x006;
inline constexpr std::uint16_t kInvalidFirmwareSlot = 0x106;
inline constexpr std::uint16_t kInvalidFirmwareImage = 0x107;
inline constexpr std::uint16_t kInvalidLogPage = 0x109;
inline constexpr std::uint16_t kResetRequired = 0x10B;  // conventional reset
inline constexpr std::uint16_t kSubsystemResetRequired = 0x110;
inline constexpr std::uint16_t kControllerResetRequired = 0x111;
inline constexpr std::uint16_t kActivationProhibited = 0x113;
inline constexpr std::uint16_t kOverlappingRange = 0x114;
// FRMW bits.
inline constexpr std::uint8_t kFrmwSlot1ReadOnly = 0x01;
inline constexpr std::uint8_t kFrmwActivateWithoutReset = 0x10;
// Commit actions.
inline constexpr int kReplace = 0, kReplaceActivateAtReset = 1, kActivateAtReset = 2,
                     kReplaceActivateNow = 3;
}  // namespace nvme

struct NvmeCompletion {
  std::uint32_t dw0 = 0;
  std::uint16_t status = nvme::kSuccess;  // SCT << 8 | SC
  std::uint64_t durationUs = 0;
  bool Ok() const { return status == nvme::kSuccess; }
};

// Something that goes wrong with commands. It hits the matching commands after the first
// `skip` of them, `times` times (-1: always).
struct SimNvmeFault {
  std::optional<std::uint8_t> opcode;  // only this opcode; any when empty
  int skip = 0;
  int times = 1;
  // What happens, in this order of precedence:
  bool powerLoss = false;          // the drive loses power: it resets, and the request fails with
                                   // windowsError, else ERROR_IO_DEVICE
  std::uint32_t windowsError = 0;  // the driver request fails; the drive sees nothing
  std::optional<std::uint16_t> status;  // the drive completes with this status, doing nothing
  std::uint64_t delayUs = 0;            // the command takes this long (with any outcome)
};

// One command as the drive received it, for tests to compare with what the program meant.
struct SimNvmeRecord {
  std::string transport;  // "storage query", "FIRMWARE", "IntelNvm", "IntelFw"
  NvmeSubmission command = {};
  std::vector<std::uint8_t> data;  // what the host sent
  std::uint16_t status = 0;
};

class SimNvmeDrive {
 public:
  SimNvmeIdentity identity;
  bool firmwareUpdates = true;  // OACS bit 2: the drive takes the two firmware commands
  std::vector<SimNvmeFault> faults;

  // The fault that takes a command with this opcode, counted as used.
  std::optional<SimNvmeFault> TakeFault(std::uint8_t opcode);
  // Runs one admin command; a fault from TakeFault replaces the answer and adds its delay.
  // `dataIn` is what the host sent, `dataOut` where the drive's data goes.
  NvmeCompletion AdminCommand(std::span<const std::uint8_t, 64> sqe,
                              std::span<const std::uint8_t> dataIn, std::span<std::uint8_t> dataOut,
                              const SimNvmeFault* fault = nullptr);
  // A controller reset or power cycle: the pending slot becomes the active one, and a partly
  // received image is lost.
  void Reset();
  void Record(SimNvmeRecord record) { m_Records.push_back(std::move(record)); }

  // The slots, numbered from 1. An active slot with no revision set runs identity.firmware.
  int SlotCount() const { return NvmeSlotCount(identity.frmw); }
  bool SlotReadOnly(int slot) const { return slot == 1 && (identity.frmw & 1); }
  // How the drive left the factory, or was left by an earlier update.
  void SetSlotRevision(int slot, std::string revision);
  void SetActiveSlot(int slot);
  void SetPendingSlot(int slot) { m_Pending = slot; }
  std::string SlotRevision(int slot) const;  // empty: no image in it
  std::vector<std::string> SlotRevisions() const;
  int ActiveSlot() const { return m_Active; }
  int PendingSlot() const { return m_Pending; }  // 0: none
  // What IDENTIFY reports: the revision activated last, which a commit that replaces the active
  // slot's image without activating it does not change.
  std::string RunningRevision() const;
  // An image has been (or is being) downloaded since the last commit that took one.
  bool HasImage() const { return !m_Image.empty(); }
  int Resets() const { return m_Resets; }
  const std::vector<SimNvmeRecord>& Records() const { return m_Records; }

  NvmeIdentifyData IdentifyController() const;
  std::array<std::uint8_t, nvme::kFirmwareSlotLogSize> FirmwareSlotLog() const;

 private:
  NvmeCompletion Identify(std::uint32_t cdw10, std::span<std::uint8_t> out) const;
  NvmeCompletion GetLogPage(std::uint32_t cdw10, std::uint32_t cdw11,
                            std::span<std::uint8_t> out) const;
  NvmeCompletion Download(std::uint32_t cdw10, std::uint32_t cdw11,
                          std::span<const std::uint8_t> in);
  NvmeCompletion Commit(std::uint32_t cdw10);
  int ChosenSlot(int action) const;
  void Store(int slot, const std::string& revision);
  void Activate(int slot);

  std::map<int, std::string> m_Slots;
  int m_Active = 1;
  int m_Pending = 0;
  int m_LastReplaced = 0;
  std::string m_Running;              // empty: the active slot's revision
  std::vector<std::uint8_t> m_Image;  // as assembled so far
  std::vector<std::pair<std::uint64_t, std::uint64_t>> m_Pieces;  // [begin, end) received
  int m_Resets = 0;
  std::vector<SimNvmeRecord> m_Records;
};

// A journal text for a command: "opcode 11 nsid 0 cdw10 000003FF cdw11 00000000", in hex.
std::string NvmeCommandText(std::span<const std::uint8_t, 64> sqe);
// "status 114".
std::string NvmeStatusText(std::uint16_t status);

}  // namespace sim
