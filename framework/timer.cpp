#include "framework/timer.h"

#include "framework/application.h"
#include "os/os.h"

namespace fw {

TTimer::TTimer() : m_Id(Application->NewTimerId()) {
  Application->AttachTimer(m_Id, this);
}

TTimer::~TTimer() {
  if (m_Armed) os::Current().KillTimer(Application->Handle(), m_Id);
  Application->DetachTimer(m_Id);
}

void TTimer::SetInterval(std::uint32_t milliseconds) {
  m_Interval = milliseconds;
  Update();
}

void TTimer::SetEnabled(bool enabled) {
  m_Enabled = enabled;
  Update();
}

// Re-arming restarts the period, as setting Interval or Enabled does in the framework.
void TTimer::Update() {
  auto& sys = os::Current();
  if (m_Armed) sys.KillTimer(Application->Handle(), m_Id);
  m_Armed = m_Enabled && m_Interval > 0 && sys.SetTimer(Application->Handle(), m_Id, m_Interval);
}

void TTimer::Fire() {
  if (m_Enabled && OnTimer) OnTimer();
}

}  // namespace fw
