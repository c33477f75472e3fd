#include "win32/win32_os.h"

#include "win32/seam.h"

namespace win32 {

os::Os& WindowsOs() {
  static WindowsSeam seam;
  return seam;
}

}  // namespace win32
