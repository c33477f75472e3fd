// Processes, threads and time: the calling process's last error, command line and module,
// kernel objects and the waits on them, threads, and the clocks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "os/handles.h"

namespace os {

using ThreadRoutine = std::function<std::uint32_t()>;

class Processes {
 public:
  virtual ~Processes() = default;

  // Errors and process.
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t error) = 0;
  virtual std::string GetCommandLineA() = 0;
  virtual std::string GetModuleFileNameA() = 0;  // of the executable
  virtual Handle GetCurrentProcess() = 0;

  // Kernel objects.
  virtual Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                            const std::string& name) = 0;
  virtual Handle CreateMutexA(bool initialOwner, const std::string& name) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  virtual Handle CreateThread(ThreadRoutine routine) = 0;
  virtual bool GetExitCodeThread(Handle thread, std::uint32_t* exitCode) = 0;
  // Starts a program through the shell. Like the Windows call it answers a value above 32 on
  // success and an error code (0 to 32) otherwise. Empty texts stand for null arguments.
  virtual std::intptr_t ShellExecuteA(Hwnd owner, const std::string& operation,
                                      const std::string& file, const std::string& parameters,
                                      const std::string& directory, int showCmd) = 0;

  // Waits.
  virtual std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) = 0;
  // Waits for handles or input to the calling thread's queue: WAIT_OBJECT_0 + i for handle i,
  // WAIT_OBJECT_0 + handles.size() for input, WAIT_TIMEOUT, or WAIT_FAILED.
  virtual std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<Handle>& handles,
                                                    std::uint32_t milliseconds,
                                                    std::uint32_t wakeMask,
                                                    std::uint32_t flags) = 0;

  // Time.
  virtual std::uint32_t GetTickCount() = 0;
  virtual bool QueryPerformanceCounter(std::int64_t* count) = 0;
  virtual bool QueryPerformanceFrequency(std::int64_t* frequency) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

}  // namespace os
