#include "sim/windows/sim_desktop.h"

#include <algorithm>

#include "framework/conversions.h"
#include "sim/kernel/journal_text.h"

namespace sim {
namespace {

constexpr os::Hmenu kMenuTag = 0x40000000;  // system menu handle = window handle | tag

}  // namespace

os::Hwnd SimDesktop::AddForeignWindow(const std::string& className, const std::string& title,
                                      bool iconic) {
  const os::Hwnd hwnd = m_NextHwnd++;
  SimWindow& w = m_Windows[hwnd];
  w.className = className;
  w.text = title;
  w.visible = true;
  w.iconic = iconic;
  w.foreign = true;
  return hwnd;
}

const SimWindow* SimDesktop::Window(os::Hwnd hwnd) const {
  auto it = m_Windows.find(hwnd);
  return it == m_Windows.end() ? nullptr : &it->second;
}

const SimWindow* SimDesktop::LastWindowOfClass(const std::string& className) const {
  for (auto it = m_Windows.rbegin(); it != m_Windows.rend(); ++it)
    if (!it->second.foreign && it->second.className == className) return &it->second;
  for (auto it = m_DestroyedWindows.rbegin(); it != m_DestroyedWindows.rend(); ++it)
    if (it->className == className) return &*it;
  return nullptr;
}

SimWindow* SimDesktop::Find(os::Hwnd hwnd) {
  auto it = m_Windows.find(hwnd);
  if (it != m_Windows.end()) return &it->second;
  m_Kernel.SetLastError(os::kERROR_INVALID_WINDOW_HANDLE);
  return nullptr;
}

os::Hwnd SimDesktop::CreateWindowExA(std::uint32_t, const std::string& className,
                                     const std::string& windowName, std::uint32_t style,
                                     os::WindowProc proc) {
  const os::Hwnd hwnd = m_NextHwnd++;
  m_Kernel.Log("CreateWindowExA " + Quoted(className) + " " + Quoted(windowName));
  SimWindow& w = m_Windows[hwnd];
  w.className = className;
  w.text = windowName;
  w.style = style;
  w.proc = std::move(proc);
  return hwnd;
}

bool SimDesktop::DestroyWindow(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  m_DestroyedWindows.push_back(std::move(*w));
  m_Windows.erase(hwnd);
  for (auto it = m_Timers.begin(); it != m_Timers.end();)
    it = it->first.first == hwnd ? m_Timers.erase(it) : std::next(it);
  std::erase_if(m_Queue, [hwnd](const os::Msg& m) { return m.hwnd == hwnd; });
  return true;
}

std::intptr_t SimDesktop::DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t,
                                         std::intptr_t) {
  if (msg == os::kWM_CLOSE) DestroyWindow(hwnd);
  return 0;
}

bool SimDesktop::SetWindowTextA(os::Hwnd hwnd, const std::string& text) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  w->text = text;
  return true;
}

std::string SimDesktop::GetWindowTextA(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  return w ? w->text : std::string();
}

std::int32_t SimDesktop::GetWindowLongA(os::Hwnd hwnd, int index) {
  SimWindow* w = Find(hwnd);
  return w && index == os::kGWL_STYLE ? std::int32_t(w->style) : 0;
}

std::int32_t SimDesktop::SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) {
  SimWindow* w = Find(hwnd);
  if (!w || index != os::kGWL_STYLE) return 0;
  const auto old = std::int32_t(w->style);
  w->style = std::uint32_t(value);
  return old;
}

bool SimDesktop::ShowWindow(os::Hwnd hwnd, int cmdShow) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  m_Kernel.Log("ShowWindow " + w->className + " " + std::to_string(cmdShow));
  const bool wasVisible = w->visible;
  w->visible = cmdShow != os::kSW_HIDE;
  if (cmdShow == os::kSW_RESTORE || cmdShow == os::kSW_SHOWNORMAL) w->iconic = false;
  if (cmdShow == os::kSW_SHOWMINIMIZED) w->iconic = true;
  return wasVisible;
}

// Windows refuses to hide a hidden window or to show a visible one.
bool SimDesktop::AnimateWindow(os::Hwnd hwnd, std::uint32_t time, std::uint32_t flags) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  m_Kernel.Log("AnimateWindow " + w->className + " " + std::to_string(time) + " " + HexText(flags));
  const bool hide = (flags & os::kAW_HIDE) != 0;
  if (w->visible != hide) return false;
  w->visible = !hide;
  return true;
}

bool SimDesktop::IsWindowVisible(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  return w && w->visible;
}

bool SimDesktop::IsIconic(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  return w && w->iconic;
}

bool SimDesktop::BringWindowToTop(os::Hwnd hwnd) {
  if (!Find(hwnd)) return false;
  m_Kernel.Log("BringWindowToTop " + std::to_string(hwnd));
  m_Top = hwnd;
  return true;
}

bool SimDesktop::SetForegroundWindow(os::Hwnd hwnd) {
  if (!Find(hwnd)) return false;
  m_Kernel.Log("SetForegroundWindow " + std::to_string(hwnd));
  m_Foreground = hwnd;
  return true;
}

// Class names and titles compare without regard to letter case, as on Windows.
os::Hwnd SimDesktop::FindWindowA(const std::string& className, const std::string& windowName) {
  m_Kernel.Log("FindWindowA " + Quoted(className) + " " + Quoted(windowName));
  for (const auto& [hwnd, w] : m_Windows)
    if ((className.empty() || fw::UpperCase(w.className) == fw::UpperCase(className)) &&
        fw::UpperCase(w.text) == fw::UpperCase(windowName))
      return hwnd;
  m_Kernel.SetLastError(os::kERROR_FILE_NOT_FOUND);
  return 0;
}

os::Hmenu SimDesktop::GetSystemMenu(os::Hwnd hwnd, bool) {
  return Find(hwnd) ? hwnd | kMenuTag : 0;
}

int SimDesktop::EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) {
  SimWindow* w = Find(menu & ~kMenuTag);
  if (!w || (enable & os::kMF_BYPOSITION)) return -1;
  const bool wasGrayed = w->grayedMenuItems.count(id) != 0;
  if (enable & os::kMF_GRAYED)
    w->grayedMenuItems.insert(id);
  else
    w->grayedMenuItems.erase(id);
  return wasGrayed ? int(os::kMF_GRAYED) : int(os::kMF_ENABLED);
}

bool SimDesktop::RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) {
  SimWindow* w = Find(menu & ~kMenuTag);
  if (!w) return false;
  m_Kernel.Log("RemoveMenu " + w->className + " " + std::to_string(position) + " " +
               HexText(flags));
  ++w->systemMenuRemovals;
  return true;
}

int SimDesktop::MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                            std::uint32_t type) {
  const bool scripted = !m_Answers.empty();
  int answer;
  if (scripted) {
    answer = m_Answers.front();
    m_Answers.pop_front();
  } else {
    answer = (type & os::kMB_TYPEMASK) == os::kMB_YESNO ? os::kIDYES : os::kIDOK;
  }
  m_Kernel.Log("MessageBoxA " + Quoted(caption) + " " + Quoted(text));
  m_MessageBoxes.push_back({owner, text, caption, type, answer, scripted});
  return answer;
}

// A timer whose time has come yields WM_TIMER only when no other message waits, as on Windows.
bool SimDesktop::TakeDueTimer(os::Msg* msg, bool remove) {
  auto due = m_Timers.end();
  for (auto it = m_Timers.begin(); it != m_Timers.end(); ++it)
    if (it->second.dueUs <= m_Kernel.NowUs() &&
        (due == m_Timers.end() || it->second.dueUs < due->second.dueUs))
      due = it;
  if (due == m_Timers.end()) return false;
  *msg = {due->first.first, os::kWM_TIMER, due->first.second, 0};
  if (remove) due->second.dueUs = m_Kernel.NowUs() + due->second.intervalUs;
  return true;
}

bool SimDesktop::PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) {
  const bool remove = (removeMsg & os::kPM_REMOVE) != 0;
  if (!m_Queue.empty()) {
    *msg = m_Queue.front();
    if (remove) m_Queue.pop_front();
    return true;
  }
  if (m_QuitPosted) {
    *msg = {0, os::kWM_QUIT, std::uintptr_t(m_QuitCode), 0};
    if (remove) m_QuitPosted = false;
    return true;
  }
  return TakeDueTimer(msg, remove);
}

int SimDesktop::GetMessageA(os::Msg* msg) {
  while (!PeekMessageA(msg, os::kPM_REMOVE)) {
    if (m_Timers.empty()) {
      // Nothing can ever arrive: end the loop as if the user had closed the program.
      m_Idled = true;
      m_Kernel.Log("GetMessageA: nothing left to wait for");
      *msg = {0, os::kWM_QUIT, 0, 0};
      return 0;
    }
    std::uint64_t next = UINT64_MAX;
    for (const auto& [key, t] : m_Timers) next = std::min(next, t.dueUs);
    m_Kernel.AdvanceTo(next);
  }
  return msg->message == os::kWM_QUIT ? 0 : 1;
}

std::intptr_t SimDesktop::DispatchMessageA(const os::Msg& msg) {
  SimWindow* w = msg.hwnd ? Find(msg.hwnd) : nullptr;
  if (!w || !w->proc) return 0;
  os::WindowProc proc = w->proc;  // the procedure may destroy its window
  return proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool SimDesktop::PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
  if (hwnd && !Find(hwnd)) return false;
  m_Queue.push_back({hwnd, msg, wParam, lParam});
  return true;
}

void SimDesktop::PostQuitMessage(int exitCode) {
  m_QuitPosted = true;
  m_QuitCode = exitCode;
}

std::uintptr_t SimDesktop::SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) {
  if (!Find(hwnd)) return 0;
  // Windows raises an interval under 10 ms to 10 ms.
  const std::uint64_t us = std::uint64_t(std::max<std::uint32_t>(elapse, 10)) * 1000;
  m_Timers[{hwnd, id}] = {us, m_Kernel.NowUs() + us};
  return id;
}

bool SimDesktop::KillTimer(os::Hwnd hwnd, std::uintptr_t id) {
  return m_Timers.erase({hwnd, id}) != 0;
}

// With MWMO_INPUTAVAILABLE, whatever is queued or due wakes the wait. Without it only input
// that arrives during the wait does: here, a timer that comes due.
std::uint32_t SimDesktop::MsgWaitForMultipleObjectsEx(const std::vector<os::Handle>& handles,
                                                      std::uint32_t milliseconds,
                                                      std::uint32_t wakeMask, std::uint32_t flags) {
  // Threads run to their end when created and mutexes are never contended here.
  for (os::Handle h : handles)
    if (!m_Processes.Signalled(h)) {
      m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
      return os::kWAIT_FAILED;
    }
  if (!handles.empty()) return os::kWAIT_OBJECT_0;
  const auto input = os::kWAIT_OBJECT_0 + std::uint32_t(handles.size());
  std::uint64_t nextTimer = UINT64_MAX;
  bool timerDue = false;
  for (const auto& [key, t] : m_Timers) {
    if (t.dueUs <= m_Kernel.NowUs())
      timerDue = true;
    else
      nextTimer = std::min(nextTimer, t.dueUs);
  }
  const bool queued = !m_Queue.empty() || m_QuitPosted || timerDue;
  if (wakeMask && queued && (flags & os::kMWMO_INPUTAVAILABLE)) return input;
  if (!wakeMask) nextTimer = UINT64_MAX;
  if (milliseconds == os::kINFINITE && nextTimer == UINT64_MAX) {
    // Nothing can ever arrive; a real PC would hang here.
    m_Idled = true;
    m_Kernel.Log("MsgWaitForMultipleObjectsEx: nothing left to wait for");
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return os::kWAIT_FAILED;
  }
  const std::uint64_t timeout = m_Kernel.NowUs() + std::uint64_t(milliseconds) * 1000;
  if (nextTimer <= timeout) {
    m_Kernel.AdvanceTo(nextTimer);
    return input;
  }
  // Even a look that does not wait takes a moment, so a program polling the clock moves on.
  m_Kernel.Advance(milliseconds ? std::uint64_t(milliseconds) * 1000 : 1);
  return os::kWAIT_TIMEOUT;
}

}  // namespace sim
