// A timer of the framework: while enabled, calls OnTimer every Interval milliseconds from the
// message loop of the main thread.
#pragma once

#include <cstdint>
#include <functional>

namespace fw {

class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  std::uint32_t Interval() const { return m_Interval; }
  void SetInterval(std::uint32_t milliseconds);
  bool Enabled() const { return m_Enabled; }
  void SetEnabled(bool enabled);
  std::function<void()> OnTimer;

  void Fire();  // the application window received this timer's WM_TIMER

 private:
  void Update();

  std::uintptr_t m_Id;
  std::uint32_t m_Interval = 1000;
  bool m_Enabled = false;
  bool m_Armed = false;
};

}  // namespace fw
