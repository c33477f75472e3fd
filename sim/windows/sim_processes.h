// The program's process as the simulated PC runs it: its command line and executable, the named
// mutexes it and other processes hold, its threads, and the clocks it reads.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/kernel/sim_kernel.h"

namespace sim {

class SimSystem;

// A program started through ShellExecuteA.
struct ShellStart {
  std::string operation, file, parameters, directory;
  int showCmd = 0;
};

class SimProcesses {
 public:
  SimProcesses(SimKernel& kernel, const SimSystem& system) : m_Kernel(kernel), m_System(system) {}

  std::string commandLine = "\"C:\\Program Files\\Travok\\travok.exe\"";
  std::string moduleFileName = "C:\\Program Files\\Travok\\travok.exe";
  std::optional<std::array<std::uint16_t, 4>> fileVersion =
      std::array<std::uint16_t, 4>{3, 1, 21, 20};

  // Another process holds this named mutex.
  void AddForeignMutex(const std::string& name) { ++m_Mutexes[name]; }
  bool MutexExists(const std::string& name) const { return m_Mutexes.count(name) != 0; }
  // A thread or mutex of this process: a wait on it ends at once, since threads run to their
  // end when created and mutexes are never contended here.
  bool Signalled(os::Handle handle) const {
    return m_Threads.count(handle) || m_MutexHandles.count(handle);
  }
  // The version resource that GetFileVersionInfoA returns for the executable.
  static std::vector<std::uint8_t> BuildVersionResource(const std::array<std::uint16_t, 4>& v);
  static constexpr std::int64_t kPerformanceFrequency = 10'000'000;

  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file);
  os::Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle, const std::string& name);
  os::Handle CreateMutexA(bool initialOwner, const std::string& name);
  // Runs as a thread starts, before its routine: a test's way to act while a worker runs.
  std::function<void()> onThreadStart;
  os::Handle CreateThread(os::ThreadRoutine routine);
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t milliseconds);
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode);
  // Records the start; the started program itself is not run. Answers 42, a success.
  std::intptr_t ShellExecuteA(const std::string& operation, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int showCmd);
  const std::vector<ShellStart>& ShellStarts() const { return m_ShellStarts; }
  // Closes a mutex or thread handle; false when the handle is neither.
  bool CloseHandle(os::Handle handle);

  std::uint32_t GetTickCount() const { return std::uint32_t(m_Kernel.NowUs() / 1000); }
  bool QueryPerformanceCounter(std::int64_t* count);
  bool QueryPerformanceFrequency(std::int64_t* frequency);
  void Sleep(std::uint32_t milliseconds) { m_Kernel.Advance(std::uint64_t(milliseconds) * 1000); }

 private:
  SimKernel& m_Kernel;
  const SimSystem& m_System;
  std::map<std::string, int> m_Mutexes;  // name -> open handles (foreign ones count one)
  std::map<os::Handle, std::string> m_MutexHandles;
  std::map<os::Handle, std::uint32_t> m_Threads;  // handle -> exit code
  std::vector<ShellStart> m_ShellStarts;
};

}  // namespace sim
