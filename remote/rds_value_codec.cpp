// encodeValue and decodeValue (remote/rds_wire.h) and the single-value payloads of
// remote/rds_value_io.h: the VARIANT wire form, little-endian integers, UTF-16LE texts.
#include <limits>

#include "remote/rds_value_io.h"
#include "remote/utf8.h"

namespace zentro::rds {
namespace wire {
namespace {

// SCODE that carries an EXCEPINFO although its severity bit is clear (DB_S_ERRORSOCCURRED).
constexpr std::uint32_t kScodeWithExcepInfo = 0x00040EDA;

// UTF-8 to UTF-16LE bytes. Malformed UTF-8 sequences become U+FFFD so a bad byte never
// shifts or swallows the text around it.
std::string utf8ToUtf16le(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  auto unit = [&out](std::uint16_t u) { put(out, u); };
  for (std::size_t i = 0; i < s.size();) {
    const Utf8Char c = decodeUtf8(s, i);
    std::uint32_t cp = c.valid ? c.codePoint : 0xFFFD;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      unit(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      unit(static_cast<std::uint16_t>(cp));
    }
    i += c.length;
  }
  return out;
}

// Length-prefixed text without a tag (the BSTR payload, also used inside EXCEPINFO).
// A zero length is followed by one indicator byte: 00 = empty text.
void putText(std::string& out, std::string_view s) {
  std::string utf16 = utf8ToUtf16le(s);
  if (utf16.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw WireError("text too long for the wire: " + std::to_string(s.size()) + " bytes");
  }
  put(out, static_cast<std::uint32_t>(utf16.size()));
  if (utf16.empty()) {
    out += '\0';
  } else {
    out += utf16;
  }
}

// Returns nullopt for the null string (zero length, indicator 01).
std::optional<std::string> takeText(std::string_view data, std::size_t& pos) {
  auto len = take<std::uint32_t>(data, pos, "text length");
  if (len == 0) {
    auto indicator = take<std::uint8_t>(data, pos, "empty-text indicator");
    if (indicator == 0x00) return std::string();
    if (indicator == 0x01) return std::nullopt;
    throw WireError("bad empty-text indicator " + std::to_string(indicator) + " at offset " +
                    std::to_string(pos - 1));
  }
  if (len % 2 != 0) {
    throw WireError("text length " + std::to_string(len) + " is not a whole number of UTF-16 units");
  }
  if (len > data.size() - pos) {
    throw WireError("text length " + std::to_string(len) + " at offset " + std::to_string(pos - 4) +
                    " goes beyond the " + std::to_string(data.size() - pos) + " bytes left");
  }
  std::string text = utf8FromUtf16le(data.substr(pos, len));
  pos += len;
  return text;
}

bool carriesExcepInfo(std::int32_t scode) {
  auto u = static_cast<std::uint32_t>(scode);
  return (u & 0x80000000u) != 0 || u == kScodeWithExcepInfo;
}

const char* typeName(ValueType t) {
  switch (t) {
    case ValueType::Empty: return "Empty";
    case ValueType::Null: return "Null";
    case ValueType::String: return "text";
    case ValueType::UInt8: return "byte";
    case ValueType::Int16: return "16-bit integer";
    case ValueType::Int32: return "32-bit integer";
    case ValueType::Int64: return "64-bit integer";
    case ValueType::Double: return "double";
    case ValueType::Currency: return "currency";
    case ValueType::Date: return "date";
    case ValueType::Bool: return "Boolean";
    case ValueType::Decimal: return "decimal";
    case ValueType::Binary: return "binary";
    case ValueType::Guid: return "GUID";
    case ValueType::Error: return "error";
    case ValueType::Array: return "array";
    case ValueType::Nothing: return "Nothing";
  }
  return "?";
}

// The value's own content as type T, or WireError when a payload of type `vt` is asked of a
// value of another type (an array element that does not fit its array).
template <class T>
const T& as(const Value& v, std::uint16_t vt) {
  const T* x = v.get<T>();
  if (x == nullptr) {
    throw WireError(std::string("a value of type ") + typeName(v.type()) + " cannot be sent as " +
                    hexTag(vt));
  }
  return *x;
}

ErrorValue decodeError(std::string_view data, std::size_t& pos) {
  ErrorValue e;
  e.scode = take<std::int32_t>(data, pos, "SCODE");
  if (carriesExcepInfo(e.scode)) {
    e.hasExcepInfo = true;
    e.scode2 = take<std::int32_t>(data, pos, "EXCEPINFO SCODE");
    e.source = takeText(data, pos).value_or("");
    e.description = takeText(data, pos).value_or("");
    e.helpFile = takeText(data, pos).value_or("");
  }
  return e;
}

void encodeError(const ErrorValue& e, std::string& out) {
  if (e.hasExcepInfo && !carriesExcepInfo(e.scode)) {
    // The reader decides from the SCODE alone; writing it anyway would desynchronise it.
    throw WireError("error " + std::to_string(e.scode) + " cannot carry exception details");
  }
  put(out, e.scode);
  if (carriesExcepInfo(e.scode)) {
    put(out, e.scode2);
    putText(out, e.source);
    putText(out, e.description);
    putText(out, e.helpFile);
  }
}

DecimalValue decodeDecimal(std::string_view data, std::size_t& pos, std::size_t start) {
  take<std::uint16_t>(data, pos, "DECIMAL reserved");
  DecimalValue d;
  d.scale = take<std::uint8_t>(data, pos, "DECIMAL scale");
  auto sign = take<std::uint8_t>(data, pos, "DECIMAL sign");
  d.hi32 = take<std::uint32_t>(data, pos, "DECIMAL Hi32");
  std::uint64_t lo32 = take<std::uint32_t>(data, pos, "DECIMAL Lo32");
  std::uint64_t mid32 = take<std::uint32_t>(data, pos, "DECIMAL Mid32");
  if (d.scale > 28 || (sign != 0x00 && sign != 0x80)) {
    throw WireError("malformed DECIMAL at offset " + std::to_string(start));
  }
  d.negative = sign == 0x80;
  d.lo64 = (mid32 << 32) | lo32;
  return d;
}

void encodeDecimal(const DecimalValue& d, std::string& out) {
  if (d.scale > 28) throw WireError("decimal scale " + std::to_string(d.scale) + " above 28");
  put(out, std::uint16_t{0});  // wReserved
  put(out, d.scale);
  put(out, std::uint8_t{d.negative ? std::uint8_t{0x80} : std::uint8_t{0}});
  put(out, d.hi32);
  put(out, static_cast<std::uint32_t>(d.lo64 & 0xFFFFFFFFu));  // Lo32
  put(out, static_cast<std::uint32_t>(d.lo64 >> 32));          // Mid32
}

// An object reference: only the one that refers to nothing can be read, because an object's
// own data stream has no length the transport could bound.
Value decodeReference(std::string_view data, std::size_t& pos, std::uint16_t vt, std::size_t start) {
  auto indicator = take<std::uint8_t>(data, pos, "object reference");
  if (indicator == kNullIndicator) return Value(NothingValue{vt == kVtUnknown});
  throw WireError("object reference " + hexTag(vt) + " at offset " + std::to_string(start) +
                  (indicator == 0x00 ? " holds an object; objects are not exchanged"
                                     : " has a bad indicator " + std::to_string(indicator)));
}

// The tag a scalar value is written with (Int64 is handled by the caller).
std::uint16_t tagOf(const Value& v) {
  switch (v.type()) {
    case ValueType::Empty: return kVtEmpty;
    case ValueType::Null: return kVtNull;
    case ValueType::String: return kVtBstr;
    case ValueType::UInt8: return kVtUi1;
    case ValueType::Int16: return kVtI2;
    case ValueType::Int32:
    case ValueType::Int64: return kVtI4;
    case ValueType::Double: return kVtR8;
    case ValueType::Currency: return kVtCy;
    case ValueType::Date: return kVtDate;
    case ValueType::Bool: return kVtBool;
    case ValueType::Decimal: return kVtDecimal;
    case ValueType::Error: return kVtError;
    case ValueType::Nothing: return v.get<NothingValue>()->unknown ? kVtUnknown : kVtDispatch;
    case ValueType::Array:
    case ValueType::Binary:
    case ValueType::Guid: break;
  }
  throw WireError(std::string("a value of type ") + typeName(v.type()) +
                  " cannot be sent as a parameter");
}

}  // namespace

std::string hexTag(std::uint16_t tag) {
  static const char* digits = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(tag >> shift) & 0xF];
  return s;
}

void encodePayload(const Value& v, std::uint16_t vt, std::string& out, ArrayBudget& budget) {
  switch (vt) {
    case kVtEmpty:
    case kVtNull:
      return;
    case kVtBstr:
      if (v.isNull()) {  // a null element of a BSTR array
        put(out, std::uint32_t{0});
        out += static_cast<char>(kNullIndicator);
      } else {
        putText(out, as<std::string>(v, vt));
      }
      return;
    case kVtUi1: put(out, as<std::uint8_t>(v, vt)); return;
    case kVtI2: put(out, as<std::int16_t>(v, vt)); return;
    case kVtI4: put(out, as<std::int32_t>(v, vt)); return;
    case kVtR4: put(out, static_cast<float>(as<double>(v, vt))); return;
    case kVtR8: put(out, as<double>(v, vt)); return;
    case kVtCy: put(out, as<Currency>(v, vt).scaled); return;
    case kVtDate: put(out, as<DateValue>(v, vt).days); return;
    case kVtBool: put(out, std::uint16_t{as<bool>(v, vt) ? std::uint16_t{0xFFFF} : std::uint16_t{0}}); return;
    case kVtDecimal: encodeDecimal(as<DecimalValue>(v, vt), out); return;
    case kVtError: encodeError(as<ErrorValue>(v, vt), out); return;
    case kVtDispatch:
    case kVtUnknown:
      as<NothingValue>(v, vt);
      out += static_cast<char>(kNullIndicator);
      return;
    case kVtVariant:
      encodeValue(v, out, budget);
      return;
    default:
      break;
  }
  throw WireError("values of type " + hexTag(vt) + " cannot be sent");
}

Value decodePayload(std::string_view data, std::size_t& pos, std::uint16_t vt, std::size_t start,
                    ArrayBudget& budget) {
  switch (vt) {
    case kVtEmpty: return Value();
    case kVtNull: return Value::null();
    case kVtI2: return Value(take<std::int16_t>(data, pos, "I2"));
    case kVtI4: return Value(take<std::int32_t>(data, pos, "I4"));
    case kVtR4: return Value(static_cast<double>(take<float>(data, pos, "R4")));
    case kVtR8: return Value(take<double>(data, pos, "R8"));
    case kVtCy: return Value(Currency{take<std::int64_t>(data, pos, "CY")});
    case kVtDate: return Value(DateValue{take<double>(data, pos, "DATE")});
    case kVtBstr: {
      auto text = takeText(data, pos);
      return text ? Value(std::move(*text)) : Value::null();
    }
    case kVtError: return Value(decodeError(data, pos));
    case kVtBool: return Value(take<std::uint16_t>(data, pos, "BOOL") != 0);
    case kVtDecimal: return Value(decodeDecimal(data, pos, start));
    case kVtUi1: return Value(take<std::uint8_t>(data, pos, "UI1"));
    case kDbTypeI8: return Value(take<std::int64_t>(data, pos, "I8"));
    case kVtDispatch:
    case kVtUnknown: return decodeReference(data, pos, vt, start);
    case kVtVariant: return decodeValue(data, pos, budget);
    default: break;
  }
  throw WireError("unknown value type tag " + hexTag(vt) + " at offset " + std::to_string(start));
}

}  // namespace wire

using namespace wire;

bool isGroupable(const Value& v) {
  return v.type() != ValueType::Array && v.type() != ValueType::Nothing;
}

void encodeValue(const Value& v, std::string& out) {
  ArrayBudget budget;
  encodeValue(v, out, budget);
}

void encodeValue(const Value& v, std::string& out, ArrayBudget& budget) {
  if (const ArrayValue* a = v.get<ArrayValue>()) {
    encodeArray(*a, out, budget);
    return;
  }
  if (const std::int64_t* x = v.get<std::int64_t>()) {
    // Parameters have no 64-bit integer type: a long that fits goes as I4, any other as R8
    // (exact up to 2^53).
    if (*x >= std::numeric_limits<std::int32_t>::min() &&
        *x <= std::numeric_limits<std::int32_t>::max()) {
      put(out, std::uint16_t{kVtI4});
      put(out, static_cast<std::int32_t>(*x));
    } else {
      put(out, std::uint16_t{kVtR8});
      put(out, static_cast<double>(*x));
    }
    return;
  }
  const std::uint16_t tag = tagOf(v);
  put(out, tag);
  encodePayload(v, tag, out, budget);
}

Value decodeValue(std::string_view data, std::size_t& pos) {
  ArrayBudget budget;
  return decodeValue(data, pos, budget);
}

Value decodeValue(std::string_view data, std::size_t& pos, ArrayBudget& budget) {
  const std::size_t start = pos;
  const auto tag = take<std::uint16_t>(data, pos, "type tag");
  if ((tag & kVtArray) != 0) return decodeArray(data, pos, tag, start, budget);
  // VT_VARIANT names the elements of an array; on its own it is no value.
  if (tag == kVtVariant) {
    throw WireError("unknown value type tag " + hexTag(tag) + " at offset " + std::to_string(start));
  }
  return decodePayload(data, pos, tag, start, budget);
}

}  // namespace zentro::rds
