#include "remote/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/ascii_text.h"

namespace zentro::value_text {
namespace {

__extension__ typedef unsigned __int128 U128;
__extension__ typedef __int128 I128;

constexpr U128 kMax96 = (static_cast<U128>(1) << 96) - 1;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

U128 mantissa(const DecimalValue& d) {
  return (static_cast<U128>(d.hi32) << 64) | d.lo64;
}

U128 pow10(int n) {
  U128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// Power of ten of the leading digit of a well-formed number text (positive = large).
long decimalMagnitude(std::string_view s) {
  long lead = 0;
  bool seenPoint = false, seenDigit = false;
  long exp = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.') {
      seenPoint = true;
    } else if (isDigit(c)) {
      if (!seenDigit && c != '0') seenDigit = true;
      if (seenDigit && !seenPoint) ++lead;
      if (!seenDigit && seenPoint) --lead;
    } else if (c == 'e' || c == 'E') {
      std::int64_t e = 0;
      std::string_view rest = s.substr(i + 1);
      if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
      auto r = std::from_chars(rest.data(), rest.data() + rest.size(), e);
      if (r.ec == std::errc::result_out_of_range) e = rest.front() == '-' ? -100000 : 100000;
      exp = static_cast<long>(std::clamp<std::int64_t>(e, -100000, 100000));
      break;
    }
  }
  return lead + exp;
}

}  // namespace

std::optional<double> parseDouble(std::string_view s) {
  s = platform::trim(s, platform::kBlanks);
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && s.front() == '-') return std::nullopt;
  }
  if (s.empty()) return std::nullopt;
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is not a number a Double can hold.
    if (decimalMagnitude(s) > 0) return std::nullopt;
    return s.front() == '-' ? -0.0 : 0.0;
  }
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<std::int64_t> parseInt64(std::string_view s) {
  s = platform::trim(s, platform::kBlanks);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return std::nullopt;
  std::int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

std::optional<DecimalValue> parseDecimal(std::string_view s) {
  s = platform::trim(s, platform::kBlanks);
  std::size_t pos = 0;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
  std::string digits;  // without leading zeros
  long scale = 0;
  bool anyDigit = false;
  for (; pos < s.size() && isDigit(s[pos]); ++pos) {
    anyDigit = true;
    if (!digits.empty() || s[pos] != '0') digits.push_back(s[pos]);
  }
  if (pos < s.size() && s[pos] == '.') {
    for (++pos; pos < s.size() && isDigit(s[pos]); ++pos) {
      anyDigit = true;
      ++scale;
      if (!digits.empty() || s[pos] != '0') digits.push_back(s[pos]);
    }
  }
  if (!anyDigit) return std::nullopt;
  if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
    ++pos;
    bool expNeg = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) expNeg = s[pos++] == '-';
    long exp = 0;
    std::size_t start = pos;
    for (; pos < s.size() && isDigit(s[pos]); ++pos) {
      if (exp < 100000) exp = exp * 10 + (s[pos] - '0');
    }
    if (pos == start) return std::nullopt;
    scale += expNeg ? exp : -exp;
  }
  if (pos != s.size()) return std::nullopt;
  if (digits.empty()) {
    DecimalValue zero;
    zero.scale = static_cast<std::uint8_t>(std::clamp(scale, 0L, 28L));
    return zero;
  }
  if (scale < 0) {
    if (-scale > 29) return std::nullopt;
    digits.append(static_cast<std::size_t>(-scale), '0');
    scale = 0;
  }
  // Leading zeros of the fraction are not in `digits`; the digit count that matters for the
  // 96-bit limit is digits.size(), the decimals to drop come from the scale.
  long drop = std::max(scale - 28L, 0L);
  long excess = static_cast<long>(digits.size()) - drop - 29;
  if (excess > 0) drop += std::min(excess, scale - drop);
  if (drop > 0) {
    if (drop > static_cast<long>(digits.size())) {
      digits.clear();
    } else {
      std::size_t keep = digits.size() - static_cast<std::size_t>(drop);
      char first = digits[keep];
      bool sticky = digits.find_first_not_of('0', keep + 1) != std::string::npos;
      bool lastOdd = keep > 0 && ((digits[keep - 1] - '0') & 1);
      digits.resize(keep);
      bool up = first > '5' || (first == '5' && (sticky || lastOdd));
      if (up) {
        std::size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
        else ++digits[i - 1];
      }
    }
    scale -= drop;
  }
  if (digits.size() > 29) return std::nullopt;
  U128 m = 0;
  for (char c : digits) m = m * 10 + static_cast<U128>(c - '0');
  if (m > kMax96) return std::nullopt;
  DecimalValue d;
  d.scale = static_cast<std::uint8_t>(scale);
  d.negative = negative && m != 0;
  d.hi32 = static_cast<std::uint32_t>(m >> 64);
  d.lo64 = static_cast<std::uint64_t>(m);
  return d;
}

std::string formatDecimal(const DecimalValue& d, bool trimZeros) {
  U128 m = mantissa(d);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  std::size_t scale = d.scale;
  if (digits.size() <= scale) digits.insert(digits.begin(), scale + 1 - digits.size(), '0');
  std::string out = digits.substr(0, digits.size() - scale);
  std::string frac = digits.substr(digits.size() - scale);
  if (trimZeros) {
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
  }
  if (!frac.empty()) out += "." + frac;
  bool zero = mantissa(d) == 0;
  if (d.negative && !zero) out.insert(out.begin(), '-');
  return out;
}

double decimalToDouble(const DecimalValue& d) {
  long double v = static_cast<long double>(mantissa(d));
  for (int i = 0; i < d.scale; ++i) v /= 10;
  return static_cast<double>(d.negative ? -v : v);
}

std::optional<std::int64_t> decimalToInt64(const DecimalValue& d) {
  U128 p = pow10(d.scale);
  U128 m = mantissa(d);
  U128 q = m / p;
  U128 r = m % p;
  U128 half = p / 2;
  if (d.scale > 0 && (r > half || (r == half && (q & 1)))) ++q;
  U128 limit = static_cast<U128>(std::numeric_limits<std::int64_t>::max()) + (d.negative ? 1 : 0);
  if (q > limit) return std::nullopt;
  if (d.negative) return static_cast<std::int64_t>(-static_cast<I128>(q));
  return static_cast<std::int64_t>(q);
}

// "[-]digits[.digits]" with at most 14 integer and 4 fraction digits: the form currency
// cells have, read without the general decimal path.
std::optional<Currency> plainCurrency(std::string_view s) {
  std::size_t i = 0;
  bool negative = !s.empty() && s[0] == '-';
  if (negative) ++i;
  std::int64_t v = 0;
  std::size_t start = i;
  // The length is checked as digits arrive, so a long run cannot overflow the sum.
  for (; i < s.size() && isDigit(s[i]); ++i) {
    if (i - start == 14) return std::nullopt;
    v = v * 10 + (s[i] - '0');
  }
  if (i == start) return std::nullopt;
  int frac = 0;
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && isDigit(s[i]) && frac < 4; ++i, ++frac) v = v * 10 + (s[i] - '0');
  }
  if (i != s.size()) return std::nullopt;
  for (; frac < 4; ++frac) v *= 10;
  return Currency{negative ? -v : v};
}

std::optional<Currency> parseCurrency(std::string_view s) {
  if (auto plain = plainCurrency(s)) return plain;
  auto dec = parseDecimal(s);
  if (!dec) return std::nullopt;
  U128 m = mantissa(*dec);
  int scale = dec->scale;
  if (scale <= 4) {
    m *= pow10(4 - scale);
  } else {
    U128 p = pow10(scale - 4);
    U128 q = m / p;
    U128 r = m % p;
    if (r > p / 2 || (r == p / 2 && (q & 1))) ++q;
    m = q;
  }
  U128 limit = static_cast<U128>(std::numeric_limits<std::int64_t>::max()) + (dec->negative ? 1 : 0);
  if (m > limit) return std::nullopt;
  Currency c;
  c.scaled = dec->negative ? static_cast<std::int64_t>(-static_cast<I128>(m))
                           : static_cast<std::int64_t>(m);
  return c;
}

std::string formatCurrency(Currency c) {
  DecimalValue d;
  d.scale = 4;
  d.negative = c.scaled < 0;
  std::uint64_t mag = d.negative ? 0 - static_cast<std::uint64_t>(c.scaled)
                                 : static_cast<std::uint64_t>(c.scaled);
  d.lo64 = mag;
  return formatDecimal(d, true);
}

std::string formatDouble15(double d) {
  if (d == 0) return "0";  // also -0
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-INF" : "INF";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", d);
  return buf;
}

std::string formatDoubleRoundTrip(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-INF" : "INF";
  if (d == 0) return std::signbit(d) ? "-0" : "0";
  char buf[40];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
  (void)ec;
  return std::string(buf, end);
}

std::optional<GuidValue> parseGuid(std::string_view s) {
  s = platform::trim(s, platform::kBlanks);
  if (!s.empty() && s.front() == '{') {
    if (s.back() != '}') return std::nullopt;
    s = s.substr(1, s.size() - 2);
  }
  GuidValue g;
  std::size_t n = 0;
  for (char c : s) {
    if (c == '-') continue;
    int v = hexDigit(c);
    if (v < 0 || n >= 32) return std::nullopt;
    if (n % 2 == 0) g.bytes[n / 2] = static_cast<std::uint8_t>(v << 4);
    else g.bytes[n / 2] = static_cast<std::uint8_t>(g.bytes[n / 2] | v);
    ++n;
  }
  if (n != 32) return std::nullopt;
  return g;
}

std::string formatGuid(const GuidValue& g) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "{";
  for (std::size_t i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[g.bytes[i] >> 4];
    out += kHex[g.bytes[i] & 15];
  }
  out += '}';
  return out;
}

}  // namespace zentro::value_text
