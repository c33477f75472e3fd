// The files the boot-time path leaves behind, written from the package: the prepared image
// "FW.bin" and the flasher in the system directory, and on 64-bit Windows the copy program,
// which is started at once. The hand-off calls these in that order; each answers whether it
// succeeded.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace package {

// The flasher reads the image by this name from the system directory.
inline constexpr const char* kImageFileName = "FW.bin";
// Below the Windows directory.
inline constexpr const char* kCopyProgramPath = "\\SysWOW64\\CopyFile.exe";

// Creates (or truncates) `path` and writes `bytes` to it.
bool WriteBootFile(const std::string& path, std::span<const std::uint8_t> bytes);

// gBinSize bytes from gFwImage to the system directory's "FW.bin".
bool WriteImageFile();

// The flasher, already patched, to the path the hand-off formed.
bool WriteFlasherFile(const std::string& path, std::span<const std::uint8_t> flasher);

// The copy program to the Windows directory's "SysWOW64\CopyFile.exe", then started hidden
// through "cmd.exe /c <that path>" without waiting for it. A file that could not be written is
// not started: whatever an earlier run left under that name would run in its place.
bool StartCopyProgram(std::span<const std::uint8_t> program);

}  // namespace package
