// The process arguments, as the framework's parameter count and parameter strings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fw {

// Splits a command line by the rules of the Windows C runtime and CommandLineToArgvW: blanks
// and tabs separate arguments; double quotes group, and are removed; 2n backslashes before a
// quote give n backslashes, 2n+1 give n and a literal quote; "" inside a quoted part is a
// literal quote. The program name (element 0) ends at the first blank or at its closing
// quote, with no backslash rules.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

int ParamCount();             // arguments after the program name
std::string ParamStr(int i);  // 0: the executable's full path; past the count: empty

}  // namespace fw
