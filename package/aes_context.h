// AES-128 as the boot-time path needs it: the images of a package that hands the update to the
// boot-time flasher are enciphered block by block under the image key, and the update deciphers
// the prepared image in place before it writes "FW.bin".
//
// The tables are computed from the field arithmetic when a context is prepared, never stored;
// within a block the bytes are taken as four little-endian words, as the table-driven form of
// the cipher has it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace package {

inline constexpr std::size_t kAesBlockSize = 16, kAesKeySize = 16;
inline constexpr int kAesRounds = 10;
inline constexpr std::size_t kAesScheduleWords = 4 * (kAesRounds + 1);  // 44

using AesKey = std::array<std::uint8_t, kAesKeySize>;
using AesTable = std::array<std::uint32_t, 256>;

struct AesContext {
  std::array<std::uint8_t, 256> FSb{}, RSb{};  // forward and reverse S-boxes
  std::array<AesTable, 4> FT{}, RT{};          // forward and reverse round tables
  std::array<std::uint32_t, kAesRounds> RCON{};
  std::array<std::uint32_t, kAesScheduleWords> encryptKeys{};
  std::array<std::uint32_t, kAesScheduleWords> decryptKeys{};  // for the equivalent inverse cipher
  int iRounds = kAesRounds;
  bool bTablesReady = false;
};

// Fills the S-boxes, round tables and round constants of `context`.
void AesGenerateTables(AesContext& context);

// Expands `key` into both schedules; builds the tables first when they are not there yet.
void AesSetKey(AesContext& context, const AesKey& key);

// One block in place with the schedules already set.
void AesEncryptBlock(const AesContext& context, std::uint8_t* block);
void AesDecryptBlock(const AesContext& context, std::uint8_t* block);

// Where AesCryptBuffer takes its key from; the program always uses BuildImageKey.
using AesKeyRoutine = void (*)(std::uint8_t* out);

// Sets the key from `keyRoutine`, then enciphers (or deciphers) `length` bytes at `data` in
// place, each 16-byte block on its own (ECB). The length is rounded up to whole blocks, so
// `data` must hold the rounded length; the image buffer always does, its sizes being whole
// 512-byte sectors.
void AesCryptBuffer(AesContext& context, std::uint8_t* data, std::size_t length, bool encrypt);
void AesCryptBuffer(AesContext& context, std::uint8_t* data, std::size_t length, bool encrypt,
                    AesKeyRoutine keyRoutine);

}  // namespace package
