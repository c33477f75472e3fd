// How the program finds the devices of the simulated PC: SetupAPI, the configuration manager and
// WMI, each call answered from the device tree. Calls through an address that GetProcAddress did
// not hand out for that export fail, as a wrong function pointer would.
#pragma once

#include <cstdint>
#include <string>

#include "os/os.h"
#include "sim/kernel/sim_kernel.h"
#include "sim/machine/sim_device_tree.h"
#include "sim/windows/sim_system.h"

namespace sim {

class SimEnumeration {
 public:
  SimEnumeration(SimKernel& kernel, SimSystem& system, SimDeviceTree& tree)
      : m_Kernel(kernel), m_System(system), m_Tree(tree) {}

  // Setupapi.dll and cfgmgr32.dll with every export, and Winmgmt running: a healthy PC.
  void InstallDefaults();

  os::Hdevinfo SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                    const std::string& enumerator, os::Hwnd parent,
                                    std::uint32_t flags);
  bool SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set, std::uint32_t memberIndex,
                             void* deviceInfoData);
  bool SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   const os::Guid& interfaceClassGuid, std::uint32_t memberIndex,
                                   void* deviceInterfaceData);
  bool SetupDiGetDeviceInterfaceDetailA(os::FarProc fn, os::Hdevinfo set,
                                        const void* deviceInterfaceData, void* detailData,
                                        std::uint32_t detailDataSize, std::uint32_t* requiredSize,
                                        void* deviceInfoData);
  bool SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set);
  bool SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                         const void* deviceInfoData, std::uint32_t property,
                                         std::uint32_t* propertyRegDataType, void* buffer,
                                         std::uint32_t bufferSize, std::uint32_t* requiredSize);
  bool SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                   char* deviceInstanceId, std::uint32_t size,
                                   std::uint32_t* requiredSize);
  bool SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                     const void* classInstallParams,
                                     std::uint32_t classInstallParamsSize);
  bool SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction, os::Hdevinfo set,
                                 const void* deviceInfoData);
  os::Hkey SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set, const void* deviceInfoData,
                                std::uint32_t scope, std::uint32_t hwProfile, std::uint32_t keyType,
                                std::uint32_t samDesired);
  os::ConfigRet CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                  std::uint32_t bufferLen, std::uint32_t flags);
  os::ConfigRet CM_Get_Parent(os::FarProc fn, os::DevInst* parent, os::DevInst devInst,
                              std::uint32_t flags);
  os::ConfigRet CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                   const std::string& deviceId, std::uint32_t flags);
  os::ConfigRet CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                  std::uint32_t property,
                                                  std::uint32_t* regDataType, void* buffer,
                                                  std::uint32_t* length, std::uint32_t flags);
  os::ConfigRet CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst, std::uint32_t flags);
  os::HResult CountWmiQueryObjects(const std::string& nameSpace, const std::string& query,
                                   std::uint32_t* count);

 private:
  SimKernel& m_Kernel;
  SimSystem& m_System;
  SimDeviceTree& m_Tree;
};

}  // namespace sim
