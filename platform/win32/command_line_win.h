#pragma once
// The program's own command line on Windows. Any thread; never throws.

#include <string>
#include <string_view>

namespace zentro::platform::win32 {

// The argument text of a whole command line as Windows hands it over (GetCommandLineW):
// everything after the program's own path (quoted or not) and the blanks that follow it, as
// UTF-8. The arguments themselves are left exactly as typed, quotes included.
std::string argumentText(std::wstring_view commandLine);

}  // namespace zentro::platform::win32
