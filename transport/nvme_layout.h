// The requests that carry NVMe commands and firmware to a drive: the Intel RST NVMe
// pass-through ("IntelNvm"), the inbox driver's protocol-specific storage query, the Windows
// miniport firmware interface ("FIRMWARE") and the Intel RST firmware interface ("IntelFw ").
// All but the storage query follow an SRB_IO_CONTROL header (srb_io_control.h) and travel
// over IOCTL_SCSI_MINIPORT. None holds a pointer, so the offsets are the same in both widths.
//
// win32/nvme_layout_checks.cpp proves the storage query against winioctl.h. mingw-w64
// declares neither FIRMWARE_REQUEST_BLOCK nor the STORAGE_FIRMWARE_* structures, nor anything
// of Intel's; the checks assert the sizes and offsets Microsoft documents for the former.
#pragma once

#include <cstddef>
#include <cstdint>

#include "transport/srb_io_control.h"

namespace transport::nvme {

inline constexpr std::size_t kCompletionSize = 16;  // completion queue entry
inline constexpr std::size_t kIdentifySize = 4096;

// IDENTIFY and the CNS value the program sends.
inline constexpr std::uint8_t kOpcodeIdentify = 0x06;
inline constexpr std::uint32_t kCnsController = 1;
inline constexpr std::size_t kCdw10 = 40;  // command dword 10 within the command

// IDENTIFY CONTROLLER: FRMW, bit 0 slot 1 read-only, bits 3:1 the number of slots.
inline constexpr std::size_t kIdentifyFrmw = 260;

// Intel RST NVMe pass-through: header, then the command block, then the data at 168.
namespace irst_nvm {
inline constexpr const char* kSignature = "IntelNvm";
inline constexpr std::uint32_t kControlCode = 0xF0002808;
inline constexpr std::size_t kVersion = 28;
inline constexpr std::size_t kPathId = 29;
inline constexpr std::size_t kTargetId = 30;
inline constexpr std::size_t kLun = 31;
inline constexpr std::size_t kCommand = 32;
inline constexpr std::size_t kIsIoCommandSet = 96;
inline constexpr std::size_t kCompletion = 100;
inline constexpr std::size_t kCompletionStatus = 114;  // 16 bits: phase, SC, SCT, more, DNR
inline constexpr std::size_t kDataBufferOffset = 116;
inline constexpr std::size_t kDataBufferLength = 120;
inline constexpr std::size_t kData = 168;
inline constexpr std::size_t kLengthBase = kData - srb::kSize;  // 140 + L after the header
inline constexpr std::uint8_t kRequestVersion = 1;
static_assert(kCompletion + kCompletionSize == kDataBufferOffset);
}  // namespace irst_nvm

// IOCTL_STORAGE_QUERY_PROPERTY for NVMe data: STORAGE_PROPERTY_QUERY with a
// STORAGE_PROTOCOL_SPECIFIC_DATA in its AdditionalParameters, then the data. The answer is a
// STORAGE_PROTOCOL_DATA_DESCRIPTOR (Version, Size, the same specific data), so the data lands
// at the same offset.
namespace protocol_query {
inline constexpr std::uint32_t kStorageAdapterProtocolSpecificProperty = 49;
inline constexpr std::uint32_t kPropertyStandardQuery = 0;
inline constexpr std::uint32_t kProtocolTypeNvme = 3;
inline constexpr std::uint32_t kNVMeDataTypeIdentify = 1;

inline constexpr std::size_t kPropertyId = 0;
inline constexpr std::size_t kQueryType = 4;
inline constexpr std::size_t kSpecific = 8;  // STORAGE_PROTOCOL_SPECIFIC_DATA
// Within STORAGE_PROTOCOL_SPECIFIC_DATA.
inline constexpr std::size_t kProtocolType = 0;
inline constexpr std::size_t kDataType = 4;
inline constexpr std::size_t kProtocolDataRequestValue = 8;
inline constexpr std::size_t kProtocolDataRequestSubValue = 12;
inline constexpr std::size_t kProtocolDataOffset = 16;  // from the start of the specific data
inline constexpr std::size_t kProtocolDataLength = 20;
inline constexpr std::size_t kSpecificSize = 40;
// The identify request as one block.
inline constexpr std::size_t kData = kSpecific + kSpecificSize;  // 48
inline constexpr std::size_t kIdentifyRequestSize = kData + kIdentifySize;
static_assert(kIdentifyRequestSize == 4144);
}  // namespace protocol_query

// The Windows miniport firmware interface: header, FIRMWARE_REQUEST_BLOCK, function data.
namespace miniport_fw {
inline constexpr const char* kSignature = "FIRMWARE";
inline constexpr std::uint32_t kControlCode = 0x001B0780;  // IOCTL_SCSI_MINIPORT_FIRMWARE
inline constexpr std::uint32_t kTimeoutSeconds = 30;
inline constexpr std::uint32_t kFunctionGetInfo = 1;
inline constexpr std::uint32_t kFunctionDownload = 2;
inline constexpr std::uint32_t kFunctionActivate = 3;
inline constexpr std::uint32_t kFlagController = 1;  // FIRMWARE_REQUEST_FLAG_CONTROLLER

// FIRMWARE_REQUEST_BLOCK, from the end of the header.
inline constexpr std::size_t kRequestBlock = srb::kSize;
inline constexpr std::size_t kVersion = kRequestBlock + 0;
inline constexpr std::size_t kSize = kRequestBlock + 4;
inline constexpr std::size_t kFunction = kRequestBlock + 8;
inline constexpr std::size_t kFlags = kRequestBlock + 12;
inline constexpr std::size_t kDataBufferOffset = kRequestBlock + 16;
inline constexpr std::size_t kDataBufferLength = kRequestBlock + 20;
inline constexpr std::size_t kRequestBlockSize = 24;
inline constexpr std::uint32_t kRequestBlockVersion = 1;
inline constexpr std::size_t kData = kRequestBlock + kRequestBlockSize;  // 52

// STORAGE_FIRMWARE_INFO, within the data.
namespace info {
inline constexpr std::size_t kUpgradeSupport = 8;
inline constexpr std::size_t kSlotCount = 9;
inline constexpr std::size_t kActiveSlot = 10;
inline constexpr std::size_t kPendingActivateSlot = 11;
inline constexpr std::size_t kSlots = 16;
inline constexpr std::size_t kSlotSize = 16;  // STORAGE_FIRMWARE_SLOT_INFO
inline constexpr std::size_t kSlotNumber = 0;
inline constexpr std::size_t kSlotReadOnly = 1;
inline constexpr std::size_t kSlotRevision = 8;  // 8 bytes
}  // namespace info

// STORAGE_FIRMWARE_DOWNLOAD, within the data.
namespace download {
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kOffset = 8;       // 64 bits
inline constexpr std::size_t kBufferSize = 16;  // 64 bits
inline constexpr std::size_t kImage = 24;
inline constexpr std::uint32_t kStructVersion = 1;
inline constexpr std::uint32_t kStructSize = 24;
}  // namespace download

// STORAGE_FIRMWARE_ACTIVATE, within the data.
namespace activate {
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kSlotToActivate = 8;
inline constexpr std::uint32_t kStructSize = 12;
}  // namespace activate
}  // namespace miniport_fw

// The Intel RST firmware interface: header, a request block of its own, function data at 56.
namespace irst_fw {
inline constexpr const char* kSignature = "IntelFw ";
inline constexpr std::uint32_t kControlCode = 0xF0000040;
inline constexpr std::uint32_t kTimeoutSeconds = 30;
inline constexpr std::size_t kVersion = 28;
inline constexpr std::size_t kPathId = 29;
inline constexpr std::size_t kTargetId = 30;
inline constexpr std::size_t kLun = 31;
inline constexpr std::size_t kRequestVersion = 32;
inline constexpr std::size_t kRequestSize = 36;
inline constexpr std::size_t kFunction = 40;
inline constexpr std::size_t kFlags = 44;
inline constexpr std::size_t kDataOffset = 48;
inline constexpr std::size_t kDataLength = 52;
inline constexpr std::size_t kData = 56;
inline constexpr std::uint32_t kRequestBlockSize = 24;

namespace download {  // within the data
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kOffset = 8;       // 64 bits
inline constexpr std::size_t kBufferSize = 16;  // 64 bits
inline constexpr std::size_t kSlot = 24;
inline constexpr std::size_t kImage = 32;
inline constexpr std::uint32_t kStructVersion = 2;
inline constexpr std::uint32_t kStructSize = 32;
inline constexpr std::uint8_t kAnySlot = 0xFF;
}  // namespace download

namespace activate {  // within the data
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kSlot = 8;
inline constexpr std::uint32_t kStructVersion = 1;
inline constexpr std::uint32_t kStructSize = 12;
}  // namespace activate
}  // namespace irst_fw

// FIRMWARE_STATUS_* in ReturnCode, as both firmware interfaces answer.
inline constexpr std::uint32_t kFirmwareStatusSuccess = 0x00;
inline constexpr std::uint32_t kFirmwareStatusPowerCycleRequired = 0x20;

// Chunk sizes of an image download.
inline constexpr std::uint32_t kChunkSmall = 4096;
inline constexpr std::uint32_t kChunkLarge = 16384;
// The activation request is sent this many times at most when the call itself fails.
inline constexpr int kActivationAttempts = 5;

}  // namespace transport::nvme
