#include "platform/calendar.h"

#include <cmath>
#include <cstdio>

#include "platform/ascii_text.h"

namespace zentro {
namespace {

constexpr long long kMsPerDay = 86400000LL;
constexpr long long kEpochUnixDays = -25569;  // 1899-12-30

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm), and back.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly `n` digits at `pos`.
bool fixedDigits(std::string_view s, std::size_t& pos, int n, int& out) {
  if (pos + static_cast<std::size_t>(n) > s.size()) return false;
  int v = 0;
  for (int i = 0; i < n; ++i) {
    const char c = s[pos + static_cast<std::size_t>(i)];
    if (!isDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  pos += static_cast<std::size_t>(n);
  out = v;
  return true;
}

// "hh:mm[:ss[(.|,)digits]]" at pos; the seconds include the fraction.
bool parseClock(std::string_view s, std::size_t& pos, int& h, int& m, double& sec) {
  if (!fixedDigits(s, pos, 2, h) || pos >= s.size() || s[pos] != ':') return false;
  ++pos;
  if (!fixedDigits(s, pos, 2, m)) return false;
  sec = 0;
  if (pos < s.size() && s[pos] == ':') {
    ++pos;
    int whole = 0;
    if (!fixedDigits(s, pos, 2, whole)) return false;
    sec = whole;
    if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
      ++pos;
      double scale = 0.1;
      const std::size_t start = pos;
      for (; pos < s.size() && isDigit(s[pos]); ++pos, scale /= 10) sec += (s[pos] - '0') * scale;
      if (pos == start) return false;
    }
  }
  return true;
}

// The end of the text, or a zone there and then the end.
bool parseZone(std::string_view s, std::size_t& pos) {
  if (pos == s.size()) return true;
  if (s[pos] == 'Z' || s[pos] == 'z') return ++pos == s.size();
  if (s[pos] != '+' && s[pos] != '-') return false;
  ++pos;
  int zh = 0, zm = 0;
  if (!fixedDigits(s, pos, 2, zh)) return false;
  if (pos < s.size()) {
    if (s[pos] == ':') ++pos;
    if (!fixedDigits(s, pos, 2, zm)) return false;
  }
  return pos == s.size() && zh <= 23 && zm <= 59;
}

}  // namespace

std::optional<DateValue> dateFromParts(int year, int month, int day, int hour, int minute,
                                       double second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      !(second >= 0 && second < 60)) {
    return std::nullopt;
  }
  const long long dayNumber = daysFromCivil(year, static_cast<unsigned>(month),
                                            static_cast<unsigned>(day)) - kEpochUnixDays;
  const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  DateValue v;
  v.days = dayNumber >= 0 ? static_cast<double>(dayNumber) + time
                          : static_cast<double>(dayNumber) - time;
  return v;
}

std::string formatIsoDate(DateValue d) {
  if (!std::isfinite(d.days) || std::fabs(d.days) > 1e9) return std::string();
  // Negative dates count whole days backwards but the fraction is still the time of day.
  const double whole = std::trunc(d.days);
  long long dayNumber = static_cast<long long>(whole);
  long long ms = std::llround(std::fabs(d.days - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++dayNumber;
  }
  long long y = 0;
  unsigned m = 0, day = 0;
  civilFromDays(dayNumber + kEpochUnixDays, y, m, day);
  const long long secs = ms / 1000;
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", y, m,
                              day, secs / 3600, secs / 60 % 60, secs % 60);
  if (ms % 1000 != 0) {
    std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%03lld", ms % 1000);
  }
  return buf;
}

std::optional<DateValue> parseIsoDate(std::string_view text) {
  const std::string_view s = platform::trim(text, platform::kBlanks);
  std::size_t pos = 0;
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0;
  double sec = 0;
  if (s.size() >= 10 && s[4] == '-') {
    if (!fixedDigits(s, pos, 4, year) || s[pos++] != '-' || !fixedDigits(s, pos, 2, month) ||
        pos >= s.size() || s[pos++] != '-' || !fixedDigits(s, pos, 2, day)) {
      return std::nullopt;
    }
    if (pos < s.size() && (s[pos] == 'T' || s[pos] == 't' || s[pos] == ' ')) {
      ++pos;
      if (!parseClock(s, pos, hour, minute, sec)) return std::nullopt;
    }
  } else if (!parseClock(s, pos, hour, minute, sec)) {
    return std::nullopt;
  }
  if (!parseZone(s, pos)) return std::nullopt;
  return dateFromParts(year, month, day, hour, minute, sec);
}

}  // namespace zentro
