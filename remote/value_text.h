#pragma once
// Locale-invariant text forms of values ("." decimal point, no grouping), shared by the
// Value conversions, the Filter/Find criteria and the persistence reader and writer.
// Pure functions; none throws. nullopt means "not text of that form".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "remote/value.h"

namespace zentro::value_text {

// "[+-]digits[.digits][(e|E)[+-]digits]" (also ".5", "5."), spaces/tabs around allowed;
// "INF", "-INF" and "NaN" in any case.
std::optional<double> parseDouble(std::string_view s);

// Integer text only ("[+-]digits", spaces/tabs around), range checked.
std::optional<std::int64_t> parseInt64(std::string_view s);

// Exact decimal: digits, optional fraction and exponent. More than 28 decimals are rounded
// half to even; nullopt when the digits do not fit 96 bits.
std::optional<DecimalValue> parseDecimal(std::string_view s);
// Plain decimal text ("-12.50"); with trimZeros the trailing fraction zeros are dropped.
std::string formatDecimal(const DecimalValue& d, bool trimZeros);
double decimalToDouble(const DecimalValue& d);
// Rounds half to even; nullopt when out of 64-bit range.
std::optional<std::int64_t> decimalToInt64(const DecimalValue& d);

// Currency: decimal text rounded half to even to 4 decimals; nullopt when out of range.
std::optional<Currency> parseCurrency(std::string_view s);
std::string formatCurrency(Currency c);  // "12.12", "-3", no trailing zeros

// Double as the program shows it in text: up to 15 significant digits, no trailing
// zeros, "1E+20" / "1E-05" for very large or small magnitudes.
std::string formatDouble15(double d);
// Shortest text that reads back to the same double ("0.1", "3.141592653589793", "1e+20");
// "INF", "-INF", "NaN" for the non-finite values.
std::string formatDoubleRoundTrip(double d);

// 32 hex digits, any case, hyphens and surrounding braces optional.
std::optional<GuidValue> parseGuid(std::string_view s);
std::string formatGuid(const GuidValue& g);  // "{8AC68D3D-8A09-4403-8860-D0E494BBE894}"

}  // namespace zentro::value_text
