#include "sim/machine/machine_toml.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>

#include "framework/conversions.h"
#include "sim/machine/machine_drives_toml.h"
#include "sim/machine/machine_nvme_toml.h"
#include "sim/machine/machine_rste_toml.h"
#include "sim/machine/toml_reader.h"

namespace sim {
namespace {

constexpr std::string_view kTopKeys[] = {"system", "libraries", "device", "disk",
                                         "csmi",   "irst",      "rste",   "files"};
constexpr std::string_view kSystemKeys[] = {"winpe",          "winmgmt",   "winmgmt_start_queries",
                                            "wmi_disk_count", "wmi_error", "device_enum_error"};
constexpr std::string_view kLibraryKeys[] = {"absent", "missing"};
constexpr std::string_view kDeviceKeys[] = {
    "instance_id",   "parent",     "class",          "service",           "description",
    "friendly_name", "driver_key", "driver_version", "location",          "manufacturer",
    "enumerator",    "pdo_name",   "hardware_ids",   "compatible_ids",    "bus_number",
    "ui_number",     "address",    "present",        "reenumerate_error", "remove_error"};
constexpr std::string_view kDiskKeys[] = {
    "device_path", "device_number", "scsi_address", "scsi_address_bytes",
    "bus_type",    "vendor_id",     "product_id",   "revision",
    "serial",      "open_error",    "removable",    "returns_after_rescan"};
constexpr const char* kMiniNtKey = "SYSTEM\\CurrentControlSet\\Control\\MiniNT";
constexpr const char* kClassKey = "SYSTEM\\CurrentControlSet\\Control\\Class\\";

class MachineReader : public TomlReader {
 public:
  MachineReader(SimPc& pc, const MachineSource& source) : TomlReader(source), m_Pc(pc) {}

  void Read(std::string_view text) {
    toml::table root;
    try {
      root = toml::parse(text, Source());
    } catch (const toml::parse_error& e) {
      Fail(e.source(), std::string(e.description()));
    }
    CheckKeys(root, kTopKeys, {});
    if (const toml::node* n = root.get("system")) ReadSystem(Table(*n, "system"));
    if (const toml::node* n = root.get("libraries")) ReadLibraries(Table(*n, "libraries"));
    for (const char* kind : {"device", "disk"})
      if (const toml::node* n = root.get(kind)) {
        const toml::array* list = n->as_array();
        if (!list || !list->is_array_of_tables())
          Fail(n->source(), std::string(kind) + ": expected [[" + kind + "]] entries");
        for (const toml::node& entry : *list)
          ReadDevice(*entry.as_table(), std::string(kind) == "disk");
      }
    ReadCsmiControllers(root, m_Pc, Origin());
    ReadIrstControllers(root, m_Pc, Origin());
    ReadRsteControllers(root, m_Pc, Origin());
    ReadFiles(root, m_Pc, Origin());
  }

 private:
  template <std::size_t N>
  void CheckKeys(const toml::table& t, const std::string_view (&allowed)[N],
                 std::span<const std::string_view> more) const {
    for (auto&& [key, value] : t) {
      const std::string_view name = key.str();
      if (std::find(std::begin(allowed), std::end(allowed), name) == std::end(allowed) &&
          std::find(more.begin(), more.end(), name) == more.end())
        Fail(key.source(), "unknown key '" + std::string(name) + "'");
    }
  }

  const toml::table& Table(const toml::node& node, const std::string& what) const {
    if (const toml::table* t = node.as_table()) return *t;
    Fail(node.source(), what + ": expected a table");
  }

  std::optional<std::uint32_t> Dword(const toml::table& t, std::string_view key) const {
    const auto v = Integer(t, key, 0, 0xFFFFFFFFll);
    return v ? std::optional(std::uint32_t(*v)) : std::nullopt;
  }

  void ReadSystem(const toml::table& t) {
    CheckKeys(t, kSystemKeys, {});
    SimSystem& system = m_Pc.system;
    if (Bool(t, "winpe").value_or(false)) system.registry.AddKey(kMiniNtKey);
    const std::string winmgmt = String(t, "winmgmt").value_or("running");
    const int startQueries = int(Integer(t, "winmgmt_start_queries", -1, 1000).value_or(0));
    if (winmgmt == "running") {
      system.AddService("Winmgmt", os::kSERVICE_RUNNING);
    } else if (winmgmt == "stopped") {
      system.AddService("Winmgmt", os::kSERVICE_STOPPED).queriesUntilRunning = startQueries;
    } else if (winmgmt == "disabled") {
      system.AddService("Winmgmt", os::kSERVICE_STOPPED).startError = os::kERROR_SERVICE_DISABLED;
    } else {
      Fail(t.get("winmgmt")->source(), "winmgmt: running, stopped or disabled");
    }
    if (const auto count = Dword(t, "wmi_disk_count")) m_Pc.devices.wmiDiskCount = *count;
    if (const auto error = Dword(t, "wmi_error")) m_Pc.devices.wmiError = os::HResult(*error);
    if (const auto error = Dword(t, "device_enum_error")) m_Pc.devices.deviceEnumError = *error;
  }

  void ReadLibraries(const toml::table& t) {
    CheckKeys(t, kLibraryKeys, {});
    for (const std::string& module : Strings(t, "absent"))
      m_Pc.system.exports.erase(SimSystem::ModuleName(module));
    for (const std::string& entry : Strings(t, "missing")) {
      const auto bang = entry.find('!');
      if (bang == std::string::npos)
        Fail(t.get("missing")->source(), "missing: \"" + entry + "\" is not \"library!export\"");
      m_Pc.system.RemoveExport(entry.substr(0, bang), entry.substr(bang + 1));
    }
  }

  std::string ClassGuid(const toml::table& t) const {
    const std::string name = String(t, "class").value_or("");
    const std::string lower = [&] {
      std::string s = name;
      std::transform(s.begin(), s.end(), s.begin(),
                     [](unsigned char c) { return char(std::tolower(c)); });
      return s;
    }();
    if (lower == "hdc") return kClassHdc;
    if (lower == "scsiadapter") return kClassScsiAdapter;
    if (lower == "usb") return kClassUsb;
    if (lower == "system") return kClassSystem;
    if (lower == "diskdrive") return kClassDiskDrive;
    if (lower.empty() || (lower.size() == 38 && lower.front() == '{' && lower.back() == '}'))
      return lower;
    Fail(t.get("class")->source(), "class: hdc, scsiadapter, usb, system, diskdrive or a {GUID}");
  }

  void ReadDevice(const toml::table& t, bool isDisk) {
    std::vector<std::string_view> diskKeys(std::begin(kDiskKeys), std::end(kDiskKeys));
    diskKeys.insert(diskKeys.end(), std::begin(kDiskDriveKeys), std::end(kDiskDriveKeys));
    diskKeys.insert(diskKeys.end(), std::begin(kDiskNvmeKeys), std::end(kDiskNvmeKeys));
    CheckKeys(
        t, kDeviceKeys,
        isDisk ? std::span<const std::string_view>(diskKeys) : std::span<const std::string_view>());
    SimDevice d;
    const auto id = String(t, "instance_id");
    if (!id || id->empty()) Fail(t.source(), "instance_id: missing; every device needs one");
    if (m_Pc.devices.Find(*id)) Fail(t.source(), "instance_id: \"" + *id + "\" twice");
    d.instanceId = *id;
    d.parent = String(t, "parent").value_or("");
    if (!d.parent.empty() && !m_Pc.devices.Find(d.parent))
      Fail(t.get("parent")->source(), "parent: no device \"" + d.parent + "\" above this one");
    d.classGuid = ClassGuid(t);
    d.service = String(t, "service").value_or("");
    d.description = String(t, "description").value_or("");
    d.friendlyName = String(t, "friendly_name").value_or("");
    d.driverKey = String(t, "driver_key").value_or("");
    d.driverVersion = String(t, "driver_version").value_or("");
    d.locationInformation = String(t, "location").value_or("");
    d.manufacturer = String(t, "manufacturer").value_or("");
    d.enumeratorName = String(t, "enumerator").value_or("");
    d.pdoName = String(t, "pdo_name").value_or("");
    d.hardwareIds = Strings(t, "hardware_ids");
    d.compatibleIds = Strings(t, "compatible_ids");
    d.busNumber = Dword(t, "bus_number");
    d.uiNumber = Dword(t, "ui_number");
    d.address = Dword(t, "address");
    d.present = Bool(t, "present").value_or(true);
    d.reenumerateError = os::ConfigRet(Integer(t, "reenumerate_error", 0, 0xFF).value_or(0));
    d.removeError = std::uint32_t(Integer(t, "remove_error", 0, 0xFFFFFFFFll).value_or(0));
    if (isDisk) {
      d.disk = ReadDisk(t);
      ReadDiskDrive(t, *d.disk, Origin());
      ReadDiskNvme(t, *d.disk, Origin());
    }
    if (!d.driverKey.empty() && !d.driverVersion.empty())
      m_Pc.system.registry.SetString(kClassKey + d.driverKey, "DriverVersion", d.driverVersion);
    m_Pc.devices.Add(std::move(d));
  }

  SimDisk ReadDisk(const toml::table& t) const {
    SimDisk disk;
    disk.devicePath = String(t, "device_path").value_or("");
    disk.deviceNumber = Dword(t, "device_number");
    if (const toml::node* n = t.get("scsi_address")) {
      const toml::array* a = n->as_array();
      if (!a || a->size() != 4)
        Fail(n->source(), "scsi_address: expected [port, path, target, lun]");
      std::array<std::uint8_t, 4> address{};
      for (std::size_t i = 0; i < 4; ++i) {
        const auto* v = (*a)[i].as_integer();
        if (!v || v->get() < 0 || v->get() > 255)
          Fail(n->source(), "scsi_address: each part is a whole number 0..255");
        address[i] = std::uint8_t(v->get());
      }
      disk.scsiAddress = address;
    }
    disk.scsiAddressBytes = std::uint32_t(Integer(t, "scsi_address_bytes", 0, 8).value_or(8));
    disk.busType = std::uint8_t(Integer(t, "bus_type", 0, 255).value_or(os::kBusTypeSata));
    disk.vendorId = String(t, "vendor_id").value_or("");
    disk.productId = String(t, "product_id").value_or("");
    disk.revision = String(t, "revision").value_or("");
    disk.serial = String(t, "serial").value_or("");
    disk.openError = Dword(t, "open_error").value_or(0);
    disk.removable = Bool(t, "removable").value_or(false);
    disk.returnsAfterRescan = Bool(t, "returns_after_rescan").value_or(true);
    return disk;
  }

  SimPc& m_Pc;
};

}  // namespace

void LoadMachine(SimPc& pc, std::string_view toml, const std::string& sourceName,
                 const std::filesystem::path& folder) {
  const MachineSource source{sourceName, folder};
  MachineReader(pc, source).Read(toml);
}

void LoadMachineFile(SimPc& pc, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw MachineError("cannot open " + path);
  std::ostringstream text;
  text << in.rdbuf();
  LoadMachine(pc, text.str(), path, std::filesystem::path(path).parent_path());
}

}  // namespace sim
