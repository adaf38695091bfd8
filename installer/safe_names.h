#pragma once
// Checks on names that come from the server before anything is written under them.

#include <string_view>

namespace zentro {

// One safe level of a path, the same on both systems: a bare file name, or one folder name of
// a relative folder path (split it at '/' and '\\' and check each level). Not empty, not only
// dots and blanks (".", "..", ". ."), no path separator ('/' or '\\'), no drive colon, no NUL,
// and not a Windows device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any letter case,
// also with an extension or trailing dots and blanks: "con.txt", "NUL .dll", "COM1.").
bool isSafeFileName(std::string_view name);

// A relative archive entry name that stays inside the folder it is expanded into: no
// absolute path, no drive letter, no ".." component (either separator counts), and no level
// that is a device name.
bool IsSafeArchiveEntry(std::string_view name);

}  // namespace zentro
