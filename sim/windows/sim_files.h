// The files and directories of the simulated PC that the program looks at: markers on C:, the
// system directories and what the program writes there. Paths compare as Windows compares
// them: without regard to letter case, with either slash.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/kernel/sim_kernel.h"

namespace sim {

class SimFileSystem {
 public:
  explicit SimFileSystem(SimKernel& kernel) : m_Kernel(kernel) {}

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

  std::uint32_t GetFileAttributesA(const std::string& fileName);

 private:
  struct Entry {
    bool directory = false;
    std::vector<std::uint8_t> contents;
  };
  bool IsDirectory(const std::string& normalised) const;
  SimKernel& m_Kernel;
  std::map<std::string, Entry> m_Entries;  // by normalised path
};

}  // namespace sim
