// The flash worker: one firmware download, preformat or controller rescan on a thread of its
// own, with the retry rules of each, while the main thread keeps handling its messages. It
// stores its result through the request's piResult, shows nothing, and frees itself once the
// framework has delivered its completion on the main thread.
//
// On Windows it is a real thread; the main thread leaves the device object alone until the
// completion arrives, so the object is never used by both. On the simulated PC a thread runs to
// its end when it is created, which keeps runs repeatable.
#pragma once

#include <functional>

#include "framework/thread.h"
#include "worker/kv_thread_parameter.h"

namespace platform {
class HiTimer;
}  // namespace platform

namespace worker {

class KavloThread final : public fw::TThread {
 public:
  // Copies the request and starts at once; onDone is in place before the thread runs, so its
  // completion cannot be missed.
  KavloThread(const _KV_THREAD_PARAMETER& request, std::function<void(fw::TThread*)> onDone);

 protected:
  // Any exception of the work ends it silently: the caller sees what was stored, or the
  // launcher's 255.
  void Execute() override;

 private:
  void FirmwareDownload(platform::HiTimer& timer);
  std::int32_t NvmeDownload(platform::HiTimer& timer);
  std::int32_t AtaDownload(platform::HiTimer& timer);
  void Preformat(platform::HiTimer& timer);
  void Rescan(platform::HiTimer& timer);
  void Store(std::int32_t result);

  _KV_THREAD_PARAMETER m_Request;
};

}  // namespace worker
