#include "sim/drives/sim_ata_identify.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace sim {
namespace {

// Word positions of the fields an identity holds.
constexpr std::size_t kSerialWord = 10, kFirmwareWord = 23, kModelWord = 27;
constexpr std::size_t kSerialWidth = 20, kFirmwareWidth = 8, kModelWidth = 40;

std::uint16_t Word(const AtaIdentifyData& d, std::size_t word) {
  return std::uint16_t(d[2 * word] | d[2 * word + 1] << 8);
}

void PutWord(AtaIdentifyData& d, std::size_t word, std::uint16_t value) {
  d[2 * word] = std::uint8_t(value);
  d[2 * word + 1] = std::uint8_t(value >> 8);
}

void PutBit(AtaIdentifyData& d, std::size_t word, std::uint16_t bit, bool on) {
  PutWord(d, word, on ? Word(d, word) | bit : Word(d, word) & ~bit);
}

// Drives pad their strings with blanks, some with zeros.
std::string WithoutPadding(std::string_view text) {
  const std::size_t end = text.find_last_not_of(std::string_view(" \0", 2));
  return std::string(text.substr(0, end == std::string_view::npos ? 0 : end + 1));
}

std::string AtaString(const AtaIdentifyData& d, std::size_t word, std::size_t width) {
  std::string text(width, ' ');
  for (std::size_t i = 0; i < width; ++i) text[i] = char(d[2 * word + (i ^ 1)]);
  return WithoutPadding(text);
}

// Words 100-103 when the drive has the 48-bit feature set (word 83 bit 10), else 60-61.
std::uint64_t Sectors(const AtaIdentifyData& d) {
  if (!(Word(d, 83) & 0x0400)) return Word(d, 60) | std::uint64_t(Word(d, 61)) << 16;
  std::uint64_t sectors = 0;
  for (std::size_t i = 0; i < 4; ++i) sectors |= std::uint64_t(Word(d, 100 + i)) << (16 * i);
  return sectors;
}

// What every simulated drive reports besides its identity.
AtaIdentifyData OwnIdentifyWords() {
  AtaIdentifyData d = {};
  PutWord(d, 0, 0x0040);  // fixed, not removable
  PutWord(d, 1, 16383);
  PutWord(d, 3, 16);
  PutWord(d, 6, 63);
  PutWord(d, 47, 0x8001);
  PutWord(d, 49, 0x0300);  // LBA, DMA
  PutWord(d, 53, 0x0007);
  PutWord(d, 80, 0x07F0);  // ATA-4 to ACS-3
  PutWord(d, 82, 0x4000 | 0x0001);
  PutWord(d, 83, 0x4000 | 0x0400);  // 48-bit
  PutWord(d, 84, 0x4000);
  PutWord(d, 85, 0x4000 | 0x0001);
  PutWord(d, 86, 0x8000 | 0x0400);  // words 119-120 valid
  PutWord(d, 87, 0x4000);
  PutWord(d, 119, 0x4000);
  PutWord(d, 120, 0x4000);
  PutWord(d, 217, 0x0001);  // not rotating
  d[510] = 0xA5;            // the integrity word's signature
  return d;
}

// Writes the identity into `d`. With `all` off only where it differs from what `d` says: a
// string padded otherwise or a sector count beyond words 60-61 stays as the drive wrote it.
void WriteIdentity(const SimAtaIdentity& id, AtaIdentifyData& d, bool all) {
  const auto text = [&](std::size_t word, std::size_t width, const std::string& value) {
    if (all || WithoutPadding(value) != AtaString(d, word, width))
      PutAtaString(d, 2 * word, width, value);
  };
  text(kSerialWord, kSerialWidth, id.serial);
  text(kFirmwareWord, kFirmwareWidth, id.firmware);
  text(kModelWord, kModelWidth, id.model);
  PutWord(d, 2, id.specificConfiguration);
  PutWord(d, 159, id.word159);
  PutWord(d, 234, id.minBlocksPerDownload);
  PutWord(d, 235, id.maxBlocksPerDownload);
  PutBit(d, 69, 0x0100, id.downloadDma);
  PutBit(d, 83, 0x0001, id.downloadMicrocode);
  PutBit(d, 86, 0x0001, id.downloadMicrocode);
  PutBit(d, 119, 0x0010, id.downloadOffsets);
  PutBit(d, 120, 0x0010, id.downloadOffsets);
  if (all || Sectors(d) != id.sectors) {
    const std::uint64_t lba28 = std::min<std::uint64_t>(id.sectors, 0x0FFFFFFF);
    PutWord(d, 60, std::uint16_t(lba28));
    PutWord(d, 61, std::uint16_t(lba28 >> 16));
    for (std::size_t i = 0; i < 4; ++i) PutWord(d, 100 + i, std::uint16_t(id.sectors >> (16 * i)));
  }
}

// The checksum makes the 512 bytes sum to 0.
void PutChecksum(AtaIdentifyData& d) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < 511; ++i) sum = std::uint8_t(sum + d[i]);
  d[511] = std::uint8_t(-sum);
}

}  // namespace

AtaIdentifyData BuildIdentifyDevice(const SimAtaIdentity& identity) {
  if (!identity.captured) {
    AtaIdentifyData d = OwnIdentifyWords();
    WriteIdentity(identity, d, true);
    PutChecksum(d);
    return d;
  }
  AtaIdentifyData d = *identity.captured;
  WriteIdentity(identity, d, false);
  // A drive without the signature has no checksum to keep right.
  if (d != *identity.captured && d[510] == 0xA5) PutChecksum(d);
  return d;
}

SimAtaIdentity IdentityFromCapture(const AtaIdentifyData& captured, SimAtaIdentity identity) {
  SimAtaIdentity& id = identity;
  id.serial = AtaString(captured, kSerialWord, kSerialWidth);
  id.firmware = AtaString(captured, kFirmwareWord, kFirmwareWidth);
  id.model = AtaString(captured, kModelWord, kModelWidth);
  id.specificConfiguration = Word(captured, 2);
  id.word159 = Word(captured, 159);
  id.sectors = Sectors(captured);
  id.downloadMicrocode = Word(captured, 83) & 0x0001;
  id.downloadOffsets = Word(captured, 119) & 0x0010;
  id.downloadDma = Word(captured, 69) & 0x0100;
  id.minBlocksPerDownload = Word(captured, 234);
  id.maxBlocksPerDownload = Word(captured, 235);
  id.captured = captured;
  return identity;
}

}  // namespace sim
