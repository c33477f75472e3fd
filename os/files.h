// Files and the registry: what the program reads of a file on disk (its attributes, its
// version resource) and the keys and values of the registry.
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
