// The enumeration's layouts and constants against the Windows headers, in both pointer
// widths: SCSI_ADDRESS, STORAGE_DEVICE_NUMBER, STORAGE_PROPERTY_QUERY and
// STORAGE_DEVICE_DESCRIPTOR, the SetupAPI structures, and the codes of the device calls.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <winioctl.h>

#include <cfgmgr32.h>
#include <ntddscsi.h>
#include <setupapi.h>
#include <wbemcli.h>
#include <winerror.h>

#include <cstddef>

#include "os/device_types.h"
#include "os/layouts/cfgmgr32.h"
#include "os/layouts/devguid.h"
#include "os/layouts/ntddscsi.h"
#include "os/layouts/setupapi.h"
#include "os/layouts/wbemcli.h"
#include "os/layouts/winbase.h"
#include "os/layouts/winerror.h"
#include "os/layouts/winioctl.h"
#include "os/layouts/winnt.h"

namespace l = os::layout;

// SCSI_ADDRESS.
static_assert(l::scsi_address::kLength == offsetof(SCSI_ADDRESS, Length));
static_assert(l::scsi_address::kPortNumber == offsetof(SCSI_ADDRESS, PortNumber));
static_assert(l::scsi_address::kPathId == offsetof(SCSI_ADDRESS, PathId));
static_assert(l::scsi_address::kTargetId == offsetof(SCSI_ADDRESS, TargetId));
static_assert(l::scsi_address::kLun == offsetof(SCSI_ADDRESS, Lun));
static_assert(l::scsi_address::kSize == sizeof(SCSI_ADDRESS));

// STORAGE_DEVICE_NUMBER.
static_assert(l::device_number::kDeviceType == offsetof(STORAGE_DEVICE_NUMBER, DeviceType));
static_assert(l::device_number::kDeviceNumber == offsetof(STORAGE_DEVICE_NUMBER, DeviceNumber));
static_assert(l::device_number::kPartitionNumber ==
              offsetof(STORAGE_DEVICE_NUMBER, PartitionNumber));
static_assert(l::device_number::kSize == sizeof(STORAGE_DEVICE_NUMBER));

// STORAGE_PROPERTY_QUERY.
static_assert(l::property_query::kPropertyId == offsetof(STORAGE_PROPERTY_QUERY, PropertyId));
static_assert(l::property_query::kQueryType == offsetof(STORAGE_PROPERTY_QUERY, QueryType));
static_assert(l::property_query::kAdditionalParameters ==
              offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters));
static_assert(l::property_query::kSize == sizeof(STORAGE_PROPERTY_QUERY));

// STORAGE_DEVICE_DESCRIPTOR.
namespace dd = l::device_descriptor;
static_assert(dd::kVersion == offsetof(STORAGE_DEVICE_DESCRIPTOR, Version));
static_assert(dd::kSize == offsetof(STORAGE_DEVICE_DESCRIPTOR, Size));
static_assert(dd::kDeviceType == offsetof(STORAGE_DEVICE_DESCRIPTOR, DeviceType));
static_assert(dd::kDeviceTypeModifier == offsetof(STORAGE_DEVICE_DESCRIPTOR, DeviceTypeModifier));
static_assert(dd::kRemovableMedia == offsetof(STORAGE_DEVICE_DESCRIPTOR, RemovableMedia));
static_assert(dd::kCommandQueueing == offsetof(STORAGE_DEVICE_DESCRIPTOR, CommandQueueing));
static_assert(dd::kVendorIdOffset == offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset));
static_assert(dd::kProductIdOffset == offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset));
static_assert(dd::kProductRevisionOffset ==
              offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset));
static_assert(dd::kSerialNumberOffset == offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset));
static_assert(dd::kBusType == offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType));
static_assert(sizeof(STORAGE_BUS_TYPE) == 4);
static_assert(dd::kRawPropertiesLength == offsetof(STORAGE_DEVICE_DESCRIPTOR, RawPropertiesLength));
static_assert(dd::kRawDeviceProperties == offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties));
static_assert(dd::kStructSize == sizeof(STORAGE_DEVICE_DESCRIPTOR));

// SP_DEVINFO_DATA and SP_DEVICE_INTERFACE_DATA, whose Reserved is a ULONG_PTR.
static_assert(l::kPointerSize == sizeof(ULONG_PTR));
static_assert(l::devinfo_data::kCbSize == offsetof(SP_DEVINFO_DATA, cbSize));
static_assert(l::devinfo_data::kClassGuid == offsetof(SP_DEVINFO_DATA, ClassGuid));
static_assert(l::devinfo_data::kDevInst == offsetof(SP_DEVINFO_DATA, DevInst));
static_assert(l::devinfo_data::kReserved == offsetof(SP_DEVINFO_DATA, Reserved));
static_assert(l::devinfo_data::kSize == sizeof(SP_DEVINFO_DATA));
static_assert(l::interface_data::kCbSize == offsetof(SP_DEVICE_INTERFACE_DATA, cbSize));
static_assert(l::interface_data::kInterfaceClassGuid ==
              offsetof(SP_DEVICE_INTERFACE_DATA, InterfaceClassGuid));
static_assert(l::interface_data::kFlags == offsetof(SP_DEVICE_INTERFACE_DATA, Flags));
static_assert(l::interface_data::kReserved == offsetof(SP_DEVICE_INTERFACE_DATA, Reserved));
static_assert(l::interface_data::kSize == sizeof(SP_DEVICE_INTERFACE_DATA));
static_assert(l::interface_detail::kCbSize == offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, cbSize));
static_assert(l::interface_detail::kDevicePath ==
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));
static_assert(l::interface_detail::kFixedSize == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
#ifdef _WIN64
static_assert(sizeof(SP_DEVINFO_DATA) == 32 && sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 8);
#else
static_assert(sizeof(SP_DEVINFO_DATA) == 28 && sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == 5);
#endif

// SP_PROPCHANGE_PARAMS and its SP_CLASSINSTALL_HEADER.
namespace pc = l::propchange_params;
static_assert(pc::kHeaderCbSize == offsetof(SP_PROPCHANGE_PARAMS, ClassInstallHeader) +
                                       offsetof(SP_CLASSINSTALL_HEADER, cbSize));
static_assert(pc::kHeaderInstallFunction == offsetof(SP_PROPCHANGE_PARAMS, ClassInstallHeader) +
                                                offsetof(SP_CLASSINSTALL_HEADER, InstallFunction));
static_assert(pc::kHeaderSize == sizeof(SP_CLASSINSTALL_HEADER));
static_assert(pc::kStateChange == offsetof(SP_PROPCHANGE_PARAMS, StateChange));
static_assert(pc::kScope == offsetof(SP_PROPCHANGE_PARAMS, Scope));
static_assert(pc::kHwProfile == offsetof(SP_PROPCHANGE_PARAMS, HwProfile));
static_assert(pc::kSize == sizeof(SP_PROPCHANGE_PARAMS));

// The device calls' types and codes.
static_assert(sizeof(os::DevInst) == sizeof(DEVINST));
static_assert(sizeof(os::ConfigRet) == sizeof(CONFIGRET));
static_assert(sizeof(os::Hdevinfo) == sizeof(HDEVINFO));
static_assert(sizeof(os::Guid) == sizeof(GUID));
static_assert(os::kERROR_NOT_READY == ERROR_NOT_READY);
static_assert(os::kERROR_GEN_FAILURE == ERROR_GEN_FAILURE);
static_assert(os::kERROR_NOT_SUPPORTED == ERROR_NOT_SUPPORTED);
static_assert(os::kERROR_INVALID_DATA == ERROR_INVALID_DATA);
static_assert(os::kERROR_INSUFFICIENT_BUFFER == ERROR_INSUFFICIENT_BUFFER);
static_assert(os::kERROR_NO_MORE_ITEMS == ERROR_NO_MORE_ITEMS);
static_assert(os::kERROR_INVALID_USER_BUFFER == ERROR_INVALID_USER_BUFFER);
static_assert(os::kERROR_NO_SUCH_DEVINST == ERROR_NO_SUCH_DEVINST);
static_assert(os::kERROR_INVALID_CLASS_INSTALLER == ERROR_INVALID_CLASS_INSTALLER);
static_assert(os::kERROR_KEY_DOES_NOT_EXIST == ERROR_KEY_DOES_NOT_EXIST);
static_assert(os::kERROR_INVALID_FLAGS == ERROR_INVALID_FLAGS);
static_assert(os::kGENERIC_READ == GENERIC_READ);
static_assert(os::kGENERIC_WRITE == GENERIC_WRITE);
static_assert(os::kFILE_SHARE_READ == FILE_SHARE_READ);
static_assert(os::kFILE_SHARE_WRITE == FILE_SHARE_WRITE);
static_assert(os::kOPEN_EXISTING == OPEN_EXISTING);
static_assert(os::kCREATE_NEW == CREATE_NEW);
static_assert(os::kCREATE_ALWAYS == CREATE_ALWAYS);
static_assert(os::kOPEN_ALWAYS == OPEN_ALWAYS);
static_assert(os::kTRUNCATE_EXISTING == TRUNCATE_EXISTING);
static_assert(os::kINVALID_FILE_SIZE == INVALID_FILE_SIZE);
static_assert(os::kERROR_FILE_EXISTS == ERROR_FILE_EXISTS);
static_assert(os::kIOCTL_SCSI_GET_ADDRESS == IOCTL_SCSI_GET_ADDRESS);
static_assert(os::kIOCTL_STORAGE_GET_DEVICE_NUMBER == IOCTL_STORAGE_GET_DEVICE_NUMBER);
static_assert(os::kIOCTL_STORAGE_QUERY_PROPERTY == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(os::kStorageDeviceProperty == StorageDeviceProperty);
static_assert(os::kPropertyStandardQuery == PropertyStandardQuery);
static_assert(os::kFILE_DEVICE_DISK == FILE_DEVICE_DISK);
static_assert(os::kBusTypeUsb == BusTypeUsb);
static_assert(os::kBusTypeRAID == BusTypeRAID);
static_assert(os::kBusTypeSata == BusTypeSata);
static_assert(os::kBusTypeNvme == BusTypeNvme);
static_assert(os::kDIGCF_DEFAULT == DIGCF_DEFAULT);
static_assert(os::kDIGCF_PRESENT == DIGCF_PRESENT);
static_assert(os::kDIGCF_ALLCLASSES == DIGCF_ALLCLASSES);
static_assert(os::kDIGCF_PROFILE == DIGCF_PROFILE);
static_assert(os::kDIGCF_DEVICEINTERFACE == DIGCF_DEVICEINTERFACE);
static_assert(os::kSPDRP_DEVICEDESC == SPDRP_DEVICEDESC);
static_assert(os::kSPDRP_HARDWAREID == SPDRP_HARDWAREID);
static_assert(os::kSPDRP_COMPATIBLEIDS == SPDRP_COMPATIBLEIDS);
static_assert(os::kSPDRP_SERVICE == SPDRP_SERVICE);
static_assert(os::kSPDRP_CLASS == SPDRP_CLASS);
static_assert(os::kSPDRP_CLASSGUID == SPDRP_CLASSGUID);
static_assert(os::kSPDRP_DRIVER == SPDRP_DRIVER);
static_assert(os::kSPDRP_MFG == SPDRP_MFG);
static_assert(os::kSPDRP_FRIENDLYNAME == SPDRP_FRIENDLYNAME);
static_assert(os::kSPDRP_LOCATION_INFORMATION == SPDRP_LOCATION_INFORMATION);
static_assert(os::kSPDRP_PHYSICAL_DEVICE_OBJECT_NAME == SPDRP_PHYSICAL_DEVICE_OBJECT_NAME);
static_assert(os::kSPDRP_UI_NUMBER == SPDRP_UI_NUMBER);
static_assert(os::kSPDRP_BUSNUMBER == SPDRP_BUSNUMBER);
static_assert(os::kSPDRP_ENUMERATOR_NAME == SPDRP_ENUMERATOR_NAME);
static_assert(os::kSPDRP_ADDRESS == SPDRP_ADDRESS);
static_assert(os::kCM_DRP_DEVICEDESC == CM_DRP_DEVICEDESC);
static_assert(os::kCM_DRP_CLASSGUID == CM_DRP_CLASSGUID);
static_assert(os::kCM_DRP_DRIVER == CM_DRP_DRIVER);
static_assert(os::kDIF_REMOVE == DIF_REMOVE);
static_assert(os::kDIF_PROPERTYCHANGE == DIF_PROPERTYCHANGE);
static_assert(os::kDICS_ENABLE == DICS_ENABLE);
static_assert(os::kDICS_DISABLE == DICS_DISABLE);
static_assert(os::kDICS_PROPCHANGE == DICS_PROPCHANGE);
static_assert(os::kDICS_START == DICS_START);
static_assert(os::kDICS_STOP == DICS_STOP);
static_assert(os::kDICS_FLAG_GLOBAL == DICS_FLAG_GLOBAL);
static_assert(os::kDICS_FLAG_CONFIGSPECIFIC == DICS_FLAG_CONFIGSPECIFIC);
static_assert(os::kDIREG_DEV == DIREG_DEV);
static_assert(os::kDIREG_DRV == DIREG_DRV);
static_assert(os::kCR_SUCCESS == CR_SUCCESS);
static_assert(os::kCR_INVALID_POINTER == CR_INVALID_POINTER);
static_assert(os::kCR_INVALID_FLAG == CR_INVALID_FLAG);
static_assert(os::kCR_INVALID_DEVNODE == CR_INVALID_DEVNODE);
static_assert(os::kCR_NO_SUCH_DEVNODE == CR_NO_SUCH_DEVNODE);
static_assert(os::kCR_FAILURE == CR_FAILURE);
static_assert(os::kCR_BUFFER_SMALL == CR_BUFFER_SMALL);
static_assert(os::kCR_INVALID_DEVICE_ID == CR_INVALID_DEVICE_ID);
static_assert(os::kCR_NO_SUCH_VALUE == CR_NO_SUCH_VALUE);
static_assert(os::kCR_INVALID_PROPERTY == CR_INVALID_PROPERTY);
static_assert(os::kCM_LOCATE_DEVNODE_NORMAL == CM_LOCATE_DEVNODE_NORMAL);
static_assert(os::kCM_REENUMERATE_NORMAL == CM_REENUMERATE_NORMAL);
static_assert(os::kS_OK == S_OK);
static_assert(os::kCO_E_SERVER_EXEC_FAILURE == CO_E_SERVER_EXEC_FAILURE);
static_assert(os::kWBEM_E_INVALID_NAMESPACE == HRESULT(WBEM_E_INVALID_NAMESPACE));
static_assert(os::kWBEM_E_INVALID_QUERY == HRESULT(WBEM_E_INVALID_QUERY));
// The GUIDs are extern objects of the headers, which no constant expression reads: the Wine
// probe compares them at run time.
