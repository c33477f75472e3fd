#include "sim/windows/sim_registry.h"

#include <algorithm>

#include "framework/conversions.h"
#include "sim/kernel/journal_text.h"
#include "sim/windows/sim_system.h"

namespace sim {

// ---- SimRegistry ----

std::string SimRegistry::Normalise(const std::string& path) {
  std::string key = fw::UpperCase(path);
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

void SimRegistry::AddKey(const std::string& path) {
  std::string key = Normalise(path);
  while (!key.empty()) {
    m_Keys[key];
    const auto slash = key.find_last_of('\\');
    key = slash == std::string::npos ? "" : key.substr(0, slash);
  }
}

void SimRegistry::RemoveKey(const std::string& path) {
  const std::string key = Normalise(path);
  std::erase_if(m_Keys, [&](const auto& entry) {
    return entry.first == key || entry.first.starts_with(key + "\\");
  });
}

bool SimRegistry::HasKey(const std::string& path) const {
  const std::string key = Normalise(path);
  return key.empty() || m_Keys.count(key) != 0;
}

void SimRegistry::SetValue(const std::string& path, const std::string& name, Value value) {
  AddKey(path);
  m_Keys[Normalise(path)][fw::UpperCase(name)] = std::move(value);
}

void SimRegistry::SetString(const std::string& path, const std::string& name,
                            const std::string& text) {
  Value value{os::kREG_SZ, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  SetValue(path, name, std::move(value));
}

void SimRegistry::SetDword(const std::string& path, const std::string& name, std::uint32_t number) {
  Value value{os::kREG_DWORD, std::vector<std::uint8_t>(4)};
  for (int i = 0; i < 4; ++i) value.data[std::size_t(i)] = std::uint8_t(number >> (8 * i));
  SetValue(path, name, std::move(value));
}

void SimRegistry::RemoveValue(const std::string& path, const std::string& name) {
  if (auto it = m_Keys.find(Normalise(path)); it != m_Keys.end())
    it->second.erase(fw::UpperCase(name));
}

const SimRegistry::Value* SimRegistry::GetValue(const std::string& path,
                                                const std::string& name) const {
  auto key = m_Keys.find(Normalise(path));
  if (key == m_Keys.end()) return nullptr;
  auto value = key->second.find(fw::UpperCase(name));
  return value == key->second.end() ? nullptr : &value->second;
}

std::string SimRegistry::GetString(const std::string& path, const std::string& name) const {
  const Value* value = GetValue(path, name);
  if (!value) return "";
  std::string text(value->data.begin(), value->data.end());
  return text.substr(0, text.find('\0'));
}

// ---- The registry calls of the seam ----

// The path a subkey names below an open key or HKEY_LOCAL_MACHINE. Windows takes the subkey
// relative to the key; a leading backslash is a bad path.
std::uint32_t SimSystem::KeyPath(os::Hkey key, const std::string& subKey, std::string* path) const {
  std::string base;
  if (key != os::kHKEY_LOCAL_MACHINE) {
    auto it = m_Keys.find(key);
    if (it == m_Keys.end()) return os::kERROR_INVALID_HANDLE;
    base = it->second.path;
  }
  if (!subKey.empty() && subKey[0] == '\\') return os::kERROR_BAD_PATHNAME;
  *path = SimRegistry::Normalise(base.empty()     ? subKey
                                 : subKey.empty() ? base
                                                  : base + "\\" + subKey);
  return os::kERROR_SUCCESS;
}

std::int32_t SimSystem::RegOpenKeyExA(os::Hkey key, const std::string& subKey, std::uint32_t,
                                      std::uint32_t samDesired, os::Hkey* result) {
  *result = 0;
  std::string path;
  if (const std::uint32_t error = KeyPath(key, subKey, &path)) return std::int32_t(error);
  m_Kernel.Log("RegOpenKeyExA " + Quoted(path));
  if (!registry.HasKey(path)) return std::int32_t(os::kERROR_FILE_NOT_FOUND);
  if (registry.Unopenable(path)) return std::int32_t(os::kERROR_ACCESS_DENIED);
  *result = m_Kernel.NewHandle(HandleKind::kRegistryKey);
  m_Keys[*result] = {path, samDesired};
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimSystem::RegCreateKeyExA(os::Hkey key, const std::string& subKey,
                                        std::uint32_t options, std::uint32_t samDesired,
                                        os::Hkey* result, std::uint32_t* disposition) {
  *result = 0;
  std::string path;
  if (const std::uint32_t error = KeyPath(key, subKey, &path)) return std::int32_t(error);
  m_Kernel.Log("RegCreateKeyExA " + Quoted(path) + " options " + HexText(options) + " access " +
               HexText(samDesired));
  const bool existed = registry.HasKey(path);
  // Only administrators may write under HKEY_LOCAL_MACHINE.
  if ((!existed && !administrator) || registry.Unopenable(path))
    return std::int32_t(os::kERROR_ACCESS_DENIED);
  registry.AddKey(path);
  if (disposition) *disposition = existed ? os::kREG_OPENED_EXISTING_KEY : os::kREG_CREATED_NEW_KEY;
  *result = m_Kernel.NewHandle(HandleKind::kRegistryKey);
  m_Keys[*result] = {path, samDesired};
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimSystem::RegQueryValueExA(os::Hkey key, const std::string& valueName,
                                         std::uint32_t* type, std::uint8_t* data,
                                         std::uint32_t* cbData) {
  auto it = m_Keys.find(key);
  if (it == m_Keys.end()) return std::int32_t(os::kERROR_INVALID_HANDLE);
  if (!(it->second.access & os::kKEY_QUERY_VALUE)) return std::int32_t(os::kERROR_ACCESS_DENIED);
  if (data && !cbData) return std::int32_t(os::kERROR_INVALID_PARAMETER);
  const SimRegistry::Value* value = registry.GetValue(it->second.path, valueName);
  if (!value) return std::int32_t(os::kERROR_FILE_NOT_FOUND);
  if (type) *type = value->type;
  const auto size = std::uint32_t(value->data.size());
  if (!cbData) return std::int32_t(os::kERROR_SUCCESS);
  const std::uint32_t room = *cbData;
  *cbData = size;
  if (!data) return std::int32_t(os::kERROR_SUCCESS);
  if (room < size) return std::int32_t(os::kERROR_MORE_DATA);
  std::copy(value->data.begin(), value->data.end(), data);
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimSystem::RegSetValueExA(os::Hkey key, const std::string& valueName,
                                       std::uint32_t type, const std::uint8_t* data,
                                       std::uint32_t cbData) {
  auto it = m_Keys.find(key);
  if (it == m_Keys.end()) return std::int32_t(os::kERROR_INVALID_HANDLE);
  if (!(it->second.access & os::kKEY_SET_VALUE) || !administrator ||
      registry.Unwritable(it->second.path))
    return std::int32_t(os::kERROR_ACCESS_DENIED);
  if (!data && cbData) return std::int32_t(os::kERROR_INVALID_PARAMETER);
  m_Kernel.Log("RegSetValueExA " + Quoted(it->second.path) + " " + Quoted(valueName));
  registry.SetValue(it->second.path, valueName,
                    {type, std::vector<std::uint8_t>(data, data + cbData)});
  return std::int32_t(os::kERROR_SUCCESS);
}

std::int32_t SimSystem::RegCloseKey(os::Hkey key) {
  if (key == os::kHKEY_LOCAL_MACHINE) return std::int32_t(os::kERROR_SUCCESS);
  return m_Keys.erase(key) ? std::int32_t(os::kERROR_SUCCESS)
                           : std::int32_t(os::kERROR_INVALID_HANDLE);
}

os::Hkey SimSystem::OpenKeyHandle(const std::string& path, std::uint32_t samDesired) {
  const os::Hkey key = m_Kernel.NewHandle(HandleKind::kRegistryKey);
  m_Keys[key] = {path, samDesired};
  return key;
}

}  // namespace sim
