// Text conversions of the framework. They raise EConvertError on a text that is not a number,
// so that a broken package or command line stops the step that reads it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// Decimal integer with an optional sign, within the 32-bit range; no blanks around it.
std::int32_t StrToInt(std::string_view text);
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// A number (zero is false, any other value true) or "true"/"false" in any letter case.
bool StrToBool(std::string_view text);

// Leading-digit parse: the decimal digits at the start of the text, 0 when there are none.
// Saturates instead of wrapping so that an absurd value stays absurd.
std::uint64_t LeadingDigitsToU64(std::string_view text);

// Removes leading and trailing blanks and control characters.
std::string Trim(std::string_view text);
std::string UpperCase(std::string_view text);  // ASCII letters only

}  // namespace fw
