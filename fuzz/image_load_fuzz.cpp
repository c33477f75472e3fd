// Image entries and program sizes of any digits: the image load stays inside the payload area
// and the 2 MiB buffer, its size a whole number of sectors, and a program slot read stays
// inside its slot.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "package/aes_context.h"
#include "package/fw_image.h"
#include "package/package_config.h"
#include "package/package_layout.h"
#include "package/program_slots.h"

namespace {

// Exactly the areas and exactly the buffer, so that a copy past either is caught.
std::vector<std::uint8_t>& Area() {
  static std::vector<std::uint8_t> area(package::kAreaSize, 0);
  return area;
}
std::vector<std::uint8_t>& Buffer() {
  static std::vector<std::uint8_t> buffer(package::kImageBufferSize, 0);
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::uint8_t* area = Area().data();
  // The input lands on the entries' digits of image 1 and on the program size strings.
  const std::size_t entries = 2 * package::kNumberEntrySize;
  std::size_t at = 2;
  for (std::size_t i = 0; i < entries && at < size; ++i, ++at) {
    const std::size_t entry = i < package::kNumberEntrySize
                                  ? package::ImageStartEntry(1) + i
                                  : package::ImageSizeEntry(1) + i - package::kNumberEntrySize;
    area[entry] = data[at];
  }
  for (std::size_t i = 0; i < package::kProgramSizesSize && at < size; ++i, ++at)
    area[package::kProgramSizesOffset + i] = data[at];

  // Deciphering covers gBinSize bytes, which the check below bounds; leaving it out keeps the
  // runs fast enough to matter.
  package::PackageConfig config;
  config.bWindowsFlash = true;
  package::AesContext context;
  const int index = int(data[1] % 17) - 1;  // -1 .. 15
  package::LoadFwImage(package::FwBuffer(Buffer().data(), package::kImageBufferSize), area, config,
                       index, context);
  if (package::gBinSize % 512 || package::gBinSize > package::kImageBufferSize) std::abort();

  const int slot = int(data[1] % 16);  // 0 .. 15
  const package::ProgramSlot program = package::ReadProgramSlot(area, slot);
  if (program.size > package::kProgramSlotSize) std::abort();
  if (program.size && program.bytes + program.size >
                          area + package::ProgramSlotOffset(slot) + package::kProgramSlotSize)
    std::abort();
  return 0;
}
