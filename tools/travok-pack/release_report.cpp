// Reads a release straight from the offsets of the byte layout, on its own: a fault in the
// program's reader or in the writer then shows up as a disagreement instead of hiding.
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "package/package_layout.h"
#include "package/package_locator.h"
#include "tools/travok-pack/packer.h"

namespace pack {
namespace {

using namespace package;

class BlockReader {
 public:
  explicit BlockReader(const std::uint8_t* block) : m_block(block) {}

  std::uint8_t Byte(std::size_t offset) const { return m_block[offset]; }

  // Up to the first NUL inside the field, never past it; bytes a person cannot read are
  // shown as \xNN so a damaged file cannot garble the report.
  std::string Text(std::size_t offset, std::size_t width, bool trimBlanks = false) const {
    std::string out;
    std::size_t end = 0;
    while (end < width && m_block[offset + end] != 0) ++end;
    if (trimBlanks)
      while (end > 0 && m_block[offset + end - 1] == ' ') --end;
    for (std::size_t i = 0; i < end; ++i) {
      const std::uint8_t c = m_block[offset + i];
      if (c >= 0x20 && c <= 0x7E) {
        out += char(c);
      } else {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02X", c);
        out += code;
      }
    }
    return out;
  }

  std::optional<std::size_t> Number(std::size_t entry) const {
    return Digits(entry + kNumberKeySize);
  }

  // Ten decimal digits at `offset`, or nothing when one of them is not a digit.
  std::optional<std::size_t> Digits(std::size_t offset) const {
    std::size_t value = 0;
    for (std::size_t i = 0; i < kNumberDigits; ++i) {
      const std::uint8_t c = m_block[offset + i];
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + std::size_t(c - '0');
    }
    return value;
  }

 private:
  const std::uint8_t* m_block;
};

std::string Quoted(const std::string& s) {
  return "\"" + s + "\"";
}

void ReportTexts(std::ostream& out, const BlockReader& r) {
  out << "title          " << r.Text(kTitleOffset, kTitleSize) << "\n"
      << "version        " << r.Text(kVersionOffset, kVersionSize) << "\n"
      << "release date   " << r.Text(kReleaseDateOffset, kReleaseDateSize) << "\n"
      << "product model  " << r.Text(kProductModelOffset, kProductModelSize) << "\n";
}

void ReportOptions(std::ostream& out, const BlockReader& r) {
  const std::size_t at = kOptionRecordOffset;
  // visual_style is read by the program as a signed byte; show what it will see.
  const int style = int(r.Byte(at + kOptVisualStyle));
  out << "option bytes   visual_style " << style;
  if (style > 127) out << " (read as " << int(std::int8_t(style)) << ")";
  out << ", language " << int(r.Byte(at + kOptLanguage)) << ", flash_mode "
      << int(r.Byte(at + kOptFlashMode)) << ", image count " << int(r.Byte(at + kOptImageCount))
      << "\n";
  out << "option digits  "
      << r.Text(at + OptionDigitOffset(kFirstOptionPosition),
                std::size_t(kLastOptionPosition - kFirstOptionPosition + 1))
      << "  (positions 2..29)\n";
  for (const OptionName& option : kOptionNames) {
    std::string key(option.key);
    key.resize(20, ' ');
    out << "  " << key << r.Text(at + OptionDigitOffset(option.position), 1) << "\n";
  }
}

void ReportRows(std::ostream& out, const BlockReader& r, int image) {
  if (r.Byte(RowOffset(image, 1) + kRowStartOffset) == '#') {
    out << "  every drive\n";
    return;
  }
  for (int row = 1; row <= kRowsPerGroup; ++row) {
    const std::size_t at = RowOffset(image, row);
    if (r.Byte(at + kRowStartOffset) == '#') continue;
    const std::string model = r.Text(at + kRowModelOffset, kRowModelSize, true);
    out << "  row " << row << "  model " << (model.empty() ? "(any)" : Quoted(model)) << "  start "
        << Quoted(r.Text(at + kRowStartOffset, kRowStartSize)) << "  end "
        << Quoted(r.Text(at + kRowEndOffset, kRowEndSize)) << "\n";
  }
}

void ReportImage(std::ostream& out, const BlockReader& r, int n) {
  const auto offset = r.Number(ImageStartEntry(n));
  const auto size = r.Number(ImageSizeEntry(n));
  out << "image " << n << "  offset "
      << (offset ? std::to_string(*offset) : Quoted(r.Text(ImageStartEntry(n), kNumberEntrySize)))
      << "  size "
      << (size ? std::to_string(*size) : Quoted(r.Text(ImageSizeEntry(n), kNumberEntrySize)))
      << "  new_fw " << Quoted(r.Text(NewFwEntry(n) + kRevisionKeySize, kRevisionValueSize))
      << "  fw_ext " << Quoted(r.Text(FwExtEntry(n) + kRevisionKeySize, kRevisionValueSize))
      << "\n";
  if (r.Byte(ImageSizeEntry(n) + kNumberKeySize - 2) != 'B')
    out << "  (the size entry is marked absent)\n";
  if (offset && size && *offset + *size > kPayloadSize)
    out << "  (reaches beyond the " << kPayloadSize << "-byte payload area)\n";
  ReportRows(out, r, n);
}

// The program deciphers the images exactly when windows_flash holds '0'.
void ReportCipher(std::ostream& out, const BlockReader& r) {
  const bool enciphered =
      r.Byte(kOptionRecordOffset + OptionDigitOffset(kWindowsFlashPosition)) == '0';
  out << "enciphered     "
      << (enciphered ? "yes: AES-128 under the image key, for the boot-time flasher"
                     : "no: flashed from Windows as stored")
      << "\n";
}

void ReportPrograms(std::ostream& out, const BlockReader& r) {
  std::ostringstream lines;
  int count = 0;
  for (int slot = 1; slot <= int(kProgramSlotCount); ++slot) {
    const std::size_t keySize = kProgramSlots[std::size_t(slot - 1)].sizeKey.size();
    const auto size = r.Digits(ProgramSizeOffset(slot) + keySize);
    if (size && *size == 0) continue;
    ++count;
    std::string key = ProgramKey(slot);
    key.resize(16, ' ');
    lines << "  slot " << (slot < 10 ? " " : "") << slot << "  " << key
          << (size ? std::to_string(*size) + " bytes"
                   : Quoted(r.Text(ProgramSizeOffset(slot), keySize + kNumberDigits)))
          << (size && *size > kProgramSlotSize ? "  (more than the slot holds)" : "") << "\n";
  }
  out << "programs       " << count << "\n" << lines.str();
}

}  // namespace

std::string Inspect(std::span<const std::uint8_t> file) {
  std::string error;
  const auto block = LocatePackageBlock(file, &error);
  if (!block) throw PackError(error);
  const BlockReader r(file.data() + *block);
  std::ostringstream out;
  out << "block at       " << *block << "\n";
  ReportTexts(out, r);
  ReportOptions(out, r);
  ReportCipher(out, r);
  const int count = r.Byte(kOptionRecordOffset + kOptImageCount);
  out << "images         " << count << "\n";
  if (count > kMaxImages) out << "  (more than the " << kMaxImages << " a release holds)\n";
  for (int n = 1; n <= count && n <= kMaxImages; ++n) ReportImage(out, r, n);
  ReportPrograms(out, r);
  return out.str();
}

}  // namespace pack
