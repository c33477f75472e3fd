// Forms and their controls. A form owns a top-level window; its controls are kept as state
// (text, colour, visibility, items, position) that the form's owner reads and sets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "os/os.h"

namespace fw {

struct TControl {
  std::string Caption;  // the text shown
  std::uint32_t Color = 0;
  bool Visible = true;
  bool Enabled = true;
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

struct TLabel : TControl {};
struct TButton : TControl {};
struct TPanel : TControl {};

struct TComboBox : TControl {
  std::vector<std::string> Items;
  int ItemIndex = -1;
};

struct TProgressBar : TControl {
  int Min = 0, Max = 100, Position = 0;
};

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };

class TForm {
 public:
  TForm(const std::string& className, const std::string& caption);
  virtual ~TForm();
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  os::Hwnd Handle() const { return m_Handle; }
  std::string Caption() const;
  void SetCaption(const std::string& caption);
  // With the system menu off the window has no system menu (and so no Close item).
  void SetSystemMenu(bool present);
  bool Visible() const;
  void Show();
  void Hide();

  // A message box owned by this form; returns the button pressed (IDOK, IDYES, ...).
  int MessageBox(const std::string& text, const std::string& caption, std::uint32_t type);
  // The framework's message dialog with one OK button, captioned after its type.
  int MessageDlg(const std::string& text, TMsgDlgType type);

 protected:
  virtual std::intptr_t WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                                std::intptr_t lParam);

 private:
  os::Hwnd m_Handle = 0;
};

}  // namespace fw
