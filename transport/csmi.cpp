// CSMI: SATA drives behind SAS and RAID controllers, reached through the controller's
// IOCTL_SCSI_MINIPORT with the CSMI requests rather than through a disk handle.
#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/bytes.h"
#include "os/layouts/ntddscsi.h"
#include "transport/ata_device.h"
#include "transport/srb_io_control.h"

namespace transport {
namespace {

namespace csmi = os::layout::csmi;
namespace hdr = csmi::header;

const char* SignatureOf(std::uint32_t controlCode) {
  switch (controlCode) {
    case csmi::CC_CSMI_SAS_GET_DRIVER_INFO:
      return csmi::kCsmiAllSignature;
    case csmi::CC_CSMI_SAS_GET_PHY_INFO:
    case csmi::CC_CSMI_SAS_STP_PASSTHRU:
      return csmi::kCsmiSasSignature;
    default:
      return nullptr;
  }
}

void PutHeader(std::span<std::uint8_t> request, const char* signature, std::uint32_t timeout,
               std::uint32_t controlCode, std::uint32_t length) {
  PutSrbHeader(request, signature, timeout, controlCode, csmi::CSMI_SAS_STATUS_SUCCESS, length);
}

}  // namespace

bool CsmiPhy::IsSataTarget() const {
  return identifyDeviceType != 0 && attachedDeviceType != 0 &&
         (attachedTargetProtocol == csmi::CSMI_SAS_PROTOCOL_SATA ||
          attachedTargetProtocol == csmi::CSMI_SAS_PROTOCOL_STP);
}

std::uint32_t CsmiPhy::SasAddressLow() const {
  return fw::GetU32le(attachedSasAddress, 0);
}

std::uint32_t CsmiPhy::SasAddressHigh() const {
  return fw::GetU32le(attachedSasAddress, 4);
}

std::uint8_t NumberOfPhys(const CsmiPhyInfo& info) {
  return info[csmi::phy_info::kInfoNumberOfPhys];
}

CsmiPhy PhyAt(const CsmiPhyInfo& info, std::size_t index) {
  CsmiPhy phy;
  if (index >= kCsmiPhyEntities) return phy;
  namespace pe = csmi::phy_entity;
  namespace id = csmi::identify;
  const std::uint8_t* e = &info[csmi::phy_info::kInfoPhy + index * pe::kSize];
  phy.identifyDeviceType = e[pe::kIdentify + id::kDeviceType];
  phy.phyIdentifier = e[pe::kIdentify + id::kPhyIdentifier];
  phy.portIdentifier = e[pe::kPortIdentifier];
  phy.attachedDeviceType = e[pe::kAttached + id::kDeviceType];
  phy.attachedTargetProtocol = e[pe::kAttached + id::kTargetPortProtocol];
  std::copy_n(e + pe::kAttached + id::kSasAddress, 8, phy.attachedSasAddress.begin());
  phy.attachedPhyIdentifier = e[pe::kAttached + id::kPhyIdentifier];
  return phy;
}

std::uint8_t TAtaDevice::CsmiIoctl(std::uint32_t controlCode, std::uint8_t* buffer,
                                   std::uint32_t size) {
  const char* signature = SignatureOf(controlCode);
  if (!signature) return ATACMD_ERR;
  if (!buffer || size < hdr::kSize) return ATACMD_FAIL;
  std::span<std::uint8_t> request(buffer, size);
  PutHeader(request, signature, DriverTimeoutSeconds(m_TimeoutSeconds), controlCode,
            size - std::uint32_t(hdr::kSize));
  if (!Send(os::kIOCTL_SCSI_MINIPORT, buffer, size)) return MapOsError(m_LastOsError);
  if (fw::GetU32le(request, hdr::kReturnCode) != csmi::CSMI_SAS_STATUS_SUCCESS) return ATACMD_FAIL;
  return ATACMD_OK;
}

bool TAtaDevice::get_phy_info(CsmiPhyInfo& out) {
  std::vector<std::uint8_t> driverInfo(csmi::driver_info::kSize, 0);
  if (CsmiIoctl(csmi::CC_CSMI_SAS_GET_DRIVER_INFO, driverInfo.data(),
                std::uint32_t(driverInfo.size())) != ATACMD_OK)
    return false;
  std::vector<std::uint8_t> phyInfo(csmi::phy_info::kSize, 0);
  if (CsmiIoctl(csmi::CC_CSMI_SAS_GET_PHY_INFO, phyInfo.data(), std::uint32_t(phyInfo.size())) !=
      ATACMD_OK)
    return false;
  std::copy_n(phyInfo.begin() + csmi::phy_info::kInformation, out.size(), out.begin());
  return NumberOfPhys(out) <= csmi::phy_info::kMaxPhys;
}

std::uint8_t TAtaDevice::CsmiStpPassThrough(const TaskFile& taskFile, std::uint8_t* buffer,
                                            int direction, std::uint32_t& length) {
  namespace stp = csmi::stp;
  namespace fis = csmi::fis;
  if (length > kCsmiBufferSize - stp::kDataBuffer) return ATACMD_FAIL;
  std::span<std::uint8_t> request(m_CsmiBuffer.get(), kCsmiBufferSize);
  std::memset(request.data(), 0, request.size());
  PutHeader(request, csmi::kCsmiSasSignature, DriverTimeoutSeconds(m_TimeoutSeconds),
            csmi::CC_CSMI_SAS_STP_PASSTHRU, length + std::uint32_t(stp::kLengthBase));
  request[stp::kPhyIdentifier] = std::uint8_t(m_CsmiPhy);
  request[stp::kPortIdentifier] = std::uint8_t(m_CsmiPort);
  request[stp::kConnectionRate] = 0;  // negotiated
  std::copy(m_CsmiSasAddress.begin(), m_CsmiSasAddress.end(),
            request.begin() + stp::kDestinationSasAddress);

  std::uint8_t* frame = &request[stp::kCommandFis];
  frame[fis::kType] = fis::kTypeRegisterHostToDevice;
  frame[fis::kFlags] = fis::kCommandBit;
  frame[fis::kCommand] = taskFile[reg::kCommand];
  frame[fis::kFeatures] = taskFile[reg::kFeatures];
  frame[fis::kLbaLow] = taskFile[reg::kLbaLow];
  frame[fis::kLbaMid] = taskFile[reg::kLbaMid];
  frame[fis::kLbaHigh] = taskFile[reg::kLbaHigh];
  frame[fis::kDevice] = fis::kDeviceLba;
  frame[fis::kCount] = taskFile[reg::kCount];

  std::uint32_t flags = csmi::CSMI_SAS_STP_PIO | csmi::CSMI_SAS_STP_UNSPECIFIED;
  if (direction == DATA_OUT) flags = csmi::CSMI_SAS_STP_PIO | csmi::CSMI_SAS_STP_WRITE;
  if (direction == DATA_IN) flags = csmi::CSMI_SAS_STP_PIO | csmi::CSMI_SAS_STP_READ;
  fw::PutU32le(request, stp::kFlags, flags);
  fw::PutU32le(request, stp::kDataLength, length);
  if (direction == DATA_OUT && buffer && length)
    std::memcpy(&request[stp::kDataBuffer], buffer, length);

  if (!Send(os::kIOCTL_SCSI_MINIPORT, request.data(), request.size()))
    return MapOsError(m_LastOsError);
  const std::uint8_t* status = &request[stp::kStatusFis];
  if (fw::GetU32le(request, hdr::kReturnCode) != csmi::CSMI_SAS_STATUS_SUCCESS ||
      status[fis::kStatus] != csmi::kStpGoodStatus || status[fis::kError] != 0)
    return ATACMD_FAIL;
  const std::uint32_t returned = fw::GetU32le(request, stp::kDataBytes);
  if (direction == DATA_IN && buffer && returned)
    std::memcpy(buffer, &request[stp::kDataBuffer], std::min(length, returned));
  length = returned;
  return ATACMD_OK;
}

}  // namespace transport
