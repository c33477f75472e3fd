// The pointer-width facts the layouts build on. ULONG_PTR and PVOID fields take the width of
// the build, and the headers align the fields after them to it, so a layout holding one
// differs between the 32-bit and the 64-bit program.
#pragma once

#include <cstddef>
#include <cstdint>

namespace os::layout {

inline constexpr std::size_t kPointerSize = sizeof(std::uintptr_t);  // ULONG_PTR

constexpr std::size_t AlignUp(std::size_t value, std::size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace os::layout
