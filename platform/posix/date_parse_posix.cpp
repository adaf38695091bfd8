// The date parser on Linux (platform/date_parse.h). It accepts the forms the service sends
// for last-update times and that the stamp files store back: ISO 8601 (parseIsoDate) and
//   US:       M/D/YYYY[ h:mm[:ss] AM|PM]  or  M/D/YYYY[ H:mm[:ss]]
// A zone is checked but not applied: the program compares wall-clock times, whichever zone
// the server wrote, so a stamp and the server's text of the same moment compare equal.
#include "platform/date_parse.h"

#include <cctype>

#include "platform/ascii_text.h"

namespace zentro::platform {
namespace {

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
  bool blanks() {
    std::size_t start = pos_;
    while (peek() == ' ' || peek() == '\t') ++pos_;
    return pos_ > start;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

std::optional<DateValue> usForm(std::string_view text) {
  Cursor c(text);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!c.number(1, 2, month) || !c.take('/') || !c.number(1, 2, day) || !c.take('/') ||
      !c.number(4, 4, year)) {
    return std::nullopt;
  }
  if (!c.atEnd()) {
    if (!c.blanks()) return std::nullopt;
    if (!c.number(1, 2, hour) || !c.take(':') || !c.number(2, 2, minute)) return std::nullopt;
    if (c.take(':') && !c.number(2, 2, second)) return std::nullopt;
    if (!c.atEnd()) {  // else the 24-hour form
      c.blanks();
      bool pm = false;
      if (c.takeNoCase('P')) {
        pm = true;
      } else if (!c.takeNoCase('A')) {
        return std::nullopt;
      }
      if (!c.takeNoCase('M') || !c.atEnd() || hour < 1 || hour > 12) return std::nullopt;
      hour = hour % 12 + (pm ? 12 : 0);
    }
  }
  return dateFromParts(year, month, day, hour, minute, second);
}

}  // namespace

std::optional<DateValue> parseDate(std::string_view text) {
  if (auto iso = parseIsoDate(text)) return iso;
  return usForm(trim(text, kBlanks));
}

}  // namespace zentro::platform
