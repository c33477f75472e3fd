// The release maker: reads a release engineer's manifest, checks it against the widths of the
// package areas, and writes it into the configuration block and payload of a template
// executable. Inspect reads a release back for a person, straight from the byte layout.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_layout.h"

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

// A program embedded in a slot for the boot-time path: a flasher or the copy program.
struct ReleaseProgram {
  std::string source;  // the file as the manifest names it, for messages
  std::vector<std::uint8_t> bytes;
};

inline constexpr int kOptionDigitCount = 28;  // positions 2..29
inline constexpr int kWindowsFlashPosition = 27;

struct Release {
  std::string title, version, releaseDate, productModel;
  int visualStyle = 0, language = 0, flashMode = 0;                // option bytes A, B, C
  std::string optionDigits = std::string(kOptionDigitCount, '0');  // index = position - 2
  std::vector<ReleaseImage> images;                                // count becomes byte D
  // Index = slot - 1; an empty slot keeps the template's marker and size 0.
  std::array<std::optional<ReleaseProgram>, package::kProgramSlotCount> programs;
};

// With windows_flash off the program hands the update to the boot-time flasher, and deciphers
// each image first: the release then carries its images enciphered. The program reads any
// digit other than '0' as on.
bool EnciphersImages(const Release& release);

// The manifest key of a slot in the [programs] table: its marker without "EXE_", in lower
// case ("win7_x64" for slot 10).
std::string ProgramKey(int slot);

// The bytes a release stores for `image`: as given, or zero-padded to whole 512-byte sectors
// and enciphered with the image key (AES-128-ECB) when the release enciphers its images.
std::vector<std::uint8_t> StoredImage(const Release& release, const ReleaseImage& image);
std::size_t StoredImageSize(const Release& release, const ReleaseImage& image);

// AES-128-ECB under the image key, by the system's libcrypto; `bytes` is a whole number of
// 16-byte blocks.
std::vector<std::uint8_t> EncipherWithImageKey(std::span<const std::uint8_t> bytes);

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

// Every key a manifest may hold, tables included, as its dotted path from the top of the file
// ("options", "options.reboot", "image.constraint.start"). The reader refuses any other.
std::vector<std::string> ManifestKeys();

// Throws PackError naming the field and the limit it breaks.
void Validate(const Release& release);

// Finds the configuration block in `file`, validates `release` and patches the release in place.
// On any error `file` is left as it was.
void WriteRelease(std::vector<std::uint8_t>& file, const Release& release);

// A person's report of what the release in `file` holds; throws PackError if it has no block.
std::string Inspect(std::span<const std::uint8_t> file);

}  // namespace pack
