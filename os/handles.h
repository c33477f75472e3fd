// The handles that cross the seam: each carries the Windows handle's value as an integer, so
// that the core holds and compares handles without the Windows headers. 0 is NULL throughout.
#pragma once

#include <cstdint>

namespace os {

using Handle = std::uintptr_t;    // HANDLE
using Hwnd = std::uintptr_t;      // HWND
using Hmenu = std::uintptr_t;     // HMENU
using Hmodule = std::uintptr_t;   // HMODULE
using FarProc = std::uintptr_t;   // FARPROC: an export GetProcAddress found
using Hkey = std::uintptr_t;      // HKEY
using ScHandle = std::uintptr_t;  // SC_HANDLE
using Psid = std::uintptr_t;      // PSID

}  // namespace os
