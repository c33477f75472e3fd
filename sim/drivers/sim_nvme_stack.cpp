#include "sim/drivers/sim_nvme_stack.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "sim/drivers/sim_miniport_header.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

namespace query {  // STORAGE_PROPERTY_QUERY, STORAGE_PROTOCOL_SPECIFIC_DATA and the descriptor
constexpr std::size_t kPropertyId = 0, kQueryType = 4, kSpecific = 8;
// Within STORAGE_PROTOCOL_SPECIFIC_DATA.
constexpr std::size_t kProtocolType = 0, kDataType = 4, kRequestValue = 8, kRequestSubValue = 12,
                      kDataOffset = 16, kDataLength = 20, kFixedReturnData = 24, kSpecificSize = 40;
constexpr std::size_t kDescriptorSize = kSpecific + kSpecificSize;  // Version, Size, the data
constexpr std::uint32_t kAdapterProtocolSpecific = 49, kDeviceProtocolSpecific = 50;
constexpr std::uint32_t kStandardQuery = 0, kExistsQuery = 1;
constexpr std::uint32_t kProtocolNvme = 3;
constexpr std::uint32_t kIdentify = 1, kLogPage = 2, kFeature = 3;
}  // namespace query

namespace frb {  // FIRMWARE_REQUEST_BLOCK, after the header
constexpr std::size_t kVersion = 28, kSize = 32, kFunction = 36, kFlags = 40, kDataOffset = 44,
                      kDataLength = 48, kEnd = 52;
constexpr std::uint32_t kStructureVersion = 1, kStructureSize = 24;
constexpr std::uint32_t kFlagController = 1;  // FIRMWARE_REQUEST_FLAG_CONTROLLER
constexpr std::uint32_t kGetInfo = 1, kDownload = 2, kActivate = 3;
}  // namespace frb
namespace info {  // STORAGE_FIRMWARE_INFO and its slots
constexpr std::size_t kUpgradeSupport = 8, kSlotCount = 9, kActiveSlot = 10, kPendingSlot = 11,
                      kSize = 16, kSlotSize = 16, kSlotReadOnly = 1, kSlotRevision = 8;
}
namespace download {  // STORAGE_FIRMWARE_DOWNLOAD
constexpr std::size_t kOffset = 8, kBufferSize = 16, kImage = 24;
}
constexpr std::size_t kActivateSize = 12, kActivateSlot = 8;  // STORAGE_FIRMWARE_ACTIVATE
constexpr std::uint32_t kIOCTL_SCSI_MINIPORT_FIRMWARE = 0x001B0780;
constexpr std::uint8_t kNoPendingSlot = 0xFF;

NvmeSubmission Command(std::uint8_t opcode, std::uint32_t nsid, std::uint32_t cdw10,
                       std::uint32_t cdw11 = 0) {
  NvmeSubmission sqe = {};
  sqe[0] = opcode;
  fw::PutU32le(sqe, 4, nsid);
  fw::PutU32le(sqe, 40, cdw10);
  fw::PutU32le(sqe, 44, cdw11);
  return sqe;
}

// IOCTL_STORAGE_QUERY_PROPERTY for the NVMe protocol: the command runs on the drive, the data
// lands at ProtocolDataOffset from the specific data.
SimIoOutcome ProtocolQuery(SimNvmeDrive& drive, const SimNvmeStack& stack,
                           std::span<const std::uint8_t> in, std::uint8_t* out,
                           std::uint32_t outSize) {
  std::string journal = "IOCTL_STORAGE_QUERY_PROPERTY";
  if (in.size() < query::kDescriptorSize) return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  const std::uint32_t queryType = fw::GetU32le(in, query::kQueryType);
  const auto s = in.subspan(query::kSpecific, query::kSpecificSize);
  const std::uint32_t protocol = fw::GetU32le(s, query::kProtocolType);
  const std::uint32_t dataType = fw::GetU32le(s, query::kDataType);
  const std::uint32_t value = fw::GetU32le(s, query::kRequestValue);
  const std::uint32_t offset = fw::GetU32le(s, query::kDataOffset);
  const std::uint32_t length = fw::GetU32le(s, query::kDataLength);
  journal += " property " + std::to_string(fw::GetU32le(in, query::kPropertyId)) + " protocol " +
             std::to_string(protocol) + " type " + std::to_string(dataType) + " value " +
             std::to_string(value) + " offset " + std::to_string(offset) + " length " +
             std::to_string(length);
  if (stack.queryError) return Refuse(journal, stack.queryError);
  if (queryType == query::kExistsQuery) {
    SimIoOutcome o;
    o.journal = journal + " -> exists";
    return o;
  }
  if (queryType != query::kStandardQuery) return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  if (protocol != query::kProtocolNvme || dataType == query::kFeature)
    return Refuse(journal, os::kERROR_NOT_SUPPORTED);
  if ((dataType != query::kIdentify && dataType != query::kLogPage) ||
      offset < query::kSpecificSize || length < 4 ||
      (dataType == query::kIdentify && length < kNvmeIdentifySize))
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  const std::uint64_t needed = std::uint64_t(query::kSpecific) + offset + length;
  if (outSize < query::kDescriptorSize || outSize < needed)
    return Refuse(journal, os::kERROR_INSUFFICIENT_BUFFER);

  const NvmeSubmission sqe =
      dataType == query::kIdentify
          ? Command(nvme::kIdentify, fw::GetU32le(s, query::kRequestSubValue), value & 0xFF)
          : Command(nvme::kGetLogPage, 0xFFFFFFFF, (value & 0xFF) | (length / 4 - 1) << 16);
  std::vector<std::uint8_t> data(length, 0);
  const SimNvmeRun run = RunNvmeCommand(drive, "storage query", sqe, {}, data, 0);
  journal += " " + run.text;
  if (run.error) return Refuse(journal, run.error, run.elapsedUs);
  if (!run.completion.Ok()) return Refuse(journal, os::kERROR_IO_DEVICE, run.elapsedUs);

  std::span<std::uint8_t> o(out, outSize);
  std::fill_n(o.begin(), needed, std::uint8_t(0));
  fw::PutU32le(o, 0, query::kDescriptorSize);  // Version
  fw::PutU32le(o, 4, query::kDescriptorSize);  // Size
  std::copy(s.begin(), s.end(), o.begin() + query::kSpecific);
  fw::PutU32le(o, query::kSpecific + query::kFixedReturnData, run.completion.dw0);
  std::copy(data.begin(), data.end(), o.begin() + std::ptrdiff_t(query::kSpecific + offset));
  SimIoOutcome outcome;
  outcome.bytesReturned = std::uint32_t(needed);
  outcome.elapsedUs = run.elapsedUs;
  outcome.journal = journal;
  return outcome;
}

// STORAGE_FIRMWARE_INFO from the firmware slot log, as many slots as the buffer holds.
std::uint32_t FirmwareInfo(SimNvmeDrive& drive, const SimNvmeStack& stack,
                           std::span<std::uint8_t> d, std::uint32_t timeout, SimNvmeRun* run) {
  if (d.size() < info::kSize) return firmware_status::kInvalidParameter;
  std::array<std::uint8_t, nvme::kFirmwareSlotLogSize> log = {};
  *run = RunNvmeCommand(
      drive, "FIRMWARE",
      Command(nvme::kGetLogPage, 0xFFFFFFFF, nvme::kFirmwareSlotLog | (log.size() / 4 - 1) << 16),
      {}, log, timeout);
  if (run->error) return 0;
  if (!run->completion.Ok()) return FirmwareStatusOf(run->completion.status);
  const int slots = drive.SlotCount();
  std::fill(d.begin(), d.end(), std::uint8_t(0));
  fw::PutU32le(d, 0, 1);  // Version
  fw::PutU32le(d, 4, info::kSize);
  d[info::kUpgradeSupport] = stack.upgradeSupported && drive.firmwareUpdates;
  d[info::kSlotCount] = std::uint8_t(slots);
  d[info::kActiveSlot] = log[0] & 7;
  d[info::kPendingSlot] = (log[0] >> 4) & 7 ? (log[0] >> 4) & 7 : kNoPendingSlot;
  const std::size_t fits = (d.size() - info::kSize) / info::kSlotSize;
  for (int slot = 1; slot <= slots && std::size_t(slot) <= fits; ++slot) {
    std::uint8_t* e = &d[info::kSize + std::size_t(slot - 1) * info::kSlotSize];
    e[0] = std::uint8_t(slot);
    e[info::kSlotReadOnly] = drive.SlotReadOnly(slot);
    std::copy_n(&log[std::size_t(8 * slot)], 8, e + info::kSlotRevision);
  }
  return firmware_status::kSuccess;
}

// Whether FIRMWARE_REQUEST_BLOCK is one the driver takes, its function data inside the bytes
// it is handed and in what came in (for the slot information: in what goes back). An NVMe drive's
// firmware belongs to its controller: a request without FIRMWARE_REQUEST_FLAG_CONTROLLER would
// address the namespace, which has none.
bool RequestBlockValid(std::span<const std::uint8_t> b, std::size_t end, std::size_t inSize,
                       std::size_t outSize) {
  if (end < frb::kEnd) return false;
  const std::uint32_t function = fw::GetU32le(b, frb::kFunction);
  const std::uint32_t dataOffset = fw::GetU32le(b, frb::kDataOffset);
  const std::uint32_t dataLength = fw::GetU32le(b, frb::kDataLength);
  const std::size_t limit = std::min(end, function == frb::kGetInfo ? outSize : inSize);
  return fw::GetU32le(b, frb::kVersion) == frb::kStructureVersion &&
         fw::GetU32le(b, frb::kSize) == frb::kStructureSize && function >= frb::kGetInfo &&
         function <= frb::kActivate && (fw::GetU32le(b, frb::kFlags) & frb::kFlagController) &&
         dataOffset >= frb::kEnd && dataOffset <= limit && dataLength <= limit - dataOffset;
}

// IOCTL_SCSI_MINIPORT with the "FIRMWARE" signature.
SimIoOutcome Miniport(SimNvmeDrive& drive, const SimNvmeStack& stack,
                      std::span<const std::uint8_t> in, std::uint8_t* out, std::uint32_t outSize) {
  std::string journal = "IOCTL_SCSI_MINIPORT";
  if (stack.miniportError) return Refuse(journal, stack.miniportError);
  const SimMiniportHeader h = ReadMiniportHeader(in, outSize);
  if (!h.signature.empty()) journal += " " + Quoted(h.SignatureText());
  if (h.error) return Refuse(journal, h.error);
  if (outSize < srb::kSize) return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  if (!h.Signed("FIRMWARE") || h.controlCode != kIOCTL_SCSI_MINIPORT_FIRMWARE)
    return Refuse(journal, os::kERROR_INVALID_FUNCTION);

  std::vector<std::uint8_t> b = SystemBuffer(in, outSize);
  const std::size_t end = h.End();
  const std::uint32_t function = end >= frb::kEnd ? fw::GetU32le(b, frb::kFunction) : 0;
  journal += " function " + std::to_string(function);
  std::uint32_t returnCode = firmware_status::kSuccess;
  SimFirmwareStep step;
  const auto data = [&] {
    return std::span<std::uint8_t>(b).subspan(fw::GetU32le(b, frb::kDataOffset),
                                              fw::GetU32le(b, frb::kDataLength));
  };
  if (!RequestBlockValid(b, end, in.size(), outSize)) {
    returnCode = firmware_status::kInvalidParameter;
  } else if (function == frb::kGetInfo) {
    returnCode = FirmwareInfo(drive, stack, data(), h.timeout, &step.run);
  } else if (!stack.upgradeSupported) {
    returnCode = firmware_status::kIllegalRequest;
  } else if (function == frb::kDownload) {
    const std::span<const std::uint8_t> d = data();
    const std::uint64_t offset =
        d.size() >= download::kImage ? fw::GetU64le(d, download::kOffset) : 0;
    const std::uint64_t size =
        d.size() >= download::kImage ? fw::GetU64le(d, download::kBufferSize) : 0;
    journal += " offset " + std::to_string(offset) + " size " + std::to_string(size);
    if (d.size() < download::kImage || fw::GetU32le(d, 0) != 1 ||
        fw::GetU32le(d, 4) != download::kImage || size > d.size() - download::kImage) {
      returnCode = firmware_status::kInvalidParameter;
    } else {
      step = FirmwareDownload(drive, "FIRMWARE", offset,
                              d.subspan(download::kImage, std::size_t(size)), h.timeout);
      returnCode = step.returnCode;
    }
  } else {
    const std::span<const std::uint8_t> d = data();
    if (d.size() < kActivateSize || fw::GetU32le(d, 0) != 1 ||
        fw::GetU32le(d, 4) != kActivateSize) {
      returnCode = firmware_status::kInvalidParameter;
    } else {
      journal += " slot " + std::to_string(d[kActivateSlot]);
      step = FirmwareActivate(drive, "FIRMWARE", d[kActivateSlot], h.timeout);
      returnCode = step.returnCode;
    }
  }
  if (!step.run.text.empty()) journal += " " + step.run.text;
  if (step.run.error) return Refuse(journal, step.run.error, step.run.elapsedUs);
  fw::PutU32le(b, srb::kReturnCode, returnCode);
  if (returnCode) journal += " -> return code " + std::to_string(returnCode);
  SimIoOutcome o;
  o.elapsedUs = step.run.elapsedUs;
  o.bytesReturned = outSize;
  o.journal = journal;
  std::memcpy(out, b.data(), std::min<std::size_t>(outSize, b.size()));
  return o;
}

}  // namespace

std::uint32_t FirmwareStatusOf(std::uint16_t status) {
  switch (status) {
    case nvme::kSuccess:
      return firmware_status::kSuccess;
    case nvme::kResetRequired:
    case nvme::kSubsystemResetRequired:
    case nvme::kControllerResetRequired:
      return firmware_status::kPowerCycleRequired;
    case nvme::kInvalidFirmwareSlot:
      return firmware_status::kInvalidSlot;
    case nvme::kInvalidFirmwareImage:
      return firmware_status::kInvalidImage;
    case nvme::kInvalidField:
    case nvme::kOverlappingRange:
      return firmware_status::kInvalidParameter;
    case nvme::kInvalidOpcode:
      return firmware_status::kIllegalRequest;
    default:
      break;
  }
  const int type = status >> 8;
  if (type == 0) return firmware_status::kControllerError;  // generic: internal, transfer
  if (type == 2) return firmware_status::kDeviceError;      // media and data integrity
  return firmware_status::kError;
}

SimNvmeRun RunNvmeCommand(SimNvmeDrive& drive, const char* transport, const NvmeSubmission& sqe,
                          std::span<const std::uint8_t> dataIn, std::span<std::uint8_t> dataOut,
                          std::uint32_t timeoutSeconds) {
  SimNvmeRun run;
  run.text = NvmeCommandText(sqe);
  const std::optional<SimNvmeFault> fault = drive.TakeFault(sqe[0]);
  if (fault && fault->powerLoss) {
    drive.Reset();
    run.error = fault->windowsError ? fault->windowsError : os::kERROR_IO_DEVICE;
    run.elapsedUs = fault->delayUs;
    return run;
  }
  if (fault && fault->windowsError) {
    run.error = fault->windowsError;
    run.elapsedUs = fault->delayUs;
    return run;
  }
  run.completion = drive.AdminCommand(sqe, dataIn, dataOut, fault ? &*fault : nullptr);
  drive.Record({transport, sqe, {dataIn.begin(), dataIn.end()}, run.completion.status});
  run.elapsedUs = run.completion.durationUs;
  // The driver gives up on a command that outlasts the request's time-out.
  const std::uint64_t limitUs = std::uint64_t(timeoutSeconds) * 1'000'000;
  if (timeoutSeconds && run.elapsedUs > limitUs) {
    run.elapsedUs = limitUs;
    run.error = os::kERROR_SEM_TIMEOUT;
    return run;
  }
  run.text += " -> " + NvmeStatusText(run.completion.status);
  return run;
}

SimFirmwareStep FirmwareDownload(SimNvmeDrive& drive, const char* transport, std::uint64_t offset,
                                 std::span<const std::uint8_t> piece, std::uint32_t timeout) {
  SimFirmwareStep step;
  // The interface counts bytes, the drive dwords: a piece that is no whole number of dwords, or
  // lies beyond what a dword offset reaches, never reaches the drive.
  if (piece.empty() || piece.size() % 4 || offset % 4 || offset / 4 > 0xFFFFFFFFull ||
      piece.size() / 4 - 1 > 0xFFFFFFFFull) {
    step.returnCode = firmware_status::kInvalidParameter;
    return step;
  }
  const NvmeSubmission sqe =
      Command(nvme::kFirmwareImageDownload, 0, std::uint32_t(piece.size() / 4 - 1),
              std::uint32_t(offset / 4));
  step.run = RunNvmeCommand(drive, transport, sqe, piece, {}, timeout);
  step.returnCode = FirmwareStatusOf(step.run.completion.status);
  return step;
}

SimFirmwareStep FirmwareActivate(SimNvmeDrive& drive, const char* transport, std::uint8_t slot,
                                 std::uint32_t timeout) {
  SimFirmwareStep step;
  const int action = (drive.identity.frmw & nvme::kFrmwActivateWithoutReset)
                         ? nvme::kReplaceActivateNow
                     : drive.HasImage() ? nvme::kReplaceActivateAtReset
                                        : nvme::kActivateAtReset;
  const NvmeSubmission sqe =
      Command(nvme::kFirmwareCommit, 0, std::uint32_t((slot & 7) | action << 3));
  step.run = RunNvmeCommand(drive, transport, sqe, {}, {}, timeout);
  step.returnCode = FirmwareStatusOf(step.run.completion.status);
  // The image is in and waits for the reset: the caller has to power-cycle the drive.
  if (step.run.completion.Ok() && drive.PendingSlot())
    step.returnCode = firmware_status::kPowerCycleRequired;
  return step;
}

bool IsNvmeStackRequest(std::uint32_t code, std::span<const std::uint8_t> in) {
  if (code == os::kIOCTL_SCSI_MINIPORT) return true;
  if (code != os::kIOCTL_STORAGE_QUERY_PROPERTY || in.size() < 4) return false;
  const std::uint32_t property = fw::GetU32le(in, query::kPropertyId);
  return property == query::kAdapterProtocolSpecific || property == query::kDeviceProtocolSpecific;
}

SimIoOutcome NvmeStackIoControl(SimNvmeDrive& drive, const SimNvmeStack& stack, std::uint32_t code,
                                std::span<const std::uint8_t> in, std::uint8_t* out,
                                std::uint32_t outSize) {
  if (outSize && !out) return Refuse("request", os::kERROR_INVALID_USER_BUFFER);
  if (code == os::kIOCTL_SCSI_MINIPORT) return Miniport(drive, stack, in, out, outSize);
  return ProtocolQuery(drive, stack, in, out, outSize);
}

}  // namespace sim
