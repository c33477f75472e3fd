#include "sim/machine/machine_rste_toml.h"

#include <set>
#include <string_view>
#include <vector>

#include "sim/machine/machine_drives_toml.h"
#include "sim/machine/toml_reader.h"

namespace sim {
namespace {

constexpr std::string_view kRsteKeys[] = {"port",
                                          "open_error",
                                          "spare_disks",
                                          "journaling_disks",
                                          "reported_volumes",
                                          "reported_pass_through_disks",
                                          "reported_members",
                                          "volume",
                                          "pass_through",
                                          "fault"};
constexpr std::string_view kVolumeKeys[] = {"member"};
constexpr std::string_view kFaultKeys[] = {"request",       "disk",        "skip",       "times",
                                           "windows_error", "return_code", "nvme_status"};

class RsteReader : public TomlReader {
 public:
  using TomlReader::TomlReader;

  // A member or pass-through disk: its identifier and its NVMe identity.
  SimRsteDisk Disk(const toml::table& t, std::set<std::uint32_t>& ids) const {
    std::vector<std::string_view> keys(std::begin(kNvmeIdentityKeys), std::end(kNvmeIdentityKeys));
    keys.push_back("id");
    Keys(t, keys);
    SimRsteDisk disk;
    disk.rsteDiskId = std::uint32_t(Integer(t, "id", 0, 0xFFFFFFFFll).value_or(ids.size()));
    if (!ids.insert(disk.rsteDiskId).second)
      Fail(t, "id: " + std::to_string(disk.rsteDiskId) + " twice on this controller");
    disk.identity = ReadNvmeIdentity(*this, t);
    return disk;
  }

  SimRsteFault Fault(const toml::table& t) const {
    Keys(t, kFaultKeys);
    SimRsteFault f;
    if (const auto name = String(t, "request")) {
      const auto request = RsteRequestNamed(*name);
      if (!request)
        Fail(*t.get("request"),
             "request: any, numberOfRaidVolumes, numberOfPassThroughDisks, numberOfSpareDisks, "
             "numberOfJournalingDisks, raidInformation, raidConfiguration, "
             "PassThroughDiskInformation or nvmePassThrough");
      f.request = *request;
    }
    if (const auto disk = Integer(t, "disk", 0, 0xFFFFFFFFll)) f.disk = std::uint32_t(*disk);
    f.skip = int(Integer(t, "skip", 0, 1'000'000).value_or(0));
    f.times = int(Integer(t, "times", -1, 1'000'000).value_or(1));
    f.windowsError = std::uint32_t(Integer(t, "windows_error", 0, 0xFFFFFFFFll).value_or(0));
    f.returnCode = std::uint32_t(Integer(t, "return_code", 0, 0xFFFFFFFFll).value_or(0));
    if (const auto s = Integer(t, "nvme_status", 0, 0xFFFF)) f.nvmeStatus = std::uint16_t(*s);
    if (!f.windowsError && !f.returnCode && !f.nvmeStatus)
      Fail(t, "fault: windows_error, return_code or nvme_status");
    return f;
  }

  std::optional<std::uint32_t> Count(const toml::table& t, std::string_view key) const {
    const auto v = Integer(t, key, 0, 0xFFFFFFFFll);
    return v ? std::optional(std::uint32_t(*v)) : std::nullopt;
  }
};

}  // namespace

void ReadRsteControllers(const toml::table& root, SimPc& pc, const MachineSource& source) {
  const RsteReader r(source);
  for (const toml::table* t : r.Tables(root, "rste")) {
    r.Keys(*t, kRsteKeys);
    const auto port = r.Integer(*t, "port", 0, 255);
    if (!port) r.Fail(*t, "port: missing; the N of \\\\.\\Scsi<N>:");
    SimScsiPort& scsiPort = pc.scsiPorts[int(*port)];
    if (scsiPort.rste) r.Fail(*t, "port " + std::to_string(*port) + " twice");
    if (const auto error = r.Count(*t, "open_error")) scsiPort.openError = *error;
    SimRsteController& c = scsiPort.rste.emplace();
    c.spareDisks = r.Count(*t, "spare_disks").value_or(0);
    c.journalingDisks = r.Count(*t, "journaling_disks").value_or(0);
    c.reportedVolumes = r.Count(*t, "reported_volumes");
    c.reportedPassThroughDisks = r.Count(*t, "reported_pass_through_disks");
    c.reportedMembers = r.Count(*t, "reported_members");
    std::set<std::uint32_t> ids;
    for (const toml::table* v : r.Tables(*t, "volume")) {
      r.Keys(*v, kVolumeKeys);
      SimRsteVolume& volume = c.volumes.emplace_back();
      for (const toml::table* m : r.Tables(*v, "member")) volume.members.push_back(r.Disk(*m, ids));
    }
    for (const toml::table* d : r.Tables(*t, "pass_through"))
      c.passThroughDisks.push_back(r.Disk(*d, ids));
    for (const toml::table* f : r.Tables(*t, "fault")) c.faults.push_back(r.Fault(*f));
  }
}

}  // namespace sim
