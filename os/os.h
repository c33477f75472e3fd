// The seam to the operating system.
//
// Every operation stands for the Windows call of the same name and keeps its meaning: the
// same arguments, the same results, failures reported through GetLastError with the codes
// Windows sets. win32/ forwards each call to Windows; sim/ answers it from a simulated PC.
// Nothing above this floor knows which of the two it talks to.
//
// The calls are grouped by what they work on, one interface each; os::Os is all of them, and
// the core reaches every one through os::Current().
#pragma once

#include "os/devices.h"
#include "os/files.h"
#include "os/handles.h"
#include "os/processes.h"
#include "os/system.h"
#include "os/windows.h"

#include "os/device_types.h"
#include "os/layouts/cfgmgr32.h"
#include "os/layouts/devguid.h"
#include "os/layouts/setupapi.h"
#include "os/layouts/wbemcli.h"
#include "os/layouts/winbase.h"
#include "os/layouts/winerror.h"
#include "os/layouts/winioctl.h"
#include "os/layouts/winnls.h"
#include "os/layouts/winnt.h"
#include "os/layouts/winreg.h"
#include "os/layouts/winsvc.h"
#include "os/layouts/winuser.h"

namespace os {

class Os : public Windows, public Processes, public Files, public Devices, public System {
 public:
  ~Os() override = default;
};

// The realisation the process runs on. The entry point installs it before the core starts.
Os& Current();
void Install(Os* os);

}  // namespace os
