// A configuration block of any bytes: the option parse either succeeds or raises the
// conversion error, and no reader or rule leaves the block's bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "app/eligibility.h"
#include "framework/exceptions.h"
#include "package/package_config.h"
#include "package/package_layout.h"
#include "sim/sim_pc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Exactly the block, so that a read past it is caught.
  std::vector<std::uint8_t> block(package::kBlockSize, 0);
  std::memcpy(block.data(), data, size < block.size() ? size : block.size());
  const std::uint8_t* b = block.data();

  package::PackageConfig config;
  try {
    package::ParseLeadingOptions(b, config);
    package::ParseTrailingOptions(b, config);
  } catch (const fw::EConvertError&) {
    return 0;
  }
  package::HasUsableImages(b, config);
  for (int n = 1; n <= package::kMaxImages; ++n) {
    package::TargetRevision(b, n);
    package::TargetExtendedIdField(b, n);
    package::ImageOffset(b, n);
    package::ImageSize(b, n);
  }
  package::WindowTitle(b);
  package::ProductModel(b);

  static sim::SimPc pc;
  os::Install(&pc);
  discovery::DevInfo drives[2] = {};
  for (auto& d : drives) {
    d.bExisted = true;
    if (size > 60) std::memcpy(&d, data + size - 60, 60);  // path, model and the rest from input
    d.bExisted = true;
  }
  config.iImageCount = std::uint16_t(config.iImageCount % 16);
  app::ChkConstraint(drives, b, config);
  for (const auto& d : drives) {
    if (!d.bEligible) continue;
    const auto targets = app::ChkO2N(d, b, config);
    app::IsAlreadyLatest(d, targets.shown, b, config);
  }
  os::Install(nullptr);
  return 0;
}
