// Devices on Windows: files and driver requests, SetupAPI and the configuration manager
// through the addresses the core looked up, and WMI.
#include "win32/seam.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>

#include "win32/win32_wmi.h"

namespace win32 {
namespace {

// The core hands over the address GetProcAddress returned for the export; Windows' own
// declaration gives the type to call it through.
template <auto Function>
auto Call(os::FarProc fn) {
  return reinterpret_cast<decltype(Function)>(fn);
}
HDEVINFO Di(os::Hdevinfo set) {
  return reinterpret_cast<HDEVINFO>(set);
}
PSP_DEVINFO_DATA Data(const void* deviceInfoData) {
  return static_cast<PSP_DEVINFO_DATA>(const_cast<void*>(deviceInfoData));
}
GUID Guid(const os::Guid& g) {
  GUID guid = {g.Data1, g.Data2, g.Data3, {}};
  std::copy(g.Data4.begin(), g.Data4.end(), guid.Data4);
  return guid;
}

}  // namespace

os::Handle WindowsSeam::CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                                    std::uint32_t shareMode, std::uint32_t creationDisposition,
                                    std::uint32_t flagsAndAttributes) {
  return O(::CreateFileA(fileName.c_str(), desiredAccess, shareMode, nullptr, creationDisposition,
                         flagsAndAttributes, nullptr));
}

bool WindowsSeam::DeviceIoControl(os::Handle device, std::uint32_t ioControlCode,
                                  const void* inBuffer, std::uint32_t inBufferSize, void* outBuffer,
                                  std::uint32_t outBufferSize, std::uint32_t* bytesReturned) {
  DWORD returned = 0;
  const bool ok = ::DeviceIoControl(K(device), ioControlCode, const_cast<void*>(inBuffer),
                                    inBufferSize, outBuffer, outBufferSize, &returned, nullptr);
  if (bytesReturned) *bytesReturned = returned;
  return ok;
}

os::Hdevinfo WindowsSeam::SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                               const std::string& enumerator, os::Hwnd parent,
                                               std::uint32_t flags) {
  const GUID guid = classGuid ? Guid(*classGuid) : GUID{};
  return reinterpret_cast<os::Hdevinfo>(Call<&::SetupDiGetClassDevsA>(fn)(
      classGuid ? &guid : nullptr, enumerator.empty() ? nullptr : enumerator.c_str(), H(parent),
      flags));
}

bool WindowsSeam::SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set, std::uint32_t memberIndex,
                                        void* deviceInfoData) {
  return Call<&::SetupDiEnumDeviceInfo>(fn)(Di(set), memberIndex, Data(deviceInfoData));
}

bool WindowsSeam::SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set,
                                              const void* deviceInfoData,
                                              const os::Guid& interfaceClassGuid,
                                              std::uint32_t memberIndex,
                                              void* deviceInterfaceData) {
  const GUID guid = Guid(interfaceClassGuid);
  return Call<&::SetupDiEnumDeviceInterfaces>(fn)(
      Di(set), Data(deviceInfoData), &guid, memberIndex,
      static_cast<PSP_DEVICE_INTERFACE_DATA>(deviceInterfaceData));
}

bool WindowsSeam::SetupDiGetDeviceInterfaceDetailA(os::FarProc fn, os::Hdevinfo set,
                                                   const void* deviceInterfaceData,
                                                   void* detailData, std::uint32_t detailDataSize,
                                                   std::uint32_t* requiredSize,
                                                   void* deviceInfoData) {
  DWORD required = 0;
  const bool ok = Call<&::SetupDiGetDeviceInterfaceDetailA>(fn)(
      Di(set), static_cast<PSP_DEVICE_INTERFACE_DATA>(const_cast<void*>(deviceInterfaceData)),
      static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detailData), detailDataSize, &required,
      Data(deviceInfoData));
  if (requiredSize) *requiredSize = required;
  return ok;
}

bool WindowsSeam::SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set) {
  return Call<&::SetupDiDestroyDeviceInfoList>(fn)(Di(set));
}

bool WindowsSeam::SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                                    const void* deviceInfoData,
                                                    std::uint32_t property,
                                                    std::uint32_t* propertyRegDataType,
                                                    void* buffer, std::uint32_t bufferSize,
                                                    std::uint32_t* requiredSize) {
  DWORD type = 0, required = 0;
  const bool ok = Call<&::SetupDiGetDeviceRegistryPropertyA>(fn)(
      Di(set), Data(deviceInfoData), property, &type, static_cast<PBYTE>(buffer), bufferSize,
      &required);
  if (propertyRegDataType) *propertyRegDataType = type;
  if (requiredSize) *requiredSize = required;
  return ok;
}

bool WindowsSeam::SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set,
                                              const void* deviceInfoData, char* deviceInstanceId,
                                              std::uint32_t size, std::uint32_t* requiredSize) {
  DWORD required = 0;
  const bool ok = Call<&::SetupDiGetDeviceInstanceIdA>(fn)(Di(set), Data(deviceInfoData),
                                                           deviceInstanceId, size, &required);
  if (requiredSize) *requiredSize = required;
  return ok;
}

bool WindowsSeam::SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set,
                                                const void* deviceInfoData,
                                                const void* classInstallParams,
                                                std::uint32_t classInstallParamsSize) {
  return Call<&::SetupDiSetClassInstallParamsA>(fn)(
      Di(set), Data(deviceInfoData),
      static_cast<PSP_CLASSINSTALL_HEADER>(const_cast<void*>(classInstallParams)),
      classInstallParamsSize);
}

bool WindowsSeam::SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction,
                                            os::Hdevinfo set, const void* deviceInfoData) {
  return Call<&::SetupDiCallClassInstaller>(fn)(installFunction, Di(set), Data(deviceInfoData));
}

os::Hkey WindowsSeam::SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set,
                                           const void* deviceInfoData, std::uint32_t scope,
                                           std::uint32_t hwProfile, std::uint32_t keyType,
                                           std::uint32_t samDesired) {
  return reinterpret_cast<os::Hkey>(Call<&::SetupDiOpenDevRegKey>(fn)(
      Di(set), Data(deviceInfoData), scope, hwProfile, keyType, samDesired));
}

os::ConfigRet WindowsSeam::CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                             std::uint32_t bufferLen, std::uint32_t flags) {
  return Call<&::CM_Get_Device_IDA>(fn)(devInst, buffer, bufferLen, flags);
}

os::ConfigRet WindowsSeam::CM_Get_Parent(os::FarProc fn, os::DevInst* parent, os::DevInst devInst,
                                         std::uint32_t flags) {
  DEVINST up = 0;
  const CONFIGRET result = Call<&::CM_Get_Parent>(fn)(&up, devInst, flags);
  *parent = up;
  return result;
}

os::ConfigRet WindowsSeam::CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                              const std::string& deviceId, std::uint32_t flags) {
  DEVINST found = 0;
  const CONFIGRET result = Call<&::CM_Locate_DevNodeA>(fn)(
      &found, deviceId.empty() ? nullptr : const_cast<char*>(deviceId.c_str()), flags);
  *devInst = found;
  return result;
}

os::ConfigRet WindowsSeam::CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                             std::uint32_t property,
                                                             std::uint32_t* regDataType,
                                                             void* buffer, std::uint32_t* length,
                                                             std::uint32_t flags) {
  ULONG type = 0, size = *length;
  const CONFIGRET result = Call<&::CM_Get_DevNode_Registry_PropertyA>(fn)(devInst, property, &type,
                                                                          buffer, &size, flags);
  if (regDataType) *regDataType = type;
  *length = size;
  return result;
}

os::ConfigRet WindowsSeam::CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst,
                                                  std::uint32_t flags) {
  return Call<&::CM_Reenumerate_DevNode>(fn)(devInst, flags);
}

os::HResult WindowsSeam::CountWmiQueryObjects(const std::string& nameSpace,
                                              const std::string& query, std::uint32_t* count) {
  return CountWmiObjects(nameSpace, query, count);
}

}  // namespace win32
