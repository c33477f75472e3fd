// The file version of an executable's version resource.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace fw {

// The root block's fixed file information as four decimal numbers joined by ".", most
// significant word first; empty when the resource is not a well-formed VS_VERSIONINFO.
std::string FileVersionFromResource(std::span<const std::uint8_t> resource);

// The executable's own file version, read through GetFileVersionInfoA.
std::string ExecutableFileVersion();

}  // namespace fw
