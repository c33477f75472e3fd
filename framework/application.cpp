#include "framework/application.h"

#include "framework/forms.h"
#include "framework/thread.h"
#include "framework/timer.h"

namespace fw {

TApplication* Application = nullptr;

namespace {

constexpr std::uint32_t kWmThreadDone = os::kWM_USER + 0x100;

std::string NameWithoutExtension(const std::string& path) {
  const auto slash = path.find_last_of("\\/");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

TApplication::TApplication() = default;

TApplication::~TApplication() {
  // Forms go first, in reverse order of creation, while the seam is still there.
  while (!m_Forms.empty()) m_Forms.pop_back();
  if (m_Handle) os::Current().DestroyWindow(m_Handle);
}

void TApplication::Initialize() {
  m_Title = NameWithoutExtension(os::Current().GetModuleFileNameA());
  m_Handle = os::Current().CreateWindowExA(0, "TApplication", m_Title,
                                           os::kWS_POPUP | os::kWS_CAPTION | os::kWS_SYSMENU,
                                           [this](os::Hwnd h, std::uint32_t m, std::uintptr_t w,
                                                  std::intptr_t l) { return WndProc(h, m, w, l); });
}

void TApplication::SetTitle(const std::string& title) {
  m_Title = title;
  if (m_Handle) os::Current().SetWindowTextA(m_Handle, title);
}

TForm* TApplication::MainForm() const {
  return m_Forms.empty() ? nullptr : m_Forms[0].get();
}

void TApplication::Run() {
  if (m_Terminated) return;
  TForm* main = MainForm();
  if (!main) return;
  if (ShowMainForm) main->Show();
  auto& sys = os::Current();
  while (!m_Terminated) {
    os::Msg msg;
    if (sys.GetMessageA(&msg) <= 0) {
      m_Terminated = true;
      break;
    }
    HandleMessage(msg);
  }
}

void TApplication::ProcessMessages() {
  auto& sys = os::Current();
  os::Msg msg;
  while (!m_Terminated && sys.PeekMessageA(&msg, os::kPM_REMOVE)) {
    if (msg.message == os::kWM_QUIT) {
      m_Terminated = true;
      break;
    }
    HandleMessage(msg);
  }
}

bool TApplication::HandleMessage(const os::Msg& msg) {
  auto& sys = os::Current();
  sys.TranslateMessage(msg);
  sys.DispatchMessageA(msg);
  return true;
}

void TApplication::Terminate() {
  if (m_Terminated) return;
  m_Terminated = true;
  os::Current().PostQuitMessage(0);
}

void TApplication::ShowException(const std::exception* e) {
  std::string text = e ? e->what() : "";
  if (!text.empty() && text.back() != '.') text += '.';
  os::Current().MessageBoxA(m_Handle, text, m_Title, os::kMB_OK | os::kMB_ICONERROR);
}

void TApplication::PostThreadDone(TThread* thread) {
  os::Current().PostMessageA(m_Handle, kWmThreadDone, 0, reinterpret_cast<std::intptr_t>(thread));
}

std::intptr_t TApplication::WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
  if (msg == os::kWM_TIMER) {
    if (auto it = m_Timers.find(wParam); it != m_Timers.end()) it->second->Fire();
    return 0;
  }
  if (msg == kWmThreadDone) {
    reinterpret_cast<TThread*>(lParam)->DeliverTermination();
    return 0;
  }
  return os::Current().DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace fw
