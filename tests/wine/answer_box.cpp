// Answers a message box of another process under Wine, as a user would: waits for a dialog
// with the given caption, prints its text, and presses the given button, after reading it for
// HOLD-MS milliseconds.
//
//   answer_box.exe CAPTION BUTTON-ID [SECONDS [HOLD-MS]]
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

BOOL CALLBACK PrintStaticText(HWND child, LPARAM) {
  char cls[32] = {}, text[1024] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
    std::printf("%s\n", text);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const int button = std::atoi(argv[2]);
  const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
  const int hold = argc > 4 ? std::atoi(argv[4]) : 0;
  for (int i = 0; i < seconds * 20; ++i) {
    if (HWND box = FindWindowA("#32770", argv[1])) {
      EnumChildWindows(box, PrintStaticText, 0);
      std::fflush(stdout);
      Sleep(DWORD(hold));
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      return 0;
    }
    Sleep(50);
  }
  return 1;
}
