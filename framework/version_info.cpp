#include "framework/version_info.h"

#include <string_view>

#include "framework/bytes.h"
#include "os/os.h"

namespace fw {
namespace {

constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t kFixedFileInfoSize = 52;
constexpr std::u16string_view kRootKey = u"VS_VERSION_INFO";

}  // namespace

std::string FileVersionFromResource(std::span<const std::uint8_t> res) {
  // WORD wLength, WORD wValueLength, WORD wType, WCHAR szKey[] with its NUL, padding to a
  // 32-bit boundary, then the VS_FIXEDFILEINFO value.
  constexpr std::size_t kKeyOffset = 6;
  const std::size_t keyEnd = kKeyOffset + (kRootKey.size() + 1) * 2;
  if (res.size() < keyEnd) return {};
  for (std::size_t i = 0; i <= kRootKey.size(); ++i) {
    const char16_t expected = i < kRootKey.size() ? kRootKey[i] : u'\0';
    if (GetU16le(res, kKeyOffset + 2 * i) != expected) return {};
  }
  const std::size_t value = (keyEnd + 3) & ~std::size_t(3);
  const std::size_t length = GetU16le(res, 0);
  if (GetU16le(res, 2) < kFixedFileInfoSize || length > res.size() ||
      value + kFixedFileInfoSize > length)
    return {};
  if (GetU32le(res, value) != kFixedFileInfoSignature) return {};
  const std::uint32_t ms = GetU32le(res, value + 8), ls = GetU32le(res, value + 12);
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." +
         std::to_string(ls >> 16) + "." + std::to_string(ls & 0xFFFF);
}

std::string ExecutableFileVersion() {
  auto& sys = os::Current();
  const auto resource = sys.GetFileVersionInfoA(sys.GetModuleFileNameA());
  return resource ? FileVersionFromResource(*resource) : std::string();
}

}  // namespace fw
