#include "tools/travok-sim/account.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <set>

#include "discovery/dev_info.h"
#include "framework/bytes.h"
#include "framework/conversions.h"
#include "sim/sim_hosted_pc.h"
#include "sim/windows/loader.h"

namespace travok_sim {
namespace {

std::string Hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02Xh", value & 0xFF);
  return text;
}

std::string AtaCommandName(const sim::AtaRegisters& r) {
  const std::uint8_t features = r[sim::ata::kFeatures];
  switch (r[sim::ata::kCommand]) {
    case 0xEC:
      return "IDENTIFY DEVICE";
    case 0x92:
      return "DOWNLOAD MICROCODE " + Hex2(features);
    case 0xFF:
      return "vendor FFh/" + Hex2(features);
    case 0xB0:
      return "SMART " + Hex2(features);
    case 0x2F:
      return "READ LOG EXT " + Hex2(r[sim::ata::kLbaLow]);
    case 0xE4:
      return "READ BUFFER";
    case 0xE8:
      return "WRITE BUFFER";
    case 0xEF:
      return "SET FEATURES " + Hex2(features);
    default:
      return "ATA " + Hex2(r[sim::ata::kCommand]);
  }
}

std::string NvmeCommandName(const sim::NvmeSubmission& sqe) {
  switch (sqe[0]) {
    case sim::nvme::kIdentify:
      return "Identify";
    case sim::nvme::kGetLogPage:
      return "Get Log Page " + Hex2(sqe[40]);
    case sim::nvme::kFirmwareImageDownload:
      return "Firmware Image Download";
    case sim::nvme::kFirmwareCommit:
      return "Firmware Commit (action " + std::to_string((sqe[40] >> 3) & 7) + ", slot " +
             std::to_string(sqe[40] & 7) + ")";
    default:
      return "NVMe " + Hex2(sqe[0]);
  }
}

// Names in order, a run of the same name folded into one entry with its count.
void AddFolded(std::vector<std::string>& out, std::string& last, int& count,
               const std::string& name) {
  if (name == last) {
    ++count;
    out.back() = last + " x" + std::to_string(count);
    return;
  }
  last = name;
  count = 1;
  out.push_back(name);
}

// Every drive of the machine once: the disks' SATA and NVMe drives, then the drives on CSMI
// phys. A RAID disk shares its drive with its controller; the disk names it.
struct MachineDrive {
  std::string where;
  std::shared_ptr<sim::SimSataDrive> ata;
  std::shared_ptr<sim::SimNvmeDrive> nvme;
  std::string revisionBefore;
  std::size_t recordsBefore = 0;
};

std::string Revision(const MachineDrive& d) {
  return d.ata ? d.ata->identity.firmware : d.nvme->RunningRevision();
}

std::size_t RecordCount(const MachineDrive& d) {
  return d.ata ? d.ata->Records().size() : d.nvme->Records().size();
}

std::vector<MachineDrive> MachineDrives(sim::SimPc& pc) {
  std::vector<MachineDrive> drives;
  std::set<const void*> seen;
  const auto add = [&](const std::string& where, std::shared_ptr<sim::SimSataDrive> ata,
                       std::shared_ptr<sim::SimNvmeDrive> nvme) {
    const void* key = ata ? static_cast<const void*>(ata.get()) : nvme.get();
    if (!key || !seen.insert(key).second) return;
    MachineDrive d{where, std::move(ata), std::move(nvme), "", 0};
    d.revisionBefore = Revision(d);
    d.recordsBefore = RecordCount(d);
    drives.push_back(std::move(d));
  };
  for (const sim::SimDevice& device : pc.devices.Devices())
    if (device.disk) add(device.instanceId, device.disk->ata, device.disk->nvme);
  for (const auto& [number, port] : pc.scsiPorts) {
    if (!port.csmi) continue;
    for (const sim::SimCsmiPhy& phy : port.csmi->phys)
      add("CSMI \\\\.\\SCSI" + std::to_string(number) + ": phy " +
              std::to_string(phy.phyIdentifier),
          phy.drive, nullptr);
  }
  return drives;
}

DriveAccount Account(const MachineDrive& d) {
  DriveAccount a;
  a.where = d.where;
  a.model = d.ata ? d.ata->identity.model : d.nvme->identity.model;
  a.serial = d.ata ? d.ata->identity.serial : d.nvme->identity.serial;
  a.revisionBefore = d.revisionBefore;
  a.revisionAfter = Revision(d);
  a.imageWaiting = d.ata ? d.ata->ImageWaiting() : d.nvme->PendingSlot() != 0;
  std::string last;
  int count = 0;
  if (d.ata) {
    const auto& records = d.ata->Records();
    for (std::size_t i = d.recordsBefore; i < records.size(); ++i)
      AddFolded(a.commands, last, count, AtaCommandName(records[i].command.registers));
  } else {
    const auto& records = d.nvme->Records();
    for (std::size_t i = d.recordsBefore; i < records.size(); ++i)
      AddFolded(a.commands, last, count, NvmeCommandName(records[i].command));
  }
  return a;
}

std::string AnswerName(int answer) {
  switch (answer) {
    case os::kIDYES:
      return "Yes";
    case os::kIDNO:
      return "No";
    case os::kIDOK:
      return "OK";
    default:
      return std::to_string(answer);
  }
}

std::string ValueText(const sim::SimRegistry::Value& v) {
  if (v.type == os::kREG_DWORD && v.data.size() >= 4)
    return std::to_string(fw::GetU32le(v.data, 0));
  if (v.type == os::kREG_SZ || v.type == os::kREG_MULTI_SZ) {
    std::string text, part;
    for (std::uint8_t byte : v.data) {
      if (byte) {
        part += char(byte);
        continue;
      }
      if (part.empty()) break;
      text += (text.empty() ? "" : " | ") + part;
      part.clear();
    }
    return "\"" + text + part + "\"";
  }
  return std::to_string(v.data.size()) + " bytes";
}

// "Name "a" "b"": the quoted words of a journal entry.
std::vector<std::string> QuotedWords(const std::string& entry) {
  std::vector<std::string> words;
  for (std::size_t at = entry.find('"'); at != std::string::npos;) {
    const std::size_t end = entry.find('"', at + 1);
    if (end == std::string::npos) break;
    words.push_back(entry.substr(at + 1, end - at - 1));
    at = entry.find('"', end + 1);
  }
  return words;
}

void TakeWrites(const sim::SimPc& pc, RunAccount& account) {
  std::set<std::pair<std::string, std::string>> values;
  std::set<std::string> files;
  for (const std::string& entry : pc.Journal()) {
    const std::vector<std::string> words = QuotedWords(entry);
    if (entry.starts_with("RegSetValueExA ") && words.size() == 2 &&
        values.insert({words[0], words[1]}).second) {
      const auto* value = pc.system.registry.GetValue(words[0], words[1]);
      account.registry.push_back(
          {words[0], words[1], value ? ValueText(*value) : std::string("(removed)")});
    }
    if (entry.starts_with("WriteFile ") && words.size() == 1 && files.insert(words[0]).second)
      if (const auto* contents = pc.files.Contents(words[0]))
        account.files.push_back({words[0], contents->size()});
  }
}

}  // namespace

RunAccount RunWithAccount(sim::SimPc& pc, os::Os* host) {
  RunAccount account;
  account.hosted = host != nullptr;
  account.commandLine = pc.commandLine;
  const std::vector<MachineDrive> drives = MachineDrives(pc);
  const app::MainWindowObserver observer = [&](const app::TTravokMain& main) {
    const app::TDriveList& list = main.DriveList();
    for (std::size_t i = 0; i < list.cboDrives.Items.size(); ++i) {
      const auto& r = main.StartUpDevInfo()[std::size_t(list.ItemMap()[i])];
      account.listed.push_back({list.cboDrives.Items[i], fw::Trim(discovery::FieldText(r.model)),
                                fw::Trim(discovery::FieldText(r.firmware)),
                                fw::Trim(discovery::FieldText(r.serial)), r.bEligible,
                                int(i) == list.cboDrives.ItemIndex});
    }
    account.statuses = main.StatusHistory();
    // Updater mode shows its own bar.
    account.progress =
        (main.Config().bUpdaterMode ? list.ProgressBar1 : list.ProgressBar2).Position;
  };
  if (host) {
    sim::SimHostedPc hosted(*host, pc, pc.commandLine);
    const auto start = std::chrono::steady_clock::now();
    account.exitCode = sim::RunProgram(hosted, observer);
    account.runMicroseconds = std::uint64_t(std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now() - start)
                                                .count());
  } else {
    const std::uint64_t start = pc.NowMicroseconds();
    account.exitCode = sim::RunProgram(pc, observer);
    account.runMicroseconds = pc.NowMicroseconds() - start;
  }
  for (const MachineDrive& d : drives) account.drives.push_back(Account(d));
  if (host) return account;  // the boxes, restarts, registry and files are the host's
  for (const auto& box : pc.MessageBoxes())
    account.messages.push_back({box.caption, box.text, AnswerName(box.answer)});
  account.restarts = pc.system.Restarts();
  TakeWrites(pc, account);
  return account;
}

std::string AccountText(const RunAccount& a) {
  std::string out;
  const auto line = [&out](const std::string& text) { out += text + "\n"; };
  line("command:   " + a.commandLine);
  line("drives listed:" + std::string(a.listed.empty() ? " none" : ""));
  for (const ListedDrive& d : a.listed)
    line(std::string(d.selected ? "  * " : "    ") + d.item +
         (d.eligible ? "  eligible" : "  not eligible"));
  line("drives:");
  for (const DriveAccount& d : a.drives) {
    const bool changed = d.revisionAfter != d.revisionBefore;
    if (d.commands.empty() && !changed && !d.imageWaiting) {
      line("  " + d.model + "  [" + d.where + "]  " + d.revisionBefore + ", no command");
      continue;
    }
    line("  " + d.model + "  [" + d.where + "]");
    line("    revision " + d.revisionBefore +
         (changed ? " -> " + d.revisionAfter : std::string(" (unchanged)")) +
         (d.imageWaiting ? ", a new image waits for the next restart" : ""));
    std::string commands;
    for (const std::string& c : d.commands) commands += (commands.empty() ? "" : ", ") + c;
    line("    " + (commands.empty() ? std::string("no command") : commands));
  }
  std::string statuses;
  for (const std::string& s : a.statuses) statuses += (statuses.empty() ? "" : " / ") + s;
  line("status:    " + (statuses.empty() ? std::string("nothing shown") : statuses));
  line("progress:  " + std::to_string(a.progress) + "%");
  if (a.hosted) {
    line("messages, restarts, registry and files: this Windows' own");
  } else {
    line("messages:" + std::string(a.messages.empty() ? " none shown" : ""));
    for (const MessageAccount& m : a.messages)
      line("  [" + m.caption + "] " + m.text + " -> " + m.answer);
    line("restarts:  " + (a.restarts.empty() ? std::string("none")
                                             : std::to_string(a.restarts.size()) + " requested"));
    line("registry:" + std::string(a.registry.empty() ? " nothing written" : ""));
    for (const RegistryWrite& r : a.registry) line("  " + r.key + "  " + r.name + " = " + r.value);
    line("files:" + std::string(a.files.empty() ? " none left" : ""));
    for (const FileLeft& f : a.files)
      line("  " + f.path + "  " + std::to_string(f.size) + " bytes");
  }
  char time[64];
  std::snprintf(time, sizeof time, "%s: %.3f s", a.hosted ? "time" : "virtual time",
                double(a.runMicroseconds) / 1'000'000.0);
  line(time);
  line("exit code: " + std::to_string(a.exitCode));
  return out;
}

}  // namespace travok_sim
