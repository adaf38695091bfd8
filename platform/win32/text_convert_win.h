#pragma once
// Conversions between the program's texts (UTF-8) and the wide (UTF-16) texts of the Win32
// calls. Every call at the Windows edge is a wide ("W") call fed through these: the 8-bit
// ("A") calls read bytes in the process code page, which is a legacy ANSI page on most
// machines (a UTF-8 process code page exists only from Windows 10 1903 on, and this program
// does not ask for it), so a name like "Prüfung ß" would arrive mangled or as "?".
// Any thread. Invalid input converts to "" rather than throwing.

#include <string>
#include <string_view>

namespace zentro::platform::win32 {

std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);
// As fromWide, of the text before the first NUL: what a filled system buffer holds.
std::string fromWideUntilNul(std::wstring_view buffer);
// As toWide, with every line break (CR, LF or CR LF) written as CR LF, the form Windows'
// controls and message boxes break lines at.
std::wstring toWideLines(std::string_view text);

// Windows' message for an error code (GetLastError, WinHTTP codes), without the trailing
// line break; "error N" when Windows has none.
std::string errorText(unsigned long code);

}  // namespace zentro::platform::win32
