#include "package/package_area.h"

#include <cstddef>

#include "package/package_layout.h"
#include "package/package_template.h"

namespace package {

struct PackageAreas {
  BlockBytes block;
  std::array<std::uint8_t, kPayloadSize> payload;
  CipherAreaBytes cipher;
  ProgramSlotBytes slots;
  ProgramSizeBytes sizes;
};
static_assert(sizeof(PackageAreas) == kAreaSize);
static_assert(offsetof(PackageAreas, payload) == kPayloadOffset);
static_assert(offsetof(PackageAreas, cipher) == kCipherAreaOffset);
static_assert(offsetof(PackageAreas, slots) == kProgramSlotsOffset);
static_assert(offsetof(PackageAreas, sizes) == kProgramSizesOffset);

// Non-const, externally visible and initialised with non-zero bytes: the whole object, payload
// included, occupies bytes in the file's .data section, where the packaging tool patches it.
// An all-zero object would land in .bss and leave the tool nothing to write into.
extern PackageAreas gPackageAreas;
PackageAreas gPackageAreas{MakeTemplateBlock(),
                           {},
                           MakeTemplateCipherArea(),
                           MakeTemplateProgramSlots(),
                           MakeTemplateProgramSizes()};

std::uint8_t* PackageArea() {
  auto* area = reinterpret_cast<std::uint8_t*>(&gPackageAreas);
  // The values are the release's, known only once the file has been packed: hide the object
  // from the optimiser so that no read of it is folded into the template's values.
  __asm__ volatile("" : "+r"(area));
  return area;
}

}  // namespace package
