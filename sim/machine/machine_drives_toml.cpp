#include "sim/machine/machine_drives_toml.h"

#include <algorithm>
#include <optional>
#include <span>

#include "framework/conversions.h"
#include "sim/drives/sim_ata_identify.h"
#include "sim/machine/machine_toml.h"
#include "sim/machine/toml_reader.h"

namespace sim {
namespace {

constexpr std::string_view kAtaKeys[] = {"model",
                                         "serial",
                                         "firmware",
                                         "vendor_version",
                                         "ppid",
                                         "word2",
                                         "word159",
                                         "vendor_commands",
                                         "ppid_log",
                                         "pea",
                                         "pea_new_support",
                                         "download_microcode",
                                         "min_download_blocks",
                                         "max_download_blocks",
                                         "leaves_bus_on_activation",
                                         "preformat_ms",
                                         "fault",
                                         "rpe",
                                         "identify"};
constexpr std::string_view kFaultKeys[] = {
    "command",       "features",         "skip",      "times",
    "windows_error", "status",           "error",     "delay_ms",
    "sense",         "sense_after_data", "power_loss"};
constexpr std::string_view kCsmiKeys[] = {"port",
                                          "open_error",
                                          "driver_name",
                                          "description",
                                          "miniport_error",
                                          "driver_info_return_code",
                                          "phy_info_return_code",
                                          "reported_phys",
                                          "match_sas_address",
                                          "phy"};
constexpr std::string_view kPhyKeys[] = {"phy",      "port",        "device_type", "attached_type",
                                         "protocol", "sas_address", "ata"};
constexpr std::string_view kFilesKeys[] = {"exist"};

class Reader : public TomlReader {
 public:
  using TomlReader::TomlReader;

  SimFault Fault(const toml::table& t) const {
    Keys(t, kFaultKeys);
    SimFault f;
    if (auto v = Integer(t, "command", 0, 255)) f.command = std::uint8_t(*v);
    if (auto v = Integer(t, "features", 0, 255)) f.features = std::uint8_t(*v);
    f.skip = int(Integer(t, "skip", 0, 1'000'000).value_or(0));
    f.times = int(Integer(t, "times", -1, 1'000'000).value_or(1));
    f.windowsError = std::uint32_t(Integer(t, "windows_error", 0, 0xFFFFFFFFll).value_or(0));
    if (auto v = Integer(t, "status", 0, 255)) f.status = std::uint8_t(*v);
    f.error = std::uint8_t(Integer(t, "error", 0, 255).value_or(ata::kErrorAbort));
    f.delayUs = std::uint64_t(Integer(t, "delay_ms", 0, 86'400'000).value_or(0)) * 1000;
    f.senseAfterData = Bool(t, "sense_after_data").value_or(false);
    f.powerLoss = Bool(t, "power_loss").value_or(false);
    // sense = [key, asc, ascq] or [key, asc, ascq, 1] for descriptor format.
    if (const toml::node* n = t.get("sense")) {
      const toml::array* a = n->as_array();
      if (!a || a->size() < 3 || a->size() > 4)
        Fail(*n, "sense: expected [key, asc, ascq(, descriptor)]");
      const auto v = Integers(t, "sense", a->size(), 255);
      f.checkCondition = SimSense{std::uint8_t(v[0]), std::uint8_t(v[1]), std::uint8_t(v[2]),
                                  v.size() == 4 && v[3] != 0};
    }
    return f;
  }

  std::shared_ptr<SimSataDrive> Drive(const toml::table& t) const {
    Keys(t, kAtaKeys);
    auto drive = std::make_shared<SimSataDrive>();
    SimAtaIdentity& id = drive->identity;
    // A captured drive's identity comes from its identify data; the keys below override fields.
    if (const auto captured = CapturedFile<kAtaIdentifySize>(t, "identify"))
      id = IdentityFromCapture(*captured, id);
    id.model = String(t, "model").value_or(id.model);
    id.serial = String(t, "serial").value_or(id.serial);
    id.firmware = String(t, "firmware").value_or(id.firmware);
    id.vendorVersion = String(t, "vendor_version").value_or(id.vendorVersion);
    id.ppid = String(t, "ppid").value_or(id.ppid);
    id.specificConfiguration =
        std::uint16_t(Integer(t, "word2", 0, 0xFFFF).value_or(id.specificConfiguration));
    id.word159 = std::uint16_t(Integer(t, "word159", 0, 0xFFFF).value_or(id.word159));
    id.downloadMicrocode = Bool(t, "download_microcode").value_or(id.downloadMicrocode);
    id.minBlocksPerDownload = std::uint16_t(
        Integer(t, "min_download_blocks", 0, 0xFFFF).value_or(id.minBlocksPerDownload));
    id.maxBlocksPerDownload = std::uint16_t(
        Integer(t, "max_download_blocks", 0, 0xFFFF).value_or(id.maxBlocksPerDownload));
    drive->leavesBusOnActivation = Bool(t, "leaves_bus_on_activation").value_or(false);
    drive->answersVendorCommands = Bool(t, "vendor_commands").value_or(true);
    drive->hasPpidLog = Bool(t, "ppid_log").value_or(true);
    drive->peaChannel = Bool(t, "pea").value_or(false);
    drive->peaNewSupport = Bool(t, "pea_new_support").value_or(true);
    if (auto ms = Integer(t, "preformat_ms", 0, 86'400'000))
      drive->preformatUs = std::uint64_t(*ms) * 1000;
    // rpe = { 3 = [1, 2, 3] }: what READ BUFFER "RPE" answers for features 3.
    if (const toml::table* rpe = Table(t, "rpe"))
      for (auto&& [key, value] : *rpe) {
        const auto features = fw::TryStrToInt(key.str());
        const toml::array* a = value.as_array();
        if (!features || *features < 0 || *features > 255 || !a)
          Fail(value, "rpe: features = [bytes]");
        std::vector<std::uint8_t>& bytes = drive->rpeBuffers[std::uint8_t(*features)];
        for (const toml::node& b : *a) {
          const auto* i = b.as_integer();
          if (!i || i->get() < 0 || i->get() > 255) Fail(b, "rpe: bytes 0..255");
          bytes.push_back(std::uint8_t(i->get()));
        }
      }
    for (const toml::table* f : Tables(t, "fault")) drive->faults.push_back(Fault(*f));
    return drive;
  }

  std::array<std::uint8_t, 8> SasAddress(const toml::table& t) const {
    std::array<std::uint8_t, 8> address{};
    const auto v = Integers(t, "sas_address", 8, 255);
    for (std::size_t i = 0; i < v.size(); ++i) address[i] = std::uint8_t(v[i]);
    return address;
  }
};

}  // namespace

void ReadDiskDrive(const toml::table& t, SimDisk& disk, const MachineSource& source) {
  const Reader r(source);
  if (const toml::table* ata = r.Table(t, "ata")) disk.ata = r.Drive(*ata);
  if (const toml::node* n = t.get("transports")) {
    disk.transports.ataPassThrough = disk.transports.sat = disk.transports.vendorCdb = false;
    for (const std::string& name : r.Strings(t, "transports")) {
      if (name == "ata")
        disk.transports.ataPassThrough = true;
      else if (name == "sat")
        disk.transports.sat = true;
      else if (name == "cdb")
        disk.transports.vendorCdb = true;
      else
        r.Fail(*n, "transports: \"ata\", \"sat\" or \"cdb\"");
    }
  }
  disk.transports.ataPassThroughError =
      std::uint32_t(r.Integer(t, "ata_pass_through_error", 1, 0xFFFFFFFFll)
                        .value_or(disk.transports.ataPassThroughError));
  disk.transports.passThroughError =
      std::uint32_t(r.Integer(t, "pass_through_error", 0, 0xFFFFFFFFll).value_or(0));
  if (const auto sense = r.String(t, "sat_sense")) {
    if (*sense != "descriptor" && *sense != "fixed")
      r.Fail(*t.get("sat_sense"), "sat_sense: \"descriptor\" or \"fixed\"");
    disk.transports.satDescriptorSense = *sense == "descriptor";
  }
}

void ReadCsmiControllers(const toml::table& root, SimPc& pc, const MachineSource& source) {
  const Reader r(source);
  for (const toml::table* t : r.Tables(root, "csmi")) {
    r.Keys(*t, kCsmiKeys);
    const auto port = r.Integer(*t, "port", 0, 255);
    if (!port) r.Fail(*t, "port: missing; the N of \\\\.\\SCSI<N>:");
    SimScsiPort& scsiPort = pc.scsiPorts[int(*port)];
    if (scsiPort.csmi) r.Fail(*t, "port " + std::to_string(*port) + " twice");
    scsiPort.openError = std::uint32_t(r.Integer(*t, "open_error", 0, 0xFFFFFFFFll).value_or(0));
    SimCsmiController& c = scsiPort.csmi.emplace();
    c.number = int(*port);
    c.driverName = r.String(*t, "driver_name").value_or(c.driverName);
    c.description = r.String(*t, "description").value_or(c.description);
    c.miniportError = std::uint32_t(r.Integer(*t, "miniport_error", 0, 0xFFFFFFFFll).value_or(0));
    c.driverInfoReturnCode =
        std::uint32_t(r.Integer(*t, "driver_info_return_code", 0, 0xFFFFFFFFll).value_or(0));
    c.phyInfoReturnCode =
        std::uint32_t(r.Integer(*t, "phy_info_return_code", 0, 0xFFFFFFFFll).value_or(0));
    if (auto n = r.Integer(*t, "reported_phys", 0, 255)) c.reportedPhys = std::uint8_t(*n);
    c.matchSasAddress = r.Bool(*t, "match_sas_address").value_or(true);
    for (const toml::table* p : r.Tables(*t, "phy")) {
      r.Keys(*p, kPhyKeys);
      SimCsmiPhy phy;
      phy.phyIdentifier = std::uint8_t(r.Integer(*p, "phy", 0, 255).value_or(c.phys.size()));
      phy.portIdentifier = std::uint8_t(r.Integer(*p, "port", 0, 255).value_or(phy.phyIdentifier));
      phy.deviceType = std::uint8_t(r.Integer(*p, "device_type", 0, 255).value_or(0x10));
      phy.attachedDeviceType = std::uint8_t(r.Integer(*p, "attached_type", 0, 255).value_or(0x10));
      phy.attachedTargetProtocol = std::uint8_t(r.Integer(*p, "protocol", 0, 255).value_or(0x01));
      phy.attachedSasAddress = r.SasAddress(*p);
      if (const toml::table* ata = r.Table(*p, "ata")) phy.drive = r.Drive(*ata);
      c.phys.push_back(std::move(phy));
    }
  }
}

SimNvmeIdentity ReadNvmeIdentity(const TomlReader& r, const toml::table& t) {
  const auto captured = r.CapturedFile<kNvmeIdentifySize>(t, "identify");
  SimNvmeIdentity id = captured ? NvmeIdentityFromCapture(*captured) : SimNvmeIdentity{};
  id.model = r.String(t, "model").value_or(id.model);
  id.serial = r.String(t, "serial").value_or(id.serial);
  id.firmware = r.String(t, "firmware").value_or(id.firmware);
  id.vendorId = std::uint16_t(r.Integer(t, "vendor_id", 0, 0xFFFF).value_or(id.vendorId));
  id.subsystemVendorId =
      std::uint16_t(r.Integer(t, "subsystem_vendor_id", 0, 0xFFFF).value_or(id.subsystemVendorId));
  id.controllerId =
      std::uint16_t(r.Integer(t, "controller_id", 0, 0xFFFF).value_or(id.controllerId));
  id.frmw = std::uint8_t(r.Integer(t, "frmw", 0, 255).value_or(id.frmw));
  id.fwug = std::uint8_t(r.Integer(t, "fwug", 0, 255).value_or(id.fwug));
  id.partId = r.String(t, "part_id").value_or(id.partId);
  for (const auto& [key, width] :
       {std::pair{"serial", 20u}, {"model", 40u}, {"firmware", 8u}, {"part_id", 32u}})
    if (const toml::node* n = t.get(key); n && n->as_string()->get().size() > width)
      r.Fail(*n, std::string(key) + ": at most " + std::to_string(width) + " characters");
  return id;
}

void ReadFiles(const toml::table& root, SimPc& pc, const MachineSource& source) {
  const Reader r(source);
  const toml::table* t = r.Table(root, "files");
  if (!t) return;
  r.Keys(*t, kFilesKeys);
  for (const std::string& path : r.Strings(*t, "exist")) pc.files.AddFile(path);
}

}  // namespace sim
