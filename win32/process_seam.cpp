// Processes, threads and time on Windows.
#include "win32/seam.h"

#include <memory>

namespace win32 {
namespace {

DWORD WINAPI ThreadStart(LPVOID parameter) {
  std::unique_ptr<os::ThreadRoutine> routine(static_cast<os::ThreadRoutine*>(parameter));
  return (*routine)();
}

}  // namespace

std::uint32_t WindowsSeam::GetLastError() {
  return ::GetLastError();
}

void WindowsSeam::SetLastError(std::uint32_t error) {
  ::SetLastError(error);
}

std::string WindowsSeam::GetCommandLineA() {
  return ::GetCommandLineA();
}

std::string WindowsSeam::GetModuleFileNameA() {
  char path[MAX_PATH + 1] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, n);
}

os::Handle WindowsSeam::OpenMutexA(std::uint32_t access, bool inherit, const std::string& name) {
  return O(::OpenMutexA(access, inherit, name.c_str()));
}

os::Handle WindowsSeam::CreateMutexA(bool initialOwner, const std::string& name) {
  return O(::CreateMutexA(nullptr, initialOwner, name.c_str()));
}

bool WindowsSeam::CloseHandle(os::Handle handle) {
  return ::CloseHandle(K(handle));
}

os::Handle WindowsSeam::CreateThread(os::ThreadRoutine routine) {
  auto* parameter = new os::ThreadRoutine(std::move(routine));
  HANDLE thread = ::CreateThread(nullptr, 0, ThreadStart, parameter, 0, nullptr);
  if (!thread) delete parameter;
  return O(thread);
}

std::uint32_t WindowsSeam::WaitForSingleObject(os::Handle handle, std::uint32_t ms) {
  return ::WaitForSingleObject(K(handle), ms);
}

bool WindowsSeam::GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) {
  DWORD code = 0;
  const bool ok = ::GetExitCodeThread(K(thread), &code);
  *exitCode = code;
  return ok;
}

std::uint32_t WindowsSeam::GetTickCount() {
  return ::GetTickCount();
}

bool WindowsSeam::QueryPerformanceCounter(std::int64_t* count) {
  LARGE_INTEGER value;
  const bool ok = ::QueryPerformanceCounter(&value);
  *count = value.QuadPart;
  return ok;
}

bool WindowsSeam::QueryPerformanceFrequency(std::int64_t* frequency) {
  LARGE_INTEGER value;
  const bool ok = ::QueryPerformanceFrequency(&value);
  *frequency = value.QuadPart;
  return ok;
}

void WindowsSeam::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

namespace {
const char* OrNull(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}
}  // namespace

std::intptr_t WindowsSeam::ShellExecuteA(os::Hwnd owner, const std::string& operation,
                                         const std::string& file, const std::string& parameters,
                                         const std::string& directory, int showCmd) {
  return reinterpret_cast<std::intptr_t>(::ShellExecuteA(
      H(owner), OrNull(operation), file.c_str(), OrNull(parameters), OrNull(directory), showCmd));
}

os::Handle WindowsSeam::GetCurrentProcess() {
  return O(::GetCurrentProcess());
}

std::uint32_t WindowsSeam::MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                                       std::uint32_t milliseconds,
                                                       std::uint32_t wakeMask,
                                                       std::uint32_t flags) {
  std::vector<HANDLE> h;
  for (os::Handle handle : handles) h.push_back(K(handle));
  return ::MsgWaitForMultipleObjectsEx(DWORD(h.size()), h.empty() ? nullptr : h.data(),
                                       milliseconds, wakeMask, flags);
}

}  // namespace win32
