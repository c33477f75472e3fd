// Finds the package areas inside the bytes of an executable file, whatever build made it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace package {

// Offset of the configuration block within `file`, found by its fixed key texts. Fails (with
// a reason in `error`) when no block or more than one is found, or when the areas behind the
// block do not fit in the file.
std::optional<std::size_t> LocatePackageBlock(std::span<const std::uint8_t> file,
                                              std::string* error);

}  // namespace package
