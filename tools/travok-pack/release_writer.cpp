#include <algorithm>
#include <cstring>
#include <string>

#include "package/package_layout.h"
#include "package/package_locator.h"
#include "package/package_template.h"
#include "tools/travok-pack/packer.h"

namespace pack {
namespace {

using namespace package;

// Unused rows and absent images go back to the template's own bytes, so a reader can tell
// them by the same markers whether the release was ever packed or not.
constexpr BlockBytes kTemplate = MakeTemplateBlock();

class BlockWriter {
 public:
  explicit BlockWriter(std::uint8_t* block) : m_block(block) {}

  // Clears the whole field first: a shorter value must not leave the tail of an older one.
  void Put(std::size_t offset, std::size_t width, std::string_view text, char pad = '\0') {
    std::memset(m_block + offset, pad, width);
    std::memcpy(m_block + offset, text.data(), std::min(width, text.size()));
  }
  void PutByte(std::size_t offset, int value) { m_block[offset] = std::uint8_t(value); }
  void PutTemplate(std::size_t offset, std::size_t size) {
    std::memcpy(m_block + offset, kTemplate.data() + offset, size);
  }

 private:
  std::uint8_t* m_block;
};

std::string Digits10(std::size_t value) {
  std::string s = std::to_string(value);
  return std::string(kNumberDigits - s.size(), '0') + s;
}

void WriteTexts(BlockWriter& w, const Release& release) {
  w.Put(kTitleOffset, kTitleSize, release.title);
  w.Put(kVersionOffset, kVersionSize, release.version);
  w.Put(kReleaseDateOffset, kReleaseDateSize, release.releaseDate);
  w.Put(kProductModelOffset, kProductModelSize, release.productModel);
}

void WriteConstraints(BlockWriter& w, const Release& release) {
  for (int g = 1; g <= kMaxImages; ++g) {
    const std::vector<ConstraintRow>* rows = std::size_t(g) <= release.images.size()
                                                 ? &release.images[std::size_t(g - 1)].rows
                                                 : nullptr;
    for (int r = 1; r <= kRowsPerGroup; ++r) {
      const std::size_t at = RowOffset(g, r);
      if (!rows || std::size_t(r) > rows->size()) {
        w.PutTemplate(at, kRowSize);
        continue;
      }
      const ConstraintRow& row = (*rows)[std::size_t(r - 1)];
      w.Put(at + kRowStartOffset, kRowStartSize, row.start);
      w.Put(at + kRowEndOffset, kRowEndSize, row.end);
      // IDENTIFY data carries the model as 40 blank-padded characters, so the row does too.
      w.Put(at + kRowModelOffset, kRowModelSize, row.model, ' ');
      w.Put(at + kRowReservedOffset, kRowReservedSize, "");
    }
  }
}

void WriteOptions(BlockWriter& w, const Release& release) {
  const std::size_t at = kOptionRecordOffset;
  w.Put(at, kOptionRecordSize, kOptionKey);
  w.PutByte(at + kOptVisualStyle, release.visualStyle);
  w.PutByte(at + kOptLanguage, release.language);
  w.PutByte(at + kOptFlashMode, release.flashMode);
  w.PutByte(at + kOptImageCount, int(release.images.size()));
  for (int p = kFirstOptionPosition; p <= kLastOptionPosition; ++p)
    w.PutByte(at + OptionDigitOffset(p),
              release.optionDigits[std::size_t(p - kFirstOptionPosition)]);
}

void WriteImageEntries(BlockWriter& w, const Release& release) {
  std::size_t offset = 0;
  for (int n = 1; n <= kMaxImages; ++n) {
    if (std::size_t(n) > release.images.size()) {
      w.PutTemplate(ImageStartEntry(n), kNumberEntrySize);
      w.PutTemplate(ImageSizeEntry(n), kNumberEntrySize);
      w.PutTemplate(NewFwEntry(n), kRevisionEntrySize);
      w.PutTemplate(FwExtEntry(n), kRevisionEntrySize);
      continue;
    }
    const ReleaseImage& image = release.images[std::size_t(n - 1)];
    const std::string digit(1, ImageDigit(n));
    // An enciphered image is recorded with its padding: the program copies that many bytes
    // and deciphers them whole.
    const std::size_t size = StoredImageSize(release, image);
    w.Put(ImageStartEntry(n), kNumberEntrySize, "BIN_START" + digit + "=" + Digits10(offset));
    w.Put(ImageSizeEntry(n), kNumberEntrySize, "BIN_SIZE" + digit + "B=" + Digits10(size));
    w.Put(NewFwEntry(n), kRevisionEntrySize, "NEW_FW" + digit + "=" + image.newFw);
    w.Put(FwExtEntry(n), kRevisionEntrySize, "FW_EXT" + digit + "=" + image.fwExt);
    offset += size;
  }
}

void WritePayload(std::uint8_t* payload, const std::vector<std::vector<std::uint8_t>>& stored) {
  std::memset(payload, 0, kPayloadSize);
  for (const auto& image : stored) {
    std::memcpy(payload, image.data(), image.size());
    payload += image.size();
  }
}

// A slot without a program goes back to the template's marker and size 0, so that packing
// over an earlier release leaves none of its programs behind.
void WritePrograms(std::uint8_t* area, const Release& release) {
  for (int slot = 1; slot <= int(kProgramSlotCount); ++slot) {
    const auto& program = release.programs[std::size_t(slot - 1)];
    std::uint8_t* at = area + ProgramSlotOffset(slot);
    std::memset(at, 0, kProgramSlotSize);
    const std::size_t size = program ? program->bytes.size() : 0;
    if (program) {
      std::memcpy(at, program->bytes.data(), size);
    } else {
      const ProgramMarkerBytes marker = TemplateProgramMarker(slot);
      std::memcpy(at, marker.data(), marker.size());
    }
    const std::string_view key = kProgramSlots[std::size_t(slot - 1)].sizeKey;
    const std::string text = std::string(key) + Digits10(size);
    std::memcpy(area + ProgramSizeOffset(slot), text.data(), text.size() + 1);
  }
}

}  // namespace

void WriteRelease(std::vector<std::uint8_t>& file, const Release& release) {
  std::string error;
  const auto block = LocatePackageBlock(file, &error);
  if (!block) throw PackError(error);
  Validate(release);
  // Everything that can still fail happens before the first byte of the file changes.
  std::vector<std::vector<std::uint8_t>> stored;
  for (const ReleaseImage& image : release.images) stored.push_back(StoredImage(release, image));
  BlockWriter w(file.data() + *block);
  WriteTexts(w, release);
  WriteConstraints(w, release);
  WriteOptions(w, release);
  WriteImageEntries(w, release);
  WritePayload(file.data() + *block + kPayloadOffset, stored);
  WritePrograms(file.data() + *block, release);
}

}  // namespace pack
