// Transport kinds 3 and 5: ATA commands wrapped in a CDB and sent with IOCTL_SCSI_PASS_THROUGH
// (up to 512 bytes, carried inside the request) or IOCTL_SCSI_PASS_THROUGH_DIRECT (longer, from
// the caller's buffer). Kind 3 uses the vendor CDB CCh of some bridges, kind 5 the SAT ATA
// PASS-THROUGH (12).
#include <algorithm>
#include <cstring>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "transport/ata_device.h"

namespace transport {
namespace {

namespace spt = os::layout::scsi_pass_through;
namespace srq = layout::scsi_request;

std::uint8_t ScsiDataIn(int direction) {
  if (direction == DATA_IN) return os::kSCSI_IOCTL_DATA_IN;
  if (direction == DATA_OUT) return os::kSCSI_IOCTL_DATA_OUT;
  return os::kSCSI_IOCTL_DATA_UNSPECIFIED;
}

}  // namespace

bool TAtaDevice::SendScsi(std::span<std::uint8_t> request, std::size_t size, bool bDirect,
                          std::span<const std::uint8_t> cdb, std::uint8_t senseLength,
                          std::uint8_t target, std::uint8_t dataIn, std::uint32_t transferLength,
                          std::uint8_t* buffer) {
  fw::PutU16le(request, spt::kLength, std::uint16_t(spt::kSize));
  request[spt::kTargetId] = target;
  request[spt::kCdbLength] = std::uint8_t(cdb.size());
  request[spt::kSenseInfoLength] = senseLength;
  request[spt::kDataIn] = dataIn;
  fw::PutU32le(request, spt::kDataTransferLength, transferLength);
  fw::PutU32le(request, spt::kTimeOutValue, DriverTimeoutSeconds(m_TimeoutSeconds));
  layout::PutPointerField(
      request, spt::kDataBuffer,
      bDirect ? reinterpret_cast<std::uintptr_t>(buffer) : std::uintptr_t(srq::kDataOffset));
  fw::PutU32le(request, spt::kSenseInfoOffset, std::uint32_t(srq::kSenseOffset));
  std::copy(cdb.begin(), cdb.end(), request.begin() + spt::kCdb);
  return Send(bDirect ? os::kIOCTL_SCSI_PASS_THROUGH_DIRECT : os::kIOCTL_SCSI_PASS_THROUGH,
              request.data(), size);
}

void TAtaDevice::TakeSense(std::span<const std::uint8_t> request) {
  m_ScsiStatus = request[spt::kScsiStatus];
  m_Sense = ParseSense(request.subspan(srq::kSenseOffset, srq::kSenseSize));
}

std::uint8_t TAtaDevice::ScsiVendorCdb(const TaskFile& taskFile, std::uint8_t* buffer,
                                       int direction, std::uint32_t& length) {
  const bool bDirect = length > layout::kBufferedLimit;
  std::span<std::uint8_t> request =
      bDirect ? std::span<std::uint8_t>(m_ScsiDirect) : std::span<std::uint8_t>(m_ScsiRequest);
  std::fill(request.begin(), request.end(), 0);

  std::array<std::uint8_t, layout::cdb::kVendorAtaLength> cdb = {};
  cdb[0] = layout::cdb::kVendorAtaOpcode;
  std::copy(taskFile.begin(), taskFile.end(), cdb.begin() + layout::cdb::kVendorAtaTaskFile);

  const bool bData = direction == DATA_IN || direction == DATA_OUT;
  const std::uint32_t transfer = bData ? length : 0;
  std::size_t size = request.size();
  if (!bDirect) {
    size = srq::kDataOffset + transfer;
    if (direction == DATA_OUT && buffer) std::memcpy(&request[srq::kDataOffset], buffer, transfer);
  }
  if (!SendScsi(request, size, bDirect, cdb, layout::kVendorCdbSenseLength,
                layout::kVendorCdbTarget, ScsiDataIn(direction), transfer, buffer))
    return MapOsError(m_LastOsError);

  m_LastTaskFile.fill(0xFF);  // this transport hands back no registers
  // A bridge that does not take the CDB, or a drive that failed the command, answers CHECK
  // CONDITION through a call that succeeded; taking that for success would let the probe keep
  // this kind for a drive it cannot reach.
  TakeSense(request);
  if ((m_ScsiStatus & layout::kScsiStatusCheckCondition) && m_Sense.SenseKey() != 0) {
    length = 0;
    return ATACMD_ERR;
  }
  const std::uint32_t returned = fw::GetU32le(request, spt::kDataTransferLength);
  if (!bDirect && direction == DATA_IN && buffer)
    std::memcpy(buffer, &request[srq::kDataOffset], std::min({length, returned, transfer}));
  length = returned;
  return ATACMD_OK;
}

std::uint8_t TAtaDevice::SatPassThrough(TaskFile& taskFile, std::uint8_t* buffer, int direction,
                                        std::uint32_t& length) {
  namespace c = layout::cdb;
  std::uint8_t protocol = 0, flags = 0;
  if (direction == DATA_NONE) {
    protocol = c::kSatProtocolNonData;
    flags = c::kSatFlagsNonData;
  } else if (direction == DATA_IN) {
    protocol = c::kSatProtocolPioIn;
    flags = c::kSatFlagsPioIn;
  } else if (direction == DATA_OUT) {
    protocol = c::kSatProtocolPioOut;
    flags = c::kSatFlagsPioOut;
  } else {
    return ATACMD_SYS_NOT_SUPPORT;
  }
  std::array<std::uint8_t, c::kSatAta12Length> cdb = {};
  cdb[0] = c::kSatAta12Opcode;
  cdb[c::kSatProtocol] = std::uint8_t(protocol << 1);
  cdb[c::kSatFlags] = flags;
  std::copy_n(taskFile.begin(), 7, cdb.begin() + c::kSatFeatures);  // features .. command

  const bool bDirect = length > layout::kBufferedLimit;
  std::span<std::uint8_t> request =
      bDirect ? std::span<std::uint8_t>(m_ScsiDirect) : std::span<std::uint8_t>(m_ScsiRequest);
  std::fill(request.begin(), request.end(), 0);
  if (!bDirect && direction == DATA_OUT && buffer)
    std::memcpy(&request[srq::kDataOffset], buffer, length);
  if (!SendScsi(request, request.size(), bDirect, cdb, layout::kSatSenseLength, 0,
                ScsiDataIn(direction), length, buffer))
    return MapOsError(m_LastOsError);
  if (!bDirect && direction == DATA_IN && buffer && length)
    std::memcpy(buffer, &request[srq::kDataOffset], length);

  TakeSense(request);
  std::uint8_t result = ATACMD_OK;
  if ((m_ScsiStatus & layout::kScsiStatusCheckCondition) && m_Sense.SenseKey() != 0) {
    length = 0;
    result = ATACMD_ERR;
  } else {
    length = fw::GetU32le(request, spt::kDataTransferLength);
  }
  if (m_Sense.bHasAtaReturn) {
    WriteBackRegisters(m_Sense, taskFile);
    m_LastTaskFile = taskFile;
    if (result == ATACMD_ERR) m_LastAtaStatus = taskFile[reg::kCommand];
  }
  return result;
}

}  // namespace transport
