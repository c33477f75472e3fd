// Files and the registry on Windows.
#include "win32/seam.h"

namespace win32 {

std::optional<std::vector<std::uint8_t>> WindowsSeam::GetFileVersionInfoA(const std::string& file) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<std::uint8_t> data(size);
  if (!::GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return std::nullopt;
  return data;
}

std::uint32_t WindowsSeam::GetFileAttributesA(const std::string& fileName) {
  return ::GetFileAttributesA(fileName.c_str());
}

bool WindowsSeam::WriteFile(os::Handle file, const void* data, std::uint32_t size,
                            std::uint32_t* written) {
  DWORD n = 0;
  const BOOL ok = ::WriteFile(K(file), data, size, &n, nullptr);
  if (written) *written = n;
  return ok != 0;
}

bool WindowsSeam::ReadFile(os::Handle file, void* data, std::uint32_t size, std::uint32_t* read) {
  DWORD n = 0;
  const BOOL ok = ::ReadFile(K(file), data, size, &n, nullptr);
  if (read) *read = n;
  return ok != 0;
}

std::uint32_t WindowsSeam::GetFileSize(os::Handle file, std::uint32_t* sizeHigh) {
  DWORD high = 0;
  const DWORD low = ::GetFileSize(K(file), &high);
  if (sizeHigh) *sizeHigh = high;
  return low;
}

std::string WindowsSeam::GetWindowsDirectoryA() {
  char path[MAX_PATH + 1] = {};
  const UINT n = ::GetWindowsDirectoryA(path, MAX_PATH);
  return n == 0 || n > MAX_PATH ? std::string() : std::string(path, n);
}

std::string WindowsSeam::GetSystemDirectoryA() {
  char path[MAX_PATH + 1] = {};
  const UINT n = ::GetSystemDirectoryA(path, MAX_PATH);
  return n == 0 || n > MAX_PATH ? std::string() : std::string(path, n);
}

std::int32_t WindowsSeam::RegOpenKeyExA(os::Hkey key, const std::string& subKey,
                                        std::uint32_t options, std::uint32_t sam,
                                        os::Hkey* result) {
  HKEY opened = nullptr;
  const LONG error = ::RegOpenKeyExA(Hk(key), subKey.c_str(), options, sam, &opened);
  *result = reinterpret_cast<os::Hkey>(opened);
  return error;
}

std::int32_t WindowsSeam::RegCreateKeyExA(os::Hkey key, const std::string& subKey,
                                          std::uint32_t options, std::uint32_t sam,
                                          os::Hkey* result, std::uint32_t* disposition) {
  HKEY created = nullptr;
  DWORD how = 0;
  const LONG error =
      ::RegCreateKeyExA(Hk(key), subKey.c_str(), 0, nullptr, options, sam, nullptr, &created, &how);
  *result = reinterpret_cast<os::Hkey>(created);
  if (disposition) *disposition = how;
  return error;
}

std::int32_t WindowsSeam::RegQueryValueExA(os::Hkey key, const std::string& valueName,
                                           std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* cbData) {
  DWORD t = 0, size = cbData ? *cbData : 0;
  const LONG error =
      ::RegQueryValueExA(Hk(key), valueName.c_str(), nullptr, &t, data, cbData ? &size : nullptr);
  if (type) *type = t;
  if (cbData) *cbData = size;
  return error;
}

std::int32_t WindowsSeam::RegSetValueExA(os::Hkey key, const std::string& valueName,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t cbData) {
  return ::RegSetValueExA(Hk(key), valueName.c_str(), 0, type, data, cbData);
}

std::int32_t WindowsSeam::RegCloseKey(os::Hkey key) {
  return ::RegCloseKey(Hk(key));
}

}  // namespace win32
