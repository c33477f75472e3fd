#include "package/aes_context.h"

#include "package/image_key.h"

namespace package {
namespace {

constexpr unsigned kFieldPolynomial = 0x11B;  // x^8 + x^4 + x^3 + x + 1
constexpr std::uint8_t kAffineConstant = 0x63;

std::uint8_t XTime(std::uint8_t x) {
  return std::uint8_t((x << 1) ^ ((x & 0x80) ? (kFieldPolynomial & 0xFF) : 0));
}

std::uint8_t RotateByte(std::uint8_t x, int n) {
  return std::uint8_t((x << n) | (x >> (8 - n)));
}

std::uint32_t RotateWord(std::uint32_t x) {  // one byte towards the high end
  return (x << 8) | (x >> 24);
}

// Powers of the generator 03h and their logarithms: products and inverses in GF(2^8).
struct FieldLogs {
  std::array<std::uint8_t, 256> pow{}, log{};

  FieldLogs() {
    std::uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
      pow[std::size_t(i)] = x;
      log[x] = std::uint8_t(i);
      x = std::uint8_t(x ^ XTime(x));
    }
  }
  std::uint8_t Mul(std::uint8_t a, std::uint8_t b) const {
    if (a == 0 || b == 0) return 0;
    return pow[(log[a] + log[b]) % 255];
  }
  std::uint8_t Inverse(std::uint8_t a) const { return a ? pow[(255 - log[a]) % 255] : 0; }
};

std::uint32_t Column(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  return std::uint32_t(b0) | std::uint32_t(b1) << 8 | std::uint32_t(b2) << 16 |
         std::uint32_t(b3) << 24;
}

std::uint8_t Byte(std::uint32_t word, int n) {
  return std::uint8_t(word >> (8 * n));
}

std::uint32_t SubWord(const AesContext& c, std::uint32_t w) {
  return Column(c.FSb[Byte(w, 0)], c.FSb[Byte(w, 1)], c.FSb[Byte(w, 2)], c.FSb[Byte(w, 3)]);
}

// InvMixColumns of one schedule word, through the reverse tables: RT[n][RSb[FSb[b]]] is
// InvMixColumns applied to byte b alone.
std::uint32_t InverseMixWord(const AesContext& c, std::uint32_t w) {
  return c.RT[0][c.FSb[Byte(w, 0)]] ^ c.RT[1][c.FSb[Byte(w, 1)]] ^ c.RT[2][c.FSb[Byte(w, 2)]] ^
         c.RT[3][c.FSb[Byte(w, 3)]];
}

std::uint32_t LoadWord(const std::uint8_t* p) {
  return Column(p[0], p[1], p[2], p[3]);
}

void StoreWord(std::uint8_t* p, std::uint32_t w) {
  for (int i = 0; i < 4; ++i) p[i] = Byte(w, i);
}

}  // namespace

void AesGenerateTables(AesContext& c) {
  const FieldLogs field;
  std::uint8_t rcon = 1;
  for (auto& word : c.RCON) {
    word = rcon;
    rcon = XTime(rcon);
  }
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t x = field.Inverse(std::uint8_t(i));
    const std::uint8_t s = std::uint8_t(x ^ RotateByte(x, 1) ^ RotateByte(x, 2) ^ RotateByte(x, 3) ^
                                        RotateByte(x, 4) ^ kAffineConstant);
    c.FSb[std::size_t(i)] = s;
    c.RSb[s] = std::uint8_t(i);
  }
  for (std::size_t i = 0; i < 256; ++i) {
    const std::uint8_t s = c.FSb[i], r = c.RSb[i];
    c.FT[0][i] = Column(field.Mul(2, s), s, s, field.Mul(3, s));
    c.RT[0][i] =
        Column(field.Mul(0x0E, r), field.Mul(0x09, r), field.Mul(0x0D, r), field.Mul(0x0B, r));
    for (std::size_t t = 1; t < 4; ++t) {
      c.FT[t][i] = RotateWord(c.FT[t - 1][i]);
      c.RT[t][i] = RotateWord(c.RT[t - 1][i]);
    }
  }
  c.bTablesReady = true;
}

void AesSetKey(AesContext& c, const AesKey& key) {
  if (!c.bTablesReady) AesGenerateTables(c);
  auto& ek = c.encryptKeys;
  for (std::size_t i = 0; i < 4; ++i) ek[i] = LoadWord(key.data() + 4 * i);
  for (std::size_t i = 4; i < kAesScheduleWords; ++i) {
    std::uint32_t t = ek[i - 1];
    if (i % 4 == 0) t = SubWord(c, (t >> 8) | (t << 24)) ^ c.RCON[i / 4 - 1];
    ek[i] = ek[i - 4] ^ t;
  }
  // The equivalent inverse cipher runs the round keys backwards, the inner ones through
  // InvMixColumns, so that decryption uses the same table-driven round as encryption.
  auto& dk = c.decryptKeys;
  for (std::size_t round = 0; round <= std::size_t(kAesRounds); ++round) {
    const std::size_t from = 4 * (std::size_t(kAesRounds) - round), to = 4 * round;
    for (std::size_t j = 0; j < 4; ++j) {
      const bool inner = round != 0 && round != std::size_t(kAesRounds);
      dk[to + j] = inner ? InverseMixWord(c, ek[from + j]) : ek[from + j];
    }
  }
}

void AesEncryptBlock(const AesContext& c, std::uint8_t* block) {
  const std::uint32_t* rk = c.encryptKeys.data();
  std::uint32_t x[4], y[4];
  for (int i = 0; i < 4; ++i) x[i] = LoadWord(block + 4 * i) ^ *rk++;
  for (int round = 1; round < c.iRounds; ++round) {
    for (int i = 0; i < 4; ++i)
      y[i] = *rk++ ^ c.FT[0][Byte(x[i], 0)] ^ c.FT[1][Byte(x[(i + 1) % 4], 1)] ^
             c.FT[2][Byte(x[(i + 2) % 4], 2)] ^ c.FT[3][Byte(x[(i + 3) % 4], 3)];
    for (int i = 0; i < 4; ++i) x[i] = y[i];
  }
  for (int i = 0; i < 4; ++i)
    y[i] = *rk++ ^ Column(c.FSb[Byte(x[i], 0)], c.FSb[Byte(x[(i + 1) % 4], 1)],
                          c.FSb[Byte(x[(i + 2) % 4], 2)], c.FSb[Byte(x[(i + 3) % 4], 3)]);
  for (int i = 0; i < 4; ++i) StoreWord(block + 4 * i, y[i]);
}

void AesDecryptBlock(const AesContext& c, std::uint8_t* block) {
  const std::uint32_t* rk = c.decryptKeys.data();
  std::uint32_t x[4], y[4];
  for (int i = 0; i < 4; ++i) x[i] = LoadWord(block + 4 * i) ^ *rk++;
  for (int round = 1; round < c.iRounds; ++round) {
    for (int i = 0; i < 4; ++i)
      y[i] = *rk++ ^ c.RT[0][Byte(x[i], 0)] ^ c.RT[1][Byte(x[(i + 3) % 4], 1)] ^
             c.RT[2][Byte(x[(i + 2) % 4], 2)] ^ c.RT[3][Byte(x[(i + 1) % 4], 3)];
    for (int i = 0; i < 4; ++i) x[i] = y[i];
  }
  for (int i = 0; i < 4; ++i)
    y[i] = *rk++ ^ Column(c.RSb[Byte(x[i], 0)], c.RSb[Byte(x[(i + 3) % 4], 1)],
                          c.RSb[Byte(x[(i + 2) % 4], 2)], c.RSb[Byte(x[(i + 1) % 4], 3)]);
  for (int i = 0; i < 4; ++i) StoreWord(block + 4 * i, y[i]);
}

void AesCryptBuffer(AesContext& context, std::uint8_t* data, std::size_t length, bool encrypt) {
  AesCryptBuffer(context, data, length, encrypt, BuildImageKey);
}

void AesCryptBuffer(AesContext& context, std::uint8_t* data, std::size_t length, bool encrypt,
                    AesKeyRoutine keyRoutine) {
  AesKey key{};
  keyRoutine(key.data());
  AesSetKey(context, key);
  key.fill(0);
  const std::size_t blocks = (length + kAesBlockSize - 1) / kAesBlockSize;
  for (std::size_t b = 0; b < blocks; ++b) {
    std::uint8_t* block = data + b * kAesBlockSize;
    encrypt ? AesEncryptBlock(context, block) : AesDecryptBlock(context, block);
  }
}

}  // namespace package
