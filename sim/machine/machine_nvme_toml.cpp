#include "sim/machine/machine_nvme_toml.h"

#include <vector>

#include "sim/machine/machine_drives_toml.h"
#include "sim/machine/toml_reader.h"

namespace sim {
namespace {

constexpr std::string_view kNvmeKeys[] = {
    "slots", "active_slot",       "pending_slot", "firmware_updates",
    "inbox", "upgrade_supported", "query_error",  "miniport_error",
    "fault"};
constexpr std::string_view kFaultKeys[] = {"opcode",        "skip",   "times",   "power_loss",
                                           "windows_error", "status", "delay_ms"};
constexpr std::string_view kIrstKeys[] = {
    "port", "instance_id", "driver_version", "pass_through_error", "firmware_error", "open_error"};

std::uint32_t WindowsError(const TomlReader& r, const toml::table& t, std::string_view key) {
  return std::uint32_t(r.Integer(t, key, 0, 0xFFFFFFFFll).value_or(0));
}

SimNvmeFault Fault(const TomlReader& r, const toml::table& t) {
  r.Keys(t, kFaultKeys);
  SimNvmeFault f;
  if (auto v = r.Integer(t, "opcode", 0, 255)) f.opcode = std::uint8_t(*v);
  f.skip = int(r.Integer(t, "skip", 0, 1'000'000).value_or(0));
  f.times = int(r.Integer(t, "times", -1, 1'000'000).value_or(1));
  f.powerLoss = r.Bool(t, "power_loss").value_or(false);
  f.windowsError = WindowsError(r, t, "windows_error");
  if (auto v = r.Integer(t, "status", 0, 0x7FF)) f.status = std::uint16_t(*v);
  f.delayUs = std::uint64_t(r.Integer(t, "delay_ms", 0, 86'400'000).value_or(0)) * 1000;
  return f;
}

std::shared_ptr<SimNvmeDrive> Drive(const TomlReader& r, const toml::table& t) {
  std::vector<std::string_view> keys(std::begin(kNvmeKeys), std::end(kNvmeKeys));
  keys.insert(keys.end(), std::begin(kNvmeIdentityKeys), std::end(kNvmeIdentityKeys));
  r.Keys(t, keys);
  auto drive = std::make_shared<SimNvmeDrive>();
  drive->identity = ReadNvmeIdentity(r, t);
  const int slots = drive->SlotCount();
  const std::vector<std::string> revisions = r.Strings(t, "slots");
  if (revisions.size() > std::size_t(slots))
    r.Fail(*t.get("slots"), "slots: FRMW tells " + std::to_string(slots) + " slots");
  for (std::size_t i = 0; i < revisions.size(); ++i) {
    if (revisions[i].size() > 8) r.Fail(*t.get("slots"), "slots: at most 8 characters each");
    drive->SetSlotRevision(int(i + 1), revisions[i]);
  }
  drive->SetActiveSlot(int(r.Integer(t, "active_slot", 1, slots).value_or(1)));
  drive->SetPendingSlot(int(r.Integer(t, "pending_slot", 0, slots).value_or(0)));
  if (drive->RunningRevision().empty()) {
    const toml::node* at = t.get("active_slot");
    r.Fail(at ? *at : static_cast<const toml::node&>(t), "active_slot: a slot without a revision");
  }
  // A captured drive takes the firmware commands when its OACS says so.
  const auto& captured = drive->identity.captured;
  drive->firmwareUpdates = r.Bool(t, "firmware_updates")
                               .value_or(!captured || ((*captured)[kNvmeOacs] & kNvmeOacsFirmware));
  for (const toml::table* f : r.Tables(t, "fault")) drive->faults.push_back(Fault(r, *f));
  return drive;
}

}  // namespace

void ReadDiskNvme(const toml::table& t, SimDisk& disk, const MachineSource& source) {
  const TomlReader r(source);
  const toml::table* n = r.Table(t, "nvme");
  if (!n) return;
  disk.nvme = Drive(r, *n);
  SimNvmeStack& stack = disk.nvmeStack;
  if (auto inbox = r.Bool(*n, "inbox")) stack.inbox = *inbox;
  stack.upgradeSupported = r.Bool(*n, "upgrade_supported").value_or(true);
  stack.queryError = WindowsError(r, *n, "query_error");
  stack.miniportError = WindowsError(r, *n, "miniport_error");
  if (disk.revision.empty()) disk.revision = disk.nvme->RunningRevision();
}

void ReadIrstControllers(const toml::table& root, SimPc& pc, const MachineSource& source) {
  const TomlReader r(source);
  for (const toml::table* t : r.Tables(root, "irst")) {
    r.Keys(*t, kIrstKeys);
    const auto port = r.Integer(*t, "port", 0, 255);
    if (!port) r.Fail(*t, "port: missing; the N of \\\\.\\SCSI<N>:");
    SimScsiPort& scsiPort = pc.scsiPorts[int(*port)];
    if (scsiPort.irst) r.Fail(*t, "port " + std::to_string(*port) + " twice");
    if (const auto error = r.Integer(*t, "open_error", 0, 0xFFFFFFFFll))
      scsiPort.openError = std::uint32_t(*error);
    SimIrstController& c = scsiPort.irst.emplace();
    c.port = int(*port);
    c.instanceId = r.String(*t, "instance_id").value_or("");
    if (!c.instanceId.empty() && !pc.devices.Find(c.instanceId))
      r.Fail(*t->get("instance_id"), "instance_id: no device \"" + c.instanceId + "\"");
    c.driverVersion = r.String(*t, "driver_version").value_or("");
    c.passThroughError = WindowsError(r, *t, "pass_through_error");
    c.firmwareError = WindowsError(r, *t, "firmware_error");
  }
}

}  // namespace sim
