// A thread of the framework. Execute runs on its own thread; OnTerminate is delivered on the
// main thread, from its message loop, after Execute has returned.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "os/os.h"

namespace fw {

class TThread {
 public:
  TThread() = default;
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();
  bool Finished() const { return m_Finished.load(); }
  std::uint32_t WaitFor();  // blocks without handling messages

  bool FreeOnTerminate = false;
  std::function<void(TThread*)> OnTerminate;
  int ReturnValue = 0;

  void DeliverTermination();  // called by the application on the main thread

 protected:
  virtual void Execute() = 0;

 private:
  os::Handle m_Handle = 0;
  std::atomic<bool> m_Finished{false};
};

}  // namespace fw
