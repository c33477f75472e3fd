#include "sim/sim_pc.h"

#include <algorithm>

#include "framework/bytes.h"
#include "framework/conversions.h"

namespace sim {
namespace {

constexpr os::Hmenu kMenuTag = 0x40000000;  // system menu handle = window handle | tag

std::string Quote(const std::string& text) {
  return "\"" + text + "\"";
}

}  // namespace

SimPc::SimPc() {
  InstallDeviceDefaults();
}

void SimPc::AddForeignMutex(const std::string& name) {
  ++m_Mutexes[name];
}

os::Hwnd SimPc::AddForeignWindow(const std::string& className, const std::string& title,
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

const SimWindow* SimPc::Window(os::Hwnd hwnd) const {
  auto it = m_Windows.find(hwnd);
  return it == m_Windows.end() ? nullptr : &it->second;
}

const SimWindow* SimPc::LastWindowOfClass(const std::string& className) const {
  for (auto it = m_Windows.rbegin(); it != m_Windows.rend(); ++it)
    if (!it->second.foreign && it->second.className == className) return &it->second;
  for (auto it = m_DestroyedWindows.rbegin(); it != m_DestroyedWindows.rend(); ++it)
    if (it->className == className) return &*it;
  return nullptr;
}

SimWindow* SimPc::Find(os::Hwnd hwnd) {
  auto it = m_Windows.find(hwnd);
  if (it != m_Windows.end()) return &it->second;
  m_LastError = os::kERROR_INVALID_WINDOW_HANDLE;
  return nullptr;
}

// VS_VERSIONINFO with the root key, its padding and a VS_FIXEDFILEINFO, laid out as the
// resource compiler writes it.
std::vector<std::uint8_t> SimPc::BuildVersionResource(const std::array<std::uint16_t, 4>& v) {
  const std::u16string key = u"VS_VERSION_INFO";
  const std::size_t value = (6 + (key.size() + 1) * 2 + 3) & ~std::size_t(3);
  std::vector<std::uint8_t> res(value + 52, 0);
  fw::PutU16le(res, 0, std::uint16_t(res.size()));
  fw::PutU16le(res, 2, 52);
  fw::PutU16le(res, 4, 0);
  for (std::size_t i = 0; i < key.size(); ++i) fw::PutU16le(res, 6 + 2 * i, key[i]);
  fw::PutU32le(res, value, 0xFEEF04BD);
  fw::PutU32le(res, value + 4, 0x00010000);
  fw::PutU32le(res, value + 8, std::uint32_t(v[0]) << 16 | v[1]);
  fw::PutU32le(res, value + 12, std::uint32_t(v[2]) << 16 | v[3]);
  fw::PutU32le(res, value + 16, std::uint32_t(v[0]) << 16 | v[1]);  // product version
  fw::PutU32le(res, value + 20, std::uint32_t(v[2]) << 16 | v[3]);
  return res;
}

std::optional<std::vector<std::uint8_t>> SimPc::GetFileVersionInfoA(const std::string& file) {
  Log("GetFileVersionInfoA " + Quote(file));
  if (file != moduleFileName || !fileVersion) {
    m_LastError = os::kERROR_RESOURCE_TYPE_NOT_FOUND;
    return std::nullopt;
  }
  return BuildVersionResource(*fileVersion);
}

os::Handle SimPc::OpenMutexA(std::uint32_t, bool, const std::string& name) {
  Log("OpenMutexA " + Quote(name));
  auto it = m_Mutexes.find(name);
  if (it == m_Mutexes.end()) {
    m_LastError = os::kERROR_FILE_NOT_FOUND;
    return 0;
  }
  ++it->second;
  const os::Handle h = NewHandle();
  m_MutexHandles[h] = name;
  return h;
}

os::Handle SimPc::CreateMutexA(bool, const std::string& name) {
  Log("CreateMutexA " + Quote(name));
  const bool existed = m_Mutexes.count(name) != 0;
  ++m_Mutexes[name];
  const os::Handle h = NewHandle();
  m_MutexHandles[h] = name;
  m_LastError = existed ? os::kERROR_ALREADY_EXISTS : os::kERROR_SUCCESS;
  return h;
}

bool SimPc::CloseHandle(os::Handle handle) {
  if (auto it = m_MutexHandles.find(handle); it != m_MutexHandles.end()) {
    if (--m_Mutexes[it->second] == 0) m_Mutexes.erase(it->second);
    m_MutexHandles.erase(it);
    return true;
  }
  if (m_Threads.erase(handle)) return true;
  if (CloseSystemHandle(handle)) return true;
  if (CloseDeviceHandle(handle)) return true;
  if (CloseScsiPortHandle(handle)) return true;
  m_LastError = os::kERROR_INVALID_HANDLE;
  return false;
}

// A thread runs to its end as soon as it is created: the program's main thread only ever
// waits for a worker while pumping messages, so running it first keeps every run repeatable
// and loses nothing the program could observe.
os::Handle SimPc::CreateThread(os::ThreadRoutine routine) {
  Log("CreateThread");
  const os::Handle h = NewHandle();
  m_Threads[h] = {routine()};
  return h;
}

std::uint32_t SimPc::WaitForSingleObject(os::Handle handle, std::uint32_t) {
  if (m_Threads.count(handle) || m_MutexHandles.count(handle)) return os::kWAIT_OBJECT_0;
  m_LastError = os::kERROR_INVALID_HANDLE;
  return 0xFFFFFFFF;  // WAIT_FAILED
}

bool SimPc::GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) {
  auto it = m_Threads.find(thread);
  if (it == m_Threads.end()) {
    m_LastError = os::kERROR_INVALID_HANDLE;
    return false;
  }
  *exitCode = it->second.exitCode;
  return true;
}

os::Hwnd SimPc::CreateWindowExA(std::uint32_t, const std::string& className,
                                const std::string& windowName, std::uint32_t style,
                                os::WindowProc proc) {
  const os::Hwnd hwnd = m_NextHwnd++;
  Log("CreateWindowExA " + Quote(className) + " " + Quote(windowName));
  SimWindow& w = m_Windows[hwnd];
  w.className = className;
  w.text = windowName;
  w.style = style;
  w.proc = std::move(proc);
  return hwnd;
}

bool SimPc::DestroyWindow(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  m_DestroyedWindows.push_back(std::move(*w));
  m_Windows.erase(hwnd);
  for (auto it = m_Timers.begin(); it != m_Timers.end();)
    it = it->first.first == hwnd ? m_Timers.erase(it) : std::next(it);
  std::erase_if(m_Queue, [hwnd](const os::Msg& m) { return m.hwnd == hwnd; });
  return true;
}

std::intptr_t SimPc::DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t,
                                    std::intptr_t) {
  if (msg == os::kWM_CLOSE) DestroyWindow(hwnd);
  return 0;
}

bool SimPc::SetWindowTextA(os::Hwnd hwnd, const std::string& text) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  w->text = text;
  return true;
}

std::string SimPc::GetWindowTextA(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  return w ? w->text : std::string();
}

std::int32_t SimPc::GetWindowLongA(os::Hwnd hwnd, int index) {
  SimWindow* w = Find(hwnd);
  return w && index == os::kGWL_STYLE ? std::int32_t(w->style) : 0;
}

std::int32_t SimPc::SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) {
  SimWindow* w = Find(hwnd);
  if (!w || index != os::kGWL_STYLE) return 0;
  const auto old = std::int32_t(w->style);
  w->style = std::uint32_t(value);
  return old;
}

bool SimPc::ShowWindow(os::Hwnd hwnd, int cmdShow) {
  SimWindow* w = Find(hwnd);
  if (!w) return false;
  Log("ShowWindow " + w->className + " " + std::to_string(cmdShow));
  const bool wasVisible = w->visible;
  w->visible = cmdShow != os::kSW_HIDE;
  if (cmdShow == os::kSW_RESTORE || cmdShow == os::kSW_SHOWNORMAL) w->iconic = false;
  if (cmdShow == os::kSW_SHOWMINIMIZED) w->iconic = true;
  return wasVisible;
}

bool SimPc::IsWindowVisible(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  return w && w->visible;
}

bool SimPc::IsIconic(os::Hwnd hwnd) {
  SimWindow* w = Find(hwnd);
  return w && w->iconic;
}

bool SimPc::BringWindowToTop(os::Hwnd hwnd) {
  if (!Find(hwnd)) return false;
  Log("BringWindowToTop " + std::to_string(hwnd));
  m_Top = hwnd;
  return true;
}

bool SimPc::SetForegroundWindow(os::Hwnd hwnd) {
  if (!Find(hwnd)) return false;
  Log("SetForegroundWindow " + std::to_string(hwnd));
  m_Foreground = hwnd;
  return true;
}

// Class names and titles compare without regard to letter case, as on Windows.
os::Hwnd SimPc::FindWindowA(const std::string& className, const std::string& windowName) {
  Log("FindWindowA " + Quote(className) + " " + Quote(windowName));
  for (const auto& [hwnd, w] : m_Windows)
    if (fw::UpperCase(w.className) == fw::UpperCase(className) &&
        fw::UpperCase(w.text) == fw::UpperCase(windowName))
      return hwnd;
  m_LastError = os::kERROR_FILE_NOT_FOUND;
  return 0;
}

os::Hmenu SimPc::GetSystemMenu(os::Hwnd hwnd, bool) {
  return Find(hwnd) ? hwnd | kMenuTag : 0;
}

int SimPc::EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) {
  SimWindow* w = Find(menu & ~kMenuTag);
  if (!w || (enable & os::kMF_BYPOSITION)) return -1;
  const bool wasGrayed = w->grayedMenuItems.count(id) != 0;
  if (enable & os::kMF_GRAYED)
    w->grayedMenuItems.insert(id);
  else
    w->grayedMenuItems.erase(id);
  return wasGrayed ? int(os::kMF_GRAYED) : int(os::kMF_ENABLED);
}

bool SimPc::RemoveMenu(os::Hmenu menu, std::uint32_t, std::uint32_t) {
  SimWindow* w = Find(menu & ~kMenuTag);
  if (!w) return false;
  ++w->systemMenuRemovals;
  return true;
}

int SimPc::MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                       std::uint32_t type) {
  const bool scripted = !m_Answers.empty();
  int answer;
  if (scripted) {
    answer = m_Answers.front();
    m_Answers.pop_front();
  } else {
    answer = (type & os::kMB_TYPEMASK) == os::kMB_YESNO ? os::kIDYES : os::kIDOK;
  }
  Log("MessageBoxA " + Quote(caption) + " " + Quote(text));
  m_MessageBoxes.push_back({owner, text, caption, type, answer, scripted});
  return answer;
}

// A timer whose time has come yields WM_TIMER only when no other message waits, as on Windows.
bool SimPc::TakeDueTimer(os::Msg* msg, bool remove) {
  auto due = m_Timers.end();
  for (auto it = m_Timers.begin(); it != m_Timers.end(); ++it)
    if (it->second.dueUs <= m_NowUs &&
        (due == m_Timers.end() || it->second.dueUs < due->second.dueUs))
      due = it;
  if (due == m_Timers.end()) return false;
  *msg = {due->first.first, os::kWM_TIMER, due->first.second, 0};
  if (remove) due->second.dueUs = m_NowUs + due->second.intervalUs;
  return true;
}

bool SimPc::PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) {
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

int SimPc::GetMessageA(os::Msg* msg) {
  while (!PeekMessageA(msg, os::kPM_REMOVE)) {
    if (m_Timers.empty()) {
      // Nothing can ever arrive: end the loop as if the user had closed the program.
      m_Idled = true;
      Log("GetMessageA: nothing left to wait for");
      *msg = {0, os::kWM_QUIT, 0, 0};
      return 0;
    }
    std::uint64_t next = UINT64_MAX;
    for (const auto& [key, t] : m_Timers) next = std::min(next, t.dueUs);
    m_NowUs = std::max(m_NowUs, next);
  }
  return msg->message == os::kWM_QUIT ? 0 : 1;
}

std::intptr_t SimPc::DispatchMessageA(const os::Msg& msg) {
  SimWindow* w = msg.hwnd ? Find(msg.hwnd) : nullptr;
  if (!w || !w->proc) return 0;
  os::WindowProc proc = w->proc;  // the procedure may destroy its window
  return proc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool SimPc::PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                         std::intptr_t lParam) {
  if (hwnd && !Find(hwnd)) return false;
  m_Queue.push_back({hwnd, msg, wParam, lParam});
  return true;
}

void SimPc::PostQuitMessage(int exitCode) {
  m_QuitPosted = true;
  m_QuitCode = exitCode;
}

std::uintptr_t SimPc::SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) {
  if (!Find(hwnd)) return 0;
  // Windows raises an interval under 10 ms to 10 ms.
  const std::uint64_t us = std::uint64_t(std::max<std::uint32_t>(elapse, 10)) * 1000;
  m_Timers[{hwnd, id}] = {us, m_NowUs + us};
  return id;
}

bool SimPc::KillTimer(os::Hwnd hwnd, std::uintptr_t id) {
  return m_Timers.erase({hwnd, id}) != 0;
}

// The simulated user locale sorts model numbers, which are plain ASCII, by their bytes; it
// tells letter case apart as the real comparison without flags does.
int SimPc::CompareStringA(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return c < 0 ? os::kCSTR_LESS_THAN : c == 0 ? os::kCSTR_EQUAL : os::kCSTR_GREATER_THAN;
}

bool SimPc::QueryPerformanceCounter(std::int64_t* count) {
  if (!system.performanceCounter) {
    *count = 0;
    m_LastError = os::kERROR_INVALID_FUNCTION;
    return false;
  }
  *count = std::int64_t(m_NowUs) * (kPerformanceFrequency / 1'000'000);
  return true;
}

bool SimPc::QueryPerformanceFrequency(std::int64_t* frequency) {
  if (!system.performanceCounter) {
    *frequency = 0;
    m_LastError = os::kERROR_INVALID_FUNCTION;
    return false;
  }
  *frequency = kPerformanceFrequency;
  return true;
}

void SimPc::Sleep(std::uint32_t milliseconds) {
  m_NowUs += std::uint64_t(milliseconds) * 1000;
}

}  // namespace sim
