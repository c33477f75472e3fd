#include "sim/sim_hosted_pc.h"

#include "sim/windows/sim_system.h"

namespace sim {

std::uintptr_t SimHostedPc::Mark(std::uintptr_t value) {
  // Failures (0, INVALID_HANDLE_VALUE) stay what they are.
  if (value == 0 || value == os::kINVALID_HANDLE_VALUE) return value;
  m_Handed.insert(value | kStorageMark);
  return value | kStorageMark;
}

bool SimHostedPc::IsStorage(std::uintptr_t value) {
  std::lock_guard<std::mutex> lock(m_Lock);
  return m_Handed.count(value) != 0;
}

bool SimHostedPc::IsStorageModule(const std::string& fileName) {
  const std::string name = SimSystem::ModuleName(fileName);
  return name == "setupapi.dll" || name == "cfgmgr32.dll";
}

// ---- Handles ----

os::Handle SimHostedPc::CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                    std::uint32_t shareMode, std::uint32_t creationDisposition,
                                    std::uint32_t flagsAndAttributes) {
  if (!SimPc::IsDevicePath(fileName))
    return m_Host.CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                              flagsAndAttributes);
  return Storage([&](SimPc& pc) {
    return Mark(pc.CreateFileA(fileName, desiredAccess, shareMode, creationDisposition,
                               flagsAndAttributes));
  });
}

bool SimHostedPc::DeviceIoControl(os::Handle device, std::uint32_t ioControlCode,
                                  const void* inBuffer, std::uint32_t inBufferSize, void* outBuffer,
                                  std::uint32_t outBufferSize, std::uint32_t* bytesReturned) {
  if (!IsStorage(device))
    return m_Host.DeviceIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer,
                                  outBufferSize, bytesReturned);
  return Storage([&](SimPc& pc) {
    return pc.DeviceIoControl(Unmark(device), ioControlCode, inBuffer, inBufferSize, outBuffer,
                              outBufferSize, bytesReturned);
  });
}

bool SimHostedPc::CloseHandle(os::Handle handle) {
  if (!IsStorage(handle)) return m_Host.CloseHandle(handle);
  return Storage([&](SimPc& pc) {
    m_Handed.erase(handle);
    return pc.CloseHandle(Unmark(handle));
  });
}

// ---- The driver keys SetupAPI opens ----

std::int32_t SimHostedPc::RegOpenKeyExA(os::Hkey key, const std::string& subKey,
                                        std::uint32_t options, std::uint32_t sam,
                                        os::Hkey* result) {
  if (!IsStorage(key)) return m_Host.RegOpenKeyExA(key, subKey, options, sam, result);
  return Storage([&](SimPc& pc) {
    const std::int32_t status = pc.RegOpenKeyExA(Unmark(key), subKey, options, sam, result);
    if (status == std::int32_t(os::kERROR_SUCCESS) && result) *result = Mark(*result);
    return status;
  });
}

std::int32_t SimHostedPc::RegCreateKeyExA(os::Hkey key, const std::string& subKey,
                                          std::uint32_t options, std::uint32_t sam,
                                          os::Hkey* result, std::uint32_t* disposition) {
  if (!IsStorage(key))
    return m_Host.RegCreateKeyExA(key, subKey, options, sam, result, disposition);
  return Storage([&](SimPc& pc) {
    const std::int32_t status =
        pc.RegCreateKeyExA(Unmark(key), subKey, options, sam, result, disposition);
    if (status == std::int32_t(os::kERROR_SUCCESS) && result) *result = Mark(*result);
    return status;
  });
}

std::int32_t SimHostedPc::RegQueryValueExA(os::Hkey key, const std::string& valueName,
                                           std::uint32_t* type, std::uint8_t* data,
                                           std::uint32_t* cbData) {
  if (!IsStorage(key)) return m_Host.RegQueryValueExA(key, valueName, type, data, cbData);
  return Storage(
      [&](SimPc& pc) { return pc.RegQueryValueExA(Unmark(key), valueName, type, data, cbData); });
}

std::int32_t SimHostedPc::RegSetValueExA(os::Hkey key, const std::string& valueName,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t cbData) {
  if (!IsStorage(key)) return m_Host.RegSetValueExA(key, valueName, type, data, cbData);
  return Storage(
      [&](SimPc& pc) { return pc.RegSetValueExA(Unmark(key), valueName, type, data, cbData); });
}

std::int32_t SimHostedPc::RegCloseKey(os::Hkey key) {
  if (!IsStorage(key)) return m_Host.RegCloseKey(key);
  return Storage([&](SimPc& pc) {
    m_Handed.erase(key);
    return pc.RegCloseKey(Unmark(key));
  });
}

// ---- SetupAPI and the configuration manager, through the simulated libraries ----

os::Hmodule SimHostedPc::LoadLibraryA(const std::string& fileName) {
  if (!IsStorageModule(fileName)) return m_Host.LoadLibraryA(fileName);
  return Storage([&](SimPc& pc) { return Mark(pc.LoadLibraryA(fileName)); });
}

os::Hmodule SimHostedPc::GetModuleHandleA(const std::string& moduleName) {
  if (!IsStorageModule(moduleName)) return m_Host.GetModuleHandleA(moduleName);
  return Storage([&](SimPc& pc) { return Mark(pc.GetModuleHandleA(moduleName)); });
}

os::FarProc SimHostedPc::GetProcAddress(os::Hmodule module, const std::string& procName) {
  if (!IsStorage(module)) return m_Host.GetProcAddress(module, procName);
  // The addresses are only ever called through the SetupAPI and configuration-manager calls,
  // which all go to the simulated PC: they need no mark.
  return Storage([&](SimPc& pc) { return pc.GetProcAddress(Unmark(module), procName); });
}

bool SimHostedPc::FreeLibrary(os::Hmodule module) {
  // A module keeps its address while loaded again, so its mark stays handed out.
  if (!IsStorage(module)) return m_Host.FreeLibrary(module);
  return Storage([&](SimPc& pc) { return pc.FreeLibrary(Unmark(module)); });
}

os::Hdevinfo SimHostedPc::SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                               const std::string& enumerator, os::Hwnd parent,
                                               std::uint32_t flags) {
  return Storage(
      [&](SimPc& pc) { return pc.SetupDiGetClassDevsA(fn, classGuid, enumerator, parent, flags); });
}

bool SimHostedPc::SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set, std::uint32_t memberIndex,
                                        void* deviceInfoData) {
  return Storage(
      [&](SimPc& pc) { return pc.SetupDiEnumDeviceInfo(fn, set, memberIndex, deviceInfoData); });
}

bool SimHostedPc::SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set,
                                              const void* deviceInfoData,
                                              const os::Guid& interfaceClassGuid,
                                              std::uint32_t memberIndex,
                                              void* deviceInterfaceData) {
  return Storage([&](SimPc& pc) {
    return pc.SetupDiEnumDeviceInterfaces(fn, set, deviceInfoData, interfaceClassGuid, memberIndex,
                                          deviceInterfaceData);
  });
}

bool SimHostedPc::SetupDiGetDeviceInterfaceDetailA(os::FarProc fn, os::Hdevinfo set,
                                                   const void* deviceInterfaceData,
                                                   void* detailData, std::uint32_t detailDataSize,
                                                   std::uint32_t* requiredSize,
                                                   void* deviceInfoData) {
  return Storage([&](SimPc& pc) {
    return pc.SetupDiGetDeviceInterfaceDetailA(fn, set, deviceInterfaceData, detailData,
                                               detailDataSize, requiredSize, deviceInfoData);
  });
}

bool SimHostedPc::SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set) {
  return Storage([&](SimPc& pc) { return pc.SetupDiDestroyDeviceInfoList(fn, set); });
}

bool SimHostedPc::SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                                    const void* deviceInfoData,
                                                    std::uint32_t property,
                                                    std::uint32_t* propertyRegDataType,
                                                    void* buffer, std::uint32_t bufferSize,
                                                    std::uint32_t* requiredSize) {
  return Storage([&](SimPc& pc) {
    return pc.SetupDiGetDeviceRegistryPropertyA(
        fn, set, deviceInfoData, property, propertyRegDataType, buffer, bufferSize, requiredSize);
  });
}

bool SimHostedPc::SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set,
                                              const void* deviceInfoData, char* deviceInstanceId,
                                              std::uint32_t size, std::uint32_t* requiredSize) {
  return Storage([&](SimPc& pc) {
    return pc.SetupDiGetDeviceInstanceIdA(fn, set, deviceInfoData, deviceInstanceId, size,
                                          requiredSize);
  });
}

bool SimHostedPc::SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set,
                                                const void* deviceInfoData,
                                                const void* classInstallParams,
                                                std::uint32_t classInstallParamsSize) {
  return Storage([&](SimPc& pc) {
    return pc.SetupDiSetClassInstallParamsA(fn, set, deviceInfoData, classInstallParams,
                                            classInstallParamsSize);
  });
}

bool SimHostedPc::SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction,
                                            os::Hdevinfo set, const void* deviceInfoData) {
  return Storage([&](SimPc& pc) {
    return pc.SetupDiCallClassInstaller(fn, installFunction, set, deviceInfoData);
  });
}

os::Hkey SimHostedPc::SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set,
                                           const void* deviceInfoData, std::uint32_t scope,
                                           std::uint32_t hwProfile, std::uint32_t keyType,
                                           std::uint32_t samDesired) {
  return Storage([&](SimPc& pc) {
    return Mark(
        pc.SetupDiOpenDevRegKey(fn, set, deviceInfoData, scope, hwProfile, keyType, samDesired));
  });
}

os::ConfigRet SimHostedPc::CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                             std::uint32_t bufferLen, std::uint32_t flags) {
  return Storage(
      [&](SimPc& pc) { return pc.CM_Get_Device_IDA(fn, devInst, buffer, bufferLen, flags); });
}

os::ConfigRet SimHostedPc::CM_Get_Parent(os::FarProc fn, os::DevInst* parent, os::DevInst devInst,
                                         std::uint32_t flags) {
  return Storage([&](SimPc& pc) { return pc.CM_Get_Parent(fn, parent, devInst, flags); });
}

os::ConfigRet SimHostedPc::CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                              const std::string& deviceId, std::uint32_t flags) {
  return Storage([&](SimPc& pc) { return pc.CM_Locate_DevNodeA(fn, devInst, deviceId, flags); });
}

os::ConfigRet SimHostedPc::CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                             std::uint32_t property,
                                                             std::uint32_t* regDataType,
                                                             void* buffer, std::uint32_t* length,
                                                             std::uint32_t flags) {
  return Storage([&](SimPc& pc) {
    return pc.CM_Get_DevNode_Registry_PropertyA(fn, devInst, property, regDataType, buffer, length,
                                                flags);
  });
}

os::ConfigRet SimHostedPc::CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst,
                                                  std::uint32_t flags) {
  return Storage([&](SimPc& pc) { return pc.CM_Reenumerate_DevNode(fn, devInst, flags); });
}

os::HResult SimHostedPc::CountWmiQueryObjects(const std::string& nameSpace,
                                              const std::string& query, std::uint32_t* count) {
  return Storage([&](SimPc& pc) { return pc.CountWmiQueryObjects(nameSpace, query, count); });
}

}  // namespace sim
