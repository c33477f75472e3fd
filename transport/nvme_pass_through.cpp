// NVMe admin commands through the two ways Windows leaves open to an application: the Intel
// RST driver's own pass-through on the RAID controller, and, for the inbox driver, which has no
// raw pass-through, IDENTIFY CONTROLLER through the protocol-specific storage query.
#include <cstring>
#include <memory>
#include <new>

#include "devices/dev_mgr.h"
#include "framework/bytes.h"
#include "framework/fixed_text.h"
#include "os/layouts/winnt.h"
#include "transport/ata_device.h"
#include "transport/miniport_request.h"
#include "transport/nvme_request_block.h"
#include "transport/nvme_requests.h"
#include "transport/srb_io_control.h"

namespace transport {

using namespace nvme;

namespace {
namespace irst_nvm = os::layout::irst_nvm;
}  // namespace

NvmeRequestBlock::NvmeRequestBlock(std::size_t size)
    : m_Bytes(new (std::nothrow) std::uint8_t[size]()), m_Size(m_Bytes ? size : 0) {}

void NvmeRequestBlock::Clear() {
  if (m_Bytes) std::memset(m_Bytes.get(), 0, m_Size);
}

bool NvmeRequestBlock::Send(os::Handle handle) {
  return SendMiniportRequest(handle, Bytes(), &m_LastError);
}

bool TAtaDevice::Send_IRST_NVME_PASS_THROUTH(std::uint8_t pathId, const NvmeCommand& command,
                                             const std::uint8_t* dataOut, std::uint32_t dataLength,
                                             bool isIoCommandSet, std::uint8_t* resultArea,
                                             std::uint32_t timeoutSeconds, int direction) {
  // The reply is copied into ResponseBuffer and RequestBuffer may be the source: a length
  // beyond them would reach past their ends.
  if (dataLength > kResponseBufferSize || !m_ResponseBuffer) return false;
  NvmeRequestBlock block(irst_nvm::kData + dataLength);
  if (!block) return false;
  const std::span<std::uint8_t> b = block.Bytes();
  PutSrbHeader(b, irst_nvm::kSignature, timeoutSeconds, irst_nvm::kControlCode, 0,
               std::uint32_t(irst_nvm::kLengthBase + dataLength));
  b[irst_nvm::kVersion] = irst_nvm::kRequestVersion;
  b[irst_nvm::kPathId] = pathId;
  std::memcpy(&b[irst_nvm::kCommand], command.data(), command.size());
  b[irst_nvm::kIsIoCommandSet] = isIoCommandSet ? 1 : 0;
  fw::PutU32le(b, irst_nvm::kDataBufferOffset, std::uint32_t(irst_nvm::kData));
  fw::PutU32le(b, irst_nvm::kDataBufferLength, dataLength);
  if (direction == kNvmeToDevice && dataLength)
    std::memcpy(&b[irst_nvm::kData], dataOut ? dataOut : m_RequestBuffer.get(), dataLength);

  const bool ok = block.Send(m_Handle);
  if (!ok) m_LastOsError = block.LastError();
  // The completion entry is the caller's to read, also when the request failed.
  if (resultArea) std::memcpy(resultArea, b.data(), kIrstResultSize);
  if (ok && direction == kNvmeFromDevice && dataLength)
    std::memcpy(m_ResponseBuffer.get(), &b[irst_nvm::kData], dataLength);
  return ok;
}

bool TAtaDevice::DoIdentifyDeviceNVMeStorageQuery(int driveIndex) {
  ClosePort();
  const devices::DiskEntry* drive = DriveAt(driveIndex);
  // A negative index means the selected drive to DriveAt; here it names no drive.
  if (driveIndex < 0 || !drive || !m_ResponseBuffer) return false;
  OpenHandle(fw::FieldText(drive->devicePath), os::kFILE_SHARE_READ | os::kFILE_SHARE_WRITE, 0);

  namespace q = protocol_query;
  namespace pq = os::layout::property_query;
  namespace psd = os::layout::protocol_specific_data;
  std::array<std::uint8_t, q::kIdentifyRequestSize> block{};
  fw::PutU32le(block, pq::kPropertyId, os::kStorageAdapterProtocolSpecificProperty);
  fw::PutU32le(block, pq::kQueryType, os::kPropertyStandardQuery);
  const std::span<std::uint8_t> specific = std::span(block).subspan(q::kSpecific);
  fw::PutU32le(specific, psd::kProtocolType, os::kProtocolTypeNvme);
  fw::PutU32le(specific, psd::kDataType, os::kNVMeDataTypeIdentify);
  fw::PutU32le(specific, psd::kProtocolDataRequestValue, kCnsController);
  fw::PutU32le(specific, psd::kProtocolDataRequestSubValue, 0);
  fw::PutU32le(specific, psd::kProtocolDataOffset, std::uint32_t(psd::kSize));
  fw::PutU32le(specific, psd::kProtocolDataLength, std::uint32_t(kIdentifySize));

  // An open that failed still sends the query; the invalid handle makes it fail.
  std::uint32_t returned = 0;
  os::Os& system = os::Current();
  const bool ok = system.DeviceIoControl(m_Handle, os::kIOCTL_STORAGE_QUERY_PROPERTY, block.data(),
                                         std::uint32_t(block.size()), block.data(),
                                         std::uint32_t(block.size()), &returned);
  if (!ok) m_LastOsError = system.GetLastError();
  std::memcpy(m_ResponseBuffer.get(), &block[q::kData], kIdentifySize);
  ClosePort();
  return ok;
}

}  // namespace transport
