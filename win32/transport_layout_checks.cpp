// The transport's request layouts against the Windows headers, in both pointer widths: a wrong
// offset or size fails the build. mingw-w64 declares no CSMI structure, so those are declared
// below from the published CSMI definitions and pinned to the published sizes first.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <cstddef>

#include "os/layouts/basetsd.h"
#include "os/layouts/csmi.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/winbase.h"
#include "os/layouts/winerror.h"
#include "os/layouts/winnt.h"
#include "transport/ata_types.h"
#include "transport/pass_through_layout.h"

namespace {

namespace L = transport::layout;
namespace W = os::layout;

// ---- ATA_PASS_THROUGH_EX and ATA_PASS_THROUGH_DIRECT ----
namespace apt = W::ata_pass_through;
static_assert(apt::kLength == offsetof(ATA_PASS_THROUGH_EX, Length));
static_assert(apt::kAtaFlags == offsetof(ATA_PASS_THROUGH_EX, AtaFlags));
static_assert(apt::kPathId == offsetof(ATA_PASS_THROUGH_EX, PathId));
static_assert(apt::kTargetId == offsetof(ATA_PASS_THROUGH_EX, TargetId));
static_assert(apt::kLun == offsetof(ATA_PASS_THROUGH_EX, Lun));
static_assert(apt::kReservedAsUchar == offsetof(ATA_PASS_THROUGH_EX, ReservedAsUchar));
static_assert(apt::kDataTransferLength == offsetof(ATA_PASS_THROUGH_EX, DataTransferLength));
static_assert(apt::kTimeOutValue == offsetof(ATA_PASS_THROUGH_EX, TimeOutValue));
static_assert(apt::kReservedAsUlong == offsetof(ATA_PASS_THROUGH_EX, ReservedAsUlong));
static_assert(apt::kDataBuffer == offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset));
static_assert(sizeof(ATA_PASS_THROUGH_EX::DataBufferOffset) == W::kPointerSize);
static_assert(apt::kPreviousTaskFile == offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile));
static_assert(apt::kCurrentTaskFile == offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile));
static_assert(apt::kSize == sizeof(ATA_PASS_THROUGH_EX));

static_assert(apt::kLength == offsetof(ATA_PASS_THROUGH_DIRECT, Length));
static_assert(apt::kAtaFlags == offsetof(ATA_PASS_THROUGH_DIRECT, AtaFlags));
static_assert(apt::kPathId == offsetof(ATA_PASS_THROUGH_DIRECT, PathId));
static_assert(apt::kTargetId == offsetof(ATA_PASS_THROUGH_DIRECT, TargetId));
static_assert(apt::kLun == offsetof(ATA_PASS_THROUGH_DIRECT, Lun));
static_assert(apt::kDataTransferLength == offsetof(ATA_PASS_THROUGH_DIRECT, DataTransferLength));
static_assert(apt::kTimeOutValue == offsetof(ATA_PASS_THROUGH_DIRECT, TimeOutValue));
static_assert(apt::kDataBuffer == offsetof(ATA_PASS_THROUGH_DIRECT, DataBuffer));
static_assert(sizeof(ATA_PASS_THROUGH_DIRECT::DataBuffer) == W::kPointerSize);
static_assert(apt::kPreviousTaskFile == offsetof(ATA_PASS_THROUGH_DIRECT, PreviousTaskFile));
static_assert(apt::kCurrentTaskFile == offsetof(ATA_PASS_THROUGH_DIRECT, CurrentTaskFile));
static_assert(apt::kSize == sizeof(ATA_PASS_THROUGH_DIRECT));

// The buffered request as Windows programs declare it: the header, a ULONG, the data.
struct AtaRequestShape {
  ATA_PASS_THROUGH_EX apt;
  ULONG filler;
  UCHAR data[512];
};
static_assert(L::ata_request::kDataOffset == offsetof(AtaRequestShape, data));
static_assert(L::ata_request::kDataSize == sizeof(AtaRequestShape::data));
static_assert(L::ata_request::kDirectSize == sizeof(ATA_PASS_THROUGH_DIRECT));

// ---- SCSI_PASS_THROUGH and SCSI_PASS_THROUGH_DIRECT ----
namespace spt = W::scsi_pass_through;
static_assert(spt::kLength == offsetof(SCSI_PASS_THROUGH, Length));
static_assert(spt::kScsiStatus == offsetof(SCSI_PASS_THROUGH, ScsiStatus));
static_assert(spt::kPathId == offsetof(SCSI_PASS_THROUGH, PathId));
static_assert(spt::kTargetId == offsetof(SCSI_PASS_THROUGH, TargetId));
static_assert(spt::kLun == offsetof(SCSI_PASS_THROUGH, Lun));
static_assert(spt::kCdbLength == offsetof(SCSI_PASS_THROUGH, CdbLength));
static_assert(spt::kSenseInfoLength == offsetof(SCSI_PASS_THROUGH, SenseInfoLength));
static_assert(spt::kDataIn == offsetof(SCSI_PASS_THROUGH, DataIn));
static_assert(spt::kDataTransferLength == offsetof(SCSI_PASS_THROUGH, DataTransferLength));
static_assert(spt::kTimeOutValue == offsetof(SCSI_PASS_THROUGH, TimeOutValue));
static_assert(spt::kDataBuffer == offsetof(SCSI_PASS_THROUGH, DataBufferOffset));
static_assert(sizeof(SCSI_PASS_THROUGH::DataBufferOffset) == W::kPointerSize);
static_assert(spt::kSenseInfoOffset == offsetof(SCSI_PASS_THROUGH, SenseInfoOffset));
static_assert(spt::kCdb == offsetof(SCSI_PASS_THROUGH, Cdb));
static_assert(spt::kCdbSize == sizeof(SCSI_PASS_THROUGH::Cdb));
static_assert(spt::kSize == sizeof(SCSI_PASS_THROUGH));

static_assert(spt::kLength == offsetof(SCSI_PASS_THROUGH_DIRECT, Length));
static_assert(spt::kScsiStatus == offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus));
static_assert(spt::kTargetId == offsetof(SCSI_PASS_THROUGH_DIRECT, TargetId));
static_assert(spt::kCdbLength == offsetof(SCSI_PASS_THROUGH_DIRECT, CdbLength));
static_assert(spt::kSenseInfoLength == offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoLength));
static_assert(spt::kDataIn == offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn));
static_assert(spt::kDataTransferLength == offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength));
static_assert(spt::kTimeOutValue == offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue));
static_assert(spt::kDataBuffer == offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer));
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT::DataBuffer) == W::kPointerSize);
static_assert(spt::kSenseInfoOffset == offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset));
static_assert(spt::kCdb == offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb));
static_assert(spt::kSize == sizeof(SCSI_PASS_THROUGH_DIRECT));

struct ScsiRequestShape {
  SCSI_PASS_THROUGH spt;
  ULONG filler;
  UCHAR sense[32];
  UCHAR data[512];
};
static_assert(L::scsi_request::kSenseOffset == offsetof(ScsiRequestShape, sense));
static_assert(L::scsi_request::kSenseSize == sizeof(ScsiRequestShape::sense));
static_assert(L::scsi_request::kDataOffset == offsetof(ScsiRequestShape, data));
struct ScsiDirectShape {
  SCSI_PASS_THROUGH_DIRECT sptd;
  ULONG filler;
  UCHAR sense[32];
};
static_assert(L::scsi_request::kSenseOffset == offsetof(ScsiDirectShape, sense));
static_assert(L::scsi_request::kDirectSize == offsetof(ScsiDirectShape, sense) + 32);

// What the 32-bit product sends, whatever the 64-bit build makes of the same shapes.
#ifndef _WIN64
static_assert(sizeof(ATA_PASS_THROUGH_EX) == 40 && L::ata_request::kDataOffset == 44);
static_assert(L::ata_request::kSize == 556);
static_assert(L::ata_request::kDirectSize == 40);
static_assert(sizeof(SCSI_PASS_THROUGH) == 44 && L::scsi_request::kSenseOffset == 48);
static_assert(L::scsi_request::kDataOffset == 80);
static_assert(L::scsi_request::kSize == 592);
static_assert(L::scsi_request::kDirectSize == 80);
#endif

// ---- IDEREGS: the register block ----
namespace reg = transport::reg;
static_assert(reg::kFeatures == offsetof(IDEREGS, bFeaturesReg));
static_assert(reg::kCount == offsetof(IDEREGS, bSectorCountReg));
static_assert(reg::kLbaLow == offsetof(IDEREGS, bSectorNumberReg));
static_assert(reg::kLbaMid == offsetof(IDEREGS, bCylLowReg));
static_assert(reg::kLbaHigh == offsetof(IDEREGS, bCylHighReg));
static_assert(reg::kDevice == offsetof(IDEREGS, bDriveHeadReg));
static_assert(reg::kCommand == offsetof(IDEREGS, bCommandReg));
static_assert(reg::kReserved == offsetof(IDEREGS, bReserved));
static_assert(sizeof(transport::TaskFile) == sizeof(IDEREGS));
static_assert(sizeof(transport::TaskFile) == sizeof(ATA_PASS_THROUGH_EX::CurrentTaskFile));

// ---- Control codes, flags and errors ----
static_assert(os::kIOCTL_SCSI_PASS_THROUGH == IOCTL_SCSI_PASS_THROUGH);
static_assert(os::kIOCTL_SCSI_MINIPORT == IOCTL_SCSI_MINIPORT);
static_assert(os::kIOCTL_SCSI_PASS_THROUGH_DIRECT == IOCTL_SCSI_PASS_THROUGH_DIRECT);
static_assert(os::kIOCTL_ATA_PASS_THROUGH == IOCTL_ATA_PASS_THROUGH);
static_assert(os::kIOCTL_ATA_PASS_THROUGH_DIRECT == IOCTL_ATA_PASS_THROUGH_DIRECT);
static_assert(os::kATA_FLAGS_DRDY_REQUIRED == ATA_FLAGS_DRDY_REQUIRED);
static_assert(os::kATA_FLAGS_DATA_IN == ATA_FLAGS_DATA_IN);
static_assert(os::kATA_FLAGS_DATA_OUT == ATA_FLAGS_DATA_OUT);
static_assert(transport::DATA_IN == ATA_FLAGS_DATA_IN);
static_assert(transport::DATA_OUT == ATA_FLAGS_DATA_OUT);
static_assert(os::kSCSI_IOCTL_DATA_OUT == SCSI_IOCTL_DATA_OUT);
static_assert(os::kSCSI_IOCTL_DATA_IN == SCSI_IOCTL_DATA_IN);
static_assert(os::kSCSI_IOCTL_DATA_UNSPECIFIED == SCSI_IOCTL_DATA_UNSPECIFIED);
static_assert(os::kERROR_PATH_NOT_FOUND == ERROR_PATH_NOT_FOUND);
static_assert(os::kERROR_SEM_TIMEOUT == ERROR_SEM_TIMEOUT);
static_assert(os::kERROR_IO_DEVICE == ERROR_IO_DEVICE);
static_assert(os::kERROR_TIMEOUT == ERROR_TIMEOUT);
static_assert(os::kFILE_SHARE_DELETE == FILE_SHARE_DELETE);
static_assert(os::kFILE_ATTRIBUTE_DIRECTORY == FILE_ATTRIBUTE_DIRECTORY);
static_assert(os::kFILE_ATTRIBUTE_NORMAL == FILE_ATTRIBUTE_NORMAL);
static_assert(os::kINVALID_FILE_ATTRIBUTES == INVALID_FILE_ATTRIBUTES);

// ---- CSMI ----
// The header is SRB_IO_CONTROL.
namespace hdr = os::layout::csmi::header;
static_assert(hdr::kHeaderLength == offsetof(SRB_IO_CONTROL, HeaderLength));
static_assert(hdr::kSignature == offsetof(SRB_IO_CONTROL, Signature));
static_assert(hdr::kSignatureSize == sizeof(SRB_IO_CONTROL::Signature));
static_assert(hdr::kTimeout == offsetof(SRB_IO_CONTROL, Timeout));
static_assert(hdr::kControlCode == offsetof(SRB_IO_CONTROL, ControlCode));
static_assert(hdr::kReturnCode == offsetof(SRB_IO_CONTROL, ReturnCode));
static_assert(hdr::kLength == offsetof(SRB_IO_CONTROL, Length));
static_assert(hdr::kSize == sizeof(SRB_IO_CONTROL));

// The published structures, packed to 8 as the CSMI definitions are.
#pragma pack(push, 8)
struct CsmiDriverInfoBuffer {
  SRB_IO_CONTROL IoctlHeader;
  UCHAR szName[81];
  UCHAR szDescription[81];
  USHORT usMajorRevision;
  USHORT usMinorRevision;
  USHORT usBuildRevision;
  USHORT usReleaseRevision;
  USHORT usCSMIMajorRevision;
  USHORT usCSMIMinorRevision;
};
struct CsmiIdentify {
  UCHAR bDeviceType;
  UCHAR bRestricted;
  UCHAR bInitiatorPortProtocol;
  UCHAR bTargetPortProtocol;
  UCHAR bRestricted2[8];
  UCHAR bSASAddress[8];
  UCHAR bPhyIdentifier;
  UCHAR bSignalClass;
  UCHAR bReserved[6];
};
struct CsmiPhyEntity {
  CsmiIdentify Identify;
  UCHAR bPortIdentifier;
  UCHAR bNegotiatedLinkRate;
  UCHAR bMinimumLinkRate;
  UCHAR bMaximumLinkRate;
  UCHAR bPhyChangeCount;
  UCHAR bAutoDiscover;
  UCHAR bPhyFeatures;
  UCHAR bReserved;
  CsmiIdentify Attached;
};
struct CsmiPhyInfoBuffer {
  SRB_IO_CONTROL IoctlHeader;
  UCHAR bNumberOfPhys;
  UCHAR bReserved[3];
  CsmiPhyEntity Phy[32];
};
struct CsmiStpPassThroughBuffer {
  SRB_IO_CONTROL IoctlHeader;
  UCHAR bPhyIdentifier;
  UCHAR bPortIdentifier;
  UCHAR bConnectionRate;
  UCHAR bReserved;
  UCHAR bDestinationSASAddress[8];
  UCHAR bReserved2[4];
  UCHAR bCommandFIS[20];
  ULONG uFlags;
  ULONG uDataLength;
  UCHAR bConnectionStatus;
  UCHAR bReserved3[3];
  UCHAR bStatusFIS[20];
  ULONG uSCR[16];
  ULONG uDataBytes;
  UCHAR bDataBuffer[1];
};
#pragma pack(pop)

// Pinned to the published sizes...
static_assert(sizeof(CsmiDriverInfoBuffer) == 204);
static_assert(sizeof(CsmiPhyEntity) == 64);
static_assert(sizeof(CsmiPhyInfoBuffer) == 2080);
static_assert(offsetof(CsmiPhyInfoBuffer, Phy) == 32);
static_assert(sizeof(CsmiStpPassThroughBuffer) == 168);
static_assert(offsetof(CsmiStpPassThroughBuffer, bDataBuffer) == 164);

// ...and the program's offsets pinned to them.
namespace csmi = os::layout::csmi;
static_assert(csmi::driver_info::kName == offsetof(CsmiDriverInfoBuffer, szName));
static_assert(csmi::driver_info::kNameSize == sizeof(CsmiDriverInfoBuffer::szName));
static_assert(csmi::driver_info::kDescription == offsetof(CsmiDriverInfoBuffer, szDescription));
static_assert(csmi::driver_info::kMajorRevision == offsetof(CsmiDriverInfoBuffer, usMajorRevision));
static_assert(csmi::driver_info::kMinorRevision == offsetof(CsmiDriverInfoBuffer, usMinorRevision));
static_assert(csmi::driver_info::kBuildRevision == offsetof(CsmiDriverInfoBuffer, usBuildRevision));
static_assert(csmi::driver_info::kReleaseRevision ==
              offsetof(CsmiDriverInfoBuffer, usReleaseRevision));
static_assert(csmi::driver_info::kCsmiMajorRevision ==
              offsetof(CsmiDriverInfoBuffer, usCSMIMajorRevision));
static_assert(csmi::driver_info::kCsmiMinorRevision ==
              offsetof(CsmiDriverInfoBuffer, usCSMIMinorRevision));
static_assert(csmi::driver_info::kSize == sizeof(CsmiDriverInfoBuffer));

static_assert(csmi::identify::kDeviceType == offsetof(CsmiIdentify, bDeviceType));
static_assert(csmi::identify::kInitiatorPortProtocol ==
              offsetof(CsmiIdentify, bInitiatorPortProtocol));
static_assert(csmi::identify::kTargetPortProtocol == offsetof(CsmiIdentify, bTargetPortProtocol));
static_assert(csmi::identify::kSasAddress == offsetof(CsmiIdentify, bSASAddress));
static_assert(csmi::identify::kPhyIdentifier == offsetof(CsmiIdentify, bPhyIdentifier));
static_assert(csmi::identify::kSignalClass == offsetof(CsmiIdentify, bSignalClass));
static_assert(csmi::identify::kSize == sizeof(CsmiIdentify));
static_assert(csmi::phy_entity::kIdentify == offsetof(CsmiPhyEntity, Identify));
static_assert(csmi::phy_entity::kPortIdentifier == offsetof(CsmiPhyEntity, bPortIdentifier));
static_assert(csmi::phy_entity::kNegotiatedLinkRate ==
              offsetof(CsmiPhyEntity, bNegotiatedLinkRate));
static_assert(csmi::phy_entity::kMinimumLinkRate == offsetof(CsmiPhyEntity, bMinimumLinkRate));
static_assert(csmi::phy_entity::kMaximumLinkRate == offsetof(CsmiPhyEntity, bMaximumLinkRate));
static_assert(csmi::phy_entity::kPhyChangeCount == offsetof(CsmiPhyEntity, bPhyChangeCount));
static_assert(csmi::phy_entity::kAutoDiscover == offsetof(CsmiPhyEntity, bAutoDiscover));
static_assert(csmi::phy_entity::kPhyFeatures == offsetof(CsmiPhyEntity, bPhyFeatures));
static_assert(csmi::phy_entity::kAttached == offsetof(CsmiPhyEntity, Attached));
static_assert(csmi::phy_entity::kSize == sizeof(CsmiPhyEntity));
static_assert(csmi::phy_info::kNumberOfPhys == offsetof(CsmiPhyInfoBuffer, bNumberOfPhys));
static_assert(csmi::phy_info::kInformation == offsetof(CsmiPhyInfoBuffer, bNumberOfPhys));
static_assert(csmi::phy_info::kPhy == offsetof(CsmiPhyInfoBuffer, Phy));
static_assert(csmi::phy_info::kMaxPhys == sizeof(CsmiPhyInfoBuffer::Phy) / sizeof(CsmiPhyEntity));
static_assert(csmi::phy_info::kSize == sizeof(CsmiPhyInfoBuffer));
static_assert(csmi::phy_info::kInformationSize == 2052);
static_assert(csmi::phy_info::kInfoPhy == csmi::phy_info::kPhy - csmi::phy_info::kInformation);

namespace stp = csmi::stp;
static_assert(stp::kPhyIdentifier == offsetof(CsmiStpPassThroughBuffer, bPhyIdentifier));
static_assert(stp::kPortIdentifier == offsetof(CsmiStpPassThroughBuffer, bPortIdentifier));
static_assert(stp::kConnectionRate == offsetof(CsmiStpPassThroughBuffer, bConnectionRate));
static_assert(stp::kDestinationSasAddress ==
              offsetof(CsmiStpPassThroughBuffer, bDestinationSASAddress));
static_assert(stp::kCommandFis == offsetof(CsmiStpPassThroughBuffer, bCommandFIS));
static_assert(stp::kFisSize == sizeof(CsmiStpPassThroughBuffer::bCommandFIS));
static_assert(stp::kFlags == offsetof(CsmiStpPassThroughBuffer, uFlags));
static_assert(stp::kDataLength == offsetof(CsmiStpPassThroughBuffer, uDataLength));
static_assert(stp::kConnectionStatus == offsetof(CsmiStpPassThroughBuffer, bConnectionStatus));
static_assert(stp::kStatusFis == offsetof(CsmiStpPassThroughBuffer, bStatusFIS));
static_assert(stp::kScr == offsetof(CsmiStpPassThroughBuffer, uSCR));
static_assert(stp::kDataBytes == offsetof(CsmiStpPassThroughBuffer, uDataBytes));
static_assert(stp::kDataBuffer == offsetof(CsmiStpPassThroughBuffer, bDataBuffer));
static_assert(stp::kSize == sizeof(CsmiStpPassThroughBuffer));
static_assert(stp::kLengthBase == 140);
static_assert(csmi::fis::kCount == 12 && csmi::fis::kDevice == 7);

}  // namespace
