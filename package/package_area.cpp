#include "package/package_area.h"

#include <cstddef>

#include "package/package_layout.h"
#include "package/package_template.h"

namespace package {

struct ProgramSlotBytes {
  ProgramMarkerBytes marker;
  std::array<std::uint8_t, kProgramSlotSize - kProgramMarkerRoom> rest;
};

struct PackageAreas {
  BlockBytes block;
  std::array<std::uint8_t, kPayloadSize> payload;
  CipherAreaBytes cipher;
  std::array<ProgramSlotBytes, kProgramSlotCount> slots;
  ProgramSizeBytes sizes;
};
static_assert(sizeof(ProgramSlotBytes) == kProgramSlotSize);
static_assert(sizeof(PackageAreas) == kAreaSize);
static_assert(offsetof(PackageAreas, payload) == kPayloadOffset);
static_assert(offsetof(PackageAreas, cipher) == kCipherAreaOffset);
static_assert(offsetof(PackageAreas, slots) == kProgramSlotsOffset);
static_assert(offsetof(PackageAreas, sizes) == kProgramSizesOffset);

// Non-const, externally visible and initialised with non-zero bytes: the whole object, payload
// included, occupies bytes in the file's .data section, where the packaging tool patches it.
// An all-zero object would land in .bss and leave the tool nothing to write into.
// constinit: an initialiser that had to run at start-up would leave the object in .bss.
extern PackageAreas gPackageAreas;
constinit PackageAreas gPackageAreas{MakeTemplateBlock(),
                                     {},
                                     MakeTemplateCipherArea(),
                                     {{{TemplateProgramMarker(1), {}},
                                       {TemplateProgramMarker(2), {}},
                                       {TemplateProgramMarker(3), {}},
                                       {TemplateProgramMarker(4), {}},
                                       {TemplateProgramMarker(5), {}},
                                       {TemplateProgramMarker(6), {}},
                                       {TemplateProgramMarker(7), {}},
                                       {TemplateProgramMarker(8), {}},
                                       {TemplateProgramMarker(9), {}},
                                       {TemplateProgramMarker(10), {}},
                                       {TemplateProgramMarker(11), {}},
                                       {TemplateProgramMarker(12), {}},
                                       {TemplateProgramMarker(13), {}},
                                       {TemplateProgramMarker(14), {}}}},
                                     MakeTemplateProgramSizes()};
static_assert(kProgramSlotCount == 14, "one initialiser per slot");

std::uint8_t* PackageArea() {
  auto* area = reinterpret_cast<std::uint8_t*>(&gPackageAreas);
  // The values are the release's, known only once the file has been packed: hide the object
  // from the optimiser so that no read of it is folded into the template's values.
  __asm__ volatile("" : "+r"(area));
  return area;
}

}  // namespace package
