// The slot information block of the inbox driver's miniport firmware interface (SRB_IO_CONTROL,
// the request block and STORAGE_FIRMWARE_INFO), 4,172 bytes as the driver left them: whatever
// slot count and active slot it claims, the reader stays inside the block and the slot box
// lists one entry per slot.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "discovery/drive_readers.h"
#include "framework/forms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kSize = discovery::kFirmwareInfoBlockSize;
  const auto block = std::make_unique<std::uint8_t[]>(kSize);
  std::memcpy(block.get(), data, size < kSize ? size : kSize);

  discovery::TCurrentIdentity identity{};
  fw::TComboBox slots, actions;
  if (discovery::TakeFirmwareInfo(std::span<const std::uint8_t, kSize>(block.get(), kSize),
                                  identity, {slots, actions})) {
    if (slots.Items.empty() || slots.Items.size() > 256) __builtin_trap();
    fw::FieldText(identity.firmware);
  }
  return 0;
}
