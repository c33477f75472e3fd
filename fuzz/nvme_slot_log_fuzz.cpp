// The firmware slot log as the Intel RST driver returns it, with any slot count the drive's
// FRMW byte claims (the first input byte): the slot box lists at most the log's 7 slots and
// reads only the 512 bytes of the log.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "discovery/drive_readers.h"
#include "framework/forms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t slotCount = data[0];
  ++data;
  --size;
  constexpr std::size_t kSize = discovery::kSlotLogSize;
  const auto log = std::make_unique<std::uint8_t[]>(kSize);
  std::memcpy(log.get(), data, size < kSize ? size : kSize);

  fw::TComboBox slots, actions;
  discovery::TakeSlotLog(std::span<const std::uint8_t, kSize>(log.get(), kSize), slotCount,
                         {slots, actions});
  if (slots.Items.empty() || slots.Items.size() > 8 || slots.ItemIndex != 0) __builtin_trap();
  return 0;
}
