// The NVMe request layouts against the Windows headers, in both pointer widths.
// - The storage query: mingw-w64 declares its structures, so every offset is proved against
//   Windows' own declaration.
// - The miniport firmware interface: mingw-w64 lacks FIRMWARE_REQUEST_BLOCK and the
//   STORAGE_FIRMWARE_* structures. They are transcribed below from Microsoft's declarations
//   (ntddscsi.h and ntddstor.h of the Windows SDK). The checks prove that the program's offsets
//   are the ones a compiler lays out for that transcription in both widths, and that the
//   transcription has the few sizes and offsets Microsoft's documentation states; they cannot
//   prove the transcription itself beyond those.
// - Intel RST: no public header at all; only the request sizes the program builds.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <cstddef>

#include "os/layouts/intel_rst.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/ntddstor.h"
#include "os/layouts/winioctl.h"
#include "transport/nvme_requests.h"

namespace {

namespace n = transport::nvme;
namespace W = os::layout;

// ---- The protocol-specific storage query ----
static_assert(os::kStorageAdapterProtocolSpecificProperty ==
              StorageAdapterProtocolSpecificProperty);
static_assert(os::kPropertyStandardQuery == PropertyStandardQuery);
static_assert(os::kProtocolTypeNvme == ProtocolTypeNvme);
static_assert(os::kNVMeDataTypeIdentify == NVMeDataTypeIdentify);
namespace psd = W::protocol_specific_data;
using Specific = STORAGE_PROTOCOL_SPECIFIC_DATA;
static_assert(psd::kProtocolType == offsetof(Specific, ProtocolType));
static_assert(psd::kDataType == offsetof(Specific, DataType));
static_assert(psd::kProtocolDataRequestValue == offsetof(Specific, ProtocolDataRequestValue));
static_assert(psd::kProtocolDataRequestSubValue == offsetof(Specific, ProtocolDataRequestSubValue));
static_assert(psd::kProtocolDataOffset == offsetof(Specific, ProtocolDataOffset));
static_assert(psd::kProtocolDataLength == offsetof(Specific, ProtocolDataLength));
static_assert(psd::kSize == sizeof(Specific));
namespace pdd = W::protocol_data_descriptor;
static_assert(pdd::kVersion == offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, Version));
static_assert(pdd::kSize == offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, Size));
static_assert(pdd::kProtocolSpecificData ==
              offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData));
// The request puts the specific data in the query's AdditionalParameters, and the answer puts
// it at the same place, so the data comes back where it was asked for.
namespace q = n::protocol_query;
static_assert(q::kSpecific == offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
static_assert(q::kSpecific == pdd::kProtocolSpecificData);
static_assert(q::kData == q::kSpecific + sizeof(Specific));

// ---- The miniport firmware interface (its SRB_IO_CONTROL is proved with CSMI's) ----

struct FirmwareRequestBlock {  // FIRMWARE_REQUEST_BLOCK
  ULONG Version;
  ULONG Size;
  ULONG Function;
  ULONG Flags;
  ULONG DataBufferOffset;
  ULONG DataBufferLength;
};
struct StorageFirmwareSlotInfo {  // STORAGE_FIRMWARE_SLOT_INFO
  UCHAR SlotNumber;
  BOOLEAN ReadOnly;
  UCHAR Reserved[6];
  union {
    UCHAR Info[8];
    ULONGLONG AsUlonglong;
  } Revision;
};
struct StorageFirmwareInfo {  // STORAGE_FIRMWARE_INFO
  ULONG Version;
  ULONG Size;
  BOOLEAN UpgradeSupport;
  UCHAR SlotCount;
  UCHAR ActiveSlot;
  UCHAR PendingActivateSlot;
  ULONG Reserved;
  StorageFirmwareSlotInfo Slot[1];
};
struct StorageFirmwareDownload {  // STORAGE_FIRMWARE_DOWNLOAD
  ULONG Version;
  ULONG Size;
  ULONGLONG Offset;
  ULONGLONG BufferSize;
  UCHAR ImageBuffer[1];
};
struct StorageFirmwareActivate {  // STORAGE_FIRMWARE_ACTIVATE
  ULONG Version;
  ULONG Size;
  UCHAR SlotToActivate;
  UCHAR Reserved0[3];
};

// The sizes and offsets Microsoft's documentation states.
static_assert(sizeof(FirmwareRequestBlock) == 24);
static_assert(sizeof(StorageFirmwareSlotInfo) == 16);
static_assert(offsetof(StorageFirmwareInfo, Slot) == 16);
static_assert(offsetof(StorageFirmwareDownload, ImageBuffer) == 24);
static_assert(sizeof(StorageFirmwareActivate) == 12);

namespace frb = W::firmware_request_block;
static_assert(frb::kVersion == offsetof(FirmwareRequestBlock, Version));
static_assert(frb::kSize == offsetof(FirmwareRequestBlock, Size));
static_assert(frb::kFunction == offsetof(FirmwareRequestBlock, Function));
static_assert(frb::kFlags == offsetof(FirmwareRequestBlock, Flags));
static_assert(frb::kDataBufferOffset == offsetof(FirmwareRequestBlock, DataBufferOffset));
static_assert(frb::kDataBufferLength == offsetof(FirmwareRequestBlock, DataBufferLength));
static_assert(frb::kStructSize == sizeof(FirmwareRequestBlock));
namespace m = n::miniport_fw;
static_assert(m::kRequestBlock == sizeof(SRB_IO_CONTROL));
static_assert(m::kData == 52);
namespace info = W::storage_firmware_info;
static_assert(info::kUpgradeSupport == offsetof(StorageFirmwareInfo, UpgradeSupport));
static_assert(info::kSlotCount == offsetof(StorageFirmwareInfo, SlotCount));
static_assert(info::kActiveSlot == offsetof(StorageFirmwareInfo, ActiveSlot));
static_assert(info::kPendingActivateSlot == offsetof(StorageFirmwareInfo, PendingActivateSlot));
static_assert(info::kSlots == offsetof(StorageFirmwareInfo, Slot));
static_assert(info::kSlotSize == sizeof(StorageFirmwareSlotInfo));
static_assert(info::kSlotNumber == offsetof(StorageFirmwareSlotInfo, SlotNumber));
static_assert(info::kSlotReadOnly == offsetof(StorageFirmwareSlotInfo, ReadOnly));
static_assert(info::kSlotRevision == offsetof(StorageFirmwareSlotInfo, Revision));
namespace download = W::storage_firmware_download;
static_assert(download::kVersion == offsetof(StorageFirmwareDownload, Version));
static_assert(download::kSize == offsetof(StorageFirmwareDownload, Size));
static_assert(download::kOffset == offsetof(StorageFirmwareDownload, Offset));
static_assert(download::kBufferSize == offsetof(StorageFirmwareDownload, BufferSize));
static_assert(download::kImage == offsetof(StorageFirmwareDownload, ImageBuffer));
// The program puts 24, the offset of the image, into STORAGE_FIRMWARE_DOWNLOAD.Size, as its
// request rules say. Microsoft's own sample sends sizeof, 32 here (40 for the second version).
// A driver that checks Size strictly would refuse 24: the first thing to try on real hardware.
static_assert(download::kStructSize == offsetof(StorageFirmwareDownload, ImageBuffer));
static_assert(sizeof(StorageFirmwareDownload) == 32);
namespace activate = W::storage_firmware_activate;
static_assert(activate::kVersion == offsetof(StorageFirmwareActivate, Version));
static_assert(activate::kSize == offsetof(StorageFirmwareActivate, Size));
static_assert(activate::kSlotToActivate == offsetof(StorageFirmwareActivate, SlotToActivate));
static_assert(activate::kStructSize == sizeof(StorageFirmwareActivate));
static_assert(m::kData + download::kImage + n::kChunkSmall == 4172);

// ---- Intel RST: no public header; the sizes the requests are built to ----
static_assert(W::irst_nvm::kData + 4096 == 4264);
static_assert(W::irst_fw::kData + W::irst_fw::download::kImage == 88);

}  // namespace
