// Sense data comes from drivers and drives: whatever lengths it claims, reading it stays inside
// the bytes that came back.
#include <cstdint>
#include <span>

#include "transport/scsi_sense.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const transport::ScsiSense sense = transport::ParseSense(std::span(data, size));
  transport::TaskFile registers = {};
  if (sense.bHasAtaReturn) transport::WriteBackRegisters(sense, registers);
  if (sense.ataReturnLength > sense.ataReturn.size()) __builtin_trap();
  return 0;
}
