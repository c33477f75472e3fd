// IDENTIFY DEVICE, the part-identifier log and the vendor version reply, as a SATA drive or a
// driver between answers them: the readers take their fields from exactly the bytes that came
// back. The input is the 512 bytes of IDENTIFY, then the 512 of log 9Ah, then the 8 of the
// reply, each zero padded when the input is short.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "discovery/drive_readers.h"
#include "framework/fixed_text.h"

namespace {

// A block of exactly `Size` bytes on the heap, so that a read past it is caught.
template <std::size_t Size>
std::unique_ptr<std::uint8_t[]> Take(const std::uint8_t*& data, std::size_t& size) {
  auto block = std::make_unique<std::uint8_t[]>(Size);
  const std::size_t n = size < Size ? size : Size;
  std::memcpy(block.get(), data, n);
  data += n;
  size -= n;
  return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto identify = Take<512>(data, size);
  const auto log = Take<512>(data, size);
  const auto reply = Take<8>(data, size);

  discovery::TCurrentIdentity identity{};
  discovery::TakeAtaIdentity(std::span<const std::uint8_t, 512>(identify.get(), 512), identity);
  std::memcpy(identity.fwExt, identity.firmware, sizeof identity.fwExt);
  discovery::TakeVendorRevision(std::span<const std::uint8_t, 8>(reply.get(), 8), identity);
  discovery::TakePpidLog(std::span<const std::uint8_t, 512>(log.get(), 512), identity);
  // The record's texts are read by their width: no terminator is needed.
  discovery::DevInfo record{};
  discovery::CopyIdentity(identity, record);
  fw::FieldText(record.model);
  fw::FieldText(record.fwExt);
  return 0;
}
