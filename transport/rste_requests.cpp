#include "transport/rste_requests.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "framework/bytes.h"
#include "framework/fixed_text.h"
#include "transport/ata_device.h"
#include "transport/miniport_request.h"
#include "transport/srb_io_control.h"

namespace transport {
namespace {

namespace rste = os::layout::rste;
namespace srb = os::layout::srb_io_control;
namespace np = rste::nvme_pass_through;
namespace de = rste::disk_entry;

void PutHeader(std::span<std::uint8_t> block, std::uint32_t controlCode,
               std::uint32_t returnCode = 0) {
  PutSrbHeader(block, rste::kSignature, kRsteTimeoutSeconds, controlCode, returnCode,
               std::uint32_t(block.size() - srb::kSize));
}

bool Count(os::Handle port, std::uint32_t controlCode, std::uint32_t& count) {
  std::array<std::uint8_t, rste::count::kSize> block{};
  PutHeader(block, controlCode);
  const bool ok = SendMiniportRequest(port, block);
  count = ok ? fw::GetU32le(block, rste::count::kValue) : 0;
  return ok;
}

RsteDiskEntry Entry(std::span<const std::uint8_t> e) {
  RsteDiskEntry entry;
  entry.rsteDiskId = fw::GetU32le(e, de::kDiskId);
  entry.model = fw::ReadFixedText(&e[de::kModel], de::kModelSize);
  entry.firmware = fw::ReadFixedText(&e[de::kFirmware], de::kFirmwareSize);
  entry.serial = fw::ReadFixedText(&e[de::kSerial], de::kSerialSize);
  return entry;
}

// A list request: `fill` writes the fields in front of the entries, which start at `first`.
template <typename Fill>
bool DiskList(os::Handle port, std::uint32_t controlCode, std::uint32_t count, std::size_t size,
              std::size_t first, Fill fill, std::vector<RsteDiskEntry>& entries) {
  entries.clear();
  if (count > kMaxRsteDisks) return false;
  std::vector<std::uint8_t> block(size, 0);
  PutHeader(block, controlCode);
  fill(std::span<std::uint8_t>(block), std::uint32_t(de::kSize * count));
  const bool ok = SendMiniportRequest(port, block);
  for (std::uint32_t i = 0; i < count; ++i)
    entries.push_back(
        Entry(std::span<const std::uint8_t>(block).subspan(first + i * de::kSize, de::kSize)));
  return ok;
}

}  // namespace

bool numberOfRaidVolumesIoctl(os::Handle port, std::uint32_t& count) {
  return Count(port, rste::kNumberOfRaidVolumes, count);
}
bool numberOfPassThroughDisksIoctl(os::Handle port, std::uint32_t& count) {
  return Count(port, rste::kNumberOfPassThroughDisks, count);
}
bool numberOfSpareDisksIoctl(os::Handle port, std::uint32_t& count) {
  return Count(port, rste::kNumberOfSpareDisks, count);
}
bool numberOfJournalingDisksIoctl(os::Handle port, std::uint32_t& count) {
  return Count(port, rste::kNumberOfJournalingDisks, count);
}

bool raidInformationIoctl(os::Handle port, std::uint32_t& memberCount) {
  namespace ri = rste::raid_information;
  std::array<std::uint8_t, ri::kSize> block{};
  PutHeader(block, rste::kRaidInformation);
  fw::PutU32le(block, ri::kSelector, rste::kRaidSelector);
  const bool ok = SendMiniportRequest(port, block);
  memberCount = ok ? fw::GetU32le(block, ri::kMemberCount) : 0;
  return ok;
}

bool raidConfigurationIoctl(os::Handle port, std::uint32_t count,
                            std::vector<RsteDiskEntry>& members) {
  namespace rc = rste::raid_configuration;
  return DiskList(
      port, rste::kRaidConfiguration, count, rc::Size(std::min(count, kMaxRsteDisks)), rc::kEntries,
      [](std::span<std::uint8_t> b, std::uint32_t room) {
        fw::PutU32le(b, rc::kSelector, rste::kRaidSelector);
        fw::PutU32le(b, rc::kReturnBufferLen, room);
      },
      members);
}

bool PassThroughDiskInformationIoctl(os::Handle port, std::uint32_t count,
                                     std::vector<RsteDiskEntry>& disks) {
  namespace pt = rste::pass_through_disks;
  return DiskList(
      port, rste::kPassThroughDiskInformation, count, pt::Size(std::min(count, kMaxRsteDisks)),
      pt::kEntries,
      [](std::span<std::uint8_t> b, std::uint32_t room) {
        fw::PutU32le(b, pt::kReturnBufferLen, room);
      },
      disks);
}

bool raidMemberIdentifyIoctl(os::Handle port, std::uint32_t rsteDiskId, NvmeIdentify& data) {
  std::vector<std::uint8_t> block(rste::kMemberIdentifySize, 0);
  PutHeader(block, rste::kNvmePassThrough, rsteDiskId);
  const auto command = NvmeIdentifyControllerCommand();
  std::copy(command.begin(), command.end(), block.begin() + np::kCommand);
  fw::PutU32le(block, np::kDirection, std::uint32_t(kNvmeFromDevice));
  fw::PutU32le(block, np::kQueueId, 0);
  fw::PutU32le(block, np::kDataBufferLength, 0);
  fw::PutU32le(block, np::kMetadataLength, 0);
  fw::PutU32le(block, np::kReturnBufferLength, std::uint32_t(block.size()));
  std::fill_n(block.begin() + np::kData, rste::kIdentifySize, kRsteIdentifyFill);
  const bool ok = SendMiniportRequest(port, block);
  std::copy_n(block.begin() + np::kData, rste::kIdentifySize, data.begin());
  return ok;
}

bool TAtaDevice::nvmePassThroughIoctl(os::Handle controller, std::uint32_t rsteDiskId,
                                      const std::uint8_t* dataOut, std::uint32_t dataLength,
                                      std::uint32_t queueId, int direction,
                                      const NvmeCommand& command) {
  if (!m_ResponseBuffer || !m_RequestBuffer) return false;
  // Never more than the transfer buffers hold, which also keeps the block's size from wrapping.
  if (dataLength > kResponseBufferSize || dataLength > kRequestBufferSize) return false;
  const std::uint32_t padded = (dataLength + 3) & ~3u;
  std::vector<std::uint8_t> block;
  try {
    block.assign(np::Size(padded), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Without data the block is 156 bytes, and a Length of 132 would reach 4 bytes past it: the
  // port driver refuses a header that claims more than the buffer holds.
  PutSrbHeader(block, rste::kSignature, kRsteTimeoutSeconds, rste::kNvmePassThrough, rsteDiskId,
               std::uint32_t(std::min(np::kLength, block.size() - srb::kSize)));
  std::copy(command.begin(), command.end(), block.begin() + np::kCommand);
  fw::PutU32le(block, np::kDirection, std::uint32_t(direction));
  fw::PutU32le(block, np::kQueueId, queueId);
  fw::PutU32le(block, np::kDataBufferLength, direction == kNvmeToDevice ? padded : 0);
  fw::PutU32le(block, np::kMetadataLength, 0);
  fw::PutU32le(block, np::kReturnBufferLength,
               std::uint32_t(direction == kNvmeFromDevice ? block.size() : np::kFixedSize));
  if (direction == kNvmeToDevice) {
    // The caller's buffer holds dataLength bytes: the padding stays zero.
    if (dataOut)
      std::copy_n(dataOut, dataLength, block.begin() + np::kData);
    else
      std::copy_n(m_RequestBuffer.get(), padded, block.begin() + np::kData);
  }
  std::uint32_t error = 0;
  const bool ok = SendMiniportRequest(controller, block, &error);
  if (!ok) m_LastOsError = error;
  if (direction == kNvmeFromDevice)
    std::memcpy(m_ResponseBuffer.get(), block.data() + np::kData, padded);
  return ok;
}

RstePort ListRsteDisks(TAtaDevice& device, os::Handle port) {
  RstePort result;
  numberOfRaidVolumesIoctl(port, result.raidVolumes);
  numberOfPassThroughDisksIoctl(port, result.passThroughDisks);
  numberOfSpareDisksIoctl(port, result.spareDisks);
  numberOfJournalingDisksIoctl(port, result.journalingDisks);
  try {
    std::vector<RsteDiskEntry> entries;
    if (result.raidVolumes != 0) {
      raidInformationIoctl(port, result.members);
      if (result.members > kMaxRsteDisks) {
        result.countRefused = true;
        return result;
      }
      raidConfigurationIoctl(port, result.members, entries);
      for (const RsteDiskEntry& entry : entries) {
        RsteDisk& disk = result.disks.emplace_back();
        disk.entry = entry;
        disk.identified = raidMemberIdentifyIoctl(port, entry.rsteDiskId, disk.identify);
      }
    } else if (result.passThroughDisks != 0) {
      if (result.passThroughDisks > kMaxRsteDisks) {
        result.countRefused = true;
        return result;
      }
      PassThroughDiskInformationIoctl(port, result.passThroughDisks, entries);
      const NvmeCommand identify = NvmeIdentifyControllerCommand();
      for (const RsteDiskEntry& entry : entries) {
        if (!device.nvmePassThroughIoctl(port, entry.rsteDiskId, nullptr, rste::kIdentifySize, 0,
                                         kNvmeFromDevice, identify))
          break;
        RsteDisk& disk = result.disks.emplace_back();
        disk.entry = entry;
        disk.identified = true;
        std::copy_n(device.GetResponseBuffer(), rste::kIdentifySize, disk.identify.begin());
      }
    }
  } catch (const std::bad_alloc&) {
    result.outOfMemory = true;
    result.disks.clear();
  }
  return result;
}

}  // namespace transport
