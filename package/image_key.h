// The key the images of a boot-time package are enciphered with. The program and the release
// maker build it the same way; it exists only while it is being used.
#pragma once

#include <cstdint>

namespace package {

// Writes the 16-byte image key to `out`.
void BuildImageKey(std::uint8_t* out);

}  // namespace package
