// Waits, processes and files (winbase.h and the api-set headers it gathers: synchapi.h,
// processthreadsapi.h, fileapi.h, handleapi.h), with a k in front of the Windows names.
// win32/ proves each against the headers.
#pragma once

#include <cstdint>

namespace os {

inline constexpr std::uintptr_t kINVALID_HANDLE_VALUE = ~std::uintptr_t(0);

// Waits and exit codes.
inline constexpr std::uint32_t kINFINITE = 0xFFFFFFFF;
inline constexpr std::uint32_t kWAIT_OBJECT_0 = 0;
inline constexpr std::uint32_t kWAIT_FAILED = 0xFFFFFFFF;
inline constexpr std::uint32_t kSTILL_ACTIVE = 259;

// CreateFileA, GetFileSize and GetFileAttributesA.
inline constexpr std::uint32_t kCREATE_NEW = 1;
inline constexpr std::uint32_t kCREATE_ALWAYS = 2;
inline constexpr std::uint32_t kOPEN_EXISTING = 3;
inline constexpr std::uint32_t kOPEN_ALWAYS = 4;
inline constexpr std::uint32_t kTRUNCATE_EXISTING = 5;
inline constexpr std::uint32_t kINVALID_FILE_SIZE = 0xFFFFFFFF;
inline constexpr std::uint32_t kINVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

}  // namespace os
