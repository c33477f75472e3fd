// Command lines and version resources come from outside the program.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "framework/params.h"
#include "framework/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto args = fw::SplitCommandLine(text);
  args.erase(args.begin());
  app::ReadCommandLine(args, true);
  app::AddressFromHex(text);
  fw::FileVersionFromResource(std::span(data, size));
  return 0;
}
