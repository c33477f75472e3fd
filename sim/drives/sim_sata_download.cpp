// DOWNLOAD MICROCODE (92h) as the simulated SATA drive takes it. The block count is the
// sector-count register with LBA low above it, the block offset LBA mid and high.
//
// Segments (03h, and 0Eh of the enterprise flow) arrive at contiguous offsets from 0; offset 0
// starts a new image. A segment outside the IDENTIFY words 234/235 limits, at another offset than
// the next one, of the other subcommand than the image's, or past the end of the image aborts
// and discards what was received. The drive reads the image's length from its header, as real
// drives read theirs, and so knows which segment is the last; the last one answers 02h (03h: taken,
// runs after 07h or a reset) or 03h (0Eh: saved, waits for 0Fh), the others 01h. An image that is
// not intact or meant for another model is refused with its last segment.
//
// The non-data commands: 07h closes the normal flow, offset 0000h activating the taken image at
// once, 0001h leaving it for the next reset, 414Ch writing the boot code with it for the next
// reset; 0Eh at offset 414Ch asks for the boot code with the 0Eh image that follows; 0Fh at offset
// 0 activates the saved image. Activation resets the drive, which then reports the new revision.
#include <algorithm>
#include <optional>
#include <utility>

#include "os/layouts/winerror.h"
#include "sim/drives/sim_ata_answer.h"
#include "sim/drives/sim_firmware_image.h"
#include "sim/drives/sim_sata_drive.h"

namespace sim {
namespace {

constexpr std::uint8_t kSubOffsets = 0x03;
constexpr std::uint8_t kSubClose = 0x07;
constexpr std::uint8_t kSubDeferred = 0x0E;
constexpr std::uint8_t kSubActivate = 0x0F;

constexpr std::uint32_t kOffsetRestart = 0x0000;
constexpr std::uint32_t kOffsetNoRestart = 0x0001;
constexpr std::uint32_t kOffsetBootCode = 0x414C;

// The sector count after a segment.
constexpr std::uint8_t kMoreExpected = 0x01;
constexpr std::uint8_t kApplied = 0x02;
constexpr std::uint8_t kSavedForActivation = 0x03;

constexpr std::uint32_t kBlock = 512;

// Words 234/235: 0 and FFFFh mean the drive does not say.
bool Reported(std::uint16_t word) {
  return word != 0 && word != 0xFFFF;
}

SimAtaResult Answer(const SimAtaCommand& command, std::uint8_t count) {
  SimAtaResult r = ata::Done(command);
  r.registers[ata::kCount] = count;
  return r;
}

}  // namespace

SimAtaResult SimSataDrive::DownloadMicrocode(const SimAtaCommand& command) {
  const AtaRegisters& r = command.registers;
  if (!identity.downloadMicrocode) return ata::Abort(command);
  const std::uint8_t subcommand = r[ata::kFeatures];
  const std::uint32_t blocks = std::uint32_t(r[ata::kCount] | r[ata::kLbaLow] << 8);
  const std::uint32_t offset = std::uint32_t(r[ata::kLbaMid] | r[ata::kLbaHigh] << 8);
  if ((subcommand == kSubOffsets || subcommand == kSubDeferred) && blocks)
    return DownloadSegment(command, subcommand, offset, blocks);
  if (command.phase != AtaDataPhase::kNone || blocks) return ata::Abort(command);
  return DownloadControl(command, subcommand, offset);
}

bool SimSataDrive::SegmentSizeAllowed(std::uint32_t blocks) const {
  return !(Reported(identity.minBlocksPerDownload) && blocks < identity.minBlocksPerDownload) &&
         !(Reported(identity.maxBlocksPerDownload) && blocks > identity.maxBlocksPerDownload);
}

SimAtaResult SimSataDrive::DownloadSegment(const SimAtaCommand& command, std::uint8_t subcommand,
                                           std::uint32_t offset, std::uint32_t blocks) {
  const auto discard = [&] {
    m_Download = {};
    return ata::Abort(command);
  };
  if (command.phase != AtaDataPhase::kOut || command.data.size() != blocks * kBlock ||
      !SegmentSizeAllowed(blocks))
    return discard();
  if (offset == 0) {
    const bool bBootCode = m_Download.bBootCode && subcommand == kSubDeferred;
    m_Download = {};
    m_Download.subcommand = subcommand;
    m_Download.bBootCode = bBootCode;
  } else if (offset != m_Download.nextBlock || subcommand != m_Download.subcommand ||
             m_Download.image.empty()) {
    return discard();
  }
  m_Download.image.insert(m_Download.image.end(), command.data.begin(), command.data.end());
  m_Download.nextBlock += blocks;

  // Without a header the drive cannot tell where the image ends; it takes more, and the closing
  // command finds no image.
  const std::optional<std::uint32_t> length = SimFirmwareImageLength(m_Download.image);
  if (!length) return Answer(command, kMoreExpected);
  const std::uint32_t needed = (*length + kBlock - 1) / kBlock;
  if (m_Download.nextBlock < needed) return Answer(command, kMoreExpected);
  if (m_Download.nextBlock > needed || !SimFirmwareImageFits(m_Download.image, identity.model))
    return discard();

  m_Staged.state = subcommand == kSubOffsets ? Staged::kTaken : Staged::kSaved;
  m_Staged.revision = ParseSimFirmwareImage(m_Download.image)->revision;
  m_Staged.bBootCode = m_Download.bBootCode;
  m_Download = {};
  return Answer(command, subcommand == kSubOffsets ? kApplied : kSavedForActivation);
}

SimAtaResult SimSataDrive::DownloadControl(const SimAtaCommand& command, std::uint8_t subcommand,
                                           std::uint32_t offset) {
  if (subcommand == kSubDeferred && offset == kOffsetBootCode) {
    m_Download = {};
    m_Download.bBootCode = true;
    return ata::Done(command);
  }
  if (subcommand == kSubActivate && offset == 0 && m_Staged.state == Staged::kSaved) {
    Activate();
    return ata::Done(command);
  }
  if (subcommand != kSubClose || m_Staged.state != Staged::kTaken) return ata::Abort(command);
  switch (offset) {
    case kOffsetRestart:
      Activate();
      return ata::Done(command);
    case kOffsetBootCode:
      m_Staged.bBootCode = true;
      return ata::Done(command);
    case kOffsetNoRestart:
      return ata::Done(command);
    default:
      return ata::Abort(command);
  }
}

void SimSataDrive::Activate() {
  identity.firmware = m_Staged.revision;
  ++m_Activations;
  if (m_Staged.bBootCode) ++m_BootCodeUpdates;
  m_Staged = {};
  m_Download = {};
  m_bLeftBus = leavesBusOnActivation;
}

void SimSataDrive::Reset() {
  if (m_Staged.state == Staged::kTaken) Activate();
  m_Staged = {};
  m_Download = {};
  m_Pending = Pending::kNone;
  m_bLeftBus = false;  // it is on the bus again
}

std::uint32_t SimSataDrive::LosePower(SimAtaRecord record, const SimFault& fault) {
  Record(std::move(record));
  Reset();
  return fault.windowsError ? fault.windowsError : os::kERROR_IO_DEVICE;
}

bool SimSataDrive::TakeBusDeparture() {
  return std::exchange(m_bLeftBus, false);
}

}  // namespace sim
