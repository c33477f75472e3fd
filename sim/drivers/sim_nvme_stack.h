// The inbox NVMe driver (stornvme) in front of an NVMe disk of the simulated PC: the
// protocol-specific storage query (IOCTL_STORAGE_QUERY_PROPERTY, IDENTIFY and log pages) and
// the miniport firmware interface (IOCTL_SCSI_MINIPORT "FIRMWARE": slot information, image
// download, activation). The pieces that carry a command to a SimNvmeDrive and that answer in
// FIRMWARE_STATUS terms are shared with the Intel RST driver (sim_irst).
//
// Requests are decoded from their bytes here, from the Windows layouts (ntddstor.h,
// ntddscsi.h), and never with the program's builders. The miniport's SRB_IO_CONTROL is read as
// every miniport's (sim_miniport_header.h); what the firmware interface itself refuses comes
// back in ReturnCode (FIRMWARE_STATUS_INVALID_PARAMETER for a malformed request block, one
// without FIRMWARE_REQUEST_FLAG_CONTROLLER, or function data past the header's Length).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "sim/drivers/sim_io_outcome.h"
#include "sim/drives/sim_nvme_drive.h"

namespace sim {

// What the inbox driver in front of an NVMe disk offers.
struct SimNvmeStack {
  // The storage query and the firmware interface. Left empty, a disk of bus type NVMe has them;
  // a RAID driver in front of an NVMe drive (bus type RAID) does not.
  std::optional<bool> inbox;
  bool upgradeSupported = true;     // STORAGE_FIRMWARE_INFO.UpgradeSupport
  std::uint32_t queryError = 0;     // the protocol-specific query fails with this Windows error
  std::uint32_t miniportError = 0;  // IOCTL_SCSI_MINIPORT fails with this Windows error
};

// FIRMWARE_STATUS_*, the ReturnCode of the miniport firmware interface (also Intel RST's).
namespace firmware_status {
inline constexpr std::uint32_t kSuccess = 0x00;
inline constexpr std::uint32_t kError = 0x01;
inline constexpr std::uint32_t kIllegalRequest = 0x02;
inline constexpr std::uint32_t kInvalidParameter = 0x03;
inline constexpr std::uint32_t kInvalidSlot = 0x06;
inline constexpr std::uint32_t kInvalidImage = 0x07;
inline constexpr std::uint32_t kControllerError = 0x10;
inline constexpr std::uint32_t kPowerCycleRequired = 0x20;
inline constexpr std::uint32_t kDeviceError = 0x40;
}  // namespace firmware_status

// The requests the inbox driver answers itself: the protocol-specific queries (property 49 or
// 50) and IOCTL_SCSI_MINIPORT.
bool IsNvmeStackRequest(std::uint32_t ioControlCode, std::span<const std::uint8_t> in);
SimIoOutcome NvmeStackIoControl(SimNvmeDrive& drive, const SimNvmeStack& stack,
                                std::uint32_t ioControlCode, std::span<const std::uint8_t> in,
                                std::uint8_t* out, std::uint32_t outSize);

// One admin command through a driver: the drive's fault, its record, the request's time-out
// (0: none). `text` is the command and its status for the journal.
struct SimNvmeRun {
  NvmeCompletion completion;
  std::uint32_t error = 0;  // the driver request fails with this Windows error
  std::uint64_t elapsedUs = 0;
  std::string text;
};
SimNvmeRun RunNvmeCommand(SimNvmeDrive& drive, const char* transport, const NvmeSubmission& sqe,
                          std::span<const std::uint8_t> dataIn, std::span<std::uint8_t> dataOut,
                          std::uint32_t timeoutSeconds);

// The firmware functions both firmware interfaces share, with their ReturnCode. The download
// piece goes to the drive as dwords; the activation commits with action 3 when the drive can
// activate without a reset, else with action 1 (an image is waiting) or 2 (none is).
struct SimFirmwareStep {
  SimNvmeRun run;
  std::uint32_t returnCode = firmware_status::kSuccess;
};
SimFirmwareStep FirmwareDownload(SimNvmeDrive& drive, const char* transport, std::uint64_t offset,
                                 std::span<const std::uint8_t> piece, std::uint32_t timeout);
SimFirmwareStep FirmwareActivate(SimNvmeDrive& drive, const char* transport, std::uint8_t slot,
                                 std::uint32_t timeout);
// The FIRMWARE_STATUS for a drive's completion status.
std::uint32_t FirmwareStatusOf(std::uint16_t nvmeStatus);

}  // namespace sim
