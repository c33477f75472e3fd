// The registry of the simulated PC: HKEY_LOCAL_MACHINE, the one hive the program reads and
// writes.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"

namespace sim {

// HKEY_LOCAL_MACHINE. Paths are relative to it, without a leading backslash; key and value
// names compare without regard to letter case, as on Windows.
class SimRegistry {
 public:
  struct Value {
    std::uint32_t type = os::kREG_NONE;
    std::vector<std::uint8_t> data;
  };

  void AddKey(const std::string& path);     // with the keys above it
  void RemoveKey(const std::string& path);  // with the keys below it
  bool HasKey(const std::string& path) const;
  void SetValue(const std::string& path, const std::string& name, Value value);
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  void SetDword(const std::string& path, const std::string& name, std::uint32_t value);
  void RemoveValue(const std::string& path, const std::string& name);
  const Value* GetValue(const std::string& path, const std::string& name) const;
  std::string GetString(const std::string& path, const std::string& name) const;

  // RegOpenKeyExA and RegCreateKeyExA on the key fail with ERROR_ACCESS_DENIED.
  void MakeUnopenable(const std::string& path) { m_Unopenable.insert(Normalise(path)); }
  // The key opens, but RegSetValueExA on it fails with ERROR_ACCESS_DENIED.
  void MakeUnwritable(const std::string& path) { m_Unwritable.insert(Normalise(path)); }
  bool Unopenable(const std::string& path) const { return m_Unopenable.count(Normalise(path)); }
  bool Unwritable(const std::string& path) const { return m_Unwritable.count(Normalise(path)); }

  static std::string Normalise(const std::string& path);

 private:
  std::set<std::string> m_Unopenable, m_Unwritable;
  std::map<std::string, std::map<std::string, Value>> m_Keys;  // upper-case path and names
};

}  // namespace sim
