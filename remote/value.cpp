#include "remote/value.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "platform/ascii_text.h"
#include "remote/text_case.h"
#include "remote/utf8.h"
#include "remote/value_text.h"

namespace zentro {
namespace {

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
        else if constexpr (std::is_same_v<T, double>) return value_text::formatDouble15(x);
        else if constexpr (std::is_same_v<T, Currency>) return value_text::formatCurrency(x);
        else if constexpr (std::is_same_v<T, DateValue>) return formatIsoDate(x);
        else if constexpr (std::is_same_v<T, DecimalValue>) return value_text::formatDecimal(x, true);
        else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) return utf8FromUtf16le(
            std::string_view(reinterpret_cast<const char*>(x.data()), x.size()));
        else if constexpr (std::is_same_v<T, GuidValue>) return value_text::formatGuid(x);
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
        else if constexpr (std::is_same_v<T, std::string>) return value_text::parseDouble(x);
        else if constexpr (std::is_same_v<T, bool>) return x ? -1.0 : 0.0;
        else if constexpr (std::is_integral_v<T> || std::is_same_v<T, double>)
          return static_cast<double>(x);
        else if constexpr (std::is_same_v<T, Currency>) return static_cast<double>(x.scaled) / 10000.0;
        else if constexpr (std::is_same_v<T, DateValue>) return x.days;
        else if constexpr (std::is_same_v<T, DecimalValue>) return value_text::decimalToDouble(x);
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
          if (auto exact = value_text::parseInt64(x)) return exact;
          if (auto d = value_text::parseDouble(x)) return roundToInt64(*d);
          return std::nullopt;
        } else if constexpr (std::is_same_v<T, bool>) return x ? -1 : 0;
        else if constexpr (std::is_integral_v<T>) return static_cast<std::int64_t>(x);
        else if constexpr (std::is_same_v<T, double>) return roundToInt64(x);
        else if constexpr (std::is_same_v<T, Currency>) return currencyToInt64(x);
        else if constexpr (std::is_same_v<T, DateValue>) return roundToInt64(x.days);
        else if constexpr (std::is_same_v<T, DecimalValue>) return value_text::decimalToInt64(x);
        else return std::nullopt;
      },
      v_);
}

std::optional<bool> Value::toBool() const {
  if (const auto* s = get<std::string>()) {
    std::string_view t = platform::trim(*s, platform::kBlanks);
    if (equalsNoCase(t, "True")) return true;
    if (equalsNoCase(t, "False")) return false;
    if (auto d = value_text::parseDouble(t)) return *d != 0;
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

}  // namespace zentro
