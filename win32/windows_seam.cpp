// Windows and messages on Windows: the core's windows get a window procedure of their own
// class that hands every message to the core's procedure.
#include "win32/seam.h"

namespace win32 {
namespace {

// The core's window procedure lives in the window's user data from WM_NCCREATE on and is
// freed with the window.
LRESULT CALLBACK ForwardingWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* proc = reinterpret_cast<os::WindowProc*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCDESTROY && proc) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    delete proc;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  if (!proc || !*proc) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return (*proc)(W(hwnd), msg, wParam, lParam);
}

// Every thread that pumps messages has its own last message: the flash worker waits, and so
// pumps, while the main thread does.
thread_local MSG tLastMessage = {};

// The message the core got last, with the time and position the core does not carry.
const MSG* Full(const os::Msg& msg) {
  MSG& last = tLastMessage;
  if (W(last.hwnd) != msg.hwnd || last.message != msg.message || last.wParam != msg.wParam ||
      last.lParam != msg.lParam)
    last = MSG{H(msg.hwnd), msg.message, msg.wParam, msg.lParam, 0, {0, 0}};
  return &last;
}

}  // namespace

os::Hwnd WindowsSeam::CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                                      const std::string& windowName, std::uint32_t style,
                                      os::WindowProc proc) {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  {
    std::lock_guard<std::mutex> lock(m_ClassesLock);
    if (m_Classes.insert(className).second) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = ForwardingWndProc;
      wc.hInstance = instance;
      wc.lpszClassName = className.c_str();
      wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      ::RegisterClassA(&wc);
    }
  }
  auto* parameter = new os::WindowProc(std::move(proc));
  HWND hwnd =
      ::CreateWindowExA(exStyle, className.c_str(), windowName.c_str(), style, CW_USEDEFAULT,
                        CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, parameter);
  if (!hwnd) delete parameter;
  return W(hwnd);
}

bool WindowsSeam::DestroyWindow(os::Hwnd hwnd) {
  return ::DestroyWindow(H(hwnd));
}

std::intptr_t WindowsSeam::DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                          std::intptr_t lParam) {
  return ::DefWindowProcA(H(hwnd), msg, wParam, lParam);
}

bool WindowsSeam::SetWindowTextA(os::Hwnd hwnd, const std::string& text) {
  return ::SetWindowTextA(H(hwnd), text.c_str());
}

std::string WindowsSeam::GetWindowTextA(os::Hwnd hwnd) {
  char text[512] = {};
  const int n = ::GetWindowTextA(H(hwnd), text, sizeof text);
  return std::string(text, n > 0 ? std::size_t(n) : 0);
}

std::int32_t WindowsSeam::GetWindowLongA(os::Hwnd hwnd, int index) {
  return ::GetWindowLongA(H(hwnd), index);
}

std::int32_t WindowsSeam::SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) {
  return ::SetWindowLongA(H(hwnd), index, value);
}

bool WindowsSeam::ShowWindow(os::Hwnd hwnd, int cmdShow) {
  return ::ShowWindow(H(hwnd), cmdShow);
}

bool WindowsSeam::IsWindowVisible(os::Hwnd hwnd) {
  return ::IsWindowVisible(H(hwnd));
}

bool WindowsSeam::IsIconic(os::Hwnd hwnd) {
  return ::IsIconic(H(hwnd));
}

bool WindowsSeam::BringWindowToTop(os::Hwnd hwnd) {
  return ::BringWindowToTop(H(hwnd));
}

bool WindowsSeam::SetForegroundWindow(os::Hwnd hwnd) {
  return ::SetForegroundWindow(H(hwnd));
}

bool WindowsSeam::AnimateWindow(os::Hwnd hwnd, std::uint32_t time, std::uint32_t flags) {
  return ::AnimateWindow(H(hwnd), time, flags);
}

os::Hwnd WindowsSeam::FindWindowA(const std::string& className, const std::string& windowName) {
  // No class name matches windows of every class.
  return W(::FindWindowA(className.empty() ? nullptr : className.c_str(), windowName.c_str()));
}

os::Hmenu WindowsSeam::GetSystemMenu(os::Hwnd hwnd, bool revert) {
  return reinterpret_cast<os::Hmenu>(::GetSystemMenu(H(hwnd), revert));
}

int WindowsSeam::EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) {
  return ::EnableMenuItem(reinterpret_cast<HMENU>(menu), id, enable);
}

bool WindowsSeam::RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) {
  return ::RemoveMenu(reinterpret_cast<HMENU>(menu), position, flags);
}

int WindowsSeam::MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                             std::uint32_t type) {
  return ::MessageBoxA(H(owner), text.c_str(), caption.c_str(), type);
}

std::int16_t WindowsSeam::GetAsyncKeyState(int virtualKey) {
  return std::int16_t(::GetAsyncKeyState(virtualKey));
}

bool WindowsSeam::GetOpenFileNameA(os::Hwnd owner, const os::OpenFileRequest& request,
                                   std::string* fileName) {
  // The dialog takes its filter as NUL-separated pieces ending in two NULs.
  std::string filter = request.filter;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  char path[MAX_PATH] = {};
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = H(owner);
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  ofn.lpstrDefExt = request.defaultExtension.c_str();
  ofn.Flags = OFN_HIDEREADONLY | (request.fileMustExist ? OFN_FILEMUSTEXIST : 0);
  if (!::GetOpenFileNameA(&ofn)) return false;
  *fileName = path;
  return true;
}

bool WindowsSeam::PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) {
  MSG m;
  if (!::PeekMessageA(&m, nullptr, 0, 0, removeMsg)) return false;
  *msg = {W(m.hwnd), m.message, m.wParam, m.lParam};
  tLastMessage = m;
  return true;
}

int WindowsSeam::GetMessageA(os::Msg* msg) {
  MSG m;
  const int result = ::GetMessageA(&m, nullptr, 0, 0);
  *msg = {W(m.hwnd), m.message, m.wParam, m.lParam};
  tLastMessage = m;
  return result;
}

bool WindowsSeam::TranslateMessage(const os::Msg& msg) {
  return ::TranslateMessage(Full(msg));
}

std::intptr_t WindowsSeam::DispatchMessageA(const os::Msg& msg) {
  return ::DispatchMessageA(Full(msg));
}

bool WindowsSeam::PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
  return ::PostMessageA(H(hwnd), msg, wParam, lParam);
}

void WindowsSeam::PostQuitMessage(int exitCode) {
  ::PostQuitMessage(exitCode);
}

std::uintptr_t WindowsSeam::SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) {
  return ::SetTimer(H(hwnd), id, elapse, nullptr);
}

bool WindowsSeam::KillTimer(os::Hwnd hwnd, std::uintptr_t id) {
  return ::KillTimer(H(hwnd), id);
}

}  // namespace win32
