#include "tools/travok-sim/report.h"

#include <fstream>

namespace travok_sim {

nlohmann::ordered_json AccountJson(const RunAccount& a) {
  using json = nlohmann::ordered_json;
  json out;
  out["command_line"] = a.commandLine;
  json listed = json::array();
  for (const ListedDrive& d : a.listed)
    listed.push_back({{"item", d.item},
                      {"model", d.model},
                      {"firmware", d.firmware},
                      {"serial", d.serial},
                      {"eligible", d.eligible},
                      {"selected", d.selected}});
  out["drives_listed"] = listed;
  json drives = json::array();
  for (const DriveAccount& d : a.drives)
    drives.push_back({{"where", d.where},
                      {"model", d.model},
                      {"serial", d.serial},
                      {"revision_before", d.revisionBefore},
                      {"revision_after", d.revisionAfter},
                      {"image_waits_for_restart", d.imageWaiting},
                      {"commands", d.commands}});
  out["drives"] = drives;
  out["statuses"] = a.statuses;
  json messages = json::array();
  for (const MessageAccount& m : a.messages)
    messages.push_back({{"caption", m.caption}, {"text", m.text}, {"answer", m.answer}});
  out["messages"] = messages;
  out["restarts"] = a.restarts;
  json registry = json::array();
  for (const RegistryWrite& r : a.registry)
    registry.push_back({{"key", r.key}, {"name", r.name}, {"value", r.value}});
  out["registry"] = registry;
  json files = json::array();
  for (const FileLeft& f : a.files) files.push_back({{"path", f.path}, {"size", f.size}});
  out["files"] = files;
  out["progress"] = a.progress;
  out[a.hosted ? "seconds" : "virtual_seconds"] = double(a.runMicroseconds) / 1'000'000.0;
  out["exit_code"] = a.exitCode;
  return out;
}

bool WriteReport(const RunAccount& account, const std::string& path) {
  std::ofstream file(path);
  // Invalid UTF-8 from a drive's identity is replaced rather than thrown on.
  file << AccountJson(account).dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
       << "\n";
  return bool(file.flush());
}

}  // namespace travok_sim
