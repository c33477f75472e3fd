#include "worker/flash_launcher.h"

#include "platform/hi_timer.h"
#include "worker/kavlo_thread.h"

namespace worker {

namespace {
constexpr long double kPollMilliseconds = 5;
}  // namespace

std::int32_t TFlashLauncher::RunFlashThread(_KV_THREAD_PARAMETER request) {
  std::int32_t iResult = kKvNoResult;
  request.piResult = &iResult;
  // The worker frees itself once its completion has been delivered.
  new KavloThread(request, [this](fw::TThread* sender) { ThreadDone(sender); });
  // The completion arrives only while this thread handles its messages, so clearing the flag
  // after the start cannot lose it.
  m_bThreadDone = false;
  platform::HiTimer timer;
  while (!m_bThreadDone) timer.WaitMilliseconds(kPollMilliseconds);
  return iResult;
}

void TFlashLauncher::ThreadDone(fw::TThread*) {
  m_bThreadDone = true;
}

}  // namespace worker
