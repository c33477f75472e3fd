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

#include "transport/nvme_layout.h"

namespace {

namespace n = transport::nvme;

// ---- The protocol-specific storage query ----
namespace q = n::protocol_query;
static_assert(q::kStorageAdapterProtocolSpecificProperty == StorageAdapterProtocolSpecificProperty);
static_assert(q::kPropertyStandardQuery == PropertyStandardQuery);
static_assert(q::kProtocolTypeNvme == ProtocolTypeNvme);
static_assert(q::kNVMeDataTypeIdentify == NVMeDataTypeIdentify);
static_assert(q::kPropertyId == offsetof(STORAGE_PROPERTY_QUERY, PropertyId));
static_assert(q::kQueryType == offsetof(STORAGE_PROPERTY_QUERY, QueryType));
static_assert(q::kSpecific == offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
using Specific = STORAGE_PROTOCOL_SPECIFIC_DATA;
static_assert(q::kProtocolType == offsetof(Specific, ProtocolType));
static_assert(q::kDataType == offsetof(Specific, DataType));
static_assert(q::kProtocolDataRequestValue == offsetof(Specific, ProtocolDataRequestValue));
static_assert(q::kProtocolDataRequestSubValue == offsetof(Specific, ProtocolDataRequestSubValue));
static_assert(q::kProtocolDataOffset == offsetof(Specific, ProtocolDataOffset));
static_assert(q::kProtocolDataLength == offsetof(Specific, ProtocolDataLength));
static_assert(q::kSpecificSize == sizeof(Specific));
// The answer puts the same specific data at the same place.
static_assert(q::kSpecific == offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData));

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

namespace m = n::miniport_fw;
static_assert(m::kRequestBlock == sizeof(SRB_IO_CONTROL));
static_assert(m::kVersion - m::kRequestBlock == offsetof(FirmwareRequestBlock, Version));
static_assert(m::kSize - m::kRequestBlock == offsetof(FirmwareRequestBlock, Size));
static_assert(m::kFunction - m::kRequestBlock == offsetof(FirmwareRequestBlock, Function));
static_assert(m::kFlags - m::kRequestBlock == offsetof(FirmwareRequestBlock, Flags));
static_assert(m::kDataBufferOffset - m::kRequestBlock ==
              offsetof(FirmwareRequestBlock, DataBufferOffset));
static_assert(m::kDataBufferLength - m::kRequestBlock ==
              offsetof(FirmwareRequestBlock, DataBufferLength));
static_assert(m::kRequestBlockSize == sizeof(FirmwareRequestBlock));
static_assert(m::kData == 52);
static_assert(m::info::kUpgradeSupport == offsetof(StorageFirmwareInfo, UpgradeSupport));
static_assert(m::info::kSlotCount == offsetof(StorageFirmwareInfo, SlotCount));
static_assert(m::info::kActiveSlot == offsetof(StorageFirmwareInfo, ActiveSlot));
static_assert(m::info::kPendingActivateSlot == offsetof(StorageFirmwareInfo, PendingActivateSlot));
static_assert(m::info::kSlots == offsetof(StorageFirmwareInfo, Slot));
static_assert(m::info::kSlotSize == sizeof(StorageFirmwareSlotInfo));
static_assert(m::info::kSlotNumber == offsetof(StorageFirmwareSlotInfo, SlotNumber));
static_assert(m::info::kSlotReadOnly == offsetof(StorageFirmwareSlotInfo, ReadOnly));
static_assert(m::info::kSlotRevision == offsetof(StorageFirmwareSlotInfo, Revision));
static_assert(m::download::kOffset == offsetof(StorageFirmwareDownload, Offset));
static_assert(m::download::kBufferSize == offsetof(StorageFirmwareDownload, BufferSize));
static_assert(m::download::kImage == offsetof(StorageFirmwareDownload, ImageBuffer));
// The program puts 24, the offset of the image, into STORAGE_FIRMWARE_DOWNLOAD.Size, as its
// request rules say. Microsoft's own sample sends sizeof, 32 here (40 for the second version).
// A driver that checks Size strictly would refuse 24: the first thing to try on real hardware.
static_assert(m::download::kStructSize == offsetof(StorageFirmwareDownload, ImageBuffer));
static_assert(sizeof(StorageFirmwareDownload) == 32);
static_assert(m::activate::kSlotToActivate == offsetof(StorageFirmwareActivate, SlotToActivate));
static_assert(m::activate::kStructSize == sizeof(StorageFirmwareActivate));
static_assert(m::kData + m::download::kImage + n::kChunkSmall == 4172);

// ---- Intel RST: no public header; the sizes the requests are built to ----
static_assert(n::irst_nvm::kData + 4096 == 4264);
static_assert(n::irst_fw::kData + n::irst_fw::download::kImage == 88);

}  // namespace
