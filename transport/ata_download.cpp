// DOWNLOAD MICROCODE (92h): one attempt of writing a firmware image to a SATA drive, in the
// normal flow (03h segments, closed by 07h) or the enterprise flow (an optional 0Eh boot-code
// command, 0Eh segments, an optional 0Fh activation). The flash worker retries whole attempts
// and changes the segment size between them.
#include <cstring>
#include <functional>

#include "transport/ata_device.h"

namespace transport {
namespace {

constexpr std::uint8_t kCmdDownloadMicrocode = 0x92;
constexpr std::uint8_t kSubOffsets = 0x03;   // segments of the normal flow
constexpr std::uint8_t kSubClose = 0x07;     // closes the normal flow
constexpr std::uint8_t kSubDeferred = 0x0E;  // segments (and boot code) of the enterprise flow
constexpr std::uint8_t kSubActivate = 0x0F;  // activates what 0Eh saved

// Offsets of the non-data commands.
constexpr std::uint16_t kOffsetBootCode = 0x414C;
constexpr std::uint16_t kOffsetNoRestart = 0x0001;
constexpr std::uint16_t kOffsetRestart = 0x0000;

constexpr std::uint32_t kBlock = 512;
// The block count travels in the sector-count register alone; LBA low, its high byte, stays 0.
constexpr std::uint32_t kMaxSegmentBlocks = 255;
constexpr float kDownloadTimeoutSeconds = 60.0f;

constexpr std::int32_t kFlashModeNormal = 0;
constexpr std::int32_t kFlashModeEnterprise = 2;

// The sector count a segment answers with while the drive waits for the rest of an image.
constexpr std::uint8_t kMoreMicrocodeExpected = 0x01;

// The offset registers hold 16 bits; an image that fits the staging buffer never needs more.
static_assert(kResponseBufferSize / kBlock <= 0xFFFF);

constexpr std::size_t kIdentifyWord159Low = 318;

TaskFile DownloadRegisters(std::uint8_t subcommand, std::uint32_t count, std::uint32_t offset) {
  TaskFile tf = {};
  tf[reg::kFeatures] = subcommand;
  tf[reg::kCount] = std::uint8_t(count);
  tf[reg::kLbaMid] = std::uint8_t(offset);
  tf[reg::kLbaHigh] = std::uint8_t(offset >> 8);
  tf[reg::kCommand] = kCmdDownloadMicrocode;
  return tf;
}

// Pointers into different objects compare only through std::less.
bool Overlaps(const std::uint8_t* image, std::uint32_t length, const std::uint8_t* buffer,
              std::size_t size) {
  const std::less<const std::uint8_t*> before;
  return before(image, buffer + size) && before(buffer, image + length);
}

}  // namespace

bool TAtaDevice::IsEnterpriseFlashTarget() {
  if (IdentifyDevice() != ATACMD_OK) return false;
  const std::uint8_t flow = m_ResponseBuffer[kIdentifyWord159Low];
  return flow >= 1 && flow <= 7;
}

std::uint8_t TAtaDevice::DownloadMicrocode(const std::uint8_t* image, std::uint32_t length,
                                           std::uint32_t maxSectors, std::int32_t flashMode,
                                           std::uint8_t bootcode, std::uint8_t reboot) {
  if (!m_ResponseBuffer || !m_RequestBuffer) return ATACMD_FAIL;
  // Nothing goes out for a request the buffers cannot carry: a longer image would be staged past
  // ResponseBuffer, a larger segment would not fit its count register, and an image inside
  // ResponseBuffer is overwritten by the IDENTIFY that chooses the flow. An empty one would be
  // reported as a download although the drive received nothing.
  if (!image || length == 0 || length > kResponseBufferSize || maxSectors == 0 ||
      maxSectors > kMaxSegmentBlocks ||
      Overlaps(image, length, m_ResponseBuffer.get(), kResponseBufferSize))
    return ATACMD_FAIL;

  m_TimeoutSeconds = kDownloadTimeoutSeconds;
  const bool bEnterprise = IsEnterpriseFlashTarget() || flashMode == kFlashModeEnterprise;
  // The zeros after the image fill its last block.
  std::memset(m_ResponseBuffer.get(), 0, kResponseBufferSize);
  std::memcpy(m_ResponseBuffer.get(), image, length);

  if (bEnterprise) {
    if (bootcode) {
      const std::uint8_t result = SendDownloadControl(kSubDeferred, kOffsetBootCode);
      if (result != ATACMD_OK) return result;
    }
    const std::uint8_t result = SendDownloadSegments(kSubDeferred, length, maxSectors);
    if (result != ATACMD_OK || !reboot) return result;
    return SendDownloadControl(kSubActivate, 0);
  }
  const std::uint8_t result = SendDownloadSegments(kSubOffsets, length, maxSectors);
  if (result != ATACMD_OK) return result;
  // Without the closing command the last segment's answer is the drive's only word on the
  // image: a drive that still expects more microcode has not taken it.
  if (flashMode != kFlashModeNormal) {
    if (m_LastTaskFile[reg::kCount] != kMoreMicrocodeExpected) return ATACMD_OK;
    m_LastAtaStatus = m_LastTaskFile[reg::kCommand];  // what the failure text shows
    return ATACMD_ERR;
  }
  const std::uint16_t offset = bootcode == 1 ? kOffsetBootCode
                               : !reboot     ? kOffsetNoRestart
                                             : kOffsetRestart;
  return SendDownloadControl(kSubClose, offset);
}

std::uint8_t TAtaDevice::SendDownloadSegments(std::uint8_t subcommand, std::uint32_t length,
                                              std::uint32_t maxSectors) {
  const std::uint32_t sectors = (length + kBlock - 1) / kBlock;
  const std::uint32_t fullSegments = sectors / maxSectors;
  const std::uint32_t remainder = sectors % maxSectors;
  for (std::uint32_t i = 0; i < fullSegments; ++i) {
    const std::uint8_t result = SendDownloadSegment(subcommand, i * maxSectors, maxSectors);
    if (result != ATACMD_OK) return result;
  }
  if (!remainder) return ATACMD_OK;
  return SendDownloadSegment(subcommand, fullSegments * maxSectors, remainder);
}

std::uint8_t TAtaDevice::SendDownloadSegment(std::uint8_t subcommand, std::uint32_t offset,
                                             std::uint32_t count) {
  std::uint32_t bytes = count * kBlock;
  std::memcpy(m_RequestBuffer.get(), m_ResponseBuffer.get() + std::size_t(offset) * kBlock, bytes);
  TaskFile tf = DownloadRegisters(subcommand, count, offset);
  return AtaCommand(tf, m_RequestBuffer.get(), DATA_OUT, bytes);
}

std::uint8_t TAtaDevice::SendDownloadControl(std::uint8_t subcommand, std::uint16_t offset) {
  TaskFile tf = DownloadRegisters(subcommand, 0, offset);
  std::uint32_t length = 0;
  return AtaCommand(tf, nullptr, DATA_NONE, length);
}

}  // namespace transport
