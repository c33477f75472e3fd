// The seam to the operating system.
//
// Every operation stands for the Windows call of the same name and keeps its meaning: the
// same arguments, the same results, failures reported through GetLastError with the codes
// Windows sets. win32/ forwards each call to Windows; sim/ answers it from a simulated PC.
// Nothing above this floor knows which of the two it talks to.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/win_constants.h"

namespace os {

using Handle = std::uintptr_t;  // HANDLE; 0 is NULL
using Hwnd = std::uintptr_t;    // HWND
using Hmenu = std::uintptr_t;   // HMENU

struct Msg {  // MSG, less the time and the cursor position
  Hwnd hwnd = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// What a window procedure does for the windows of one class. The core's windows hand every
// message here; what they do not handle goes to DefWindowProcA.
using WindowProc = std::function<std::intptr_t(Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t)>;

using ThreadRoutine = std::function<std::uint32_t()>;

class Os {
 public:
  virtual ~Os() = default;

  // Errors and process.
  virtual std::uint32_t GetLastError() = 0;
  virtual void SetLastError(std::uint32_t error) = 0;
  virtual std::string GetCommandLineA() = 0;
  virtual std::string GetModuleFileNameA() = 0;  // of the executable
  // GetFileVersionInfoSizeA followed by GetFileVersionInfoA: the raw version resource.
  virtual std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) = 0;

  // Kernel objects.
  virtual Handle OpenMutexA(std::uint32_t desiredAccess, bool inheritHandle,
                            const std::string& name) = 0;
  virtual Handle CreateMutexA(bool initialOwner, const std::string& name) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  virtual Handle CreateThread(ThreadRoutine routine) = 0;
  virtual std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) = 0;
  virtual bool GetExitCodeThread(Handle thread, std::uint32_t* exitCode) = 0;

  // Windows. RegisterClassA and CreateWindowExA in one: the class is registered on first use.
  virtual Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                               const std::string& windowName, std::uint32_t style,
                               WindowProc proc) = 0;
  virtual bool DestroyWindow(Hwnd hwnd) = 0;
  virtual std::intptr_t DefWindowProcA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                       std::intptr_t lParam) = 0;
  virtual bool SetWindowTextA(Hwnd hwnd, const std::string& text) = 0;
  virtual std::string GetWindowTextA(Hwnd hwnd) = 0;
  virtual std::int32_t GetWindowLongA(Hwnd hwnd, int index) = 0;
  virtual std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) = 0;
  virtual bool ShowWindow(Hwnd hwnd, int cmdShow) = 0;
  virtual bool IsWindowVisible(Hwnd hwnd) = 0;
  virtual bool IsIconic(Hwnd hwnd) = 0;
  virtual bool BringWindowToTop(Hwnd hwnd) = 0;
  virtual bool SetForegroundWindow(Hwnd hwnd) = 0;
  virtual Hwnd FindWindowA(const std::string& className, const std::string& windowName) = 0;
  virtual Hmenu GetSystemMenu(Hwnd hwnd, bool revert) = 0;
  virtual int EnableMenuItem(Hmenu menu, std::uint32_t idEnableItem, std::uint32_t enable) = 0;
  virtual bool RemoveMenu(Hmenu menu, std::uint32_t position, std::uint32_t flags) = 0;
  virtual int MessageBoxA(Hwnd owner, const std::string& text, const std::string& caption,
                          std::uint32_t type) = 0;

  // The message queue of the calling thread, and timers.
  virtual bool PeekMessageA(Msg* msg, std::uint32_t removeMsg) = 0;
  virtual int GetMessageA(Msg* msg) = 0;
  virtual bool TranslateMessage(const Msg& msg) = 0;
  virtual std::intptr_t DispatchMessageA(const Msg& msg) = 0;
  virtual bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  virtual std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) = 0;
  virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;

  // Text. CompareStringA with the current user's locale and no flags: returns CSTR_LESS_THAN,
  // CSTR_EQUAL or CSTR_GREATER_THAN (1, 2, 3), 0 on failure.
  virtual int CompareStringA(const std::string& a, const std::string& b) = 0;

  // Time.
  virtual std::uint32_t GetTickCount() = 0;
  virtual bool QueryPerformanceCounter(std::int64_t* count) = 0;
  virtual bool QueryPerformanceFrequency(std::int64_t* frequency) = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The realisation the process runs on. The entry point installs it before the core starts.
Os& Current();
void Install(Os* os);

}  // namespace os
