// Releases for tests: packed by the release maker into the unfilled template's areas, then
// mapped into this process as the simulated PC's loader does for a real executable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "package/package_area.h"
#include "package/package_layout.h"
#include "sim/windows/loader.h"
#include "tools/travok-pack/packer.h"

namespace testing_support {

// The package areas of the unfilled template, as a file of this build would hold them.
inline std::vector<std::uint8_t> TemplateImage() {
  sim::RestoreOwnPackage();
  const std::uint8_t* area = package::PackageArea();
  return std::vector<std::uint8_t>(area, area + package::kAreaSize);
}

// A small valid release: one image of `imageSize` bytes for every drive, silent options,
// flashed from Windows (so it needs no boot-time programs and stores its image as given).
inline pack::Release SmallRelease(std::size_t imageSize = 4096) {
  pack::Release release;
  release.optionDigits[pack::kWindowsFlashPosition - 2] = '1';
  release.title = "Corvane Travok Utility for Windows";
  release.version = "v3.2.0.1";
  release.releaseDate = "2026/12/09";
  release.productModel = "Corvane K5";
  pack::ReleaseImage image;
  image.source = "k5.bin";
  image.bytes.resize(imageSize);
  for (std::size_t i = 0; i < imageSize; ++i) image.bytes[i] = std::uint8_t(i * 7 + 3);
  image.newFw = "K5FW0200";
  release.images.push_back(image);
  return release;
}

// The same release handed to the boot-time flasher: windows_flash off, so its images are
// enciphered, and a small program of its own in every slot.
inline pack::Release BootTimeRelease(std::size_t imageSize = 4096) {
  pack::Release release = SmallRelease(imageSize);
  release.optionDigits[pack::kWindowsFlashPosition - 2] = '0';
  for (int slot = 1; slot <= int(package::kProgramSlotCount); ++slot) {
    pack::ReleaseProgram program{"slot" + std::to_string(slot) + ".exe", {}};
    program.bytes.assign(std::size_t(100 + 37 * slot), std::uint8_t(0x40 + slot));
    program.bytes[0] = 'M';
    program.bytes[1] = 'Z';
    release.programs[std::size_t(slot - 1)] = std::move(program);
  }
  return release;
}

inline std::vector<std::uint8_t> Pack(const pack::Release& release) {
  std::vector<std::uint8_t> file = TemplateImage();
  pack::WriteRelease(file, release);
  return file;
}

// Makes `file` the program's own package.
inline void Load(const std::vector<std::uint8_t>& file) {
  std::string error;
  if (!sim::LoadRelease(file, &error)) throw std::runtime_error(error);
}

inline void SetOptionByte(std::vector<std::uint8_t>& file, std::size_t offset, std::uint8_t value) {
  file[package::kOptionRecordOffset + offset] = value;
}

inline void SetOptionPosition(std::vector<std::uint8_t>& file, int position, char value) {
  file[package::kOptionRecordOffset + package::OptionDigitOffset(position)] = std::uint8_t(value);
}

}  // namespace testing_support
