// SetupAPI, the configuration manager and WMI, all answered from the device tree. The structures
// the program hands over are read here from the Windows layouts, on their own: never through the
// program's builders.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "framework/bytes.h"
#include "framework/conversions.h"
#include "os/layouts/ntddscsi.h"
#include "sim/kernel/journal_text.h"
#include "sim/machine/sim_enumeration.h"

namespace sim {
namespace {

// setupapi.h: SP_DEVINFO_DATA and SP_DEVICE_INTERFACE_DATA are a DWORD, a GUID, a DWORD and a
// ULONG_PTR; the detail is a DWORD and the path, its cbSize the packed size of the two.
constexpr std::size_t kPointerBytes = sizeof(void*);
constexpr std::size_t kSetupStructSize = kPointerBytes == 8 ? 32 : 28;
constexpr std::size_t kGuidAt = 4, kDwordAt = 20, kReservedAt = 24;
constexpr std::uint32_t kDetailCbSize = kPointerBytes == 8 ? 8 : 5;
constexpr std::size_t kDetailPathAt = 4;
constexpr std::uint32_t kSPINT_ACTIVE = 1;
// SP_CLASSINSTALL_HEADER and what follows it for the two functions the sim knows.
constexpr std::uint32_t kClassInstallHeaderSize = 8;
constexpr std::uint32_t kPropChangeParamsSize = 20;
constexpr std::uint32_t kRemoveDeviceParamsSize = 16;
constexpr std::uint32_t kCM_LOCATE_DEVNODE_PHANTOM = 1;

const char* const kSetupApiExports[] = {
    "SetupDiGetClassDevsA",          "SetupDiEnumDeviceInfo",
    "SetupDiEnumDeviceInterfaces",   "SetupDiGetDeviceInterfaceDetailA",
    "SetupDiDestroyDeviceInfoList",  "SetupDiGetDeviceRegistryPropertyA",
    "SetupDiGetClassImageIndex",     "SetupDiCallClassInstaller",
    "SetupDiSetClassInstallParamsA", "SetupDiOpenClassRegKey",
    "SetupDiGetClassImageList",      "SetupDiDestroyClassImageList",
    "SetupDiGetDeviceInstanceIdA",   "SetupDiOpenDevRegKey",
};
const char* const kCfgMgrExports[] = {
    "CM_Get_Device_IDA",
    "CM_Get_Child",
    "CM_Get_DevNode_Registry_PropertyA",
    "CM_Get_Sibling",
    "CM_Get_Parent",
    "CM_Get_DevNode_Status",
    "CM_Locate_DevNodeA",
    "CM_Reenumerate_DevNode",
    "CM_Get_First_Log_Conf",
    "CM_Get_Next_Log_Conf",
    "CM_Get_Next_Res_Des",
    "CM_Get_Res_Des_Data",
    "CM_Free_Res_Des_Handle",
    "CM_Free_Log_Conf_Handle",
};

std::string FlagsText(std::uint32_t flags) {
  static const std::pair<std::uint32_t, const char*> names[] = {
      {os::kDIGCF_DEFAULT, "DIGCF_DEFAULT"},
      {os::kDIGCF_PRESENT, "DIGCF_PRESENT"},
      {os::kDIGCF_ALLCLASSES, "DIGCF_ALLCLASSES"},
      {os::kDIGCF_PROFILE, "DIGCF_PROFILE"},
      {os::kDIGCF_DEVICEINTERFACE, "DIGCF_DEVICEINTERFACE"}};
  std::string text;
  for (const auto& [bit, name] : names)
    if (flags & bit) text += (text.empty() ? "" : "|") + std::string(name);
  return text.empty() ? "0" : text;
}

std::string DifName(std::uint32_t dif) {
  if (dif == os::kDIF_REMOVE) return "DIF_REMOVE";
  if (dif == os::kDIF_PROPERTYCHANGE) return "DIF_PROPERTYCHANGE";
  return HexText(dif);
}

std::string DicsName(std::uint32_t state) {
  static const char* const names[] = {
      "0", "DICS_ENABLE", "DICS_DISABLE", "DICS_PROPCHANGE", "DICS_START", "DICS_STOP"};
  return state < 6 ? names[state] : HexText(state);
}

std::string ScopeName(std::uint32_t scope) {
  if (scope == os::kDICS_FLAG_GLOBAL) return "DICS_FLAG_GLOBAL";
  if (scope == os::kDICS_FLAG_CONFIGSPECIFIC) return "DICS_FLAG_CONFIGSPECIFIC";
  return HexText(scope);
}

void WriteGuid(std::span<std::uint8_t> b, std::size_t at, const os::Guid& g) {
  fw::PutU32le(b, at, g.Data1);
  fw::PutU16le(b, at + 4, g.Data2);
  fw::PutU16le(b, at + 6, g.Data3);
  std::copy(g.Data4.begin(), g.Data4.end(), b.begin() + std::ptrdiff_t(at + 8));
}

void WritePointerSized(std::span<std::uint8_t> b, std::size_t at, std::uint64_t value) {
  if (kPointerBytes == 8)
    fw::PutU64le(b, at, value);
  else
    fw::PutU32le(b, at, std::uint32_t(value));
}

std::uint64_t ReadPointerSized(std::span<const std::uint8_t> b, std::size_t at) {
  return kPointerBytes == 8 ? fw::GetU64le(b, at) : fw::GetU32le(b, at);
}

std::span<std::uint8_t> Bytes(void* p, std::size_t size) {
  return {static_cast<std::uint8_t*>(p), size};
}
std::span<const std::uint8_t> Bytes(const void* p, std::size_t size) {
  return {static_cast<const std::uint8_t*>(p), size};
}

os::Guid GuidFromSimText(const std::string& text) {
  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
  os::Guid g;
  if (text.size() != 38) return g;
  const auto hex = [&](std::size_t at, std::size_t n) {
    return std::uint32_t(std::stoul(text.substr(at, n), nullptr, 16));
  };
  try {
    g.Data1 = hex(1, 8);
    g.Data2 = std::uint16_t(hex(10, 4));
    g.Data3 = std::uint16_t(hex(15, 4));
    g.Data4[0] = std::uint8_t(hex(20, 2));
    g.Data4[1] = std::uint8_t(hex(22, 2));
    for (std::size_t i = 0; i < 6; ++i) g.Data4[2 + i] = std::uint8_t(hex(25 + 2 * i, 2));
  } catch (const std::exception&) {
    return os::Guid{};
  }
  return g;
}

}  // namespace

void SimEnumeration::InstallDefaults() {
  auto& setupApi = m_System.exports["setupapi.dll"];
  setupApi.insert(std::begin(kSetupApiExports), std::end(kSetupApiExports));
  auto& cfgMgr = m_System.exports["cfgmgr32.dll"];
  cfgMgr.insert(std::begin(kCfgMgrExports), std::end(kCfgMgrExports));
  m_System.AddService("Winmgmt", os::kSERVICE_RUNNING);
}

namespace {
// A call through an address is only sound when GetProcAddress returned it for that export.
bool Through(SimSystem& pc, os::FarProc fn, const char* module, const char* name) {
  const os::Hmodule m = pc.GetModuleHandleA(module);
  return fn && m && pc.GetProcAddress(m, name) == fn;
}
}  // namespace

#define SIM_CALLED_THROUGH(module, name, fail)                               \
  if (!Through(m_System, fn, module, #name)) {                               \
    m_Kernel.Log(#name " called through an address that is not its export"); \
    fail;                                                                    \
  }
#define SETUPAPI(name, fail) SIM_CALLED_THROUGH("setupapi.dll", name, fail)
#define CFGMGR(name) SIM_CALLED_THROUGH("cfgmgr32.dll", name, return os::kCR_FAILURE)

// ---- SetupAPI ----

namespace {
// The device a caller's SP_DEVINFO_DATA names, when it is a member of the set.
os::DevInst MemberOf(const SimDeviceTree::InfoSet& set, const void* deviceInfoData) {
  if (!deviceInfoData) return 0;
  const auto b = Bytes(deviceInfoData, kSetupStructSize);
  if (fw::GetU32le(b, 0) != kSetupStructSize) return 0;
  const os::DevInst devInst = fw::GetU32le(b, kDwordAt);
  return std::find(set.members.begin(), set.members.end(), devInst) != set.members.end() ? devInst
                                                                                         : 0;
}
}  // namespace

os::Hdevinfo SimEnumeration::SetupDiGetClassDevsA(os::FarProc fn, const os::Guid* classGuid,
                                                  const std::string&, os::Hwnd,
                                                  std::uint32_t flags) {
  SETUPAPI(SetupDiGetClassDevsA, return os::kINVALID_HANDLE_VALUE);
  m_Kernel.Log("SetupDiGetClassDevsA " +
               (classGuid ? SimDeviceTree::GuidText(*classGuid) : "NULL") + " " + FlagsText(flags));
  if (!classGuid && !(flags & os::kDIGCF_ALLCLASSES)) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return os::kINVALID_HANDLE_VALUE;
  }
  const os::Hdevinfo h = m_Kernel.NewHandle(HandleKind::kDeviceInfoSet);
  m_Tree.sets[h].members = m_Tree.SetMembers(classGuid, flags);
  return h;
}

bool SimEnumeration::SetupDiEnumDeviceInfo(os::FarProc fn, os::Hdevinfo set,
                                           std::uint32_t memberIndex, void* deviceInfoData) {
  SETUPAPI(SetupDiEnumDeviceInfo, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const auto b = Bytes(deviceInfoData, kSetupStructSize);
  if (!deviceInfoData || fw::GetU32le(b, 0) != kSetupStructSize) {
    m_Kernel.SetLastError(os::kERROR_INVALID_USER_BUFFER);
    return false;
  }
  if (memberIndex >= it->second.members.size()) {
    m_Kernel.SetLastError(m_Tree.deviceEnumError);
    return false;
  }
  const os::DevInst devInst = it->second.members[memberIndex];
  WriteGuid(b, kGuidAt, GuidFromSimText(m_Tree.Node(devInst)->classGuid));
  fw::PutU32le(b, kDwordAt, devInst);
  WritePointerSized(b, kReservedAt, memberIndex + 1);
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return true;
}

bool SimEnumeration::SetupDiEnumDeviceInterfaces(os::FarProc fn, os::Hdevinfo set, const void*,
                                                 const os::Guid& interfaceClassGuid,
                                                 std::uint32_t memberIndex,
                                                 void* deviceInterfaceData) {
  SETUPAPI(SetupDiEnumDeviceInterfaces, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const auto b = Bytes(deviceInterfaceData, kSetupStructSize);
  if (!deviceInterfaceData || fw::GetU32le(b, 0) != kSetupStructSize) {
    m_Kernel.SetLastError(os::kERROR_INVALID_USER_BUFFER);
    return false;
  }
  std::vector<os::DevInst> exposing;
  if (SimDeviceTree::GuidText(interfaceClassGuid) == kDiskInterface)
    for (os::DevInst d : it->second.members)
      if (m_Tree.Node(d)->disk) exposing.push_back(d);
  if (memberIndex >= exposing.size()) {
    m_Kernel.SetLastError(os::kERROR_NO_MORE_ITEMS);
    return false;
  }
  WriteGuid(b, kGuidAt, interfaceClassGuid);
  fw::PutU32le(b, kDwordAt, kSPINT_ACTIVE);
  WritePointerSized(b, kReservedAt, exposing[memberIndex]);
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return true;
}

bool SimEnumeration::SetupDiGetDeviceInterfaceDetailA(
    os::FarProc fn, os::Hdevinfo set, const void* deviceInterfaceData, void* detailData,
    std::uint32_t detailDataSize, std::uint32_t* requiredSize, void* deviceInfoData) {
  SETUPAPI(SetupDiGetDeviceInterfaceDetailA, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const auto in = Bytes(deviceInterfaceData, kSetupStructSize);
  const SimDevice* device = deviceInterfaceData && fw::GetU32le(in, 0) == kSetupStructSize
                                ? m_Tree.Node(os::DevInst(ReadPointerSized(in, kReservedAt)))
                                : nullptr;
  if (!device || !device->disk) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  const std::string& path = device->disk->devicePath;
  const auto required = std::uint32_t(kDetailPathAt + path.size() + 1);
  if (requiredSize) *requiredSize = required;
  if (!detailData) {
    m_Kernel.SetLastError(detailDataSize ? os::kERROR_INVALID_USER_BUFFER
                                         : os::kERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  const auto out = Bytes(detailData, std::max<std::size_t>(detailDataSize, kDetailPathAt));
  if (fw::GetU32le(out, 0) != kDetailCbSize) {
    m_Kernel.SetLastError(os::kERROR_INVALID_USER_BUFFER);
    return false;
  }
  if (detailDataSize < required) {
    m_Kernel.SetLastError(os::kERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(out.data() + kDetailPathAt, path.c_str(), path.size() + 1);
  if (deviceInfoData) {
    const auto info = Bytes(deviceInfoData, kSetupStructSize);
    const os::DevInst devInst = m_Tree.DevInstOf(device->instanceId);
    WriteGuid(info, kGuidAt, GuidFromSimText(device->classGuid));
    fw::PutU32le(info, kDwordAt, devInst);
  }
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return true;
}

bool SimEnumeration::SetupDiDestroyDeviceInfoList(os::FarProc fn, os::Hdevinfo set) {
  SETUPAPI(SetupDiDestroyDeviceInfoList, return false);
  if (m_Tree.sets.erase(set)) return true;
  m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
  return false;
}

bool SimEnumeration::SetupDiGetDeviceRegistryPropertyA(os::FarProc fn, os::Hdevinfo set,
                                                       const void* deviceInfoData,
                                                       std::uint32_t property,
                                                       std::uint32_t* propertyRegDataType,
                                                       void* buffer, std::uint32_t bufferSize,
                                                       std::uint32_t* requiredSize) {
  SETUPAPI(SetupDiGetDeviceRegistryPropertyA, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const os::DevInst devInst = MemberOf(it->second, deviceInfoData);
  if (!devInst) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  std::uint32_t type = os::kREG_NONE;
  const auto value = m_Tree.Property(devInst, property, &type);
  if (!value) {
    m_Kernel.SetLastError(
        os::kERROR_INVALID_DATA);  // what Windows says of a property a device lacks
    return false;
  }
  if (requiredSize) *requiredSize = std::uint32_t(value->size());
  if (propertyRegDataType) *propertyRegDataType = type;
  if (!buffer || bufferSize < value->size()) {
    m_Kernel.SetLastError(os::kERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  // Success leaves the thread's last error as it was, as most Windows calls do.
  std::memcpy(buffer, value->data(), value->size());
  return true;
}

bool SimEnumeration::SetupDiGetDeviceInstanceIdA(os::FarProc fn, os::Hdevinfo set,
                                                 const void* deviceInfoData, char* deviceInstanceId,
                                                 std::uint32_t size, std::uint32_t* requiredSize) {
  SETUPAPI(SetupDiGetDeviceInstanceIdA, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const os::DevInst devInst = MemberOf(it->second, deviceInfoData);
  if (!devInst) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  const std::string& id = m_Tree.Node(devInst)->instanceId;
  if (requiredSize) *requiredSize = std::uint32_t(id.size() + 1);
  if (!deviceInstanceId || size < id.size() + 1) {
    m_Kernel.SetLastError(os::kERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(deviceInstanceId, id.c_str(), id.size() + 1);
  return true;
}

bool SimEnumeration::SetupDiSetClassInstallParamsA(os::FarProc fn, os::Hdevinfo set,
                                                   const void* deviceInfoData,
                                                   const void* classInstallParams,
                                                   std::uint32_t classInstallParamsSize) {
  SETUPAPI(SetupDiSetClassInstallParamsA, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const os::DevInst devInst = MemberOf(it->second, deviceInfoData);
  if (!devInst) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  if (!classInstallParams) {
    it->second.classInstallParams.erase(devInst);
    return true;
  }
  const auto b =
      Bytes(classInstallParams, std::max(classInstallParamsSize, kClassInstallHeaderSize));
  if (classInstallParamsSize < kClassInstallHeaderSize ||
      fw::GetU32le(b, 0) != kClassInstallHeaderSize) {
    m_Kernel.SetLastError(os::kERROR_INVALID_USER_BUFFER);
    return false;
  }
  const std::uint32_t dif = fw::GetU32le(b, 4);
  std::string entry = "SetupDiSetClassInstallParamsA " + Quoted(m_Tree.Node(devInst)->instanceId) +
                      " " + DifName(dif);
  if ((dif == os::kDIF_PROPERTYCHANGE && classInstallParamsSize != kPropChangeParamsSize) ||
      (dif == os::kDIF_REMOVE && classInstallParamsSize != kRemoveDeviceParamsSize)) {
    m_Kernel.Log(entry + " of " + std::to_string(classInstallParamsSize) + " bytes");
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  if (dif == os::kDIF_PROPERTYCHANGE)
    entry += " " + DicsName(fw::GetU32le(b, 8)) + " " + ScopeName(fw::GetU32le(b, 12)) +
             " profile " + std::to_string(fw::GetU32le(b, 16));
  m_Kernel.Log(entry);
  it->second.classInstallParams[devInst].assign(b.begin(), b.begin() + classInstallParamsSize);
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return true;
}

bool SimEnumeration::SetupDiCallClassInstaller(os::FarProc fn, std::uint32_t installFunction,
                                               os::Hdevinfo set, const void* deviceInfoData) {
  SETUPAPI(SetupDiCallClassInstaller, return false);
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) {
    m_Kernel.SetLastError(os::kERROR_INVALID_HANDLE);
    return false;
  }
  const os::DevInst devInst = MemberOf(it->second, deviceInfoData);
  if (!devInst) {
    m_Kernel.SetLastError(os::kERROR_INVALID_PARAMETER);
    return false;
  }
  const std::string id = m_Tree.Node(devInst)->instanceId;
  m_Kernel.Log("SetupDiCallClassInstaller " + DifName(installFunction) + " " + Quoted(id));
  if (installFunction == os::kDIF_REMOVE && m_Tree.Node(devInst)->removeError) {
    m_Kernel.Log("  refused");
    m_Kernel.SetLastError(m_Tree.Node(devInst)->removeError);
    return false;
  }
  if (installFunction == os::kDIF_REMOVE) {
    m_Tree.Remove(devInst);
    m_Kernel.Log("Device removed " + Quoted(id));
  }
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return true;
}

// A device with a driver has a driver key, in which its INF wrote the DriverVersion; the sim
// writes the key and the device's driverVersion there when the key is first opened, so that a
// device added in code needs no registry of its own. A device without driverKey has no driver
// key: ERROR_KEY_DOES_NOT_EXIST, as Windows answers for a device without a driver. One with a
// driverKey but no driverVersion opens, and its DriverVersion value is not found. Only the
// global keys are modelled: the configuration-specific ones do not exist here. Full access is
// refused to a user who is no administrator, as the keys' permissions do.
os::Hkey SimEnumeration::SetupDiOpenDevRegKey(os::FarProc fn, os::Hdevinfo set,
                                              const void* deviceInfoData, std::uint32_t scope,
                                              std::uint32_t hwProfile, std::uint32_t keyType,
                                              std::uint32_t samDesired) {
  SETUPAPI(SetupDiOpenDevRegKey, return os::kINVALID_HANDLE_VALUE);
  const auto fail = [&](std::uint32_t error) {
    m_Kernel.SetLastError(error);
    return os::kINVALID_HANDLE_VALUE;
  };
  auto it = m_Tree.sets.find(set);
  if (it == m_Tree.sets.end()) return fail(os::kERROR_INVALID_HANDLE);
  const os::DevInst devInst = MemberOf(it->second, deviceInfoData);
  if (!devInst) return fail(os::kERROR_INVALID_PARAMETER);
  const SimDevice& d = *m_Tree.Node(devInst);
  m_Kernel.Log("SetupDiOpenDevRegKey " + Quoted(d.instanceId) + " " +
               (keyType == os::kDIREG_DRV   ? "DIREG_DRV"
                : keyType == os::kDIREG_DEV ? "DIREG_DEV"
                                            : HexText(keyType)) +
               " " + ScopeName(scope) + " profile " + std::to_string(hwProfile) + " access " +
               HexText(samDesired));
  if ((scope != os::kDICS_FLAG_GLOBAL && scope != os::kDICS_FLAG_CONFIGSPECIFIC) ||
      (keyType != os::kDIREG_DRV && keyType != os::kDIREG_DEV))
    return fail(os::kERROR_INVALID_FLAGS);
  if (scope != os::kDICS_FLAG_GLOBAL) return fail(os::kERROR_KEY_DOES_NOT_EXIST);
  std::string path;
  if (keyType == os::kDIREG_DRV) {
    if (d.driverKey.empty()) return fail(os::kERROR_KEY_DOES_NOT_EXIST);
    path = SimRegistry::Normalise(kDriverKeysRoot + d.driverKey);
    if (!m_System.registry.HasKey(path)) {
      m_System.registry.AddKey(path);
      if (!d.driverVersion.empty())
        m_System.registry.SetString(path, "DriverVersion", d.driverVersion);
    }
  } else {
    path = SimRegistry::Normalise(kHardwareKeysRoot + d.instanceId + "\\Device Parameters");
    if (!m_System.registry.HasKey(path)) return fail(os::kERROR_KEY_DOES_NOT_EXIST);
  }
  if ((samDesired & (os::kKEY_SET_VALUE | os::kKEY_CREATE_SUB_KEY)) && !m_System.administrator)
    return fail(os::kERROR_ACCESS_DENIED);
  const os::Hkey key = m_System.OpenKeyHandle(path, samDesired);
  m_Kernel.SetLastError(os::kERROR_SUCCESS);
  return key;
}

// ---- Configuration manager ----

os::ConfigRet SimEnumeration::CM_Get_Device_IDA(os::FarProc fn, os::DevInst devInst, char* buffer,
                                                std::uint32_t bufferLen, std::uint32_t) {
  CFGMGR(CM_Get_Device_IDA);
  const SimDevice* d = m_Tree.Node(devInst);
  if (!d) return os::kCR_INVALID_DEVNODE;
  if (!buffer) return os::kCR_INVALID_POINTER;
  if (bufferLen < d->instanceId.size()) return os::kCR_BUFFER_SMALL;
  // As on Windows, an identifier that fills the buffer exactly comes without its terminator.
  std::memcpy(buffer, d->instanceId.data(), d->instanceId.size());
  if (bufferLen > d->instanceId.size()) buffer[d->instanceId.size()] = '\0';
  return os::kCR_SUCCESS;
}

os::ConfigRet SimEnumeration::CM_Get_Parent(os::FarProc fn, os::DevInst* parent,
                                            os::DevInst devInst, std::uint32_t) {
  CFGMGR(CM_Get_Parent);
  if (!parent) return os::kCR_INVALID_POINTER;
  *parent = 0;
  const SimDevice* d = m_Tree.Node(devInst);
  if (!d) return os::kCR_INVALID_DEVNODE;
  const os::DevInst up = d->instanceId == kRootId ? 0 : m_Tree.DevInstOf(d->parent);
  if (!up) return os::kCR_NO_SUCH_DEVNODE;
  *parent = up;
  return os::kCR_SUCCESS;
}

os::ConfigRet SimEnumeration::CM_Locate_DevNodeA(os::FarProc fn, os::DevInst* devInst,
                                                 const std::string& deviceId, std::uint32_t flags) {
  CFGMGR(CM_Locate_DevNodeA);
  if (!devInst) return os::kCR_INVALID_POINTER;
  *devInst = 0;
  const os::DevInst found = m_Tree.DevInstOf(deviceId.empty() ? kRootId : deviceId);
  const SimDevice* d = m_Tree.Node(found);
  if (!d || d->removed || (!d->present && !(flags & kCM_LOCATE_DEVNODE_PHANTOM)))
    return os::kCR_NO_SUCH_DEVNODE;
  *devInst = found;
  return os::kCR_SUCCESS;
}

os::ConfigRet SimEnumeration::CM_Get_DevNode_Registry_PropertyA(os::FarProc fn, os::DevInst devInst,
                                                                std::uint32_t property,
                                                                std::uint32_t* regDataType,
                                                                void* buffer, std::uint32_t* length,
                                                                std::uint32_t) {
  CFGMGR(CM_Get_DevNode_Registry_PropertyA);
  if (!length) return os::kCR_INVALID_POINTER;
  if (!m_Tree.Node(devInst)) return os::kCR_INVALID_DEVNODE;
  if (property == 0) return os::kCR_INVALID_PROPERTY;
  std::uint32_t type = os::kREG_NONE;
  const auto value = m_Tree.Property(devInst, property - 1, &type);  // CM_DRP_ = SPDRP_ + 1
  if (!value) return os::kCR_NO_SUCH_VALUE;
  const std::uint32_t room = *length;
  *length = std::uint32_t(value->size());
  if (regDataType) *regDataType = type;
  if (!buffer || room < value->size()) return os::kCR_BUFFER_SMALL;
  std::memcpy(buffer, value->data(), value->size());
  return os::kCR_SUCCESS;
}

os::ConfigRet SimEnumeration::CM_Reenumerate_DevNode(os::FarProc fn, os::DevInst devInst,
                                                     std::uint32_t) {
  CFGMGR(CM_Reenumerate_DevNode);
  const SimDevice* d = m_Tree.Node(devInst);
  if (!d) return os::kCR_INVALID_DEVNODE;
  m_Kernel.Log("CM_Reenumerate_DevNode " + Quoted(d->instanceId));
  if (d->reenumerateError != os::kCR_SUCCESS) {
    m_Kernel.Log("  refused");
    return d->reenumerateError;
  }
  for (const std::string& id : m_Tree.Reenumerate(devInst))
    m_Kernel.Log("Device arrived " + Quoted(id));
  return os::kCR_SUCCESS;
}

// ---- WMI ----

os::HResult SimEnumeration::CountWmiQueryObjects(const std::string& nameSpace,
                                                 const std::string& query, std::uint32_t* count) {
  m_Kernel.Log("WMI " + nameSpace + " " + Quoted(query));
  *count = 0;
  const SimService* winmgmt = m_System.Service("Winmgmt");
  if (!winmgmt || winmgmt->state != os::kSERVICE_RUNNING) return os::kCO_E_SERVER_EXEC_FAILURE;
  if (fw::UpperCase(nameSpace) != "ROOT\\CIMV2") return os::kWBEM_E_INVALID_NAMESPACE;
  if (fw::UpperCase(query) != "SELECT * FROM WIN32_DISKDRIVE") return os::kWBEM_E_INVALID_QUERY;
  if (m_Tree.wmiError < 0) return m_Tree.wmiError;
  *count = m_Tree.wmiDiskCount.value_or(std::uint32_t(m_Tree.AttachedDisks().size()));
  return os::kS_OK;
}

}  // namespace sim
