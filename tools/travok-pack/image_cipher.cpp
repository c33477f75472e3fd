// The release maker enciphers with the system's libcrypto, not with the program's own cipher:
// a release the program deciphers correctly then proves both against each other.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <cctype>
#include <memory>

#include "package/image_key.h"
#include "tools/travok-pack/packer.h"

namespace pack {
namespace {

constexpr std::size_t kSector = 512, kBlock = 16;

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

}  // namespace

bool EnciphersImages(const Release& release) {
  return release.optionDigits.size() == std::size_t(kOptionDigitCount) &&
         release.optionDigits[std::size_t(kWindowsFlashPosition - 2)] == '0';
}

std::string ProgramKey(int slot) {
  std::string key(package::kProgramSlots[std::size_t(slot - 1)].marker.substr(4));
  for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

std::size_t StoredImageSize(const Release& release, const ReleaseImage& image) {
  const std::size_t size = image.bytes.size();
  return EnciphersImages(release) ? (size + kSector - 1) / kSector * kSector : size;
}

std::vector<std::uint8_t> StoredImage(const Release& release, const ReleaseImage& image) {
  if (!EnciphersImages(release)) return image.bytes;
  std::vector<std::uint8_t> padded(image.bytes);
  padded.resize(StoredImageSize(release, image), 0);
  return EncipherWithImageKey(padded);
}

std::vector<std::uint8_t> EncipherWithImageKey(std::span<const std::uint8_t> bytes) {
  if (bytes.size() % kBlock) throw PackError("internal: enciphering a partial block");
  std::uint8_t key[16];
  package::BuildImageKey(key);
  std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree> context(EVP_CIPHER_CTX_new());
  std::vector<std::uint8_t> out(bytes.size());
  int moved = 0, last = 0;
  const bool ok =
      context && EVP_EncryptInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key, nullptr) &&
      EVP_CIPHER_CTX_set_padding(context.get(), 0) &&
      EVP_EncryptUpdate(context.get(), out.data(), &moved, bytes.data(), int(bytes.size())) &&
      EVP_EncryptFinal_ex(context.get(), out.data() + moved, &last);
  OPENSSL_cleanse(key, sizeof key);
  if (!ok || std::size_t(moved + last) != bytes.size())
    throw PackError("libcrypto refused to encipher the images with AES-128-ECB");
  return out;
}

}  // namespace pack
