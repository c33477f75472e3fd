// The seam realised on Windows: each operation forwards to the Windows call of its name.
#pragma once

#include "os/os.h"

namespace win32 {

os::Os& WindowsOs();

}  // namespace win32
