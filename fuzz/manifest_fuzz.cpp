// A release engineer's manifest of any text: refused with a PackError or accepted and
// validated, never a crash.
#include <cstdint>
#include <string_view>

#include "tools/travok-pack/packer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const pack::Release release = pack::ParseManifestText(text, "/nonexistent");
    pack::Validate(release);
  } catch (const pack::PackError&) {
  }
  return 0;
}
