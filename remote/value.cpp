#include "remote/value.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "remote/value_text.h"

namespace zentro {
namespace {

constexpr long long kMsPerDay = 86400000LL;
constexpr long long kOleEpochUnixDays = -25569;  // 1899-12-30

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
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

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

using valuetext::appendUtf8;

// A byte array read as text holds UTF-16LE code units, as the program's strings do on the
// wire.
std::string textOfBytes(const std::vector<std::uint8_t>& b) {
  std::string out;
  for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
    std::uint32_t u = b[i] | (static_cast<std::uint32_t>(b[i + 1]) << 8);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < b.size()) {
      std::uint32_t lo = b[i + 2] | (static_cast<std::uint32_t>(b[i + 3]) << 8);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
  }
  return out;
}

std::optional<std::int64_t> roundToInt64(double d) {
  if (!std::isfinite(d)) return std::nullopt;
  double r = std::nearbyint(d);  // default rounding mode: half to even
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return std::nullopt;
  return static_cast<std::int64_t>(r);
}

std::optional<std::int64_t> currencyToInt64(Currency c) {
  std::int64_t q = c.scaled / 10000;
  std::int64_t r = c.scaled % 10000;
  if (r > 5000 || (r == 5000 && (q & 1))) ++q;
  if (r < -5000 || (r == -5000 && (q & 1))) --q;
  return q;
}

}  // namespace

bool Value::isNumeric() const {
  switch (type()) {
    case ValueType::UInt8:
    case ValueType::Int16:
    case ValueType::Int32:
    case ValueType::Int64:
    case ValueType::Double:
    case ValueType::Currency:
    case ValueType::Decimal:
      return true;
    default:
      return false;
  }
}

std::optional<std::string> Value::toText() const {
  return std::visit(
      [](const auto& x) -> std::optional<std::string> {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, EmptyTag>) return std::string();
        else if constexpr (std::is_same_v<T, NullTag>) return std::nullopt;
        else if constexpr (std::is_same_v<T, std::string>) return x;
        else if constexpr (std::is_same_v<T, bool>) return std::string(x ? "True" : "False");
        else if constexpr (std::is_same_v<T, std::uint8_t>) return std::to_string(unsigned{x});
        else if constexpr (std::is_integral_v<T>) return std::to_string(x);
        else if constexpr (std::is_same_v<T, double>) return valuetext::formatDouble15(x);
        else if constexpr (std::is_same_v<T, Currency>) return valuetext::formatCurrency(x);
        else if constexpr (std::is_same_v<T, DateValue>) return formatIsoDate(x);
        else if constexpr (std::is_same_v<T, DecimalValue>) return valuetext::formatDecimal(x, true);
        else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) return textOfBytes(x);
        else if constexpr (std::is_same_v<T, GuidValue>) return valuetext::formatGuid(x);
        else if constexpr (std::is_same_v<T, BoxedError>) return "Error " + std::to_string(x.get().scode);
        else return std::nullopt;  // an array or Nothing: a type mismatch
      },
      v_);
}

std::optional<double> Value::toDouble() const {
  return std::visit(
      [](const auto& x) -> std::optional<double> {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, EmptyTag>) return 0.0;
        else if constexpr (std::is_same_v<T, std::string>) return valuetext::parseDouble(x);
        else if constexpr (std::is_same_v<T, bool>) return x ? -1.0 : 0.0;
        else if constexpr (std::is_integral_v<T> || std::is_same_v<T, double>)
          return static_cast<double>(x);
        else if constexpr (std::is_same_v<T, Currency>) return static_cast<double>(x.scaled) / 10000.0;
        else if constexpr (std::is_same_v<T, DateValue>) return x.days;
        else if constexpr (std::is_same_v<T, DecimalValue>) return valuetext::decimalToDouble(x);
        else return std::nullopt;
      },
      v_);
}

std::optional<std::int64_t> Value::toInt64() const {
  return std::visit(
      [](const auto& x) -> std::optional<std::int64_t> {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, EmptyTag>) return 0;
        else if constexpr (std::is_same_v<T, std::string>) {
          if (auto exact = valuetext::parseInt64(x)) return exact;
          if (auto d = valuetext::parseDouble(x)) return roundToInt64(*d);
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, bool>) return x ? -1 : 0;
        else if constexpr (std::is_integral_v<T>) return static_cast<std::int64_t>(x);
        else if constexpr (std::is_same_v<T, double>) return roundToInt64(x);
        else if constexpr (std::is_same_v<T, Currency>) return currencyToInt64(x);
        else if constexpr (std::is_same_v<T, DateValue>) return roundToInt64(x.days);
        else if constexpr (std::is_same_v<T, DecimalValue>) return valuetext::decimalToInt64(x);
        else return std::nullopt;
      },
      v_);
}

std::optional<bool> Value::toBool() const {
  if (const auto* s = get<std::string>()) {
    std::string_view t = valuetext::trimBlanks(*s);
    if (equalsNoCase(t, "True")) return true;
    if (equalsNoCase(t, "False")) return false;
    if (auto d = valuetext::parseDouble(t)) return *d != 0;
    return std::nullopt;
  }
  if (const auto* b = get<bool>()) return *b;
  if (const auto* dec = get<DecimalValue>()) return dec->hi32 != 0 || dec->lo64 != 0;
  if (const auto* c = get<Currency>()) return c->scaled != 0;
  if (auto d = toDouble()) return *d != 0;
  return std::nullopt;
}

std::string Value::debugText() const {
  if (isNull()) return "Null";
  if (type() == ValueType::Nothing) return "Nothing";
  const ArrayValue* a = get<ArrayValue>();
  if (a == nullptr) return toText().value_or(std::string());
  std::string s = "Array(";
  for (std::size_t d = 0; d < a->bounds.size(); ++d) {
    const ArrayBound& b = a->bounds[d];
    if (d != 0) s += ", ";
    s += std::to_string(b.lower) + " To " +
         std::to_string(static_cast<std::int64_t>(b.lower) + static_cast<std::int64_t>(b.count) - 1);
  }
  s += ")(";
  for (std::size_t i = 0; i < a->elements.size(); ++i) {
    if (i != 0) s += ", ";
    const Value& e = a->elements[i];
    s += e.type() == ValueType::String ? "\"" + *e.get<std::string>() + "\"" : e.debugText();
  }
  return s + ")";
}

std::string formatIsoDate(DateValue d) {
  if (!std::isfinite(d.days) || std::fabs(d.days) > 1e9) return std::string();
  // Negative OLE dates count whole days backwards but the fraction is still the time of day.
  double whole = std::trunc(d.days);
  long long dayNumber = static_cast<long long>(whole);
  long long ms = std::llround(std::fabs(d.days - whole) * static_cast<double>(kMsPerDay));
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    ++dayNumber;
  }
  long long y = 0;
  unsigned m = 0, day = 0;
  civilFromDays(dayNumber + kOleEpochUnixDays, y, m, day);
  long long secs = ms / 1000;
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", y, m, day,
                        secs / 3600, secs / 60 % 60, secs % 60);
  if (ms % 1000 != 0) {
    std::snprintf(buf + n, sizeof buf - static_cast<std::size_t>(n), ".%03lld", ms % 1000);
  }
  return buf;
}

std::optional<DateValue> dateFromParts(int year, int month, int day, int hour, int minute,
                                       double second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > daysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      !(second >= 0 && second < 60)) {
    return std::nullopt;
  }
  long long dayNumber = daysFromCivil(year, static_cast<unsigned>(month),
                                      static_cast<unsigned>(day)) - kOleEpochUnixDays;
  double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  DateValue v;
  v.days = dayNumber >= 0 ? static_cast<double>(dayNumber) + time
                          : static_cast<double>(dayNumber) - time;
  return v;
}

}  // namespace zentro
