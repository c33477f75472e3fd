#include "sim/windows/sim_files.h"

#include <algorithm>
#include <cctype>
#include <cstring>

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

// The Windows and system directories (and SysWOW64 under WOW64), and the folders above them,
// are there whatever a test set them to.
bool SimFileSystem::IsDirectory(const std::string& n) const {
  if (IsRoot(n)) return true;
  const std::string wow64 = m_Wow64 ? windowsDirectory + "\\SysWOW64" : systemDirectory;
  for (const std::string* d : {&windowsDirectory, &systemDirectory, &wow64}) {
    const std::string dir = Normalise(*d);
    if (!n.empty() && (dir == n || dir.rfind(n + "\\", 0) == 0)) return true;
  }
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
  const std::uint32_t attributes = Attributes(Redirected(fileName), &error);
  if (attributes == os::kINVALID_FILE_ATTRIBUTES) m_Kernel.SetLastError(error);
  return attributes;
}

bool SimFileSystem::WriteDenied(const std::string& n) const {
  for (std::string p = n; !p.empty(); p = Parent(p))
    if (m_WriteDenied.count(p)) return true;
  return false;
}

SimFileSystem::OpenFile* SimFileSystem::Open(os::Handle file) {
  auto it = m_Open.find(file);
  return it == m_Open.end() ? nullptr : &it->second;
}

std::string SimFileSystem::Redirected(const std::string& path) const {
  const std::string n = Normalise(path);
  if (!m_Wow64) return n;
  const std::string system = Normalise(systemDirectory);
  if (system.empty() || (n != system && n.rfind(system + "\\", 0) != 0)) return n;
  return Normalise(windowsDirectory) + "\\SYSWOW64" + n.substr(system.size());
}

// The dispositions as Windows takes them; a directory, a missing folder on the way and a
// denied write fail with the errors Windows gives.
os::Handle SimFileSystem::CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                      std::uint32_t creationDisposition) {
  m_Kernel.Log("CreateFileA " + Quoted(fileName));
  const std::string n = Redirected(fileName);
  const bool writes =
      (desiredAccess & os::kGENERIC_WRITE) != 0 || creationDisposition == os::kCREATE_ALWAYS ||
      creationDisposition == os::kCREATE_NEW || creationDisposition == os::kTRUNCATE_EXISTING;
  auto fail = [&](std::uint32_t error) {
    m_Kernel.SetLastError(error);
    return os::kINVALID_HANDLE_VALUE;
  };
  if (IsDirectory(n)) return fail(os::kERROR_ACCESS_DENIED);
  if (!IsDirectory(Parent(n))) return fail(os::kERROR_PATH_NOT_FOUND);
  if (writes && WriteDenied(n)) return fail(os::kERROR_ACCESS_DENIED);
  const bool exists = m_Entries.count(n) != 0;
  switch (creationDisposition) {
    case os::kCREATE_NEW:
      if (exists) return fail(os::kERROR_FILE_EXISTS);
      m_Entries[n] = Entry{};
      break;
    case os::kCREATE_ALWAYS:
      m_Entries[n] = Entry{};
      break;
    case os::kOPEN_EXISTING:
      if (!exists) return fail(os::kERROR_FILE_NOT_FOUND);
      break;
    case os::kOPEN_ALWAYS:
      if (!exists) m_Entries[n] = Entry{};
      break;
    case os::kTRUNCATE_EXISTING:
      if (!exists) return fail(os::kERROR_FILE_NOT_FOUND);
      m_Entries[n].contents.clear();
      break;
    default:
      return fail(os::kERROR_INVALID_PARAMETER);
  }
  // CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed with ERROR_ALREADY_EXISTS.
  const bool existed = exists && (creationDisposition == os::kCREATE_ALWAYS ||
                                  creationDisposition == os::kOPEN_ALWAYS);
  m_Kernel.SetLastError(existed ? os::kERROR_ALREADY_EXISTS : os::kERROR_SUCCESS);
  const os::Handle h = m_Kernel.NewHandle(HandleKind::kFile);
  m_Open[h] = OpenFile{n, writes, 0};
  return h;
}

bool SimFileSystem::WriteFile(os::Handle file, const void* data, std::uint32_t size,
                              std::uint32_t* written) {
  if (written) *written = 0;
  OpenFile* f = Open(file);
  if (!f) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  if (!f->writable) {
    m_Kernel.SetLastError(os::kERROR_ACCESS_DENIED);
    return false;
  }
  m_Kernel.Log("WriteFile " + Quoted(f->path) + " " + std::to_string(size) + " bytes");
  std::vector<std::uint8_t>& contents = m_Entries[f->path].contents;
  if (contents.size() < f->position + size) contents.resize(f->position + size);
  if (size) std::memcpy(contents.data() + f->position, data, size);
  f->position += size;
  if (written) *written = size;
  return true;
}

bool SimFileSystem::ReadFile(os::Handle file, void* data, std::uint32_t size, std::uint32_t* read) {
  if (read) *read = 0;
  OpenFile* f = Open(file);
  if (!f) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const std::vector<std::uint8_t>& contents = m_Entries[f->path].contents;
  const std::size_t n = f->position >= contents.size()
                            ? 0
                            : std::min<std::size_t>(size, contents.size() - f->position);
  if (n) std::memcpy(data, contents.data() + f->position, n);
  f->position += n;
  if (read) *read = std::uint32_t(n);
  return true;
}

std::uint32_t SimFileSystem::GetFileSize(os::Handle file, std::uint32_t* sizeHigh) {
  OpenFile* f = Open(file);
  if (!f) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return os::kINVALID_FILE_SIZE;
  }
  const std::uint64_t size = m_Entries[f->path].contents.size();
  if (sizeHigh) *sizeHigh = std::uint32_t(size >> 32);
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return std::uint32_t(size);
}

bool SimFileSystem::CloseHandle(os::Handle file) {
  return m_Open.erase(file) != 0;
}

std::string SimFileSystem::GetWindowsDirectoryA() {
  m_Kernel.Log("GetWindowsDirectoryA");
  if (windowsDirectory.empty()) m_Kernel.SetLastError(os::kERROR_PATH_NOT_FOUND);
  return windowsDirectory;
}

std::string SimFileSystem::GetSystemDirectoryA() {
  m_Kernel.Log("GetSystemDirectoryA");
  if (systemDirectory.empty()) m_Kernel.SetLastError(os::kERROR_PATH_NOT_FOUND);
  return systemDirectory;
}

}  // namespace sim
