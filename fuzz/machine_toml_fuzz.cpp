// A machine description of any text: the loader gives the PC its devices or refuses the file
// with a MachineError naming the line, never another failure.
#include <cstdint>
#include <string_view>

#include "sim/machine/machine_toml.h"
#include "sim/sim_pc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static sim::SimPc pc;
  pc.Reset();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    sim::LoadMachine(pc, text, "fuzz", "/nonexistent");
  } catch (const sim::MachineError&) {
  }
  return 0;
}
