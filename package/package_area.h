// The package areas of this executable: configuration block, payload, cipher area, program
// slots and program sizes, kAreaSize bytes in all, in writable initialised data.
#pragma once

#include <cstdint>

namespace package {

// First byte of the configuration block in the loaded image. The packaging tool has written
// the release into these bytes of the file; the program only reads them.
std::uint8_t* PackageArea();

}  // namespace package
