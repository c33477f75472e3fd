// WMI through COM for the seam: how many objects a WQL query finds.
#pragma once

#include <cstdint>
#include <string>

#include "os/os.h"

namespace win32 {

// CoInitializeEx, IWbemLocator::ConnectServer on the namespace, IWbemServices::ExecQuery of
// the query, and the objects of its enumerator counted. The HRESULT of the first step that
// failed, or S_OK.
os::HResult CountWmiObjects(const std::string& nameSpace, const std::string& query,
                            std::uint32_t* count);

}  // namespace win32
