// Windows and messages: the program's windows, their system menus, message boxes, and the
// message queue of the calling thread with its timers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "os/handles.h"

namespace os {

struct Msg {  // MSG, less the time and the cursor position
  Hwnd hwnd = 0;
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

// What a window procedure does for the windows of one class. The core's windows hand every
// message here; what they do not handle goes to DefWindowProcA.
using WindowProc = std::function<std::intptr_t(Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t)>;

// What the open-file dialog offers: the filter as "description|pattern" pairs, the extension
// added to a name typed without one, and whether only an existing file may be chosen.
struct OpenFileRequest {
  std::string filter;
  std::string defaultExtension;
  bool fileMustExist = false;
};

class Windows {
 public:
  virtual ~Windows() = default;

  // RegisterClassA and CreateWindowExA in one: the class is registered on first use.
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
  virtual bool AnimateWindow(Hwnd hwnd, std::uint32_t time, std::uint32_t flags) = 0;
  virtual Hwnd FindWindowA(const std::string& className, const std::string& windowName) = 0;
  virtual Hmenu GetSystemMenu(Hwnd hwnd, bool revert) = 0;
  virtual int EnableMenuItem(Hmenu menu, std::uint32_t idEnableItem, std::uint32_t enable) = 0;
  virtual bool RemoveMenu(Hmenu menu, std::uint32_t position, std::uint32_t flags) = 0;
  virtual int MessageBoxA(Hwnd owner, const std::string& text, const std::string& caption,
                          std::uint32_t type) = 0;

  // The message queue of the calling thread, and timers.
  // The state of a key right now: bit 15 is set while it is held down.
  virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
  // The modal open-file dialog: true with the chosen file's path, false when cancelled.
  virtual bool GetOpenFileNameA(Hwnd owner, const OpenFileRequest& request,
                                std::string* fileName) = 0;
  virtual bool PeekMessageA(Msg* msg, std::uint32_t removeMsg) = 0;
  virtual int GetMessageA(Msg* msg) = 0;
  virtual bool TranslateMessage(const Msg& msg) = 0;
  virtual std::intptr_t DispatchMessageA(const Msg& msg) = 0;
  virtual bool PostMessageA(Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam) = 0;
  virtual void PostQuitMessage(int exitCode) = 0;
  virtual std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) = 0;
  virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;
};

}  // namespace os
