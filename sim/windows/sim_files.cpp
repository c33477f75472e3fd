#include "sim/windows/sim_files.h"

#include <algorithm>
#include <cctype>

#include "os/layouts/ntddscsi.h"
#include "os/os.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

std::string Parent(const std::string& normalised) {
  const std::size_t slash = normalised.rfind('\\');
  return slash == std::string::npos ? std::string() : normalised.substr(0, slash);
}

// "C:" and "\\server\share" stand for volumes, which always exist here.
bool IsRoot(const std::string& normalised) {
  return normalised.size() == 2 && normalised[1] == ':';
}

}  // namespace

std::string SimFileSystem::Normalise(const std::string& path) {
  std::string n;
  for (char c : path) {
    c = c == '/' ? '\\' : char(std::toupper(static_cast<unsigned char>(c)));
    if (c == '\\' && !n.empty() && n.back() == '\\') continue;
    n += c;
  }
  while (n.size() > 2 && n.back() == '\\') n.pop_back();
  if (n.size() == 3 && n[1] == ':' && n[2] == '\\') n.pop_back();
  return n;
}

void SimFileSystem::AddDirectory(const std::string& path) {
  for (std::string n = Normalise(path); !n.empty() && !IsRoot(n); n = Parent(n))
    m_Entries[n].directory = true;
}

void SimFileSystem::AddFile(const std::string& path, std::vector<std::uint8_t> contents) {
  const std::string n = Normalise(path);
  AddDirectory(Parent(n));
  m_Entries[n] = Entry{false, std::move(contents)};
}

void SimFileSystem::Remove(const std::string& path) {
  const std::string n = Normalise(path);
  std::erase_if(m_Entries,
                [&](const auto& e) { return e.first == n || e.first.rfind(n + "\\", 0) == 0; });
}

bool SimFileSystem::IsDirectory(const std::string& n) const {
  if (IsRoot(n)) return true;
  auto it = m_Entries.find(n);
  return it != m_Entries.end() && it->second.directory;
}

bool SimFileSystem::Exists(const std::string& path) const {
  const std::string n = Normalise(path);
  return IsRoot(n) || m_Entries.count(n) != 0;
}

const std::vector<std::uint8_t>* SimFileSystem::Contents(const std::string& path) const {
  auto it = m_Entries.find(Normalise(path));
  return it == m_Entries.end() || it->second.directory ? nullptr : &it->second.contents;
}

std::uint32_t SimFileSystem::Attributes(const std::string& path, std::uint32_t* error) const {
  const std::string n = Normalise(path);
  if (IsDirectory(n)) return os::kFILE_ATTRIBUTE_DIRECTORY;
  if (m_Entries.count(n)) return os::kFILE_ATTRIBUTE_NORMAL;
  *error = IsDirectory(Parent(n)) ? os::kERROR_FILE_NOT_FOUND : os::kERROR_PATH_NOT_FOUND;
  return os::kINVALID_FILE_ATTRIBUTES;
}

std::uint32_t SimFileSystem::GetFileAttributesA(const std::string& fileName) {
  m_Kernel.Log("GetFileAttributesA " + Quoted(fileName));
  std::uint32_t error = 0;
  const std::uint32_t attributes = Attributes(fileName, &error);
  if (attributes == os::kINVALID_FILE_ATTRIBUTES) m_Kernel.SetLastError(error);
  return attributes;
}

}  // namespace sim
