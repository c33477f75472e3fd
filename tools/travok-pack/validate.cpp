#include <cstdio>
#include <string>

#include "package/package_layout.h"
#include "package/program_slots.h"
#include "tools/travok-pack/packer.h"

namespace pack {
namespace {

[[noreturn]] void Refuse(const std::string& field, const std::string& problem) {
  throw PackError(field + ": " + problem);
}

// The program reads every text through a fixed width and shows it in window captions and
// logs; a byte outside printable ASCII would show as garbage or end a field early.
void CheckText(const std::string& field, const std::string& text, std::size_t width,
               bool required = false) {
  if (required && text.empty()) Refuse(field, "must not be empty");
  if (text.size() > width)
    Refuse(field, std::to_string(text.size()) + " characters, more than the " +
                      std::to_string(width) + " that fit");
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c > 0x7E) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", c);
      Refuse(field, std::string("character ") + code + " at " + std::to_string(i + 1) +
                        " is not printable ASCII (0x20..0x7E)");
    }
  }
}

void CheckOptionByte(const char* field, int value) {
  // The program reads these bytes as signed 8-bit numbers.
  if (value < 0 || value > 127) Refuse(field, std::to_string(value) + " is outside 0..127");
}

std::string PositionName(int position) {
  std::string name = "option position " + std::to_string(position);
  for (const auto& option : kOptionNames)
    if (option.position == position) name += " (" + std::string(option.key) + ")";
  return name;
}

void CheckOptions(const Release& release) {
  CheckOptionByte("options.visual_style", release.visualStyle);
  CheckOptionByte("options.language", release.language);
  CheckOptionByte("options.flash_mode", release.flashMode);
  if (release.optionDigits.size() != std::size_t(kOptionDigitCount))
    Refuse("options.digits", std::to_string(release.optionDigits.size()) + " digits, expected " +
                                 std::to_string(kOptionDigitCount) + " (positions 2..29)");
  for (int p = package::kFirstOptionPosition; p <= package::kLastOptionPosition; ++p) {
    const char c = release.optionDigits[std::size_t(p - package::kFirstOptionPosition)];
    if (c < '0' || c > '9')
      Refuse(PositionName(p), "'" + std::string(1, c) + "' is not a digit 0..9");
  }
}

void CheckRow(const std::string& field, const ConstraintRow& row) {
  CheckText(field + " start", row.start, package::kRowStartSize);
  CheckText(field + " end", row.end, package::kRowEndSize);
  CheckText(field + " model", row.model, package::kRowModelSize);
  if (!row.start.empty() && row.start[0] == '#')
    Refuse(field + " start", "\"" + row.start + "\" begins with '#', which marks an empty row");
}

void CheckImage(int number, const ReleaseImage& image) {
  const std::string field = "image " + std::to_string(number) + " (" + image.source + ")";
  if (image.bytes.empty()) Refuse(field, "the file is empty");
  if (image.bytes.size() > package::kImageBufferSize)
    Refuse(field, std::to_string(image.bytes.size()) + " bytes, more than the " +
                      std::to_string(package::kImageBufferSize) + "-byte image buffer");
  CheckText(field + " new_fw", image.newFw, package::kRevisionValueSize, true);
  CheckText(field + " fw_ext", image.fwExt, package::kRevisionValueSize);
  if (image.rows.size() > std::size_t(package::kRowsPerGroup))
    Refuse(field, std::to_string(image.rows.size()) + " constraint rows, more than the " +
                      std::to_string(package::kRowsPerGroup) + " an image holds");
  for (std::size_t r = 0; r < image.rows.size(); ++r)
    CheckRow(field + " constraint " + std::to_string(r + 1), image.rows[r]);
}

void CheckImages(const Release& release) {
  const std::vector<ReleaseImage>& images = release.images;
  if (images.empty()) Refuse("image", "none given; a release must carry firmware");
  if (images.size() > std::size_t(package::kMaxImages))
    Refuse("image", std::to_string(images.size()) + " images, more than the " +
                        std::to_string(package::kMaxImages) + " a release holds");
  std::size_t total = 0;
  for (std::size_t n = 0; n < images.size(); ++n) {
    CheckImage(int(n + 1), images[n]);
    total += StoredImageSize(release, images[n]);
  }
  if (total > package::kPayloadSize)
    Refuse("image", std::to_string(total) + " bytes together" +
                        (EnciphersImages(release) ? " (padded to whole sectors)" : "") +
                        ", more than the " + std::to_string(package::kPayloadSize) +
                        "-byte payload area");
}

void CheckProgramSizes(const Release& release) {
  for (int slot = 1; slot <= int(package::kProgramSlotCount); ++slot) {
    const auto& program = release.programs[std::size_t(slot - 1)];
    if (!program) continue;
    const std::string field = "programs." + ProgramKey(slot) + " (" + program->source + ")";
    if (program->bytes.empty()) Refuse(field, "the file is empty");
    if (program->bytes.size() > package::kProgramSlotSize)
      Refuse(field, std::to_string(program->bytes.size()) + " bytes, more than the " +
                        std::to_string(package::kProgramSlotSize) + "-byte program slot");
  }
}

// The program picks a flasher and, on 64-bit Windows, a copy program by the running Windows:
// a boot-time release without one of them would fail only on the machines that pick it.
void CheckBootTimePrograms(const Release& release) {
  if (!EnciphersImages(release)) return;
  std::string missing;
  auto need = [&](std::span<const int> slots) {
    for (int slot : slots)
      if (!release.programs[std::size_t(slot - 1)])
        missing += (missing.empty() ? "" : ", ") + ProgramKey(slot);
  };
  need(package::kFlasherSlots);
  need(package::kCopyProgramSlots);
  if (!missing.empty())
    Refuse("programs",
           "windows_flash is off, so the release hands the update to the boot-time "
           "flasher and needs a program in every slot the program may pick; "
           "missing: " +
               missing);
}

}  // namespace

void Validate(const Release& release) {
  // Each text field ends with a NUL the program relies on, so one byte less than the field.
  CheckText("title", release.title, package::kTitleSize - 1, true);
  CheckText("version", release.version, package::kVersionSize - 1, true);
  CheckText("release_date", release.releaseDate, package::kReleaseDateSize - 1);
  CheckText("product_model", release.productModel, package::kProductModelSize - 1);
  CheckOptions(release);
  CheckImages(release);
  CheckProgramSizes(release);
  CheckBootTimePrograms(release);
}

}  // namespace pack
