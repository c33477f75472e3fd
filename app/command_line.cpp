#include "app/command_line.h"

#include "framework/conversions.h"

namespace app {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "/C:port,address". Returns false when a part cannot be converted.
//
// Both parts are cut at the first comma of the whole argument. An argument with a comma before
// "/C:" is not of that form: it leaves no port and is refused, rather than guessed at from the
// comma after "/C:", since a wrong guess would flash a drive the script did not name.
bool ParseCsmiTarget(std::string_view arg, discovery::TCsmiTarget& target) {
  const auto portBegin = arg.find("/C:") + 3;
  const auto comma = arg.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view portText =
      comma > portBegin ? arg.substr(portBegin, comma - portBegin) : std::string_view();
  const auto port = fw::TryStrToInt(fw::Trim(portText));
  const auto address = AddressFromHex(fw::Trim(arg.substr(comma + 1)));
  if (!port || !address) return false;
  target.SCSI_PORT = *port;
  target.INDEX = 0;
  target.PORT = 0;
  target.SAS_ADDR = *address;
  return true;
}

void ReadSwitches(const std::vector<std::string>& args, CommandLine& cl) {
  for (const std::string& arg : args) {
    const std::string upper = fw::UpperCase(arg);
    if (upper == "/RAID" || upper == "/RSTE")
      cl.bRSTeScan = true;
    else if (upper == "/S")
      cl.bSilent = true;
    else if (upper == "/ERASE")
      cl.bEraseAll = true;
    else if (upper == "/VER")
      cl.bVersionOnly = true;
    // "/NS" and the log switches ("/LOGFILE", "/VLOGFILE", "/LOG") are accepted and change
    // nothing: no log is kept.
  }
}

// Updater mode: the deployment system names the drive, by device path or by CSMI address.
void ReadTarget(const std::vector<std::string>& args, CommandLine& cl) {
  if (args.empty()) {
    cl.iExitCode = 2;
    return;
  }
  cl.sTargetPath.clear();
  for (const std::string& arg : args) {
    if (const auto t = arg.find("/T:"); t != std::string::npos) {
      cl.sTargetPath = fw::Trim(std::string_view(arg).substr(t + 3));
    } else if (arg.find("/C:") != std::string::npos) {
      cl.bCsmiTarget = true;
      if (!ParseCsmiTarget(arg, cl.csmiTarget)) {
        cl.iExitCode = 8;
        return;
      }
    }
  }
  if (!cl.bCsmiTarget && cl.sTargetPath.empty()) cl.iExitCode = 2;
}

}  // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& args, bool updaterMode) {
  CommandLine cl;
  ReadSwitches(args, cl);
  // Deployment systems start the program without a person present: whatever the arguments,
  // it runs silently.
  cl.bSilent = true;
  if (updaterMode) ReadTarget(args, cl);
  return cl;
}

std::optional<std::uint64_t> AddressFromHex(std::string_view text) {
  if (text.size() > 16) return std::nullopt;
  const std::size_t pieces = (text.size() + 1) / 2;
  std::uint64_t value = 0;
  for (std::size_t k = 0; k < pieces; ++k) {
    // Piece k counted from the right end; the leftmost piece of an odd text is one character.
    const std::size_t end = text.size() - 2 * k;
    const std::size_t begin = end >= 2 ? end - 2 : 0;
    unsigned byte = 0;
    for (std::size_t i = begin; i < end; ++i) {
      const int digit = HexDigit(text[i]);
      if (digit < 0) return std::nullopt;
      byte = byte * 16 + unsigned(digit);
    }
    value |= std::uint64_t(byte) << (8 * (pieces - 1 - k));
  }
  return value;
}

}  // namespace app
