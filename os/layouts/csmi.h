// The CSMI requests (Common Storage Management Interface, SAS edition) that travel over
// IOCTL_SCSI_MINIPORT: the header, driver information, phy information and the STP
// pass-through. The published structures are packed to 8 and hold no pointers, so the offsets
// are the same in both pointer widths.
//
// mingw-w64 declares no CSMI structure; win32/transport_layout_checks.cpp asserts these against
// the published sizes, and the header against SRB_IO_CONTROL, which it is.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os/layouts/ntddscsi.h"

namespace os::layout::csmi {

// IOCTL_HEADER, which is SRB_IO_CONTROL.
namespace header = ::os::layout::srb_io_control;

// CSMI_SAS_DRIVER_INFO_BUFFER.
namespace driver_info {
inline constexpr std::size_t kName = 28;  // 81 bytes
inline constexpr std::size_t kNameSize = 81;
inline constexpr std::size_t kDescription = 109;  // 81 bytes
inline constexpr std::size_t kMajorRevision = 190;
inline constexpr std::size_t kMinorRevision = 192;
inline constexpr std::size_t kBuildRevision = 194;
inline constexpr std::size_t kReleaseRevision = 196;
inline constexpr std::size_t kCsmiMajorRevision = 198;
inline constexpr std::size_t kCsmiMinorRevision = 200;
inline constexpr std::size_t kSize = 204;
}  // namespace driver_info

// CSMI_SAS_IDENTIFY, an address frame: the phy's own and the attached device's.
namespace identify {
inline constexpr std::size_t kDeviceType = 0;
inline constexpr std::size_t kInitiatorPortProtocol = 2;
inline constexpr std::size_t kTargetPortProtocol = 3;
inline constexpr std::size_t kSasAddress = 12;  // 8 bytes
inline constexpr std::size_t kPhyIdentifier = 20;
inline constexpr std::size_t kSignalClass = 21;
inline constexpr std::size_t kSize = 28;
}  // namespace identify

// CSMI_SAS_PHY_ENTITY.
namespace phy_entity {
inline constexpr std::size_t kIdentify = 0;
inline constexpr std::size_t kPortIdentifier = 28;
inline constexpr std::size_t kNegotiatedLinkRate = 29;
inline constexpr std::size_t kMinimumLinkRate = 30;
inline constexpr std::size_t kMaximumLinkRate = 31;
inline constexpr std::size_t kPhyChangeCount = 32;
inline constexpr std::size_t kAutoDiscover = 33;
inline constexpr std::size_t kPhyFeatures = 34;
inline constexpr std::size_t kAttached = 36;
inline constexpr std::size_t kSize = 64;
}  // namespace phy_entity

// CSMI_SAS_PHY_INFO_BUFFER: the header, then CSMI_SAS_PHY_INFO.
namespace phy_info {
inline constexpr std::size_t kInformation = 28;  // CSMI_SAS_PHY_INFO starts here
inline constexpr std::size_t kNumberOfPhys = 28;
inline constexpr std::size_t kPhy = 32;  // the first of 32 entities
inline constexpr std::size_t kMaxPhys = 32;
inline constexpr std::size_t kSize = 2080;
inline constexpr std::size_t kInformationSize = kSize - kInformation;  // 2,052
// Within CSMI_SAS_PHY_INFO, without the header.
inline constexpr std::size_t kInfoNumberOfPhys = 0;
inline constexpr std::size_t kInfoPhy = 4;
}  // namespace phy_info

// CSMI_SAS_STP_PASSTHRU_BUFFER.
namespace stp {
inline constexpr std::size_t kPhyIdentifier = 28;
inline constexpr std::size_t kPortIdentifier = 29;
inline constexpr std::size_t kConnectionRate = 30;
inline constexpr std::size_t kDestinationSasAddress = 32;  // 8 bytes
inline constexpr std::size_t kCommandFis = 44;             // 20 bytes
inline constexpr std::size_t kFisSize = 20;
inline constexpr std::size_t kFlags = 64;
inline constexpr std::size_t kDataLength = 68;
inline constexpr std::size_t kConnectionStatus = 72;
inline constexpr std::size_t kStatusFis = 76;  // 20 bytes
inline constexpr std::size_t kScr = 96;        // 16 ULONGs
inline constexpr std::size_t kDataBytes = 160;
inline constexpr std::size_t kDataBuffer = 164;
inline constexpr std::size_t kSize = 168;  // with the one-byte data area and its padding
// IOCTL_HEADER.Length counts from the end of the header over the structure and the data.
inline constexpr std::size_t kLengthBase = kSize - header::kSize;  // 140
}  // namespace stp

// Register frames inside the STP pass-through (SATA FIS types 27h and 34h).
namespace fis {
inline constexpr std::uint8_t kTypeRegisterHostToDevice = 0x27;
inline constexpr std::uint8_t kTypeRegisterDeviceToHost = 0x34;
inline constexpr std::uint8_t kCommandBit = 0x80;  // byte 1 of a host-to-device frame
inline constexpr std::size_t kType = 0;
inline constexpr std::size_t kFlags = 1;
inline constexpr std::size_t kCommand = 2;  // host to device
inline constexpr std::size_t kStatus = 2;   // device to host
inline constexpr std::size_t kFeatures = 3;
inline constexpr std::size_t kError = 3;
inline constexpr std::size_t kLbaLow = 4;
inline constexpr std::size_t kLbaMid = 5;
inline constexpr std::size_t kLbaHigh = 6;
inline constexpr std::size_t kDevice = 7;
inline constexpr std::size_t kCount = 12;
inline constexpr std::uint8_t kDeviceLba = 0xA0;  // what the device object always sends
}  // namespace fis

// Control codes and their signatures.
inline constexpr std::uint32_t CC_CSMI_SAS_GET_DRIVER_INFO = 1;
inline constexpr std::uint32_t CC_CSMI_SAS_GET_PHY_INFO = 20;
inline constexpr std::uint32_t CC_CSMI_SAS_STP_PASSTHRU = 25;
inline constexpr const char* kCsmiAllSignature = "CSMIALL";
inline constexpr const char* kCsmiSasSignature = "CSMISAS";

// IOCTL_HEADER.ReturnCode.
inline constexpr std::uint32_t CSMI_SAS_STATUS_SUCCESS = 0;
inline constexpr std::uint32_t CSMI_SAS_STATUS_FAILED = 1;
inline constexpr std::uint32_t CSMI_SAS_STATUS_BAD_CNTL_CODE = 2;
inline constexpr std::uint32_t CSMI_SAS_STATUS_INVALID_PARAMETER = 3;
inline constexpr std::uint32_t CSMI_SAS_PHY_DOES_NOT_EXIST = 2002;
inline constexpr std::uint32_t CSMI_SAS_NO_SATA_DEVICE = 2009;

// Device types and protocols of an address frame.
inline constexpr std::uint8_t CSMI_SAS_NO_DEVICE_ATTACHED = 0x00;
inline constexpr std::uint8_t CSMI_SAS_END_DEVICE = 0x10;
inline constexpr std::uint8_t CSMI_SAS_PROTOCOL_SATA = 0x01;
inline constexpr std::uint8_t CSMI_SAS_PROTOCOL_SMP = 0x02;
inline constexpr std::uint8_t CSMI_SAS_PROTOCOL_STP = 0x04;
inline constexpr std::uint8_t CSMI_SAS_PROTOCOL_SSP = 0x08;

// STP uFlags.
inline constexpr std::uint32_t CSMI_SAS_STP_READ = 0x01;
inline constexpr std::uint32_t CSMI_SAS_STP_WRITE = 0x02;
inline constexpr std::uint32_t CSMI_SAS_STP_UNSPECIFIED = 0x04;
inline constexpr std::uint32_t CSMI_SAS_STP_PIO = 0x10;

// The status a successful STP command must return: DRDY and DSC, no error.
inline constexpr std::uint8_t kStpGoodStatus = 0x50;

}  // namespace os::layout::csmi
