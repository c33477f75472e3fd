// The program's desktop on the simulated PC: its windows and those of other processes, the
// thread's message queue and timers, message boxes and the waits that pump messages. The message
// loop is what moves the virtual clock: a wait ends when the next timer is due.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/os.h"
#include "sim/kernel/sim_kernel.h"
#include "sim/windows/sim_processes.h"

namespace sim {

struct MessageBoxRecord {
  os::Hwnd owner;
  std::string text;
  std::string caption;
  std::uint32_t type;
  int answer;
  bool scripted;  // false: nobody had said what to answer, the default button was taken
};

struct SimWindow {
  std::string className;
  std::string text;
  std::uint32_t style = 0;
  bool visible = false;
  bool iconic = false;
  bool foreign = false;  // belongs to another process
  os::WindowProc proc;
  std::set<std::uint32_t> grayedMenuItems;  // system menu, by command
  int systemMenuRemovals = 0;
};

class SimDesktop {
 public:
  SimDesktop(SimKernel& kernel, const SimProcesses& processes)
      : m_Kernel(kernel), m_Processes(processes) {}

  // Another process's top-level window.
  os::Hwnd AddForeignWindow(const std::string& className, const std::string& title, bool iconic);
  // The answers the user gives to the next message boxes, in order.
  void ScriptAnswer(int button) { m_Answers.push_back(button); }
  // Keys the user holds down, and the file the user picks in the next open-file dialog
  // (nothing: the dialog is cancelled).
  std::set<int> keysDown;
  std::optional<std::string> openFileAnswer;
  const std::vector<os::OpenFileRequest>& OpenFileDialogs() const { return m_OpenFileDialogs; }

  // What happened.
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return m_MessageBoxes; }
  const SimWindow* Window(os::Hwnd hwnd) const;
  // The last window of a class the program created, as it was when destroyed if it is gone.
  const SimWindow* LastWindowOfClass(const std::string& className) const;
  os::Hwnd ForegroundWindow() const { return m_Foreground; }
  os::Hwnd TopWindow() const { return m_Top; }
  // The message loop asked for a message when none could ever come: no message was queued and
  // no timer was armed. A real PC would wait for the user; the simulation ends the loop.
  bool Idled() const { return m_Idled; }

  os::Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                           const std::string& windowName, std::uint32_t style, os::WindowProc proc);
  bool DestroyWindow(os::Hwnd hwnd);
  std::intptr_t DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam);
  bool SetWindowTextA(os::Hwnd hwnd, const std::string& text);
  std::string GetWindowTextA(os::Hwnd hwnd);
  std::int32_t GetWindowLongA(os::Hwnd hwnd, int index);
  std::int32_t SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value);
  bool ShowWindow(os::Hwnd hwnd, int cmdShow);
  bool AnimateWindow(os::Hwnd hwnd, std::uint32_t time, std::uint32_t flags);
  bool IsWindowVisible(os::Hwnd hwnd);
  bool IsIconic(os::Hwnd hwnd);
  bool BringWindowToTop(os::Hwnd hwnd);
  bool SetForegroundWindow(os::Hwnd hwnd);
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName);
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert);
  int EnableMenuItem(os::Hmenu menu, std::uint32_t idEnableItem, std::uint32_t enable);
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags);
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type);

  std::int16_t GetAsyncKeyState(int virtualKey) const {
    return keysDown.count(virtualKey) ? std::int16_t(0x8000) : 0;
  }
  bool GetOpenFileNameA(const os::OpenFileRequest& request, std::string* fileName) {
    m_OpenFileDialogs.push_back(request);
    if (!openFileAnswer) return false;
    *fileName = *openFileAnswer;
    return true;
  }
  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg);
  int GetMessageA(os::Msg* msg);
  std::intptr_t DispatchMessageA(const os::Msg& msg);
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
  void PostQuitMessage(int exitCode);
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse);
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id);
  // Input is there, or comes when the next timer is due: the virtual clock moves to the
  // earlier of that time and the time-out, so a wait costs no real time and a timer fires at
  // its exact virtual time.
  std::uint32_t MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                            std::uint32_t milliseconds, std::uint32_t wakeMask,
                                            std::uint32_t flags);

 private:
  struct Timer {
    std::uint64_t intervalUs;
    std::uint64_t dueUs;
  };

  SimWindow* Find(os::Hwnd hwnd);
  bool TakeDueTimer(os::Msg* msg, bool remove);

  SimKernel& m_Kernel;
  const SimProcesses& m_Processes;
  std::map<os::Hwnd, SimWindow> m_Windows;
  std::vector<SimWindow> m_DestroyedWindows;
  os::Hwnd m_NextHwnd = 0x10010;
  os::Hwnd m_Foreground = 0, m_Top = 0;
  std::deque<os::Msg> m_Queue;
  bool m_QuitPosted = false;
  int m_QuitCode = 0;
  std::map<std::pair<os::Hwnd, std::uintptr_t>, Timer> m_Timers;
  std::deque<int> m_Answers;
  std::vector<MessageBoxRecord> m_MessageBoxes;
  std::vector<os::OpenFileRequest> m_OpenFileDialogs;
  bool m_Idled = false;
};

}  // namespace sim
