// A stopwatch on the performance counter, and the program's only way of waiting: a wait keeps
// handling the calling thread's messages, so timers, painting and the worker's completion go
// on during every pause.
//
// A wait does not keep a processor busy: between its checks of the clock it sleeps until a
// message arrives or a millisecond has passed. On a machine without a performance counter the
// readings stay 0, as the stopwatch cannot measure, but a wait still ends: it measures its
// time with GetTickCount instead.
#pragma once

#include <cstdint>

namespace platform {

class HiTimer {
 public:
  HiTimer();  // finds the cost of one measurement
  ~HiTimer();
  HiTimer(const HiTimer&) = delete;
  HiTimer& operator=(const HiTimer&) = delete;

  void Start(bool reset = false);
  void Stop();   // adds the running interval to the total; nothing when not running
  void Reset();  // stops and clears the total
  // Seconds since Start while running, else 0. The total is not included.
  long double Elapsed();
  // Seconds of the total, with the running interval up to the last reading.
  long double Total() const;
  bool Running() const { return m_bRunning; }
  bool Unavailable() const { return m_bUnavailable; }

  // Restart the timer and handle messages until the time has passed.
  void WaitSeconds(long double seconds);
  void WaitMilliseconds(long double milliseconds);

 private:
  std::int64_t Now() const;
  std::int64_t Interval(std::int64_t from, std::int64_t to) const;
  void Wait(long double seconds, long double scale);
  void WaitByTickCount(long double milliseconds);

  std::int64_t m_Frequency = 0;
  std::int64_t m_Start = 0;
  std::int64_t m_Stop = 0;
  std::int64_t m_Accumulated = 0;
  std::int64_t m_Overhead = 0;
  // A counter may read 0, so running is its own flag rather than a start of 0.
  bool m_bRunning = false;
  bool m_bUnavailable = false;
};

}  // namespace platform
