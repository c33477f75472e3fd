// Files and the registry: what the program reads of a file on disk (its attributes, its
// version resource), the files it writes and reads through a handle, the Windows and system
// directories, and the keys and values of the registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "os/handles.h"

namespace os {

class Files {
 public:
  virtual ~Files() = default;

  // INVALID_FILE_ATTRIBUTES when there is no such file or directory.
  virtual std::uint32_t GetFileAttributesA(const std::string& fileName) = 0;
  // GetFileVersionInfoSizeA followed by GetFileVersionInfoA: the raw version resource.
  virtual std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) = 0;

  // A file opened by CreateFileA (os/devices.h, which opens devices and files alike). Each
  // answers as the Windows call does: false (or INVALID_FILE_SIZE) with the last error set.
  virtual bool WriteFile(Handle file, const void* data, std::uint32_t size,
                         std::uint32_t* written) = 0;
  virtual bool ReadFile(Handle file, void* data, std::uint32_t size, std::uint32_t* read) = 0;
  virtual std::uint32_t GetFileSize(Handle file, std::uint32_t* sizeHigh) = 0;

  // The directories, without a trailing backslash ("C:\Windows", "C:\Windows\system32");
  // empty when the call fails. A 32-bit program on 64-bit Windows is told the system32 path
  // too; Windows redirects what it writes there.
  virtual std::string GetWindowsDirectoryA() = 0;
  virtual std::string GetSystemDirectoryA() = 0;

  // Registry. These return the Windows error code, as the Reg functions do.
  virtual std::int32_t RegOpenKeyExA(Hkey key, const std::string& subKey, std::uint32_t options,
                                     std::uint32_t samDesired, Hkey* result) = 0;
  virtual std::int32_t RegCreateKeyExA(Hkey key, const std::string& subKey, std::uint32_t options,
                                       std::uint32_t samDesired, Hkey* result,
                                       std::uint32_t* disposition) = 0;
  // data may be null to ask for the size; *cbData is the buffer size in and the value size out.
  virtual std::int32_t RegQueryValueExA(Hkey key, const std::string& valueName, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t* cbData) = 0;
  virtual std::int32_t RegSetValueExA(Hkey key, const std::string& valueName, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t cbData) = 0;
  virtual std::int32_t RegCloseKey(Hkey key) = 0;
};

}  // namespace os
