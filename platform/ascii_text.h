#pragma once
// Plain ASCII text helpers that every floor uses: trimming and letter case without a locale.
// (Upper-casing by the user's locale is a value's business: remote/value.h.)
// Pure functions; any thread; never throw.

#include <string_view>

namespace zentro::platform {

// What trim() removes: spaces only (the program's own Trim of user input and stored texts),
// spaces and tabs (number and date texts), or all white space of a line (HTTP header values,
// the reference service's list files).
inline constexpr std::string_view kSpaces = " ";
inline constexpr std::string_view kBlanks = " \t";
inline constexpr std::string_view kWhiteSpace = " \t\r\n";

// `text` without the leading and trailing characters that are in `chars`.
std::string_view trim(std::string_view text, std::string_view chars = kSpaces);

// True when `a` and `b` are equal, ASCII letters compared without regard to case and every
// other byte exactly (protocol names: HTTP headers, MIME parameters, registry names).
bool equalsNoCaseAscii(std::string_view a, std::string_view b);
// True when `text` begins with `prefix`, compared as equalsNoCaseAscii does (URL schemes, paths).
bool startsWithNoCaseAscii(std::string_view text, std::string_view prefix);

}  // namespace zentro::platform
