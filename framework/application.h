// The application object: the hidden application window, the forms, and the message loop.
#pragma once

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "os/os.h"

namespace fw {

class TForm;
class TTimer;
class TThread;

class TApplication {
 public:
  TApplication();
  ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Creates the application window: class "TApplication", titled with the application title,
  // which is the executable's name without its extension. Another instance finds the running
  // one by this window.
  void Initialize();
  os::Hwnd Handle() const { return m_Handle; }
  const std::string& Title() const { return m_Title; }
  void SetTitle(const std::string& title);

  // Creates a form and keeps it until the application ends; the first becomes the main form.
  // A form whose constructor throws is not kept and the exception goes on to the caller.
  template <class Form>
  Form* CreateForm() {
    auto form = std::make_unique<Form>();
    Form* raw = form.get();
    m_Forms.push_back(std::move(form));
    return raw;
  }
  TForm* MainForm() const;

  bool ShowMainForm = true;

  // Shows the main form (unless ShowMainForm is off) and handles messages until Terminate;
  // returns at once when the application was terminated before.
  void Run();
  // Handles every message that is waiting, then returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return m_Terminated; }

  // The framework's error box for an exception that escaped: its message (with a closing
  // period), captioned with the application title. Null stands for an exception that is not
  // the framework's, shown with an empty message.
  void ShowException(const std::exception* e);

  // Timers and thread completions are delivered through the application window.
  std::uintptr_t NewTimerId() { return ++m_LastTimerId; }
  void AttachTimer(std::uintptr_t id, TTimer* timer) { m_Timers[id] = timer; }
  void DetachTimer(std::uintptr_t id) { m_Timers.erase(id); }
  void PostThreadDone(TThread* thread);

 private:
  std::intptr_t WndProc(os::Hwnd hwnd, std::uint32_t msg, std::uintptr_t wParam,
                        std::intptr_t lParam);
  bool HandleMessage(const os::Msg& msg);

  os::Hwnd m_Handle = 0;
  std::string m_Title;
  bool m_Terminated = false;
  std::vector<std::unique_ptr<TForm>> m_Forms;
  std::map<std::uintptr_t, TTimer*> m_Timers;
  std::uintptr_t m_LastTimerId = 0;
};

// The process's application object; set while the process entry runs.
extern TApplication* Application;

}  // namespace fw
