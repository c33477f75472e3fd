// The manifest reference in docs/releases.md, the example manifests in demo/ and the keys the
// release maker reads must name the same keys: a key added to the reader and left out of the
// reference, a documented key the reader refuses, or an example key nobody documented fails
// here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "tools/travok-pack/packer.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSource = TRAVOK_SOURCE_DIR;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first cell of every table row between the two markers, in backticks: "| `key` | ...".
std::vector<std::string> ReferenceKeys(const std::string& document) {
  const std::string begin = "<!-- manifest keys: begin -->", end = "<!-- manifest keys: end -->";
  const auto from = document.find(begin), to = document.find(end);
  if (from == std::string::npos || to == std::string::npos || to < from) return {};
  std::vector<std::string> keys;
  std::istringstream lines(document.substr(from, to - from));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("| `", 0) != 0) continue;
    const auto close = line.find('`', 3);
    if (close != std::string::npos) keys.push_back(line.substr(3, close - 3));
  }
  return keys;
}

void CollectKeys(const toml::table& table, const std::string& path, std::set<std::string>& keys) {
  for (auto&& [key, value] : table) {
    const std::string name = path + std::string(key.str());
    keys.insert(name);
    if (const toml::table* t = value.as_table()) CollectKeys(*t, name + ".", keys);
    if (const toml::array* a = value.as_array())
      for (const toml::node& element : *a)
        if (const toml::table* t = element.as_table()) CollectKeys(*t, name + ".", keys);
  }
}

// A manifest holding `key` with a value of the wrong type, in the table it belongs to; empty
// for a table the probe does not know.
std::string ManifestHolding(const std::string& key) {
  const std::string head = "title = \"T\"\nversion = \"v1\"\n";
  const std::map<std::string, std::string> tables = {
      {"", ""},
      {"options", head + "[options]\n"},
      {"programs", head + "[programs]\n"},
      {"image", head + "[[image]]\n"},
      {"image.constraint",
       head + "[[image]]\nfile = \"a.bin\"\nnew_fw = \"R1\"\n[[image.constraint]]\n"},
  };
  const auto dot = key.rfind('.');
  const std::string table = dot == std::string::npos ? "" : key.substr(0, dot);
  const auto found = tables.find(table);
  if (found == tables.end()) return "";
  return found->second + key.substr(dot == std::string::npos ? 0 : dot + 1) + " = [1]\n";
}

// Whether the reader knows `key`: it refuses the wrong value, but not as an unknown key.
bool Accepted(const std::string& key, std::string* why) {
  const std::string manifest = ManifestHolding(key);
  if (manifest.empty()) {
    *why = "no table of the manifest holds it";
    return false;
  }
  try {
    pack::ParseManifestText(manifest, kSource);
    *why = "a value of the wrong type passed";
    return false;
  } catch (const pack::PackError& e) {
    *why = e.what();
    return std::string(e.what()).find("unknown key") == std::string::npos;
  }
}

TEST(ManifestReference, NamesEveryKeyTheReaderTakesAndNoOther) {
  const std::vector<std::string> documented = ReferenceKeys(Slurp(kSource / "docs/releases.md"));
  ASSERT_FALSE(documented.empty()) << "no key table between the markers in docs/releases.md";
  const std::set<std::string> reference(documented.begin(), documented.end());
  EXPECT_EQ(reference.size(), documented.size()) << "a key is documented twice";

  for (const std::string& key : pack::ManifestKeys())
    EXPECT_TRUE(reference.count(key)) << "'" << key << "' is read but not documented";
  for (const std::string& key : reference) {
    std::string why;
    EXPECT_TRUE(Accepted(key, &why)) << "'" << key << "' is documented, but: " << why;
  }
}

TEST(ManifestReference, TheProbeTellsAnUnknownKey) {
  std::string why;
  for (const char* key : {"titel", "options.rebot", "image.newfw", "image.constraint.modle",
                          "programs.win11_x64", "image.extra.model"})
    EXPECT_FALSE(Accepted(key, &why)) << key;
}

TEST(ManifestReference, TheExamplesUseOnlyDocumentedKeys) {
  const std::vector<std::string> documented = ReferenceKeys(Slurp(kSource / "docs/releases.md"));
  const std::set<std::string> reference(documented.begin(), documented.end());
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kSource / "demo")) {
    if (entry.path().extension() != ".toml") continue;
    ++examples;
    SCOPED_TRACE(entry.path().string());
    std::set<std::string> keys;
    CollectKeys(toml::parse_file(entry.path().string()), "", keys);
    ASSERT_FALSE(keys.empty());
    for (const std::string& key : keys)
      EXPECT_TRUE(reference.count(key)) << "'" << key << "' is not in the reference";
  }
  EXPECT_GT(examples, 0) << "no example manifest in demo/";
}

}  // namespace
