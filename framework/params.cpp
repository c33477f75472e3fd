#include "framework/params.h"

#include "os/os.h"

namespace fw {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  // The program name.
  std::string name;
  bool quoted = false;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && IsBlank(c)) break;
    name += c;
  }
  args.push_back(name);

  while (true) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size()) break;
    std::string arg;
    quoted = false;
    while (i < line.size() && (quoted || !IsBlank(line[i]))) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == '\\') ++slashes, ++i;
      if (i < line.size() && line[i] == '"') {
        arg.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          arg += '"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, '\\');
        if (i < line.size() && (quoted || !IsBlank(line[i]))) arg += line[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

int ParamCount() {
  return int(SplitCommandLine(os::Current().GetCommandLineA()).size()) - 1;
}

std::string ParamStr(int i) {
  if (i == 0) return os::Current().GetModuleFileNameA();
  const auto args = SplitCommandLine(os::Current().GetCommandLineA());
  return i > 0 && std::size_t(i) < args.size() ? args[std::size_t(i)] : std::string();
}

}  // namespace fw
