#pragma once
// Conversions between the program's 8-bit texts and the wide texts of the Win32 calls that
// have no 8-bit form (WinHTTP, the window's controls). The program's texts are UTF-8; its
// manifest makes UTF-8 the process code page, so the 8-bit ("A") calls read the same bytes.
// Any thread. Invalid input converts to "" rather than throwing.

#include <string>
#include <string_view>

namespace zentro::platform::win32 {

std::wstring toWide(std::string_view text);
std::string fromWide(std::wstring_view text);
// As toWide, with every line break (CR, LF or CR LF) written as CR LF, the form the system's
// controls and message boxes break lines at.
std::wstring toWideLines(std::string_view text);

// The system's message for an error code (GetLastError, WinHTTP codes), without the trailing
// line break; "error N" when the system has none.
std::string errorText(unsigned long code);

}  // namespace zentro::platform::win32
