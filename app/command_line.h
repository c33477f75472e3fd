// The command line: scan scope, erase-only and version-only runs, and in updater mode the
// target drive. It never prints a usage text; an argument that matches no switch is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/scan_selection.h"

namespace app {

struct CommandLine {
  bool bRSTeScan = false;
  bool bSilent = false;  // always on once the command line has been read
  bool bEraseAll = false;
  bool bVersionOnly = false;
  std::string sTargetPath;   // "/T:", updater mode only
  bool bCsmiTarget = false;  // "/C:" seen: the CSMI scan runs for csmiTarget
  discovery::TCsmiTarget csmiTarget;
  int iExitCode = 0;  // 0: start-up goes on; 2 or 8: start-up ends with this code
};

// `args` are the arguments after the program name, as the process received them.
CommandLine ReadCommandLine(const std::vector<std::string>& args, bool updaterMode);

// The SAS address of a "/C:" argument. The text lists the address bytes in memory order:
// its first two characters are the least significant byte. Fails on a piece that is not
// hexadecimal and on a text of more than 16 digits, which cannot fit 64 bits.
std::optional<std::uint64_t> AddressFromHex(std::string_view text);

}  // namespace app
