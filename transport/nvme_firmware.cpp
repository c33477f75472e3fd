// NVMe firmware: the slot information, the image download in chunks and the activation,
// through the Windows miniport firmware interface of the inbox driver or through the Intel RST
// driver's firmware interface. Both run on the flash worker, which owns the retries.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "framework/bytes.h"
#include "transport/ata_device.h"
#include "transport/miniport_request.h"
#include "transport/nvme_request_block.h"
#include "transport/nvme_requests.h"
#include "transport/srb_io_control.h"

namespace transport {

using namespace nvme;

namespace {

namespace srb = os::layout::srb_io_control;
namespace frb = os::layout::firmware_request_block;
namespace irst_fw = os::layout::irst_fw;

std::uint32_t ChunkSize(bool use16KiB) {
  return use16KiB ? kChunkLarge : kChunkSmall;
}

std::uint32_t ReturnCode(std::span<const std::uint8_t> block) {
  return fw::GetU32le(block, srb::kReturnCode);
}

// The drive has judged the image or the slot: only these two mean the image is in and will
// run. Any other status is final, and repeating the request would not change it.
bool ActivationAccepted(std::uint32_t returnCode) {
  return returnCode == os::kFIRMWARE_STATUS_SUCCESS ||
         returnCode == os::kFIRMWARE_STATUS_POWER_CYCLE_REQUIRED;
}

// One request per chunk, each written by `fill` into the cleared block; the first that fails or
// that the driver does not answer with ReturnCode 0 ends the download. Chunks already sent
// stay sent.
template <typename Fill>
bool SendChunks(NvmeRequestBlock& block, os::Handle handle, std::uint32_t size, std::uint32_t chunk,
                Fill fill) {
  for (std::uint64_t offset = 0; offset < size; offset += chunk) {
    block.Clear();
    fill(offset);
    if (!block.Send(handle) || ReturnCode(block.Bytes()) != 0) return false;
  }
  return true;
}

// Sends the activation block that `fill` writes, again at once when the call itself fails.
template <typename Fill>
bool Activate(NvmeRequestBlock& block, os::Handle handle, Fill fill) {
  for (int attempt = 0; attempt < kActivationAttempts; ++attempt) {
    block.Clear();
    fill(block.Bytes());
    if (block.Send(handle)) return ActivationAccepted(ReturnCode(block.Bytes()));
  }
  return false;
}

void PutMiniportRequest(std::span<std::uint8_t> b, std::uint32_t function) {
  namespace m = miniport_fw;
  PutSrbHeader(b, os::kIOCTL_MINIPORT_SIGNATURE_FIRMWARE, m::kTimeoutSeconds,
               os::kIOCTL_SCSI_MINIPORT_FIRMWARE, 0, std::uint32_t(b.size() - srb::kSize));
  const std::span<std::uint8_t> rb = b.subspan(m::kRequestBlock);
  fw::PutU32le(rb, frb::kVersion, os::kFIRMWARE_REQUEST_BLOCK_STRUCTURE_VERSION);
  fw::PutU32le(rb, frb::kSize, std::uint32_t(frb::kStructSize));
  fw::PutU32le(rb, frb::kFunction, function);
  fw::PutU32le(rb, frb::kFlags, os::kFIRMWARE_REQUEST_FLAG_CONTROLLER);
  fw::PutU32le(rb, frb::kDataBufferOffset, std::uint32_t(m::kData));
  fw::PutU32le(rb, frb::kDataBufferLength, std::uint32_t(b.size() - m::kData));
}

void PutIrstRequest(std::span<std::uint8_t> b, std::uint32_t function, std::uint8_t pathId,
                    std::uint8_t targetId, std::uint8_t lun) {
  namespace r = irst_fw;
  PutSrbHeader(b, r::kSignature, kIrstFirmwareTimeoutSeconds, r::kControlCode, 0,
               std::uint32_t(b.size() - srb::kSize));
  b[r::kVersion] = 1;
  b[r::kPathId] = pathId;
  b[r::kTargetId] = targetId;
  b[r::kLun] = lun;
  fw::PutU32le(b, r::kRequestVersion, 1);
  fw::PutU32le(b, r::kRequestSize, r::kRequestBlockSize);
  fw::PutU32le(b, r::kFunction, function);
  fw::PutU32le(b, r::kFlags, 1);
  fw::PutU32le(b, r::kDataOffset, std::uint32_t(r::kData));
  fw::PutU32le(b, r::kDataLength, std::uint32_t(b.size() - r::kData));
}

// The inbox slot choice: the requested slot when the drive has that many and may write it, else
// its first writable slot; none when it cannot be upgraded. Slot 0 leaves the choice to the
// controller. A read-only slot (the factory image in slot 1) refuses only the commit, after the
// whole image has gone over, so it is passed over here; the driver lists the slots in ascending
// order, so the first writable entry is also the lowest writable slot.
std::optional<std::uint8_t> ChooseInboxSlot(std::span<const std::uint8_t> info,
                                            std::uint32_t requestedSlot) {
  namespace i = os::layout::storage_firmware_info;
  if (!info[i::kUpgradeSupport]) return std::nullopt;
  const std::uint32_t count = info[i::kSlotCount];
  // Only the entries the driver could return within the block.
  const std::size_t entries =
      std::min<std::size_t>(count, (info.size() - i::kSlots) / i::kSlotSize);
  const auto entry = [&](std::size_t e) { return info.subspan(i::kSlots + e * i::kSlotSize); };
  const auto readOnly = [&](std::uint32_t slotNumber) {
    for (std::size_t e = 0; e < entries; ++e)
      if (entry(e)[i::kSlotNumber] == slotNumber) return entry(e)[i::kSlotReadOnly] != 0;
    return false;
  };
  if (count >= requestedSlot && (requestedSlot == 0 || !readOnly(requestedSlot)))
    return std::uint8_t(requestedSlot);
  for (std::size_t e = 0; e < entries; ++e)
    if (!entry(e)[i::kSlotReadOnly]) return entry(e)[i::kSlotNumber];
  return std::nullopt;
}

}  // namespace

bool TAtaDevice::DeviceGetFirmwareInfo(std::uint8_t* block, std::uint32_t blockSize,
                                       bool /*verbose*/) {
  if (!block || blockSize < miniport_fw::kData) return false;
  const std::span<std::uint8_t> b(block, blockSize);
  PutMiniportRequest(b, os::kFIRMWARE_FUNCTION_GET_INFO);
  return SendMiniportRequest(m_Handle, b, &m_LastOsError);
}

bool TAtaDevice::NvmeFirmwareUpgrade(const std::uint8_t* image, std::uint32_t size, bool use16KiB,
                                     std::uint32_t commitAction, std::uint32_t requestedSlot) {
  namespace m = miniport_fw;
  namespace download = os::layout::storage_firmware_download;
  namespace activate = os::layout::storage_firmware_activate;
  if (!image || size == 0) return false;
  const std::uint32_t chunk = ChunkSize(use16KiB);
  NvmeRequestBlock block(m::kData + download::kImage + chunk);
  if (!block) return false;
  const std::span<std::uint8_t> b = block.Bytes();

  if (!DeviceGetFirmwareInfo(b.data(), std::uint32_t(b.size()), false) || ReturnCode(b) != 0)
    return false;
  const std::optional<std::uint8_t> slot = ChooseInboxSlot(b.subspan(m::kData), requestedSlot);
  if (!slot) return false;

  const bool sent = SendChunks(block, m_Handle, size, chunk, [&](std::uint64_t offset) {
    PutMiniportRequest(b, os::kFIRMWARE_FUNCTION_DOWNLOAD);
    const std::span<std::uint8_t> data = b.subspan(m::kData);
    fw::PutU32le(data, download::kVersion, download::kStructVersion);
    fw::PutU32le(data, download::kSize, download::kStructSize);
    fw::PutU64le(data, download::kOffset, offset);
    fw::PutU64le(data, download::kBufferSize, chunk);
    std::memcpy(&data[download::kImage], image + offset, chunk);
  });
  if (block.LastError()) m_LastOsError = block.LastError();
  if (!sent) return false;

  const bool activated = Activate(block, m_Handle, [&](std::span<std::uint8_t> a) {
    PutMiniportRequest(a, os::kFIRMWARE_FUNCTION_ACTIVATE);
    const std::span<std::uint8_t> data = a.subspan(m::kData);
    fw::PutU32le(data, activate::kVersion, commitAction);
    fw::PutU32le(data, activate::kSize, activate::kStructSize);
    data[activate::kSlotToActivate] = *slot;
  });
  if (block.LastError()) m_LastOsError = block.LastError();
  return activated;
}

bool TAtaDevice::IrstNvmeFirmwareUpgrade(std::uint8_t pathId, std::uint8_t targetId,
                                         std::uint8_t lun, const std::uint8_t* image,
                                         std::uint32_t size, bool use16KiB,
                                         std::uint32_t requestedSlot) {
  namespace r = irst_fw;
  if (!image || size == 0) return false;
  const std::uint32_t chunk = ChunkSize(use16KiB);
  NvmeRequestBlock block(r::kData + r::download::kImage + chunk);
  if (!block) return false;
  const std::span<std::uint8_t> b = block.Bytes();

  std::array<std::uint8_t, kIrstResultSize> result{};
  if (!Send_IRST_NVME_PASS_THROUTH(pathId, NvmeIdentifyControllerCommand(), nullptr,
                                   std::uint32_t(kIdentifySize), false, result.data(), 30,
                                   kNvmeFromDevice))
    return false;
  const std::uint8_t frmw = m_ResponseBuffer[kIdentifyFrmw];
  const std::uint32_t slots = (frmw >> 1) & 7;
  std::uint32_t slot = requestedSlot;
  if (slots < requestedSlot) {
    slot = 1;
    // Only slot 1 can be read-only, so slot 2 is the lowest writable one when the drive has it.
    // A read-only slot refuses the commit only after the whole image has gone over.
    if (frmw & 1) {
      if (slots < 2) return false;
      slot = 2;
    }
  } else if (requestedSlot == 1 && (frmw & 1)) {
    slot = 2;
  }

  const bool sent = SendChunks(block, m_Handle, size, chunk, [&](std::uint64_t offset) {
    PutIrstRequest(b, 2, pathId, targetId, lun);
    const std::span<std::uint8_t> data = b.subspan(r::kData);
    fw::PutU32le(data, r::download::kVersion, r::download::kStructVersion);
    fw::PutU32le(data, r::download::kSize, r::download::kStructSize);
    fw::PutU64le(data, r::download::kOffset, offset);
    fw::PutU64le(data, r::download::kBufferSize, chunk);
    data[r::download::kSlot] = r::download::kAnySlot;
    std::memcpy(&data[r::download::kImage], image + offset, chunk);
  });
  if (block.LastError()) m_LastOsError = block.LastError();
  if (!sent) return false;

  const bool activated = Activate(block, m_Handle, [&](std::span<std::uint8_t> a) {
    PutIrstRequest(a, 3, pathId, targetId, lun);
    const std::span<std::uint8_t> data = a.subspan(r::kData);
    fw::PutU32le(data, r::activate::kVersion, r::activate::kStructVersion);
    fw::PutU32le(data, r::activate::kSize, r::activate::kStructSize);
    data[r::activate::kSlot] = std::uint8_t(slot);
  });
  if (block.LastError()) m_LastOsError = block.LastError();
  return activated;
}

}  // namespace transport
