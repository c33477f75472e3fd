// Small fixtures shared by the release maker's tests: a template executable image in memory,
// a sample release, and a scratch folder.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "package/package_layout.h"
#include "package/package_template.h"
#include "tools/travok-pack/packer.h"

namespace packtest {

// Filler bytes before and after the areas stand for the code and data around them in a real
// executable; odd lengths keep the block off any convenient alignment.
inline constexpr std::size_t kLead = 4099, kTail = 777;

inline std::vector<std::uint8_t> MakeTemplateFile() {
  std::vector<std::uint8_t> file(kLead + package::kAreaSize + kTail);
  for (std::size_t i = 0; i < kLead; ++i) file[i] = std::uint8_t(0x90 + i % 7);
  for (std::size_t i = 0; i < kTail; ++i) file[kLead + package::kAreaSize + i] = 0xCC;
  auto put = [&](std::size_t at, const auto& bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + std::ptrdiff_t(kLead + at));
  };
  put(0, package::MakeTemplateBlock());
  put(package::kCipherAreaOffset, package::MakeTemplateCipherArea());
  for (int slot = 1; slot <= int(package::kProgramSlotCount); ++slot)
    put(package::ProgramSlotOffset(slot), package::TemplateProgramMarker(slot));
  put(package::kProgramSizesOffset, package::MakeTemplateProgramSizes());
  return file;
}

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(seed + i * 31);
  return bytes;
}

// Two images: the first limited to two drive models, the second for every drive. Flashed from
// Windows, so the images are stored as given.
inline pack::Release SampleRelease() {
  pack::Release release;
  release.title = "Corvane K5 Updater";
  release.version = "v3.2.0.1";
  release.releaseDate = "2026/12/09";
  release.productModel = "Corvane K5 SATA SSD";
  release.visualStyle = 20;
  release.language = 1;
  release.flashMode = 3;
  release.optionDigits[4 - 2] = '1';   // reboot
  release.optionDigits[26 - 2] = '5';  // close_msg_seconds
  release.optionDigits[27 - 2] = '1';  // windows_flash
  release.images.push_back({"fw/k5_0200.bin", Pattern(300, 1), "K5FW0200", "EXT1", {}});
  release.images[0].rows = {{"K5FW0100", "K5FW0199", "CORVANE K5 512GB"},
                            {"Q7305!!!", "Q7305~~~", ""}};
  release.images.push_back({"fw/k5_1tb.bin", Pattern(4097, 2), "K5FW0201", "", {}});
  return release;
}

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() /
             ("travok-pack-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(m_path);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }

  std::filesystem::path Write(const std::string& name, const std::string& text) const {
    return Write(name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  std::filesystem::path Write(const std::string& name,
                              const std::vector<std::uint8_t>& bytes) const {
    const auto path = m_path / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }

 private:
  std::filesystem::path m_path;
};

}  // namespace packtest
