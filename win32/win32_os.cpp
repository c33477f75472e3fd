#include "win32/win32_os.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#include <set>

namespace win32 {
namespace {

HWND H(os::Hwnd hwnd) {
  return reinterpret_cast<HWND>(hwnd);
}
os::Hwnd W(HWND hwnd) {
  return reinterpret_cast<os::Hwnd>(hwnd);
}
HANDLE K(os::Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
os::Handle O(HANDLE handle) {
  return reinterpret_cast<os::Handle>(handle);
}

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

DWORD WINAPI ThreadStart(LPVOID parameter) {
  std::unique_ptr<os::ThreadRoutine> routine(static_cast<os::ThreadRoutine*>(parameter));
  return (*routine)();
}

class WindowsSeam final : public os::Os {
 public:
  std::uint32_t GetLastError() override { return ::GetLastError(); }
  void SetLastError(std::uint32_t error) override { ::SetLastError(error); }
  std::string GetCommandLineA() override { return ::GetCommandLineA(); }

  std::string GetModuleFileNameA() override {
    char path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
  }

  std::optional<std::vector<std::uint8_t>> GetFileVersionInfoA(const std::string& file) override {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<std::uint8_t> data(size);
    if (!::GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return std::nullopt;
    return data;
  }

  os::Handle OpenMutexA(std::uint32_t access, bool inherit, const std::string& name) override {
    return O(::OpenMutexA(access, inherit, name.c_str()));
  }
  os::Handle CreateMutexA(bool initialOwner, const std::string& name) override {
    return O(::CreateMutexA(nullptr, initialOwner, name.c_str()));
  }
  bool CloseHandle(os::Handle handle) override { return ::CloseHandle(K(handle)); }

  os::Handle CreateThread(os::ThreadRoutine routine) override {
    auto* parameter = new os::ThreadRoutine(std::move(routine));
    HANDLE thread = ::CreateThread(nullptr, 0, ThreadStart, parameter, 0, nullptr);
    if (!thread) delete parameter;
    return O(thread);
  }
  std::uint32_t WaitForSingleObject(os::Handle handle, std::uint32_t ms) override {
    return ::WaitForSingleObject(K(handle), ms);
  }
  bool GetExitCodeThread(os::Handle thread, std::uint32_t* exitCode) override {
    DWORD code = 0;
    const bool ok = ::GetExitCodeThread(K(thread), &code);
    *exitCode = code;
    return ok;
  }

  os::Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                           const std::string& windowName, std::uint32_t style,
                           os::WindowProc proc) override {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    if (m_Classes.insert(className).second) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = ForwardingWndProc;
      wc.hInstance = instance;
      wc.lpszClassName = className.c_str();
      wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      ::RegisterClassA(&wc);
    }
    auto* parameter = new os::WindowProc(std::move(proc));
    HWND hwnd =
        ::CreateWindowExA(exStyle, className.c_str(), windowName.c_str(), style, CW_USEDEFAULT,
                          CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, parameter);
    if (!hwnd) delete parameter;
    return W(hwnd);
  }
  bool DestroyWindow(os::Hwnd hwnd) override { return ::DestroyWindow(H(hwnd)); }
  std::intptr_t DefWindowProcA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override {
    return ::DefWindowProcA(H(hwnd), msg, wParam, lParam);
  }
  bool SetWindowTextA(os::Hwnd hwnd, const std::string& text) override {
    return ::SetWindowTextA(H(hwnd), text.c_str());
  }
  std::string GetWindowTextA(os::Hwnd hwnd) override {
    char text[512] = {};
    const int n = ::GetWindowTextA(H(hwnd), text, sizeof text);
    return std::string(text, n > 0 ? std::size_t(n) : 0);
  }
  std::int32_t GetWindowLongA(os::Hwnd hwnd, int index) override {
    return ::GetWindowLongA(H(hwnd), index);
  }
  std::int32_t SetWindowLongA(os::Hwnd hwnd, int index, std::int32_t value) override {
    return ::SetWindowLongA(H(hwnd), index, value);
  }
  bool ShowWindow(os::Hwnd hwnd, int cmdShow) override { return ::ShowWindow(H(hwnd), cmdShow); }
  bool IsWindowVisible(os::Hwnd hwnd) override { return ::IsWindowVisible(H(hwnd)); }
  bool IsIconic(os::Hwnd hwnd) override { return ::IsIconic(H(hwnd)); }
  bool BringWindowToTop(os::Hwnd hwnd) override { return ::BringWindowToTop(H(hwnd)); }
  bool SetForegroundWindow(os::Hwnd hwnd) override { return ::SetForegroundWindow(H(hwnd)); }
  os::Hwnd FindWindowA(const std::string& className, const std::string& windowName) override {
    return W(::FindWindowA(className.c_str(), windowName.c_str()));
  }
  os::Hmenu GetSystemMenu(os::Hwnd hwnd, bool revert) override {
    return reinterpret_cast<os::Hmenu>(::GetSystemMenu(H(hwnd), revert));
  }
  int EnableMenuItem(os::Hmenu menu, std::uint32_t id, std::uint32_t enable) override {
    return ::EnableMenuItem(reinterpret_cast<HMENU>(menu), id, enable);
  }
  bool RemoveMenu(os::Hmenu menu, std::uint32_t position, std::uint32_t flags) override {
    return ::RemoveMenu(reinterpret_cast<HMENU>(menu), position, flags);
  }
  int MessageBoxA(os::Hwnd owner, const std::string& text, const std::string& caption,
                  std::uint32_t type) override {
    return ::MessageBoxA(H(owner), text.c_str(), caption.c_str(), type);
  }

  bool PeekMessageA(os::Msg* msg, std::uint32_t removeMsg) override {
    MSG m;
    if (!::PeekMessageA(&m, nullptr, 0, 0, removeMsg)) return false;
    *msg = {W(m.hwnd), m.message, m.wParam, m.lParam};
    m_Last = m;
    return true;
  }
  int GetMessageA(os::Msg* msg) override {
    MSG m;
    const int result = ::GetMessageA(&m, nullptr, 0, 0);
    *msg = {W(m.hwnd), m.message, m.wParam, m.lParam};
    m_Last = m;
    return result;
  }
  // The message the core got last, with the time and position the core does not carry.
  bool TranslateMessage(const os::Msg& msg) override { return ::TranslateMessage(Full(msg)); }
  std::intptr_t DispatchMessageA(const os::Msg& msg) override {
    return ::DispatchMessageA(Full(msg));
  }
  bool PostMessageA(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                    std::intptr_t lParam) override {
    return ::PostMessageA(H(hwnd), msg, wParam, lParam);
  }
  void PostQuitMessage(int exitCode) override { ::PostQuitMessage(exitCode); }
  std::uintptr_t SetTimer(os::Hwnd hwnd, std::uintptr_t id, std::uint32_t elapse) override {
    return ::SetTimer(H(hwnd), id, elapse, nullptr);
  }
  bool KillTimer(os::Hwnd hwnd, std::uintptr_t id) override { return ::KillTimer(H(hwnd), id); }

  int CompareStringA(const std::string& a, const std::string& b) override {
    return ::CompareStringA(LOCALE_USER_DEFAULT, 0, a.data(), int(a.size()), b.data(),
                            int(b.size()));
  }

  std::uint32_t GetTickCount() override { return ::GetTickCount(); }
  bool QueryPerformanceCounter(std::int64_t* count) override {
    LARGE_INTEGER value;
    const bool ok = ::QueryPerformanceCounter(&value);
    *count = value.QuadPart;
    return ok;
  }
  bool QueryPerformanceFrequency(std::int64_t* frequency) override {
    LARGE_INTEGER value;
    const bool ok = ::QueryPerformanceFrequency(&value);
    *frequency = value.QuadPart;
    return ok;
  }
  void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }

 private:
  const MSG* Full(const os::Msg& msg) {
    if (W(m_Last.hwnd) != msg.hwnd || m_Last.message != msg.message ||
        m_Last.wParam != msg.wParam || m_Last.lParam != msg.lParam)
      m_Last = MSG{H(msg.hwnd), msg.message, msg.wParam, msg.lParam, 0, {0, 0}};
    return &m_Last;
  }

  std::set<std::string> m_Classes;
  MSG m_Last = {};
};

}  // namespace

os::Os& WindowsOs() {
  static WindowsSeam seam;
  return seam;
}

}  // namespace win32
