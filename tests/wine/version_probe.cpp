// Prints the file version of an executable as the program reads its own:
//   version_probe.exe PATH
#include <cstdio>

#include "framework/version_info.h"
#include "win32/win32_os.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  os::Install(&win32::WindowsOs());
  const auto resource = os::Current().GetFileVersionInfoA(argv[1]);
  if (!resource) return 1;
  std::printf("%s\n", fw::FileVersionFromResource(*resource).c_str());
  return 0;
}
