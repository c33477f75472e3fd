// IDENTIFY CONTROLLER data as an NVMe drive, the Intel RST driver or the RSTe driver answers
// it: the identity fields come from exactly the 4,096 bytes that came back, and the slot count
// FRMW gives stays one the slot readers can list.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "discovery/drive_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kSize = 4096;
  const auto identify = std::make_unique<std::uint8_t[]>(kSize);
  std::memcpy(identify.get(), data, size < kSize ? size : kSize);

  discovery::TCurrentIdentity identity{};
  discovery::TakeNvmeIdentity(std::span<const std::uint8_t>(identify.get(), kSize), identity);
  if (identity.slotCount > 7) __builtin_trap();
  discovery::DevInfo record{};
  discovery::CopyIdentity(identity, record);
  fw::FieldText(record.model);
  fw::FieldText(record.serial);
  return 0;
}
