// The message and reboot dialog forms. Both are created with the main window and live until
// the process ends; the program talks to the user through message boxes instead.
#pragma once

#include "framework/forms.h"

namespace app {

class TShowMsg : public fw::TForm {
 public:
  TShowMsg() : fw::TForm("TfrmShowMsg", "Message") {}
};

class TReboot : public fw::TForm {
 public:
  TReboot() : fw::TForm("TfrmReboot", "Reboot") {}
};

}  // namespace app
