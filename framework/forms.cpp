#include "framework/forms.h"

namespace fw {

TForm::TForm(const std::string& className, const std::string& caption) {
  m_Handle = os::Current().CreateWindowExA(
      0, className, caption,
      os::kWS_OVERLAPPED | os::kWS_CAPTION | os::kWS_SYSMENU | os::kWS_MINIMIZEBOX,
      [this](os::Hwnd h, std::uint32_t m, std::uintptr_t w, std::intptr_t l) {
        return WndProc(h, m, w, l);
      });
}

TForm::~TForm() {
  if (m_Handle) os::Current().DestroyWindow(m_Handle);
}

std::string TForm::Caption() const {
  return os::Current().GetWindowTextA(m_Handle);
}

void TForm::SetCaption(const std::string& caption) {
  os::Current().SetWindowTextA(m_Handle, caption);
}

void TForm::SetSystemMenu(bool present) {
  auto& sys = os::Current();
  auto style = std::uint32_t(sys.GetWindowLongA(m_Handle, os::kGWL_STYLE));
  style = present ? style | os::kWS_SYSMENU : style & ~os::kWS_SYSMENU;
  sys.SetWindowLongA(m_Handle, os::kGWL_STYLE, std::int32_t(style));
}

bool TForm::Visible() const {
  return os::Current().IsWindowVisible(m_Handle);
}
void TForm::Show() {
  os::Current().ShowWindow(m_Handle, os::kSW_SHOW);
}
void TForm::Hide() {
  os::Current().ShowWindow(m_Handle, os::kSW_HIDE);
}

int TForm::MessageBox(const std::string& text, const std::string& caption, std::uint32_t type) {
  return os::Current().MessageBoxA(m_Handle, text, caption, type);
}

int TForm::MessageDlg(const std::string& text, TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning:
      return MessageBox(text, "Warning", os::kMB_OK | os::kMB_ICONWARNING);
    case TMsgDlgType::mtError:
      return MessageBox(text, "Error", os::kMB_OK | os::kMB_ICONERROR);
    case TMsgDlgType::mtInformation:
      return MessageBox(text, "Information", os::kMB_OK | os::kMB_ICONINFORMATION);
    case TMsgDlgType::mtConfirmation:
      break;
  }
  return MessageBox(text, "Confirm", os::kMB_OK | os::kMB_ICONQUESTION);
}

std::intptr_t TForm::WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                             std::intptr_t lParam) {
  return os::Current().DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace fw
