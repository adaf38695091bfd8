// The date parser on Linux. It accepts the forms the service sends for last-update times
// and that the stamp files store back:
//   ISO 8601: YYYY-MM-DD[(T| )hh:mm[:ss[(.|,)fraction]]][Z|+hh:mm|-hh:mm|+hhmm|-hhmm]
//   US:       M/D/YYYY[ h:mm[:ss] AM|PM]  or  M/D/YYYY[ H:mm[:ss]]
// A zone is checked but not applied: the wall-clock time is what gets compared, as the
// locale parser on the system's own platform does.
#include "platform/date_parse.h"

#include <cctype>
#include <string>

namespace zentro::platform {
namespace {

struct Parts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  double second = 0;
};

// A forward-only reader over the text.
class Cursor {
 public:
  explicit Cursor(std::string_view s) : s_(s) {}

  bool atEnd() const { return pos_ == s_.size(); }
  char peek() const { return atEnd() ? '\0' : s_[pos_]; }

  bool take(char c) {
    if (peek() != c) return false;
    ++pos_;
    return true;
  }
  bool takeNoCase(char c) {
    if (atEnd() || std::toupper(static_cast<unsigned char>(s_[pos_])) != c) return false;
    ++pos_;
    return true;
  }
  // Reads between minDigits and maxDigits decimal digits.
  bool number(int minDigits, int maxDigits, int& out) {
    int n = 0, value = 0;
    while (n < maxDigits && std::isdigit(static_cast<unsigned char>(peek()))) {
      value = value * 10 + (s_[pos_++] - '0');
      ++n;
    }
    if (n < minDigits) return false;
    // More digits than allowed means the field is malformed, not that it ends here.
    if (std::isdigit(static_cast<unsigned char>(peek()))) return false;
    out = value;
    return true;
  }
  // Reads exactly n digits, whatever follows (for the run-together zone form hhmm).
  bool fixedDigits(int n, int& out) {
    int value = 0;
    for (int i = 0; i < n; ++i) {
      if (!std::isdigit(static_cast<unsigned char>(peek()))) return false;
      value = value * 10 + (s_[pos_++] - '0');
    }
    out = value;
    return true;
  }
  // Reads one or more digits as a fraction 0.xxx.
  bool fraction(double& out) {
    double scale = 0.1, value = 0;
    bool any = false;
    while (std::isdigit(static_cast<unsigned char>(peek()))) {
      value += (s_[pos_++] - '0') * scale;
      scale /= 10;
      any = true;
    }
    out = value;
    return any;
  }
  bool blanks() {
    std::size_t start = pos_;
    while (peek() == ' ' || peek() == '\t') ++pos_;
    return pos_ > start;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

bool validParts(const Parts& p) {
  return p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= daysInMonth(p.year, p.month) &&
         p.hour >= 0 && p.hour <= 23 && p.minute >= 0 && p.minute <= 59 && p.second >= 0 &&
         p.second < 60;
}

// ±hh:mm or ±hhmm or Z, validated and dropped.
bool zone(Cursor& c) {
  if (c.takeNoCase('Z')) return true;
  if (!c.take('+') && !c.take('-')) return true;  // no zone
  int hh = 0, mm = 0;
  if (!c.fixedDigits(2, hh)) return false;
  if (c.take(':')) {
    if (!c.number(2, 2, mm)) return false;
  } else if (!c.atEnd() && !c.number(2, 2, mm)) {
    return false;
  }  // "+hh" alone is also ISO
  return hh <= 23 && mm <= 59;
}

bool isoForm(Cursor& c, Parts& p) {
  if (!c.number(4, 4, p.year) || !c.take('-') || !c.number(2, 2, p.month) || !c.take('-') ||
      !c.number(2, 2, p.day)) {
    return false;
  }
  if (c.atEnd()) return true;
  if (!c.takeNoCase('T') && !c.take(' ')) return false;
  if (!c.number(2, 2, p.hour) || !c.take(':') || !c.number(2, 2, p.minute)) return false;
  if (c.take(':')) {
    int s = 0;
    if (!c.number(2, 2, s)) return false;
    p.second = s;
    if (c.take('.') || c.take(',')) {
      double f = 0;
      if (!c.fraction(f)) return false;
      p.second += f;
    }
  }
  return zone(c) && c.atEnd();
}

bool usForm(Cursor& c, Parts& p) {
  if (!c.number(1, 2, p.month) || !c.take('/') || !c.number(1, 2, p.day) || !c.take('/') ||
      !c.number(4, 4, p.year)) {
    return false;
  }
  if (c.atEnd()) return true;
  if (!c.blanks()) return false;
  int s = 0;
  if (!c.number(1, 2, p.hour) || !c.take(':') || !c.number(2, 2, p.minute)) return false;
  if (c.take(':')) {
    if (!c.number(2, 2, s)) return false;
    p.second = s;
  }
  if (c.atEnd()) return true;  // 24-hour form
  c.blanks();
  bool pm = false;
  if (c.takeNoCase('P')) {
    pm = true;
  } else if (!c.takeNoCase('A')) {
    return false;
  }
  if (!c.takeNoCase('M') || !c.atEnd()) return false;
  if (p.hour < 1 || p.hour > 12) return false;
  p.hour = p.hour % 12 + (pm ? 12 : 0);
  return true;
}

std::string_view trimBlanks(std::string_view s) {
  auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<DateValue> parseDate(std::string_view text) {
  text = trimBlanks(text);
  Parts p;
  Cursor iso(text);
  bool ok = isoForm(iso, p);
  if (!ok) {
    p = Parts{};
    Cursor us(text);
    ok = usForm(us, p);
  }
  if (!ok || !validParts(p)) return std::nullopt;
  return dateFromParts(p.year, p.month, p.day, p.hour, p.minute, p.second);
}

}  // namespace zentro::platform
