#include "sim/drivers/sim_irst.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "sim/drivers/sim_miniport_header.h"
#include "sim/drivers/sim_nvme_stack.h"

namespace sim {
namespace {

namespace pt {  // the "IntelNvm" pass-through block
constexpr std::size_t kVersion = 28, kPath = 29, kTarget = 30, kLun = 31, kCommand = 32,
                      kIoCommandSet = 96, kDw0 = 100, kDw1 = 104, kSqHead = 108, kSqId = 110,
                      kCommandId = 112, kStatus = 114, kDataOffset = 116, kDataLength = 120,
                      kData = 168;
constexpr std::uint32_t kControlCode = 0xF0002808;
}  // namespace pt
namespace fwr {  // the "IntelFw " firmware block
constexpr std::size_t kVersion = 28, kPath = 29, kTarget = 30, kLun = 31, kRequestVersion = 32,
                      kRequestSize = 36, kFunction = 40, kFlags = 44, kDataOffset = 48,
                      kDataLength = 52, kData = 56;
constexpr std::uint32_t kControlCode = 0xF0000040;
constexpr std::uint32_t kDownload = 2, kActivate = 3;
constexpr std::uint32_t kFlagController = 1;
// Within the function data.
constexpr std::size_t kDownloadOffset = 8, kDownloadSize = 16, kDownloadSlot = 24,
                      kDownloadImage = 32, kActivateSize = 12, kActivateSlot = 8;
// A download carries no slot in NVMe (the commit names it): the driver takes only "any".
constexpr std::uint8_t kAnySlot = 0xFF;
}  // namespace fwr
constexpr std::uint32_t kERROR_DEV_NOT_EXIST = 55;

// The NVMe drive of an attached disk on the port at path, target and LUN.
SimNvmeDrive* Target(const SimIrstController& c, const SimDeviceTree& devices, std::uint8_t path,
                     std::uint8_t target, std::uint8_t lun) {
  for (const SimDevice& d : devices.Devices()) {
    if (!d.disk || !d.disk->nvme || !d.disk->scsiAddress || !devices.Attached(d)) continue;
    const auto& a = *d.disk->scsiAddress;
    if (a[0] == c.port && a[1] == path && a[2] == target && a[3] == lun) return d.disk->nvme.get();
  }
  return nullptr;
}

SimIoOutcome Answer(std::vector<std::uint8_t>& b, std::string journal, std::uint64_t elapsedUs,
                    std::uint8_t* out, std::uint32_t outSize) {
  SimIoOutcome o;
  o.elapsedUs = elapsedUs;
  o.bytesReturned = std::uint32_t(std::min<std::size_t>(outSize, b.size()));
  o.journal = std::move(journal);
  std::memcpy(out, b.data(), o.bytesReturned);
  return o;
}

// "IntelNvm": one NVMe command, its completion entry written back into the block. The data
// direction is the command's own (opcode bits 1:0), as the NVMe driver reads it. The block and
// its data lie within the bytes the header's Length hands over.
SimIoOutcome PassThrough(const SimIrstController& c, const SimDeviceTree& devices,
                         const SimMiniportHeader& h, std::span<const std::uint8_t> in,
                         std::uint8_t* out, std::uint32_t outSize) {
  std::string journal = "IOCTL_SCSI_MINIPORT \"IntelNvm\"";
  if (in.size() < pt::kData || outSize < pt::kData)
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  const std::uint32_t offset = fw::GetU32le(in, pt::kDataOffset);
  const std::uint32_t length = fw::GetU32le(in, pt::kDataLength);
  NvmeSubmission sqe;
  std::copy_n(in.begin() + pt::kCommand, sqe.size(), sqe.begin());
  const int direction = sqe[0] & 3;  // 1 to the drive, 2 from it
  journal += " path " + std::to_string(in[pt::kPath]) + " " + NvmeCommandText(sqe) + " length " +
             std::to_string(length);
  if (h.error) return Refuse(journal, h.error);
  if (h.controlCode != pt::kControlCode) return Refuse(journal, os::kERROR_INVALID_FUNCTION);
  const std::size_t limit = std::min(h.End(), direction == 2 ? std::size_t(outSize) : in.size());
  if (h.End() < pt::kData || in[pt::kVersion] != 1 || offset < pt::kData || direction == 3 ||
      (length && direction && (offset > limit || length > limit - offset)))
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  const std::string version = IrstDriverVersion(c, devices);
  if (!DriverVersionAtLeast(version, kIrstPassThroughMajor, kIrstPassThroughMinor))
    return Refuse(journal + " driver " + version, os::kERROR_INVALID_FUNCTION);
  if (c.passThroughError) return Refuse(journal, c.passThroughError);
  SimNvmeDrive* drive = Target(c, devices, in[pt::kPath], in[pt::kTarget], in[pt::kLun]);
  if (!drive) return Refuse(journal, kERROR_DEV_NOT_EXIST);

  std::vector<std::uint8_t> b = SystemBuffer(in, outSize);
  SimNvmeRun run;
  if (in[pt::kIoCommandSet]) {  // no I/O queue command is modelled
    run.completion.status = nvme::kInvalidOpcode;
    run.text = "I/O command -> " + NvmeStatusText(run.completion.status);
  } else {
    std::vector<std::uint8_t> data(direction == 2 ? length : 0, 0);
    const auto sent = direction == 1 ? std::span<const std::uint8_t>(b).subspan(offset, length)
                                     : std::span<const std::uint8_t>();
    run = RunNvmeCommand(*drive, "IntelNvm", sqe, sent, data, h.timeout);
    std::copy(data.begin(), data.end(), b.begin() + offset);
  }
  journal += " " + run.text;
  if (run.error) return Refuse(journal, run.error, run.elapsedUs);
  const std::uint16_t status = run.completion.status;
  fw::PutU32le(b, pt::kDw0, run.completion.dw0);
  fw::PutU32le(b, pt::kDw1, 0);
  fw::PutU16le(b, pt::kSqHead, 1);
  fw::PutU16le(b, pt::kSqId, 0);
  fw::PutU16le(b, pt::kCommandId, fw::GetU16le(sqe, 2));
  fw::PutU16le(b, pt::kStatus, std::uint16_t(1 | (status & 0xFF) << 1 | ((status >> 8) & 7) << 9));
  fw::PutU32le(b, srb::kReturnCode, 0);
  return Answer(b, journal, run.elapsedUs, out, outSize);
}

// Whether the "IntelFw " request block is one the driver takes, its function data inside the
// bytes the header hands over. The flags say the request is the controller's, as
// FIRMWARE_REQUEST_FLAG_CONTROLLER does in the Windows interface.
bool FirmwareBlockValid(std::span<const std::uint8_t> b, std::size_t end) {
  if (end < fwr::kData) return false;
  const std::uint32_t offset = fw::GetU32le(b, fwr::kDataOffset);
  const std::uint32_t length = fw::GetU32le(b, fwr::kDataLength);
  return b[fwr::kVersion] == 1 && fw::GetU32le(b, fwr::kRequestVersion) == 1 &&
         fw::GetU32le(b, fwr::kRequestSize) == 24 &&
         (fw::GetU32le(b, fwr::kFlags) & fwr::kFlagController) && offset >= fwr::kData &&
         offset <= end && length <= end - offset;
}

// "IntelFw ": download and activation, answered in the miniport firmware interface's
// ReturnCode values.
SimIoOutcome Firmware(const SimIrstController& c, const SimDeviceTree& devices,
                      const SimMiniportHeader& h, std::span<const std::uint8_t> in,
                      std::uint8_t* out, std::uint32_t outSize) {
  std::string journal = "IOCTL_SCSI_MINIPORT \"IntelFw \"";
  if (in.size() < fwr::kData || outSize < srb::kSize)
    return Refuse(journal, os::kERROR_INVALID_PARAMETER);
  const std::uint32_t function = fw::GetU32le(in, fwr::kFunction);
  journal += " path " + std::to_string(in[fwr::kPath]) + " target " +
             std::to_string(in[fwr::kTarget]) + " lun " + std::to_string(in[fwr::kLun]) +
             " function " + std::to_string(function);
  if (h.error) return Refuse(journal, h.error);
  if (h.controlCode != fwr::kControlCode) return Refuse(journal, os::kERROR_INVALID_FUNCTION);
  if (c.firmwareError) return Refuse(journal, c.firmwareError);
  SimNvmeDrive* drive = Target(c, devices, in[fwr::kPath], in[fwr::kTarget], in[fwr::kLun]);
  if (!drive) return Refuse(journal, kERROR_DEV_NOT_EXIST);

  std::vector<std::uint8_t> b = SystemBuffer(in, outSize);
  SimFirmwareStep step;
  step.returnCode = firmware_status::kInvalidParameter;
  const bool bBlock = FirmwareBlockValid(b, std::min(h.End(), in.size()));
  const auto d = bBlock ? std::span<const std::uint8_t>(b).subspan(
                              fw::GetU32le(b, fwr::kDataOffset), fw::GetU32le(b, fwr::kDataLength))
                        : std::span<const std::uint8_t>();
  if (bBlock && function == fwr::kDownload && d.size() >= fwr::kDownloadImage &&
      fw::GetU32le(d, 0) == 2 && fw::GetU32le(d, 4) == fwr::kDownloadImage) {
    const std::uint64_t at = fw::GetU64le(d, fwr::kDownloadOffset);
    const std::uint64_t size = fw::GetU64le(d, fwr::kDownloadSize);
    journal += " offset " + std::to_string(at) + " size " + std::to_string(size) + " slot " +
               std::to_string(d[fwr::kDownloadSlot]);
    if (size <= d.size() - fwr::kDownloadImage && d[fwr::kDownloadSlot] == fwr::kAnySlot)
      step = FirmwareDownload(*drive, "IntelFw", at,
                              d.subspan(fwr::kDownloadImage, std::size_t(size)), h.timeout);
  } else if (bBlock && function == fwr::kActivate && d.size() >= fwr::kActivateSize &&
             fw::GetU32le(d, 0) == 1 && fw::GetU32le(d, 4) == fwr::kActivateSize) {
    journal += " slot " + std::to_string(d[fwr::kActivateSlot]);
    step = FirmwareActivate(*drive, "IntelFw", d[fwr::kActivateSlot], h.timeout);
  }
  if (!step.run.text.empty()) journal += " " + step.run.text;
  if (step.run.error) return Refuse(journal, step.run.error, step.run.elapsedUs);
  fw::PutU32le(b, srb::kReturnCode, step.returnCode);
  if (step.returnCode) journal += " -> return code " + std::to_string(step.returnCode);
  return Answer(b, journal, step.run.elapsedUs, out, outSize);
}

}  // namespace

bool DriverVersionAtLeast(const std::string& version, int major, int minor) {
  const char* text = version.c_str();
  char* end = nullptr;
  if (*text < '0' || *text > '9') return false;  // unknown: no driver that can
  const long got = std::strtol(text, &end, 10);
  const long gotMinor =
      *end == '.' && end[1] >= '0' && end[1] <= '9' ? std::strtol(end + 1, nullptr, 10) : 0;
  return got > major || (got == major && gotMinor >= minor);
}

std::string IrstDriverVersion(const SimIrstController& c, const SimDeviceTree& devices) {
  if (!c.driverVersion.empty()) return c.driverVersion;
  if (!c.instanceId.empty()) {
    const SimDevice* d = devices.Find(c.instanceId);
    return d ? d->driverVersion : "";
  }
  for (const SimDevice& d : devices.Devices())
    if (d.disk && d.disk->scsiAddress && (*d.disk->scsiAddress)[0] == c.port)
      if (const SimDevice* parent = devices.Find(d.parent)) return parent->driverVersion;
  return "";
}

bool IsIrstRequest(std::span<const std::uint8_t> in) {
  return in.size() >= srb::kSize &&
         (MiniportSigned(in, "IntelNvm") || MiniportSigned(in, "IntelFw "));
}

SimIoOutcome IrstIoControl(const SimIrstController& c, const SimDeviceTree& devices,
                           std::uint32_t code, std::span<const std::uint8_t> in, std::uint8_t* out,
                           std::uint32_t outSize) {
  if (code != os::kIOCTL_SCSI_MINIPORT || !IsIrstRequest(in))
    return Refuse("request", os::kERROR_INVALID_FUNCTION);
  if (outSize && !out) return Refuse("request", os::kERROR_INVALID_USER_BUFFER);
  const SimMiniportHeader h = ReadMiniportHeader(in, outSize);
  return h.Signed("IntelNvm") ? PassThrough(c, devices, h, in, out, outSize)
                              : Firmware(c, devices, h, in, out, outSize);
}

}  // namespace sim
