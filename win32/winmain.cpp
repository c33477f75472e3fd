// The Windows entry point: installs the seam and runs the program.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "app/travok_main.h"
#include "win32/win32_os.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  os::Install(&win32::WindowsOs());
  return app::RunTravok();
}
