// The framework's exceptions. They stay inside a guarded step; the process entry shows one
// that escapes in the framework's error box.
#pragma once

#include <stdexcept>
#include <string>

namespace fw {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A text that should hold a number or a truth value does not.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace fw
