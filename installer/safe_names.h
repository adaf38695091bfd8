#pragma once
// Checks on names that come from the server before anything is written under them.

#include <string_view>

namespace zentro {

// A bare file name: not empty, not "." or "..", no path separator ('/' or '\\'), no drive
// colon, no NUL.
bool IsSafeFileName(std::string_view name);

// A relative archive entry name that stays inside the folder it is expanded into: no
// absolute path, no drive letter, no ".." component (either separator counts).
bool IsSafeArchiveEntry(std::string_view name);

}  // namespace zentro
