// The files and directories of the simulated PC that the program looks at: markers on C:, the
// system directories and what the program writes there. Paths compare as Windows compares
// them: without regard to letter case, with either slash.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"

#include "sim/kernel/sim_kernel.h"

namespace sim {

class SimFileSystem {
 public:
  // wow64: the program is a 32-bit process on 64-bit Windows (SimSystem::wow64).
  SimFileSystem(SimKernel& kernel, const bool& wow64) : m_Kernel(kernel), m_Wow64(wow64) {}

  // What GetWindowsDirectoryA and GetSystemDirectoryA answer; the two directories (and the
  // folders above them) always exist. An empty text makes the call fail.
  std::string windowsDirectory = "C:\\Windows";
  std::string systemDirectory = "C:\\Windows\\system32";

  // Opening the file (or anything below the directory) for writing fails with
  // ERROR_ACCESS_DENIED, as for a read-only file or a folder the user may not write.
  void DenyWrites(const std::string& path) { m_WriteDenied.insert(Normalise(path)); }

  // With the directories above it.
  void AddFile(const std::string& path, std::vector<std::uint8_t> contents = {});
  void AddDirectory(const std::string& path);
  void Remove(const std::string& path);  // with what lies below it
  bool Exists(const std::string& path) const;
  const std::vector<std::uint8_t>* Contents(const std::string& path) const;  // null: no file
  // What GetFileAttributesA answers: the attributes, or INVALID_FILE_ATTRIBUTES with
  // ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when the directory is missing too.
  std::uint32_t Attributes(const std::string& path, std::uint32_t* error) const;

  static std::string Normalise(const std::string& path);
  // Where the program's access to a path lands: under WOW64 the system directory and what
  // lies below it are the Windows directory's SysWOW64, as the file system redirector does
  // for a 32-bit process. The tests read back through this as the program's view, or name
  // the real place ("C:\\Windows\\SysWOW64\\FW.bin") directly.
  std::string Redirected(const std::string& path) const;

  std::uint32_t GetFileAttributesA(const std::string& fileName);
  os::Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                         std::uint32_t creationDisposition);
  bool WriteFile(os::Handle file, const void* data, std::uint32_t size, std::uint32_t* written);
  bool ReadFile(os::Handle file, void* data, std::uint32_t size, std::uint32_t* read);
  std::uint32_t GetFileSize(os::Handle file, std::uint32_t* sizeHigh);
  bool CloseHandle(os::Handle file);  // false when it is not an open file
  std::string GetWindowsDirectoryA();
  std::string GetSystemDirectoryA();
  int OpenFiles() const { return int(m_Open.size()); }

 private:
  struct OpenFile {
    std::string path;  // normalised
    bool writable = false;
    std::size_t position = 0;
  };
  bool WriteDenied(const std::string& normalised) const;
  OpenFile* Open(os::Handle file);
  struct Entry {
    bool directory = false;
    std::vector<std::uint8_t> contents;
  };
  bool IsDirectory(const std::string& normalised) const;
  SimKernel& m_Kernel;
  const bool& m_Wow64;
  std::map<std::string, Entry> m_Entries;  // by normalised path
  std::set<std::string> m_WriteDenied;
  std::map<os::Handle, OpenFile> m_Open;
};

}  // namespace sim
