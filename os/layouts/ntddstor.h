// The firmware structures of ntddstor.h that the miniport firmware interface carries as its
// function data: STORAGE_FIRMWARE_INFO, STORAGE_FIRMWARE_DOWNLOAD, STORAGE_FIRMWARE_ACTIVATE.
// None holds a pointer. mingw-w64 does not declare them; win32/nvme_layout_checks.cpp proves
// the offsets against a transcription of Microsoft's declarations and its documented sizes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os::layout {

namespace storage_firmware_info {  // STORAGE_FIRMWARE_INFO
inline constexpr std::size_t kUpgradeSupport = 8;
inline constexpr std::size_t kSlotCount = 9;
inline constexpr std::size_t kActiveSlot = 10;
inline constexpr std::size_t kPendingActivateSlot = 11;
inline constexpr std::size_t kSlots = 16;
inline constexpr std::size_t kSlotSize = 16;  // STORAGE_FIRMWARE_SLOT_INFO
inline constexpr std::size_t kSlotNumber = 0;
inline constexpr std::size_t kSlotReadOnly = 1;
inline constexpr std::size_t kSlotRevision = 8;  // 8 bytes
}  // namespace storage_firmware_info

namespace storage_firmware_download {  // STORAGE_FIRMWARE_DOWNLOAD
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kOffset = 8;       // 64 bits
inline constexpr std::size_t kBufferSize = 16;  // 64 bits
inline constexpr std::size_t kImage = 24;
inline constexpr std::uint32_t kStructVersion = 1;
// What the program puts in Size: the offset of the image, not sizeof (32).
inline constexpr std::uint32_t kStructSize = 24;
}  // namespace storage_firmware_download

namespace storage_firmware_activate {  // STORAGE_FIRMWARE_ACTIVATE
inline constexpr std::size_t kVersion = 0;
inline constexpr std::size_t kSize = 4;
inline constexpr std::size_t kSlotToActivate = 8;
inline constexpr std::uint32_t kStructSize = 12;
}  // namespace storage_firmware_activate

}  // namespace os::layout
