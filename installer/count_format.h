#pragma once
// Whole numbers as the format "#,##0" shows them. Pure functions; never throw.

#include <string>

namespace zentro {

// The locale's thousands separator. Fixed to "," so texts do not depend on the machine's
// regional settings (the system's users work with that separator).
inline constexpr char kThousandsSeparator = ',';

// "#,##0": at least one digit, thousands grouped ("1500" -> "1,500", "-1234567" -> "-1,234,567").
std::string FormatCount(long long n);

}  // namespace zentro
