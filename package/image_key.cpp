#include "package/image_key.h"

#include <array>
#include <cstddef>

namespace package {
namespace {

using Bytes32 = std::array<std::uint8_t, 32>;

// Neither table holds the key, nor does any run of bytes in the program: the key appears only
// in the work area below, so a look at the executable's bytes does not give it away.
const Bytes32 kKeyTableA{0xCF, 0x1C, 0xED, 0xEA, 0x6C, 0x3F, 0xFF, 0x92, 0x50, 0x14, 0x4D,
                         0x61, 0x66, 0x5E, 0x24, 0x9D, 0xF7, 0x33, 0x0F, 0x25, 0x33, 0x32,
                         0xF9, 0x6E, 0x3A, 0x05, 0xE6, 0xA5, 0x2B, 0x9B, 0xD3, 0xBF};
const Bytes32 kKeyTableB{0x7F, 0x90, 0x47, 0x76, 0x97, 0x0A, 0xF8, 0xD9, 0x6E, 0x61, 0xD8,
                         0x5B, 0x7E, 0x1E, 0x0F, 0x35, 0x8B, 0x89, 0x51, 0x5E, 0x06, 0xCC,
                         0x0A, 0x82, 0xFE, 0x9E, 0x5D, 0xB7, 0xAA, 0x7E, 0xA1, 0x18};

std::uint8_t RotateLeft(std::uint8_t x, unsigned n) {
  n %= 8;
  return n ? std::uint8_t((x << n) | (x >> (8 - n))) : x;
}

// The tables' addresses go through an empty assembly statement, so the optimiser cannot
// evaluate the key at build time and leave it whole in the code.
const std::uint8_t* Hidden(const Bytes32& table) {
  const std::uint8_t* p = table.data();
  __asm__ volatile("" : "+r"(p));
  return p;
}

void FillWorkArea(std::array<std::uint8_t, 64>& work) {
  const std::uint8_t* a = Hidden(kKeyTableA);
  const std::uint8_t* b = Hidden(kKeyTableB);
  for (std::size_t i = 0; i < 32; ++i) {
    work[i] = std::uint8_t(a[i] ^ RotateLeft(b[31 - i], unsigned(i % 7 + 1)));
    work[32 + i] = std::uint8_t(a[(i * 5) % 32] + b[i]);
  }
  const std::uint8_t run[16] = {0x7A, 0xE6, 0x63, 0xF7, 0xEE, 0xD2, 0x92, 0xFD,
                                0xDC, 0x15, 0x56, 0x4B, 0xE1, 0xFB, 0x17, 0xAC};
  for (std::size_t i = 0; i < 16; ++i) work[17 + 2 * i] ^= run[i];
  for (std::size_t i = 1; i < work.size(); ++i)
    work[i] = std::uint8_t(work[i] + (work[i - 1] ^ 0x5A));
  for (std::size_t i = work.size() - 1; i > 0; --i)
    work[i - 1] = std::uint8_t(work[i - 1] ^ RotateLeft(work[i], unsigned(i)));
}

}  // namespace

void BuildImageKey(std::uint8_t* out) {
  std::array<std::uint8_t, 64> work{};
  FillWorkArea(work);
  for (std::size_t k = 0; k < 16; ++k) out[k] = work[(k * 11 + 3) % 64] ^ work[63 - k];
  // The work area holds the key's parts: clear it before the stack is reused.
  volatile std::uint8_t* wipe = work.data();
  for (std::size_t i = 0; i < work.size(); ++i) wipe[i] = 0;
}

}  // namespace package
