#include "transport/scsi_sense.h"

#include <algorithm>

namespace transport {
namespace {

constexpr std::uint8_t kDescriptorCurrent = 0x72;
constexpr std::uint8_t kDescriptorDeferred = 0x73;
constexpr std::size_t kFirstDescriptor = 8;
// The descriptors are looked for within this many bytes after the header, however many the
// additional length claims.
constexpr std::size_t kDescriptorWindow = 24;

std::uint8_t At(std::span<const std::uint8_t> b, std::size_t i) {
  return i < b.size() ? b[i] : 0;
}

void FindAtaReturn(std::span<const std::uint8_t> sense, std::size_t additionalLength,
                   ScsiSense& out) {
  const std::size_t end =
      std::min({kFirstDescriptor + std::min(additionalLength, kDescriptorWindow), sense.size()});
  std::size_t at = kFirstDescriptor;
  while (at + 1 < end) {
    const std::size_t size = std::size_t(sense[at + 1]) + 2;
    if (sense[at] == kAtaStatusReturnDescriptor) {
      out.bHasAtaReturn = true;
      out.ataReturnLength = std::clamp<std::size_t>(size, 12, 14);
      const std::size_t available = std::min(out.ataReturnLength, sense.size() - at);
      std::copy_n(sense.begin() + std::ptrdiff_t(at), available, out.ataReturn.begin());
      return;
    }
    at += size;
  }
}

}  // namespace

ScsiSense ParseSense(std::span<const std::uint8_t> sense) {
  ScsiSense out;
  const std::uint8_t first = At(sense, 0);
  if ((first & 0x70) != 0x70) return out;
  out.bValid = true;
  const std::uint8_t code = first & 0x7F;
  out.parsed[0] = code;
  if (code < kDescriptorCurrent) {
    out.parsed[1] = At(sense, 2) & 0x0F;
    std::size_t usable = sense.size();
    if (usable > 7) usable = std::min<std::size_t>(usable, std::size_t(sense[7]) + 8);
    if (usable > 12) out.parsed[2] = sense[12];
    if (usable > 13) out.parsed[3] = sense[13];
    return out;
  }
  if (code != kDescriptorCurrent && code != kDescriptorDeferred) return out;
  out.parsed[1] = At(sense, 1) & 0x0F;
  out.parsed[2] = At(sense, 2);
  out.parsed[3] = At(sense, 3);
  out.parsed[7] = At(sense, 7);
  if (out.parsed[7] != 0) FindAtaReturn(sense, out.parsed[7], out);
  return out;
}

void WriteBackRegisters(const ScsiSense& sense, TaskFile& taskFile) {
  const auto& d = sense.ataReturn;
  taskFile[reg::kFeatures] = d[3];  // error
  taskFile[reg::kCount] = d[5];
  taskFile[reg::kLbaLow] = d[7];
  taskFile[reg::kLbaMid] = d[9];
  taskFile[reg::kLbaHigh] = d[11];
  taskFile[reg::kDevice] = d[12];
  taskFile[reg::kCommand] = d[13];  // status
}

}  // namespace transport
