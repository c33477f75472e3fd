#include "framework/thread.h"

#include "framework/application.h"

namespace fw {

TThread::~TThread() {
  if (!m_Handle) return;
  auto& sys = os::Current();
  sys.WaitForSingleObject(m_Handle, os::kINFINITE);
  sys.CloseHandle(m_Handle);
}

void TThread::Start() {
  m_Handle = os::Current().CreateThread([this]() -> std::uint32_t {
    Execute();
    const auto result = std::uint32_t(ReturnValue);
    m_Finished.store(true);
    // The last touch of this object on the worker: the main thread may free it from here on.
    Application->PostThreadDone(this);
    return result;
  });
}

std::uint32_t TThread::WaitFor() {
  auto& sys = os::Current();
  sys.WaitForSingleObject(m_Handle, os::kINFINITE);
  std::uint32_t code = 0;
  sys.GetExitCodeThread(m_Handle, &code);
  return code;
}

void TThread::DeliverTermination() {
  if (OnTerminate) OnTerminate(this);
  if (FreeOnTerminate) delete this;
}

}  // namespace fw
