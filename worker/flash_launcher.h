// Starts one flash worker and waits for it. In the program these are the main form's
// RunFlashThread and ThreadDone; they live here, below the form, and the form keeps one
// TFlashLauncher and calls RunFlashThread for each device operation of the update procedure.
//
// The wait handles the main thread's messages in 5 ms rounds, so the window, the progress timer
// and the worker's completion keep going; the main thread never blocks while the worker runs.
#pragma once

#include <cstdint>

#include "framework/thread.h"
#include "worker/kv_thread_parameter.h"

namespace worker {

class TFlashLauncher {
 public:
  // Runs the request on a worker and returns what it stored, or 255 when it stored nothing.
  // The request is copied: its piResult points into this call, never into the caller's copy.
  std::int32_t RunFlashThread(_KV_THREAD_PARAMETER request);
  // The worker's completion, delivered on the main thread.
  void ThreadDone(fw::TThread* sender);
  bool ThreadFinished() const { return m_bThreadDone; }

 private:
  // Written and read on the main thread only: the completion is marshalled there.
  bool m_bThreadDone = false;
};

}  // namespace worker
