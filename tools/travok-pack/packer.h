// The release maker: reads a release engineer's manifest, checks it against the widths of the
// package areas, and writes it into the configuration block and payload of a template
// executable. Inspect reads a release back for a person, straight from the byte layout.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pack {

struct PackError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One constraint row as the block holds it; a manifest's prefix is already expanded.
struct ConstraintRow {
  std::string start, end, model;
};

struct ReleaseImage {
  std::string source;  // the file as the manifest names it, for messages
  std::vector<std::uint8_t> bytes;
  std::string newFw, fwExt;
  std::vector<ConstraintRow> rows;  // none: the image may update every drive
};

inline constexpr int kOptionDigitCount = 28;  // positions 2..29

struct Release {
  std::string title, version, releaseDate, productModel;
  int visualStyle = 0, language = 0, flashMode = 0;                // option bytes A, B, C
  std::string optionDigits = std::string(kOptionDigitCount, '0');  // index = position - 2
  std::vector<ReleaseImage> images;                                // count becomes byte D
};

// The option digits a manifest may set by name. Flags are '0' or '1'; numbers one digit.
struct OptionName {
  std::string_view key;
  int position;
  bool isNumber;
};
inline constexpr std::array<OptionName, 16> kOptionNames{{
    {"use_fw_ext", 2, false},
    {"reboot", 4, false},
    {"auto_mode", 5, false},
    {"skip_info_refresh", 6, false},
    {"notice_level", 7, true},
    {"hidden_drives", 10, false},
    {"reboot_system", 12, false},
    {"no_reflash", 15, false},
    {"boot_code", 19, false},
    {"updater_mode", 20, false},
    {"preformat", 22, false},
    {"preformat_before", 23, false},
    {"flash_older", 24, false},
    {"silent_messages", 25, false},
    {"close_msg_seconds", 26, true},
    {"windows_flash", 27, false},
}};

// Reads the manifest and the image files it names, relative to the manifest's folder.
Release ParseManifest(const std::filesystem::path& manifest);
Release ParseManifestText(std::string_view toml, const std::filesystem::path& baseDir);

// Throws PackError naming the field and the limit it breaks.
void Validate(const Release& release);

// Finds the configuration block in `file`, validates `release` and patches the release in place.
// On any error `file` is left as it was.
void WriteRelease(std::vector<std::uint8_t>& file, const Release& release);

// A person's report of what the release in `file` holds; throws PackError if it has no block.
std::string Inspect(std::span<const std::uint8_t> file);

}  // namespace pack
