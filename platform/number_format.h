#pragma once
// The user's choices for writing numbers. Any thread; never throws.

#include <string>

namespace zentro::platform {

// The user's thousands separator as UTF-8 text: on Windows from the user's regional settings,
// on Linux from the locale the environment names for numbers (LC_ALL, LC_NUMERIC, LANG).
// "," when the locale names none (the C/POSIX locale) or cannot be had.
std::string thousandsSeparator();

}  // namespace zentro::platform
