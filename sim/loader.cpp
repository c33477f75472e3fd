#include "sim/loader.h"

#include <cstring>

#include "app/travok_main.h"
#include "package/package_area.h"
#include "package/package_layout.h"
#include "package/package_locator.h"

namespace sim {

bool LoadRelease(std::span<const std::uint8_t> file, std::string* error) {
  const auto block = package::LocatePackageBlock(file, error);
  if (!block) return false;
  std::memcpy(package::PackageArea(), file.data() + *block, package::kAreaSize);
  return true;
}

int RunProgram(SimPc& pc, const app::MainWindowObserver& observer) {
  os::Install(&pc);
  const int exitCode = app::RunTravok(observer);
  os::Install(nullptr);
  return exitCode;
}

}  // namespace sim
