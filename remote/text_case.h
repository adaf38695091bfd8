#pragma once
// Letter case of the texts the program compares and shows, by the rule of its users' Western
// locale: ASCII and the Latin-1 letters (and the few extra letters of code page 1252) change
// case, every other character stays. Texts are UTF-8; bytes that are not UTF-8 stay as they
// are. Pure functions; any thread; never throw.

#include <string>
#include <string_view>

namespace zentro {

std::string upperCase(std::string_view s);
std::string lowerCase(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
// Orders texts without regard to letter case (by upper-cased code points): <0, 0, >0.
int compareNoCase(std::string_view a, std::string_view b);

}  // namespace zentro
