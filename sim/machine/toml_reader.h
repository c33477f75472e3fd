// The checks every reader of a machine description shares: a value of the wrong type, an
// unknown key, a number out of range or a captured file of the wrong size ends the reading with
// a MachineError that names the file and line.
#pragma once

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/machine/machine_toml.h"

namespace sim {

// Where a machine description came from: the name its errors carry, and the folder that the
// files it names are taken from when their paths are relative (empty: the current directory).
struct MachineSource {
  std::string name;
  std::filesystem::path folder;
};

class TomlReader {
 public:
  explicit TomlReader(const MachineSource& source) : m_Source(source) {}

  const MachineSource& Origin() const { return m_Source; }
  const std::string& Source() const { return m_Source.name; }

  [[noreturn]] void Fail(const toml::source_region& where, const std::string& problem) const {
    std::string at = m_Source.name;
    if (where.begin.line) at += ":" + std::to_string(where.begin.line);
    throw MachineError(at + ": " + problem);
  }
  [[noreturn]] void Fail(const toml::node& where, const std::string& problem) const {
    Fail(where.source(), problem);
  }

  void Keys(const toml::table& t, std::span<const std::string_view> allowed) const {
    for (auto&& [key, value] : t)
      if (std::find(allowed.begin(), allowed.end(), key.str()) == allowed.end())
        Fail(value, "unknown key '" + std::string(key.str()) + "'");
  }

  const toml::table* Table(const toml::table& t, std::string_view key) const {
    const toml::node* n = t.get(key);
    if (!n) return nullptr;
    if (const toml::table* table = n->as_table()) return table;
    Fail(*n, std::string(key) + ": expected a table");
  }

  std::vector<const toml::table*> Tables(const toml::table& t, std::string_view key) const {
    std::vector<const toml::table*> list;
    const toml::node* n = t.get(key);
    if (!n) return list;
    const toml::array* a = n->as_array();
    if (!a || !a->is_array_of_tables())
      Fail(*n, std::string(key) + ": expected [[" + std::string(key) + "]] entries");
    for (const toml::node& e : *a) list.push_back(e.as_table());
    return list;
  }

  std::optional<std::string> String(const toml::table& t, std::string_view key) const {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    if (const auto* s = n->as_string()) return s->get();
    Fail(*n, std::string(key) + ": expected a string");
  }

  std::optional<std::int64_t> Integer(const toml::table& t, std::string_view key, std::int64_t lo,
                                      std::int64_t hi) const {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    const auto* i = n->as_integer();
    if (!i || i->get() < lo || i->get() > hi)
      Fail(*n, std::string(key) + ": expected a whole number " + std::to_string(lo) + ".." +
                   std::to_string(hi));
    return i->get();
  }

  std::optional<bool> Bool(const toml::table& t, std::string_view key) const {
    const toml::node* n = t.get(key);
    if (!n) return std::nullopt;
    if (const auto* b = n->as_boolean()) return b->get();
    Fail(*n, std::string(key) + ": expected true or false");
  }

  std::vector<std::int64_t> Integers(const toml::table& t, std::string_view key, std::size_t count,
                                     std::int64_t hi) const {
    std::vector<std::int64_t> list;
    const toml::node* n = t.get(key);
    if (!n) return list;
    const toml::array* a = n->as_array();
    if (!a || a->size() != count)
      Fail(*n, std::string(key) + ": expected " + std::to_string(count) + " numbers");
    for (const toml::node& e : *a) {
      const auto* i = e.as_integer();
      if (!i || i->get() < 0 || i->get() > hi)
        Fail(e, std::string(key) + ": each a whole number 0.." + std::to_string(hi));
      list.push_back(i->get());
    }
    return list;
  }

  std::vector<std::string> Strings(const toml::table& t, std::string_view key) const {
    std::vector<std::string> list;
    const toml::node* n = t.get(key);
    if (!n) return list;
    const toml::array* a = n->as_array();
    if (!a) Fail(*n, std::string(key) + ": expected a list of strings");
    for (const toml::node& e : *a) {
      const auto* s = e.as_string();
      if (!s) Fail(e, std::string(key) + ": expected a list of strings");
      list.push_back(s->get());
    }
    return list;
  }

  // The bytes of the file a key names, such as identify data captured from a real drive: all
  // of the file, which must be exactly N bytes long.
  template <std::size_t N>
  std::optional<std::array<std::uint8_t, N>> CapturedFile(const toml::table& t,
                                                          std::string_view key) const {
    const auto name = String(t, key);
    if (!name) return std::nullopt;
    const toml::node& at = *t.get(key);
    std::filesystem::path path(*name);
    if (path.is_relative()) path = m_Source.folder / path;
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(at, std::string(key) + ": cannot open " + path.string());
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.size() != N)
      Fail(at, std::string(key) + ": " + path.string() + " holds " + std::to_string(bytes.size()) +
                   " bytes, not " + std::to_string(N));
    std::array<std::uint8_t, N> data;
    std::copy(bytes.begin(), bytes.end(), data.begin());
    return data;
  }

 private:
  const MachineSource& m_Source;
};

}  // namespace sim
