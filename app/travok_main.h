// The process entry, shared by every build: the Windows entry point and the simulated PC's
// runner call it once the seam is installed.
#pragma once

#include <functional>

namespace app {

class TTravokMain;

// Called with the main window once the message loop has ended, before anything is destroyed:
// the simulated PC's runner shows and tests read the window's final state through it.
using MainWindowObserver = std::function<void(const TTravokMain&)>;

// Creates the application and its forms (the start-up runs while the main window is
// constructed), runs the message loop and returns the exit code.
int RunTravok(const MainWindowObserver& observer = {});

}  // namespace app
