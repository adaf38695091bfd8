#include "remote/ado_xml_types.h"

#include <charconv>
#include <limits>
#include <vector>

#include "platform/ascii_text.h"
#include "remote/text_case.h"
#include "remote/value_text.h"

namespace zentro::ado_xml {
namespace {

constexpr std::int64_t kI64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kI64Max = std::numeric_limits<std::int64_t>::max();

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool parseHex(std::string_view s, std::vector<std::uint8_t>& out) {
  out.reserve(s.size() / 2);
  int high = -1;
  for (char c : s) {
    if (isSpace(c)) continue;  // long values arrive wrapped
    int v = hexValue(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>((high << 4) | v));
      high = -1;
    }
  }
  return high < 0;
}

bool parseBase64(std::string_view s, std::vector<std::uint8_t>& out) {
  std::uint32_t acc = 0;
  int bits = 0, pad = 0;
  for (char c : s) {
    if (isSpace(c)) continue;
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=') {
      ++pad;
      continue;
    } else return false;
    if (pad > 0) return false;  // data after padding
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(acc >> bits));
    }
  }
  return pad <= 2 && bits < 6 && (acc & ((1u << bits) - 1)) == 0;
}

std::optional<std::int64_t> parseInteger(std::string_view s) {
  std::int64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec == std::errc() && end == s.data() + s.size()) return v;
  return value_text::parseInt64(s);  // blanks or a '+' around the digits
}

std::optional<bool> parseBool(std::string_view s) {
  if (s == "True") return true;  // what the library writes, checked before the general forms
  if (s == "False") return false;
  s = platform::trim(s, platform::kBlanks);
  if (s == "1" || s == "-1" || equalsNoCase(s, "True")) return true;
  if (s == "0" || equalsNoCase(s, "False")) return false;
  return std::nullopt;
}

ColumnType intType(FieldType f, std::int64_t min, std::int64_t max) {
  return ColumnType{f, CellForm::Int, min, max};
}

}  // namespace

ColumnType columnTypeOf(std::string_view dt, std::string_view db) {
  auto is = [&](std::string_view name) { return equalsNoCase(dt, name); };
  if (is("i1")) return intType(FieldType::Int16, -128, 127);
  if (is("ui1")) return intType(FieldType::UInt8, 0, 255);
  if (is("i2")) return intType(FieldType::Int16, -32768, 32767);
  if (is("ui2")) return intType(FieldType::Int32, 0, 65535);
  if (is("int") || is("i4")) return intType(FieldType::Int32, -2147483648LL, 2147483647LL);
  if (is("ui4")) return intType(FieldType::Int64, 0, 4294967295LL);
  if (is("i8")) return intType(FieldType::Int64, kI64Min, kI64Max);
  if (is("ui8")) return {FieldType::Decimal, CellForm::UnsignedBig};
  if (is("r4") || is("r8") || is("float")) return {FieldType::Double, CellForm::Double};
  if (is("fixed.14.4")) return {FieldType::Currency, CellForm::Currency};
  if (is("number")) {
    if (equalsNoCase(db, "currency")) return {FieldType::Currency, CellForm::Currency};
    return {FieldType::Decimal, CellForm::Decimal};
  }
  if (is("boolean")) return {FieldType::Bool, CellForm::Bool};
  if (is("dateTime") || is("date") || is("time") || is("dateTime.tz") || is("time.tz")) {
    return {FieldType::Date, CellForm::Date};
  }
  if (is("bin.hex")) return {FieldType::Binary, CellForm::BinHex};
  if (is("bin.base64")) return {FieldType::Binary, CellForm::Base64};
  if (is("uuid")) return {FieldType::Guid, CellForm::Guid};
  return {};
}

bool parseCell(const ColumnType& type, std::string_view text, Value& out) {
  // Values are made in place: large answers fill millions of cells.
  switch (type.form) {
    case CellForm::Text:
      out.emplace<std::string>(text);
      return true;
    case CellForm::Int: {
      auto v = parseInteger(text);
      if (!v || *v < type.min || *v > type.max) return false;
      switch (type.field) {
        case FieldType::UInt8: out.emplace<std::uint8_t>(static_cast<std::uint8_t>(*v)); break;
        case FieldType::Int16: out.emplace<std::int16_t>(static_cast<std::int16_t>(*v)); break;
        case FieldType::Int32: out.emplace<std::int32_t>(static_cast<std::int32_t>(*v)); break;
        default: out.emplace<std::int64_t>(*v); break;
      }
      return true;
    }
    case CellForm::UnsignedBig: {
      auto d = value_text::parseDecimal(text);
      if (!d || d->negative || d->scale != 0 || d->hi32 != 0) return false;
      out.emplace<DecimalValue>(*d);
      return true;
    }
    case CellForm::Double: {
      auto d = value_text::parseDouble(text);
      if (!d) return false;
      out.emplace<double>(*d);
      return true;
    }
    case CellForm::Currency: {
      auto c = value_text::parseCurrency(text);
      if (!c) return false;
      out.emplace<Currency>(*c);
      return true;
    }
    case CellForm::Decimal: {
      auto d = value_text::parseDecimal(text);
      if (!d) return false;
      out.emplace<DecimalValue>(*d);
      return true;
    }
    case CellForm::Bool: {
      auto b = parseBool(text);
      if (!b) return false;
      out.emplace<bool>(*b);
      return true;
    }
    case CellForm::Date: {
      auto d = parseIsoDate(text);
      if (!d) return false;
      out.emplace<DateValue>(*d);
      return true;
    }
    case CellForm::BinHex:
    case CellForm::Base64: {
      std::vector<std::uint8_t> bytes;
      bool ok = type.form == CellForm::BinHex ? parseHex(text, bytes) : parseBase64(text, bytes);
      if (!ok) return false;
      out.emplace<std::vector<std::uint8_t>>(std::move(bytes));
      return true;
    }
    case CellForm::Guid: {
      auto g = value_text::parseGuid(text);
      if (!g) return false;
      out.emplace<GuidValue>(*g);
      return true;
    }
  }
  return false;
}

TypeDecl declarationOf(FieldType type) {
  switch (type) {
    case FieldType::String: return {"string", nullptr, 0, false};
    case FieldType::UInt8: return {"ui1", nullptr, 3, true};
    case FieldType::Int16: return {"i2", nullptr, 5, true};
    case FieldType::Int32: return {"int", nullptr, 10, true};
    case FieldType::Int64: return {"i8", nullptr, 19, true};
    case FieldType::Double: return {"float", nullptr, 15, true};
    case FieldType::Currency: return {"number", "currency", 19, true};
    case FieldType::Decimal: return {"number", "numeric", 28, true};
    case FieldType::Bool: return {"boolean", nullptr, 0, true};
    case FieldType::Date: return {"dateTime", "variantdate", 0, true};
    case FieldType::Binary: return {"bin.hex", nullptr, 0, false};
    case FieldType::Guid: return {"uuid", nullptr, 0, true};
  }
  return {};
}

std::optional<std::string> cellText(FieldType type, const Value& v) {
  switch (type) {
    case FieldType::String:
      return v.toText();
    case FieldType::UInt8:
    case FieldType::Int16:
    case FieldType::Int32:
    case FieldType::Int64: {
      static const std::int64_t kMin[] = {0, -32768, -2147483648LL, kI64Min};
      static const std::int64_t kMax[] = {255, 32767, 2147483647LL, kI64Max};
      int k = static_cast<int>(type) - static_cast<int>(FieldType::UInt8);
      auto i = v.toInt64();
      if (!i || *i < kMin[k] || *i > kMax[k]) return std::nullopt;
      return std::to_string(*i);
    }
    case FieldType::Double: {
      auto d = v.toDouble();
      if (!d) return std::nullopt;
      return value_text::formatDoubleRoundTrip(*d);
    }
    case FieldType::Currency: {
      if (const auto* c = v.get<Currency>()) return value_text::formatCurrency(*c);
      auto text = v.isNumeric() || v.get<std::string>() ? v.toText() : std::nullopt;
      auto c = text ? value_text::parseCurrency(*text) : std::nullopt;
      if (!c) return std::nullopt;
      return value_text::formatCurrency(*c);
    }
    case FieldType::Decimal: {
      if (const auto* d = v.get<DecimalValue>()) return value_text::formatDecimal(*d, false);
      auto text = v.isNumeric() || v.get<std::string>() ? v.toText() : std::nullopt;
      auto d = text ? value_text::parseDecimal(*text) : std::nullopt;
      if (!d) return std::nullopt;
      return value_text::formatDecimal(*d, false);
    }
    case FieldType::Bool: {
      auto b = v.toBool();
      if (!b) return std::nullopt;
      return std::string(*b ? "True" : "False");
    }
    case FieldType::Date: {
      std::optional<DateValue> d;
      if (const auto* dv = v.get<DateValue>()) d = *dv;
      else if (const auto* s = v.get<std::string>()) d = parseIsoDate(*s);
      if (!d) return std::nullopt;
      std::string text = formatIsoDate(*d);
      // Only dates the format can carry back (years 100 to 9999).
      if (!parseIsoDate(text)) return std::nullopt;
      return text;
    }
    case FieldType::Binary: {
      const auto* bytes = v.get<std::vector<std::uint8_t>>();
      if (!bytes) return std::nullopt;
      static const char kHex[] = "0123456789abcdef";
      std::string out;
      out.reserve(bytes->size() * 2);
      for (std::uint8_t b : *bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
      }
      return out;
    }
    case FieldType::Guid: {
      std::optional<GuidValue> g;
      if (const auto* gv = v.get<GuidValue>()) g = *gv;
      else if (const auto* s = v.get<std::string>()) g = value_text::parseGuid(*s);
      if (!g) return std::nullopt;
      return value_text::formatGuid(*g);
    }
  }
  return std::nullopt;
}

}  // namespace zentro::ado_xml
