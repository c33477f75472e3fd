#include "sim/drives/sim_firmware_image.h"

#include <algorithm>
#include <cstring>

#include "framework/bytes.h"

namespace sim {
namespace {

constexpr char kMagic[8] = {'T', 'V', 'K', 'S', 'I', 'M', 'F', 'W'};
constexpr std::size_t kModel = 8, kModelSize = 40, kRevision = 48, kRevisionSize = 8, kLength = 56,
                      kSum = 60;

std::string Trimmed(std::string text) {
  const auto blank = [](char c) { return c == ' ' || c == '\0'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  return std::string(first, text.end());
}

void PutText(std::span<std::uint8_t> b, std::size_t at, std::size_t width,
             const std::string& text) {
  std::fill_n(b.begin() + std::ptrdiff_t(at), width, std::uint8_t(' '));
  std::memcpy(&b[at], text.data(), std::min(width, text.size()));
}

std::uint32_t Sum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum;
}

}  // namespace

std::vector<std::uint8_t> MakeSimFirmwareImage(const std::string& model,
                                               const std::string& revision, std::size_t size) {
  std::vector<std::uint8_t> image(std::max(size, kSimFirmwareHeaderSize), 0);
  std::memcpy(image.data(), kMagic, sizeof kMagic);
  PutText(image, kModel, kModelSize, model);
  PutText(image, kRevision, kRevisionSize, revision);
  for (std::size_t i = kSimFirmwareHeaderSize; i < image.size(); ++i)
    image[i] = std::uint8_t(1 + (i * 7 + i / 251) % 255);
  fw::PutU32le(image, kLength, std::uint32_t(image.size()));
  fw::PutU32le(image, kSum,
               Sum(std::span<const std::uint8_t>(image).subspan(kSimFirmwareHeaderSize)));
  return image;
}

std::optional<SimFirmwareImageInfo> ParseSimFirmwareImage(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kSimFirmwareHeaderSize ||
      !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin()))
    return std::nullopt;
  const std::uint32_t length = fw::GetU32le(bytes, kLength);
  if (length < kSimFirmwareHeaderSize || length > bytes.size()) return std::nullopt;
  if (Sum(bytes.subspan(kSimFirmwareHeaderSize, length - kSimFirmwareHeaderSize)) !=
      fw::GetU32le(bytes, kSum))
    return std::nullopt;
  if (std::any_of(bytes.begin() + length, bytes.end(), [](std::uint8_t b) { return b != 0; }))
    return std::nullopt;
  SimFirmwareImageInfo info;
  info.model = Trimmed(std::string(reinterpret_cast<const char*>(&bytes[kModel]), kModelSize));
  info.revision =
      Trimmed(std::string(reinterpret_cast<const char*>(&bytes[kRevision]), kRevisionSize));
  info.length = length;
  return info;
}

std::optional<std::uint32_t> SimFirmwareImageLength(std::span<const std::uint8_t> head) {
  if (head.size() < kSimFirmwareHeaderSize ||
      !std::equal(std::begin(kMagic), std::end(kMagic), head.begin()))
    return std::nullopt;
  return fw::GetU32le(head, kLength);
}

bool SimFirmwareImageFits(std::span<const std::uint8_t> bytes, const std::string& model) {
  const auto info = ParseSimFirmwareImage(bytes);
  return info && info->model == Trimmed(model);
}

}  // namespace sim
