#pragma once
// Whole numbers as the format "#,##0" shows them. Never throw; any thread.

#include <string>
#include <string_view>

namespace zentro {

// "#,##0": at least one digit, thousands grouped with the user's thousands separator
// ("1500" -> "1,500" in English, "1.500" in German; "-1234567" -> "-1,234,567").
std::string formatCount(long long n);
// The same with a given separator.
std::string formatCount(long long n, std::string_view separator);

}  // namespace zentro
