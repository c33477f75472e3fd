#include "sim/windows/loader.h"

#include <cstring>
#include <vector>

#include "app/travok_main.h"
#include "package/package_area.h"
#include "package/package_layout.h"
#include "package/package_locator.h"

namespace sim {
namespace {

// A copy taken before anything can load a release over the areas. It is taken at run time so
// that the image holds no second configuration block for the release maker to stumble on.
const std::vector<std::uint8_t>& OwnPackage() {
  static const std::vector<std::uint8_t> own(package::PackageArea(),
                                             package::PackageArea() + package::kAreaSize);
  return own;
}
[[maybe_unused]] const bool kOwnPackageTaken = !OwnPackage().empty();

}  // namespace

void RestoreOwnPackage() {
  std::memcpy(package::PackageArea(), OwnPackage().data(), package::kAreaSize);
}

bool LoadRelease(std::span<const std::uint8_t> file, std::string* error) {
  const auto block = package::LocatePackageBlock(file, error);
  if (!block) return false;
  OwnPackage();
  std::memcpy(package::PackageArea(), file.data() + *block, package::kAreaSize);
  return true;
}

int RunProgram(os::Os& pc, const app::MainWindowObserver& observer) {
  os::Install(&pc);
  const int exitCode = app::RunTravok(observer);
  os::Install(nullptr);
  return exitCode;
}

}  // namespace sim
