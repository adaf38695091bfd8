#pragma once
// The program's dates: a day count in the proleptic Gregorian calendar, and its ISO 8601 text.
// The bottom floor holds them because the platform's date parser (date_parse.h) and the
// values of tables and remote calls (remote/value.h) share them. Pure functions; any thread;
// never throw.

#include <optional>
#include <string>
#include <string_view>

namespace zentro {

// A date and time of day: days since 1899-12-30, the fraction the time of day. Days before
// that count backwards while the fraction still counts forwards (-1.25 is 1899-12-29 06:00).
struct DateValue {
  double days = 0;
  bool operator==(const DateValue&) const = default;
};

// The date of a calendar day and wall-clock time; nullopt for a year outside 100..9999 or a
// month, day, hour, minute or second that does not exist.
std::optional<DateValue> dateFromParts(int year, int month, int day, int hour, int minute,
                                       double second);

// "YYYY-MM-DDTHH:MM:SS[.fff]" (no zone); "" for a day count that is not a date.
std::string formatIsoDate(DateValue d);

// "YYYY-MM-DD", optionally followed by "T" (either case) or a space and "hh:mm[:ss[(.|,)digits]]",
// or such a time alone (dated 1899-12-30); either optionally followed by "Z" or a zone
// "+hh", "+hhmm", "+hh:mm" (or "-"), which is checked and dropped: the wall-clock value is
// kept. Spaces and tabs around are allowed. nullopt for any other text.
std::optional<DateValue> parseIsoDate(std::string_view text);

}  // namespace zentro
