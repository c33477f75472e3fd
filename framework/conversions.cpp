#include "framework/conversions.h"

#include <limits>

#include "framework/exceptions.h"

namespace fw {

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return std::int32_t(value);
}

std::int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

bool StrToBool(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value != 0;
  const std::string upper = UpperCase(text);
  if (upper == "TRUE") return true;
  if (upper == "FALSE") return false;
  throw EConvertError("'" + std::string(text) + "' is not a valid boolean value");
}

std::uint64_t LeadingDigitsToU64(std::string_view text) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    const auto digit = std::uint64_t(c - '0');
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

std::string Trim(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  std::size_t first = 0, last = text.size();
  while (first < last && blank(text[first])) ++first;
  while (last > first && blank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

}  // namespace fw
