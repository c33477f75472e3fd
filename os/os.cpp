#include "os/os.h"

#include <cstdlib>

namespace os {
namespace {
Os* gOs = nullptr;
}

Os& Current() {
  if (!gOs) std::abort();  // the entry point installs the seam before anything else runs
  return *gOs;
}

void Install(Os* realisation) {
  gOs = realisation;
}

}  // namespace os
