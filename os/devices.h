// Devices: opening a device and sending its driver requests, the device tree of SetupAPI and
// the configuration manager, and the count of a WMI query.
#pragma once

#include <cstdint>
#include <string>

#include "os/device_types.h"
#include "os/handles.h"

namespace os {

class Devices {
 public:
  virtual ~Devices() = default;

  // A device ("\\.\PhysicalDrive0", "\\.\Scsi2:", an interface path) or a file, as the
  // one Windows call opens both. INVALID_HANDLE_VALUE on failure.
  virtual Handle CreateFileA(const std::string& fileName, std::uint32_t desiredAccess,
                             std::uint32_t shareMode, std::uint32_t creationDisposition,
                             std::uint32_t flagsAndAttributes) = 0;
  // One synchronous driver request on an open handle: the request's bytes in, the driver's
  // bytes out and how many it returned. The two buffers may be one; either may be null with
  // a size of 0.
  virtual bool DeviceIoControl(Handle device, std::uint32_t ioControlCode, const void* inBuffer,
                               std::uint32_t inBufferSize, void* outBuffer,
                               std::uint32_t outBufferSize, std::uint32_t* bytesReturned) = 0;

  // SetupAPI and the configuration manager, each called through the address GetProcAddress
  // returned for its export. The structures (SP_DEVINFO_DATA, SP_DEVICE_INTERFACE_DATA and
  // its detail, the class-install parameters) cross as the caller laid them out, cbSize set.
  // An empty enumerator is NULL.
  virtual Hdevinfo SetupDiGetClassDevsA(FarProc fn, const Guid* classGuid,
                                        const std::string& enumerator, Hwnd parent,
                                        std::uint32_t flags) = 0;
  virtual bool SetupDiEnumDeviceInfo(FarProc fn, Hdevinfo set, std::uint32_t memberIndex,
                                     void* deviceInfoData) = 0;
  virtual bool SetupDiEnumDeviceInterfaces(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                           const Guid& interfaceClassGuid,
                                           std::uint32_t memberIndex,
                                           void* deviceInterfaceData) = 0;
  virtual bool SetupDiGetDeviceInterfaceDetailA(FarProc fn, Hdevinfo set,
                                                const void* deviceInterfaceData, void* detailData,
                                                std::uint32_t detailDataSize,
                                                std::uint32_t* requiredSize,
                                                void* deviceInfoData) = 0;
  virtual bool SetupDiDestroyDeviceInfoList(FarProc fn, Hdevinfo set) = 0;
  virtual bool SetupDiGetDeviceRegistryPropertyA(FarProc fn, Hdevinfo set,
                                                 const void* deviceInfoData, std::uint32_t property,
                                                 std::uint32_t* propertyRegDataType, void* buffer,
                                                 std::uint32_t bufferSize,
                                                 std::uint32_t* requiredSize) = 0;
  virtual bool SetupDiGetDeviceInstanceIdA(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                           char* deviceInstanceId, std::uint32_t size,
                                           std::uint32_t* requiredSize) = 0;
  virtual bool SetupDiSetClassInstallParamsA(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                             const void* classInstallParams,
                                             std::uint32_t classInstallParamsSize) = 0;
  virtual bool SetupDiCallClassInstaller(FarProc fn, std::uint32_t installFunction, Hdevinfo set,
                                         const void* deviceInfoData) = 0;
  // The device's registry key: DIREG_DRV its driver key, DIREG_DEV its hardware key. Answers
  // INVALID_HANDLE_VALUE as the key when there is none; close a key with RegCloseKey.
  virtual Hkey SetupDiOpenDevRegKey(FarProc fn, Hdevinfo set, const void* deviceInfoData,
                                    std::uint32_t scope, std::uint32_t hwProfile,
                                    std::uint32_t keyType, std::uint32_t samDesired) = 0;
  virtual ConfigRet CM_Get_Device_IDA(FarProc fn, DevInst devInst, char* buffer,
                                      std::uint32_t bufferLen, std::uint32_t flags) = 0;
  virtual ConfigRet CM_Get_Parent(FarProc fn, DevInst* parent, DevInst devInst,
                                  std::uint32_t flags) = 0;
  virtual ConfigRet CM_Locate_DevNodeA(FarProc fn, DevInst* devInst, const std::string& deviceId,
                                       std::uint32_t flags) = 0;
  // *length is the buffer size in and the property's size out.
  virtual ConfigRet CM_Get_DevNode_Registry_PropertyA(FarProc fn, DevInst devInst,
                                                      std::uint32_t property,
                                                      std::uint32_t* regDataType, void* buffer,
                                                      std::uint32_t* length,
                                                      std::uint32_t flags) = 0;
  virtual ConfigRet CM_Reenumerate_DevNode(FarProc fn, DevInst devInst, std::uint32_t flags) = 0;

  // WMI through COM: CoInitializeEx, IWbemLocator::ConnectServer on the namespace,
  // IWbemServices::ExecQuery of the WQL query, and the objects of its enumerator counted.
  virtual HResult CountWmiQueryObjects(const std::string& nameSpace, const std::string& query,
                                       std::uint32_t* count) = 0;
};

}  // namespace os
