// The SetupAPI and configuration-manager functions TDevMgr calls, looked up at run time in
// "Setupapi.dll" and "cfgmgr32.dll". The program links neither library: it runs on systems
// where they differ, and without a required function it enumerates nothing rather than
// failing to start.
#pragma once

#include <array>
#include <cstddef>

#include "os/os.h"

namespace devices {

// In the order they are looked up, library by library.
enum class DevFn : std::size_t {
  SetupDiGetClassDevsA,
  SetupDiEnumDeviceInfo,
  SetupDiEnumDeviceInterfaces,
  SetupDiGetDeviceInterfaceDetailA,
  SetupDiDestroyDeviceInfoList,
  SetupDiGetDeviceRegistryPropertyA,
  SetupDiGetClassImageIndex,
  SetupDiCallClassInstaller,
  SetupDiSetClassInstallParamsA,
  SetupDiOpenClassRegKey,
  SetupDiGetClassImageList,
  SetupDiDestroyClassImageList,
  SetupDiGetDeviceInstanceIdA,
  CM_Get_Device_IDA,
  CM_Get_Child,
  CM_Get_DevNode_Registry_PropertyA,
  CM_Get_Sibling,
  CM_Get_Parent,
  CM_Get_DevNode_Status,
  CM_Locate_DevNodeA,
  CM_Reenumerate_DevNode,
  // Not required: resource descriptors, which no operation reads.
  CM_Get_First_Log_Conf,
  CM_Get_Next_Log_Conf,
  CM_Get_Next_Res_Des,
  CM_Get_Res_Des_Data,
  CM_Free_Res_Des_Handle,
  CM_Free_Log_Conf_Handle,
  // Not required by the enumeration: the RAID driver detection asks for it itself.
  SetupDiOpenDevRegKey,
  kCount,
};

inline constexpr std::size_t kDevFnCount = std::size_t(DevFn::kCount);
inline constexpr const char* kSetupApiLibrary = "Setupapi.dll";
inline constexpr const char* kCfgMgrLibrary = "cfgmgr32.dll";

struct DevFnExport {
  const char* name;  // the exact export name
  bool fromSetupApi;
  bool required;
};
extern const std::array<DevFnExport, kDevFnCount> kDevFnExports;

struct TDevMgrFunctions {
  std::array<os::FarProc, kDevFnCount> address = {};
  bool complete = false;  // every required function was found
  os::FarProc operator[](DevFn fn) const { return address[std::size_t(fn)]; }
};

// One table for the process: every TDevMgr resolves into it when it is built.
extern TDevMgrFunctions gDevMgrFunctions;

// Looks every name up in its library (a library of 0 finds nothing) and fills the table.
void ResolveDevMgrFunctions(os::Hmodule setupApi, os::Hmodule cfgMgr, TDevMgrFunctions& table);

}  // namespace devices
