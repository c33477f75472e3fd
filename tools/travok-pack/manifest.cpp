#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include <toml++/toml.h>

#include "tools/travok-pack/packer.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTopKeys[] = {"title",   "version", "release_date", "product_model",
                                         "options", "image",   "programs"};
constexpr std::string_view kOptionKeys[] = {"visual_style", "language", "flash_mode", "digits"};
constexpr std::string_view kImageKeys[] = {"file", "new_fw", "fw_ext", "every_drive", "constraint"};
constexpr std::string_view kRowKeys[] = {"model", "start", "end", "prefix"};
constexpr std::size_t kPrefixSize = 5;

class ManifestReader {
 public:
  ManifestReader(std::string sourceName, fs::path baseDir)
      : m_source(std::move(sourceName)), m_baseDir(std::move(baseDir)) {}

  Release Read(std::string_view text) {
    toml::table root;
    try {
      root = toml::parse(text, m_source);
    } catch (const toml::parse_error& e) {
      Fail(e.source(), std::string(e.description()));
    }
    // A misspelt key would otherwise be dropped silently and ship a release without the
    // setting its engineer meant to give it.
    CheckKeys(root, kTopKeys, "");
    m_root = &root;
    Release release;
    release.title = Required(root, "title", "title");
    release.version = Required(root, "version", "version");
    release.releaseDate = String(root, "release_date", "release_date").value_or("");
    release.productModel = String(root, "product_model", "product_model").value_or("");
    if (const toml::node* options = root.get("options"))
      ReadOptions(Table(*options, "options"), release);
    if (const toml::node* programs = root.get("programs"))
      ReadPrograms(Table(*programs, "programs"), release);
    if (const toml::node* images = root.get("image")) {
      const toml::array& list = Array(*images, "image", "[[image]]");
      for (std::size_t n = 0; n < list.size(); ++n)
        release.images.push_back(
            ReadImage(Table(list[n], "image " + std::to_string(n + 1)), int(n + 1)));
    }
    return release;
  }

 private:
  [[noreturn]] void Fail(const toml::source_region& where, const std::string& problem) const {
    std::string at = m_source;
    if (where.begin.line) at += ":" + std::to_string(where.begin.line);
    throw PackError(at + ": " + problem);
  }

  template <std::size_t N>
  void CheckKeys(const toml::table& table, const std::string_view (&allowed)[N],
                 const std::string& path, std::span<const OptionName> extra = {}) const {
    for (auto&& [key, value] : table) {
      const std::string_view name = key.str();
      const bool known =
          std::find(std::begin(allowed), std::end(allowed), name) != std::end(allowed) ||
          std::any_of(extra.begin(), extra.end(),
                      [&](const OptionName& o) { return o.key == name; });
      if (!known) Fail(key.source(), "unknown key '" + path + std::string(name) + "'");
    }
  }

  const toml::table& Table(const toml::node& node, const std::string& field) const {
    if (const toml::table* t = node.as_table()) return *t;
    Fail(node.source(), field + ": expected a table");
  }

  const toml::array& Array(const toml::node& node, const std::string& field,
                           const char* form) const {
    const toml::array* a = node.as_array();
    if (!a || !a->is_array_of_tables())
      Fail(node.source(), field + ": expected " + std::string(form) + " entries");
    return *a;
  }

  std::optional<std::string> String(const toml::table& t, std::string_view key,
                                    const std::string& field) const {
    const toml::node* node = t.get(key);
    if (!node) return std::nullopt;
    if (const auto* s = node->as_string()) return s->get();
    Fail(node->source(), field + ": expected a string");
  }

  std::string Required(const toml::table& t, std::string_view key, const std::string& field) const {
    if (auto s = String(t, key, field)) return *s;
    // The top of the file has no line worth naming; an [[image]] header has.
    Fail(&t == m_root ? toml::source_region{} : t.source(),
         field + ": missing; a release needs it");
  }

  int Integer(const toml::node& node, const std::string& field, int lo, int hi) const {
    const auto* i = node.as_integer();
    if (!i) Fail(node.source(), field + ": expected a whole number " + Range(lo, hi));
    if (i->get() < lo || i->get() > hi)
      Fail(node.source(), field + ": " + std::to_string(i->get()) + " is outside " + Range(lo, hi));
    return int(i->get());
  }

  static std::string Range(int lo, int hi) {
    return std::to_string(lo) + ".." + std::to_string(hi);
  }

  void ReadOptions(const toml::table& t, Release& release) const {
    CheckKeys(t, kOptionKeys, "options.", kOptionNames);
    if (const toml::node* n = t.get("visual_style"))
      release.visualStyle = Integer(*n, "options.visual_style", 0, 127);
    if (const toml::node* n = t.get("language"))
      release.language = Integer(*n, "options.language", 0, 127);
    if (const toml::node* n = t.get("flash_mode"))
      release.flashMode = Integer(*n, "options.flash_mode", 0, 127);
    // The base first, whatever order the file has: a named option always wins over it.
    if (auto digits = String(t, "digits", "options.digits")) {
      if (digits->size() != std::size_t(kOptionDigitCount))
        Fail(t.get("digits")->source(),
             "options.digits: " + std::to_string(digits->size()) + " characters, expected " +
                 std::to_string(kOptionDigitCount) + " (positions 2..29)");
      release.optionDigits = *digits;
    }
    for (const OptionName& option : kOptionNames) {
      const toml::node* n = t.get(option.key);
      if (!n) continue;
      const std::string field = "options." + std::string(option.key);
      char& digit = release.optionDigits[std::size_t(option.position - 2)];
      if (option.isNumber) {
        digit = char('0' + Integer(*n, field, 0, 9));
      } else if (const auto* b = n->as_boolean()) {
        digit = b->get() ? '1' : '0';
      } else {
        Fail(n->source(), field + ": expected true or false");
      }
    }
  }

  // One key per slot, named after its marker; the value is the program's file.
  void ReadPrograms(const toml::table& t, Release& release) const {
    for (auto&& [key, value] : t) {
      int slot = 0;
      for (int s = 1; s <= int(package::kProgramSlotCount); ++s)
        if (ProgramKey(s) == key.str()) slot = s;
      if (!slot) Fail(key.source(), "unknown key 'programs." + std::string(key.str()) + "'");
      const std::string field = "programs." + std::string(key.str());
      const auto* file = value.as_string();
      if (!file) Fail(value.source(), field + ": expected the program's file name");
      ReleaseProgram program{file->get(), {}};
      program.bytes = ReadFile(value.source(), program.source, field + " (" + program.source + ")");
      release.programs[std::size_t(slot - 1)] = std::move(program);
    }
  }

  ConstraintRow ReadRow(const toml::table& t, const std::string& field) const {
    CheckKeys(t, kRowKeys, field + ".");
    ConstraintRow row;
    row.model = String(t, "model", field + " model").value_or("");
    row.start = String(t, "start", field + " start").value_or("");
    row.end = String(t, "end", field + " end").value_or("");
    if (auto prefix = String(t, "prefix", field + " prefix")) {
      const auto& where = t.get("prefix")->source();
      if (t.get("start") || t.get("end"))
        Fail(where, field + " prefix: not together with start or end; it sets both");
      if (prefix->size() != kPrefixSize)
        Fail(where, field + " prefix: \"" + *prefix + "\" has " + std::to_string(prefix->size()) +
                        " characters, it needs exactly " + std::to_string(kPrefixSize));
      // '!' and '~' are the lowest and highest printable characters: every revision that
      // begins with the prefix sorts between the two.
      row.start = *prefix + "!!!";
      row.end = *prefix + "~~~";
    }
    // A row without a model or a bound admits every drive just as no rows do.
    if (row.model.empty() && row.start.empty() && row.end.empty())
      Fail(t.source(), field +
                           ": no model, start, end or prefix, so it admits every drive; "
                           "limit the row, or drop the rows and say every_drive = true");
    return row;
  }

  // An image without rows updates every drive of every model, so a forgotten table of rows
  // must not pass for that: the manifest has to say so itself.
  void CheckEveryDrive(const toml::table& t, const std::string& field,
                       const ReleaseImage& image) const {
    const toml::node* node = t.get("every_drive");
    bool everyDrive = false;
    if (node) {
      const auto* b = node->as_boolean();
      if (!b) Fail(node->source(), field + " every_drive: expected true or false");
      everyDrive = b->get();
    }
    if (everyDrive && !image.rows.empty())
      Fail(node->source(), field + " every_drive: true, yet the image has " +
                               std::to_string(image.rows.size()) +
                               (image.rows.size() == 1 ? " constraint row" : " constraint rows") +
                               " to limit it; give one or the other");
    if (!everyDrive && image.rows.empty())
      Fail(t.source(), field +
                           ": no constraint rows, so it would update every drive of every "
                           "model; add [[image.constraint]] rows or say every_drive = true");
  }

  ReleaseImage ReadImage(const toml::table& t, int number) const {
    std::string field = "image " + std::to_string(number);
    CheckKeys(t, kImageKeys, field + ".");
    ReleaseImage image;
    image.source = Required(t, "file", field + " file");
    field += " (" + image.source + ")";
    image.newFw = Required(t, "new_fw", field + " new_fw");
    image.fwExt = String(t, "fw_ext", field + " fw_ext").value_or("");
    if (const toml::node* rows = t.get("constraint")) {
      const toml::array& list = Array(*rows, field + " constraint", "[[image.constraint]]");
      for (std::size_t r = 0; r < list.size(); ++r) {
        const std::string rowField = field + " constraint " + std::to_string(r + 1);
        image.rows.push_back(ReadRow(Table(list[r], rowField), rowField));
      }
    }
    CheckEveryDrive(t, field, image);
    image.bytes = ReadFile(t.get("file")->source(), image.source, field);
    return image;
  }

  std::vector<std::uint8_t> ReadFile(const toml::source_region& where, const std::string& name,
                                     const std::string& field) const {
    const fs::path path = m_baseDir / fs::path(name);
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(ec ? 0 : size);
    if (ec || !in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
      Fail(where, field + ": cannot read " + path.string());
    return bytes;
  }

  std::string m_source;
  fs::path m_baseDir;
  const toml::table* m_root = nullptr;
};

}  // namespace

std::vector<std::string> ManifestKeys() {
  std::vector<std::string> keys(std::begin(kTopKeys), std::end(kTopKeys));
  auto add = [&](std::string_view table, std::span<const std::string_view> names) {
    for (std::string_view name : names)
      keys.push_back(std::string(table) + "." + std::string(name));
  };
  add("options", kOptionKeys);
  for (const OptionName& option : kOptionNames)
    keys.push_back("options." + std::string(option.key));
  add("image", kImageKeys);
  add("image.constraint", kRowKeys);
  for (int slot = 1; slot <= int(package::kProgramSlotCount); ++slot)
    keys.push_back("programs." + ProgramKey(slot));
  return keys;
}

Release ParseManifestText(std::string_view toml, const std::filesystem::path& baseDir) {
  ManifestReader reader("manifest", baseDir);
  return reader.Read(toml);
}

Release ParseManifest(const std::filesystem::path& manifest) {
  std::ifstream in(manifest, std::ios::binary);
  if (!in || fs::is_directory(manifest))
    throw PackError("cannot read the manifest " + manifest.string());
  std::ostringstream text;
  text << in.rdbuf();
  fs::path base = manifest.parent_path();
  if (base.empty()) base = ".";
  ManifestReader reader(manifest.string(), base);
  return reader.Read(text.str());
}

}  // namespace pack
