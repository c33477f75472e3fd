#include "devices/dev_mgr_functions.h"

namespace devices {

const std::array<DevFnExport, kDevFnCount> kDevFnExports = {{
    {"SetupDiGetClassDevsA", true, true},
    {"SetupDiEnumDeviceInfo", true, true},
    {"SetupDiEnumDeviceInterfaces", true, true},
    {"SetupDiGetDeviceInterfaceDetailA", true, true},
    {"SetupDiDestroyDeviceInfoList", true, true},
    {"SetupDiGetDeviceRegistryPropertyA", true, true},
    {"SetupDiGetClassImageIndex", true, true},
    {"SetupDiCallClassInstaller", true, true},
    {"SetupDiSetClassInstallParamsA", true, true},
    {"SetupDiOpenClassRegKey", true, true},
    {"SetupDiGetClassImageList", true, true},
    {"SetupDiDestroyClassImageList", true, true},
    {"SetupDiGetDeviceInstanceIdA", true, true},
    {"CM_Get_Device_IDA", false, true},
    {"CM_Get_Child", false, true},
    {"CM_Get_DevNode_Registry_PropertyA", false, true},
    {"CM_Get_Sibling", false, true},
    {"CM_Get_Parent", false, true},
    {"CM_Get_DevNode_Status", false, true},
    {"CM_Locate_DevNodeA", false, true},
    {"CM_Reenumerate_DevNode", false, true},
    {"CM_Get_First_Log_Conf", false, false},
    {"CM_Get_Next_Log_Conf", false, false},
    {"CM_Get_Next_Res_Des", false, false},
    {"CM_Get_Res_Des_Data", false, false},
    {"CM_Free_Res_Des_Handle", false, false},
    {"CM_Free_Log_Conf_Handle", false, false},
    {"SetupDiOpenDevRegKey", true, false},
}};

TDevMgrFunctions gDevMgrFunctions;

void ResolveDevMgrFunctions(os::Hmodule setupApi, os::Hmodule cfgMgr, TDevMgrFunctions& table) {
  auto& sys = os::Current();
  table.complete = true;
  for (std::size_t i = 0; i < kDevFnCount; ++i) {
    const DevFnExport& e = kDevFnExports[i];
    const os::Hmodule module = e.fromSetupApi ? setupApi : cfgMgr;
    // GetProcAddress of no module would search the executable itself.
    table.address[i] = module ? sys.GetProcAddress(module, e.name) : 0;
    if (e.required && !table.address[i]) table.complete = false;
  }
}

}  // namespace devices
