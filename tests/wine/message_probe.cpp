// Two threads pump their own messages at once through the seam, as the main thread and the
// flash worker do while the worker waits between its attempts. Each thread posts numbered
// messages to its own window and dispatches each one it takes from its queue many times over,
// so that the two threads' dispatches overlap; its window must see exactly its own messages.
//   message_probe.exe
// Exit 0 when both threads saw only their own messages, 1 otherwise.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "os/os.h"
#include "win32/win32_os.h"

namespace {

constexpr int kMessages = 400;
constexpr int kDispatches = 2500;  // per message
constexpr std::uint32_t kProbeMessage = os::kWM_USER + 7;

struct Pump {
  std::uintptr_t marker = 0;
  os::Hwnd hwnd = 0;
  int delivered = 0;
  int foreign = 0;
  int wrong = 0;  // its own message, but not the one dispatched
  std::intptr_t current = -1;
};

std::atomic<int> gWindowsMade{0};

void Run(Pump& p) {
  os::Os& o = os::Current();
  p.hwnd = o.CreateWindowExA(
      0, "MessageProbe" + std::to_string(p.marker), "", 0,
      [&p, &o](os::Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
        if (msg != kProbeMessage) return o.DefWindowProcA(w, msg, wParam, lParam);
        if (wParam != p.marker || w != p.hwnd)
          ++p.foreign;
        else if (lParam != p.current)
          ++p.wrong;
        else
          ++p.delivered;
        return std::intptr_t(0);
      });
  // Both windows exist before either thread starts pumping.
  ++gWindowsMade;
  while (gWindowsMade.load() < 2) std::this_thread::yield();
  for (int i = 0; i < kMessages; ++i) {
    o.PostMessageA(p.hwnd, kProbeMessage, p.marker, i);
    os::Msg m;
    while (o.PeekMessageA(&m, os::kPM_REMOVE)) {
      p.current = m.lParam;
      for (int d = 0; d < kDispatches; ++d) {
        o.TranslateMessage(m);
        o.DispatchMessageA(m);
      }
    }
  }
  o.DestroyWindow(p.hwnd);
}

}  // namespace

int main() {
  os::Install(&win32::WindowsOs());
  Pump a, b;
  a.marker = 1;
  b.marker = 2;
  std::thread ta([&] { Run(a); });
  std::thread tb([&] { Run(b); });
  ta.join();
  tb.join();
  int failures = 0;
  for (const Pump* p : {&a, &b}) {
    std::printf("thread %u: %d delivered, %d foreign, %d wrong\n", unsigned(p->marker),
                p->delivered, p->foreign, p->wrong);
    if (p->delivered != kMessages * kDispatches || p->foreign || p->wrong) ++failures;
  }
  std::fflush(stdout);
  return failures ? 1 : 0;
}
