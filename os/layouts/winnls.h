// The results of CompareString (winnls.h), with a k in front of the Windows names.
#pragma once

namespace os {

inline constexpr int kCSTR_LESS_THAN = 1;
inline constexpr int kCSTR_EQUAL = 2;
inline constexpr int kCSTR_GREATER_THAN = 3;

}  // namespace os
