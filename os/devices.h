// Types and constants of the device calls of the seam: files and driver requests, SetupAPI,
// the configuration manager and WMI. Names are the Windows ones with a k in front; win32/
// checks each against the Windows headers.
#pragma once

#include <array>
#include <cstdint>

namespace os {

using Hdevinfo = std::uintptr_t;  // HDEVINFO; INVALID_HANDLE_VALUE when no set was made
using DevInst = std::uint32_t;    // DEVINST, a device node of the configuration manager
using ConfigRet = std::uint32_t;  // CONFIGRET
using HResult = std::int32_t;     // HRESULT

struct Guid {  // GUID
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4 = {};
  bool operator==(const Guid&) const = default;
};

inline constexpr std::uintptr_t kINVALID_HANDLE_VALUE = ~std::uintptr_t(0);

// Errors. The SetupAPI codes carry the customer and error bits of their HRESULT-like form.
inline constexpr std::uint32_t kERROR_NOT_READY = 21;
inline constexpr std::uint32_t kERROR_GEN_FAILURE = 31;
inline constexpr std::uint32_t kERROR_NOT_SUPPORTED = 50;
inline constexpr std::uint32_t kERROR_INVALID_DATA = 13;
inline constexpr std::uint32_t kERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr std::uint32_t kERROR_NO_MORE_ITEMS = 259;
inline constexpr std::uint32_t kERROR_INVALID_USER_BUFFER = 1784;
inline constexpr std::uint32_t kERROR_NO_SUCH_DEVINST = 0xE000020B;
inline constexpr std::uint32_t kERROR_INVALID_CLASS_INSTALLER = 0xE000020D;
inline constexpr std::uint32_t kERROR_KEY_DOES_NOT_EXIST = 0xE0000204;
inline constexpr std::uint32_t kERROR_INVALID_FLAGS = 1004;

// CreateFileA.
inline constexpr std::uint32_t kGENERIC_READ = 0x80000000;
inline constexpr std::uint32_t kGENERIC_WRITE = 0x40000000;
inline constexpr std::uint32_t kFILE_SHARE_READ = 0x00000001;
inline constexpr std::uint32_t kFILE_SHARE_WRITE = 0x00000002;
inline constexpr std::uint32_t kOPEN_EXISTING = 3;

// Storage requests.
inline constexpr std::uint32_t kIOCTL_SCSI_GET_ADDRESS = 0x00041018;
inline constexpr std::uint32_t kIOCTL_STORAGE_GET_DEVICE_NUMBER = 0x002D1080;
inline constexpr std::uint32_t kIOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400;
inline constexpr std::uint32_t kStorageDeviceProperty = 0;  // STORAGE_PROPERTY_ID
inline constexpr std::uint32_t kPropertyStandardQuery = 0;  // STORAGE_QUERY_TYPE
inline constexpr std::uint32_t kFILE_DEVICE_DISK = 0x00000007;
inline constexpr std::uint8_t kBusTypeUsb = 0x07;  // STORAGE_BUS_TYPE
inline constexpr std::uint8_t kBusTypeRAID = 0x08;
inline constexpr std::uint8_t kBusTypeSata = 0x0B;
inline constexpr std::uint8_t kBusTypeNvme = 0x11;

// SetupDiGetClassDevsA.
inline constexpr std::uint32_t kDIGCF_DEFAULT = 0x00000001;
inline constexpr std::uint32_t kDIGCF_PRESENT = 0x00000002;
inline constexpr std::uint32_t kDIGCF_ALLCLASSES = 0x00000004;
inline constexpr std::uint32_t kDIGCF_PROFILE = 0x00000008;
inline constexpr std::uint32_t kDIGCF_DEVICEINTERFACE = 0x00000010;

// Device registry properties (SPDRP_); the configuration manager's (CM_DRP_) are one more.
inline constexpr std::uint32_t kSPDRP_DEVICEDESC = 0x00;
inline constexpr std::uint32_t kSPDRP_HARDWAREID = 0x01;
inline constexpr std::uint32_t kSPDRP_COMPATIBLEIDS = 0x02;
inline constexpr std::uint32_t kSPDRP_SERVICE = 0x04;
inline constexpr std::uint32_t kSPDRP_CLASS = 0x07;
inline constexpr std::uint32_t kSPDRP_CLASSGUID = 0x08;
inline constexpr std::uint32_t kSPDRP_DRIVER = 0x09;
inline constexpr std::uint32_t kSPDRP_MFG = 0x0B;
inline constexpr std::uint32_t kSPDRP_FRIENDLYNAME = 0x0C;
inline constexpr std::uint32_t kSPDRP_LOCATION_INFORMATION = 0x0D;
inline constexpr std::uint32_t kSPDRP_PHYSICAL_DEVICE_OBJECT_NAME = 0x0E;
inline constexpr std::uint32_t kSPDRP_UI_NUMBER = 0x10;
inline constexpr std::uint32_t kSPDRP_BUSNUMBER = 0x15;
inline constexpr std::uint32_t kSPDRP_ENUMERATOR_NAME = 0x16;
inline constexpr std::uint32_t kSPDRP_ADDRESS = 0x1C;
inline constexpr std::uint32_t kCM_DRP_DEVICEDESC = 0x01;
inline constexpr std::uint32_t kCM_DRP_CLASSGUID = 0x09;
inline constexpr std::uint32_t kCM_DRP_DRIVER = 0x0A;

// Class installer.
inline constexpr std::uint32_t kDIF_REMOVE = 0x05;
inline constexpr std::uint32_t kDIF_PROPERTYCHANGE = 0x12;
inline constexpr std::uint32_t kDICS_ENABLE = 1;
inline constexpr std::uint32_t kDICS_DISABLE = 2;
inline constexpr std::uint32_t kDICS_PROPCHANGE = 3;
inline constexpr std::uint32_t kDICS_START = 4;
inline constexpr std::uint32_t kDICS_STOP = 5;
inline constexpr std::uint32_t kDICS_FLAG_GLOBAL = 1;
inline constexpr std::uint32_t kDICS_FLAG_CONFIGSPECIFIC = 2;

// SetupDiOpenDevRegKey.
inline constexpr std::uint32_t kDIREG_DEV = 1;
inline constexpr std::uint32_t kDIREG_DRV = 2;

// Configuration manager results and flags.
inline constexpr ConfigRet kCR_SUCCESS = 0x00;
inline constexpr ConfigRet kCR_INVALID_POINTER = 0x03;
inline constexpr ConfigRet kCR_INVALID_FLAG = 0x04;
inline constexpr ConfigRet kCR_INVALID_DEVNODE = 0x05;
inline constexpr ConfigRet kCR_NO_SUCH_DEVNODE = 0x0D;
inline constexpr ConfigRet kCR_FAILURE = 0x13;
inline constexpr ConfigRet kCR_BUFFER_SMALL = 0x1A;
inline constexpr ConfigRet kCR_INVALID_DEVICE_ID = 0x1E;
inline constexpr ConfigRet kCR_NO_SUCH_VALUE = 0x25;
inline constexpr ConfigRet kCR_INVALID_PROPERTY = 0x35;
inline constexpr std::uint32_t kCM_LOCATE_DEVNODE_NORMAL = 0;
inline constexpr std::uint32_t kCM_REENUMERATE_NORMAL = 0;

// COM and WMI results.
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kCO_E_SERVER_EXEC_FAILURE = HResult(0x80080005u);
inline constexpr HResult kWBEM_E_INVALID_NAMESPACE = HResult(0x8004100Eu);
inline constexpr HResult kWBEM_E_INVALID_QUERY = HResult(0x80041017u);

// Classes and interfaces the enumeration names.
inline constexpr Guid kGUID_DEVINTERFACE_DISK = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr Guid kGUID_DEVCLASS_HDC = {
    0x4D36E96A, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
inline constexpr Guid kGUID_DEVCLASS_SCSIADAPTER = {
    0x4D36E97B, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

}  // namespace os
