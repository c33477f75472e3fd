// The program's AES-128 against the standard's example and against the system's libcrypto,
// which the release maker enciphers with.
#include "package/aes_context.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <random>
#include <vector>

#include "package/image_key.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// FIPS-197, Appendix C.1.
void StandardKey(std::uint8_t* out) {
  for (int i = 0; i < 16; ++i) out[i] = std::uint8_t(i);
}
const Bytes kPlain = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                      0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const Bytes kCipher = {0x69, 0xC4, 0xE0, 0xD8, 0x6A, 0x7B, 0x04, 0x30,
                       0xD8, 0xCD, 0xB7, 0x80, 0x70, 0xB4, 0xC5, 0x5A};

Bytes Random(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) b = std::uint8_t(random());
  return bytes;
}

// AES-128-ECB without padding by libcrypto, under the image key.
Bytes Libcrypto(const Bytes& in, bool encrypt) {
  std::uint8_t key[16];
  package::BuildImageKey(key);
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  Bytes out(in.size() + 16);
  int n = 0, last = 0;
  EXPECT_EQ(EVP_CipherInit_ex(context, EVP_aes_128_ecb(), nullptr, key, nullptr, encrypt), 1);
  EVP_CIPHER_CTX_set_padding(context, 0);
  EXPECT_EQ(EVP_CipherUpdate(context, out.data(), &n, in.data(), int(in.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(context, out.data() + n, &last), 1);
  EVP_CIPHER_CTX_free(context);
  out.resize(std::size_t(n + last));
  return out;
}

TEST(AesCryptBuffer, GivesTheStandardsExampleInBothDirections) {
  package::AesContext context;  // tables not built yet: the first use builds them
  Bytes block = kPlain;
  package::AesCryptBuffer(context, block.data(), block.size(), true, StandardKey);
  EXPECT_EQ(block, kCipher);
  package::AesContext other;
  package::AesGenerateTables(other);
  package::AesCryptBuffer(other, block.data(), block.size(), false, StandardKey);
  EXPECT_EQ(block, kPlain);
}

TEST(AesCryptBuffer, DecipheringThenEncipheringRestoresAnyBuffer) {
  package::AesContext context;
  for (std::size_t size : {std::size_t(16), std::size_t(512), std::size_t(4096 + 48)}) {
    const Bytes original = Random(size, unsigned(size));
    Bytes data = original;
    package::AesCryptBuffer(context, data.data(), data.size(), false);
    EXPECT_NE(data, original) << size;
    package::AesCryptBuffer(context, data.data(), data.size(), true);
    EXPECT_EQ(data, original) << size;
  }
}

// A length that ends inside a block takes the whole block, and no byte after it.
TEST(AesCryptBuffer, RoundsTheLengthUpToWholeBlocksOnly) {
  package::AesContext context;
  const Bytes original = Random(64, 7);
  Bytes data = original;
  package::AesCryptBuffer(context, data.data(), 17, true);
  Bytes expected(original.begin(), original.begin() + 32);
  expected = Libcrypto(expected, true);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data.begin()));
  EXPECT_TRUE(std::equal(data.begin() + 32, data.end(), original.begin() + 32));
}

TEST(AesCryptBuffer, AgreesWithLibcryptoUnderTheImageKey) {
  package::AesContext context;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const Bytes plain = Random(512 * seed + 16 * seed, seed);
    Bytes ours = plain;
    package::AesCryptBuffer(context, ours.data(), ours.size(), true);
    EXPECT_EQ(ours, Libcrypto(plain, true)) << seed;
    Bytes theirs = Libcrypto(plain, true);
    package::AesCryptBuffer(context, theirs.data(), theirs.size(), false);
    EXPECT_EQ(theirs, plain) << seed;
  }
}

}  // namespace
