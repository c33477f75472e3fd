#include "platform/hi_timer.h"

#include <algorithm>

#include "framework/application.h"
#include "os/os.h"

namespace platform {
namespace {

// The rounds of one wait. Each handles what is queued for the calling thread, then sleeps
// until input arrives or about a millisecond has passed; the last part of a wait, under a
// millisecond, spins so that the wait ends on time.
class MessagePump {
 public:
  void Round(long double secondsLeft) {
    auto& sys = os::Current();
    if (m_bPumping) Pump(sys);
    const std::uint32_t milliseconds = secondsLeft >= 0.001L ? 1 : 0;
    // Once messages are no longer taken, waking for input that is already queued would make
    // every round return at once.
    const std::uint32_t flags = m_bPumping ? os::kMWMO_INPUTAVAILABLE : 0;
    // A system that refuses the wake mask still gets a wait that sleeps.
    if (sys.MsgWaitForMultipleObjectsEx({}, milliseconds, os::kQS_ALLINPUT, flags) ==
        os::kWAIT_FAILED)
      sys.Sleep(milliseconds);
  }

 private:
  void Pump(os::Os& sys) {
    if (fw::Application) {
      fw::Application->ProcessMessages();
      m_bPumping = !fw::Application->Terminated();
      return;
    }
    // A thread without the application object, such as the worker.
    os::Msg msg;
    while (sys.PeekMessageA(&msg, os::kPM_REMOVE)) {
      if (msg.message == os::kWM_QUIT) {
        sys.PostQuitMessage(int(msg.wParam));  // left for the thread's own loop
        m_bPumping = false;
        return;
      }
      sys.TranslateMessage(msg);
      sys.DispatchMessageA(msg);
    }
  }

  bool m_bPumping = true;
};

}  // namespace

HiTimer::HiTimer() {
  std::int64_t frequency = 0;
  if (!os::Current().QueryPerformanceFrequency(&frequency) || frequency <= 0) {
    m_bUnavailable = true;
    return;
  }
  m_Frequency = frequency;
  // A measurement with a second one inside it, taken as every measurement is taken: what it
  // reads is the cost of one start and stop.
  m_Start = Now();
  m_bRunning = true;
  const std::int64_t calibrationStart = Now();
  const std::int64_t calibrationStop = Now();
  static_cast<void>(calibrationStop - calibrationStart);
  Stop();
  m_Overhead = m_Accumulated;
  m_Start = m_Stop = m_Accumulated = 0;
}

HiTimer::~HiTimer() {
  if (m_bRunning) Stop();
}

std::int64_t HiTimer::Now() const {
  std::int64_t count = 0;
  if (!os::Current().QueryPerformanceCounter(&count)) return 0;
  return count;
}

// An interval less the cost of measuring it; never below zero, or the shortest waits would
// read a negative time and never end.
std::int64_t HiTimer::Interval(std::int64_t from, std::int64_t to) const {
  return std::max<std::int64_t>(0, to - from - m_Overhead);
}

void HiTimer::Start(bool reset) {
  if (m_bUnavailable) return;
  if (reset) Reset();
  m_Start = Now();
  m_bRunning = true;
}

void HiTimer::Stop() {
  if (m_bUnavailable || !m_bRunning) return;
  m_Stop = Now();
  m_Accumulated += Interval(m_Start, m_Stop);
  m_Start = 0;
  m_bRunning = false;
}

void HiTimer::Reset() {
  if (m_bRunning) Stop();
  m_Accumulated = 0;
}

long double HiTimer::Elapsed() {
  if (m_bUnavailable || !m_bRunning) return 0;
  m_Stop = Now();
  return static_cast<long double>(Interval(m_Start, m_Stop)) / m_Frequency;
}

long double HiTimer::Total() const {
  if (m_bUnavailable) return 0;
  const std::int64_t ticks = m_Accumulated + (m_bRunning ? Interval(m_Start, m_Stop) : 0);
  return static_cast<long double>(ticks) / m_Frequency;
}

void HiTimer::WaitSeconds(long double seconds) {
  Wait(seconds, 1);
}

void HiTimer::WaitMilliseconds(long double milliseconds) {
  Wait(milliseconds, 1000);
}

// `limit` counts units of which `perSecond` make a second. The comparison is Elapsed() times
// perSecond against the limit, made on whole ticks so that no rounding of the quotient can
// keep a wait short of a limit it has reached.
void HiTimer::Wait(long double limit, long double perSecond) {
  if (m_bUnavailable) {
    WaitByTickCount(limit * 1000 / perSecond);
    return;
  }
  Start(true);
  const long double goal = limit * static_cast<long double>(m_Frequency);
  MessagePump pump;
  for (;;) {
    m_Stop = Now();
    const long double passed = static_cast<long double>(Interval(m_Start, m_Stop)) * perSecond;
    if (passed >= goal) break;
    pump.Round((goal - passed) / (perSecond * static_cast<long double>(m_Frequency)));
  }
  Stop();
}

// The tick count wraps after 49.7 days; the unsigned difference does not mind.
void HiTimer::WaitByTickCount(long double milliseconds) {
  auto& sys = os::Current();
  const std::uint32_t begin = sys.GetTickCount();
  MessagePump pump;
  for (long double passed; (passed = std::uint32_t(sys.GetTickCount() - begin)) < milliseconds;)
    pump.Round((milliseconds - passed) / 1000);
}

}  // namespace platform
