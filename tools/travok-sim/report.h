// The run account as JSON, so that two runs of a release against the same machines can be
// compared with any JSON tool.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/travok-sim/account.h"

namespace travok_sim {

// Keys keep the order in which the account tells them.
nlohmann::ordered_json AccountJson(const RunAccount& account);

// Writes the report to `path`; false when the file cannot be written.
bool WriteReport(const RunAccount& account, const std::string& path);

}  // namespace travok_sim
