// The WMI results the program tells apart (wbemcli.h), with a k in front of the Windows names.
#pragma once

#include "os/device_types.h"

namespace os {

inline constexpr HResult kWBEM_E_INVALID_NAMESPACE = HResult(0x8004100Eu);
inline constexpr HResult kWBEM_E_INVALID_QUERY = HResult(0x80041017u);

}  // namespace os
