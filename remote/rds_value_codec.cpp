// VARIANT wire form of single values: little-endian integers, UTF-16LE texts.
#include <bit>
#include <cstring>
#include <limits>
#include <type_traits>

#include "remote/rds_wire.h"
#include "remote/value_text.h"

namespace zentro::rds {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the wire form is copied byte for byte from little-endian integers");

enum : std::uint16_t {
  kVtEmpty = 0x0000,
  kVtNull = 0x0001,
  kVtI2 = 0x0002,
  kVtI4 = 0x0003,
  kVtR4 = 0x0004,
  kVtR8 = 0x0005,
  kVtCy = 0x0006,
  kVtDate = 0x0007,
  kVtBstr = 0x0008,
  kVtDispatch = 0x0009,
  kVtError = 0x000A,
  kVtBool = 0x000B,
  kVtDecimal = 0x000E,
  kVtUi1 = 0x0011,
  kDbTypeI8 = 0x0014,  // TableGram type; read only
  kVtArray = 0x2000,
};

// SCODE that carries an EXCEPINFO although its severity bit is clear (DB_S_ERRORSOCCURRED).
constexpr std::uint32_t kScodeWithExcepInfo = 0x00040EDA;

template <class T>
void put(std::string& out, T x) {
  static_assert(std::is_trivially_copyable_v<T>);
  char bytes[sizeof(T)];
  std::memcpy(bytes, &x, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <class T>
T take(std::string_view data, std::size_t& pos, const char* what) {
  if (pos > data.size() || data.size() - pos < sizeof(T)) {
    throw WireError(std::string("truncated value: ") + what + " needs " +
                    std::to_string(sizeof(T)) + " bytes at offset " + std::to_string(pos));
  }
  T x;
  std::memcpy(&x, data.data() + pos, sizeof(T));
  pos += sizeof(T);
  return x;
}

// UTF-8 to UTF-16LE bytes. Malformed UTF-8 sequences become U+FFFD so a bad byte never
// shifts or swallows the text around it.
std::string utf8ToUtf16le(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  auto unit = [&out](std::uint16_t u) { put(out, u); };
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else {
      std::size_t need = 0;
      if (c >= 0xC2 && c <= 0xDF) need = 1;
      else if (c >= 0xE0 && c <= 0xEF) need = 2;
      else if (c >= 0xF0 && c <= 0xF4) need = 3;
      if (need != 0 && need < s.size() - i) {
        std::uint32_t v = c & (0x3Fu >> need);
        bool ok = true;
        for (std::size_t k = 1; ok && k <= need; ++k) {
          auto cc = static_cast<unsigned char>(s[i + k]);
          if ((cc & 0xC0) != 0x80) ok = false;
          v = (v << 6) | (cc & 0x3F);
        }
        bool overlong = (need == 2 && v < 0x800) || (need == 3 && v < 0x10000);
        if (ok && !overlong && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
          cp = v;
          len = need + 1;
        }
      }
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(static_cast<std::uint16_t>(0xD800 + (cp >> 10)));
      unit(static_cast<std::uint16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      unit(static_cast<std::uint16_t>(cp));
    }
    i += len;
  }
  return out;
}

using valuetext::appendUtf8;

// UTF-16LE bytes to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  std::size_t n = bytes.size() / 2;
  auto at = [&bytes](std::size_t k) {
    std::uint16_t u;
    std::memcpy(&u, bytes.data() + 2 * k, 2);
    return u;
  };
  for (std::size_t k = 0; k < n; ++k) {
    std::uint32_t u = at(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n && at(k + 1) >= 0xDC00 && at(k + 1) <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (at(k + 1) - 0xDC00);
      ++k;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    appendUtf8(out, u);
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
  std::string text = utf16leToUtf8(data.substr(pos, len));
  pos += len;
  return text;
}

bool carriesExcepInfo(std::int32_t scode) {
  auto u = static_cast<std::uint32_t>(scode);
  return (u & 0x80000000u) != 0 || u == kScodeWithExcepInfo;
}

std::string hexTag(std::uint16_t tag) {
  static const char* digits = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(tag >> shift) & 0xF];
  return s;
}

}  // namespace

void encodeValue(const Value& v, std::string& out) {
  switch (v.type()) {
    case ValueType::Empty:
      put(out, std::uint16_t{kVtEmpty});
      return;
    case ValueType::Null:
      put(out, std::uint16_t{kVtNull});
      return;
    case ValueType::String:
      put(out, std::uint16_t{kVtBstr});
      putText(out, *v.get<std::string>());
      return;
    case ValueType::UInt8:
      put(out, std::uint16_t{kVtUi1});
      put(out, *v.get<std::uint8_t>());
      return;
    case ValueType::Int16:
      put(out, std::uint16_t{kVtI2});
      put(out, *v.get<std::int16_t>());
      return;
    case ValueType::Int32:
      put(out, std::uint16_t{kVtI4});
      put(out, *v.get<std::int32_t>());
      return;
    case ValueType::Int64: {
      // Parameters have no 64-bit integer type: a long that fits goes as I4, any other as R8
      // (exact up to 2^53).
      auto x = *v.get<std::int64_t>();
      if (x >= std::numeric_limits<std::int32_t>::min() &&
          x <= std::numeric_limits<std::int32_t>::max()) {
        put(out, std::uint16_t{kVtI4});
        put(out, static_cast<std::int32_t>(x));
      } else {
        put(out, std::uint16_t{kVtR8});
        put(out, static_cast<double>(x));
      }
      return;
    }
    case ValueType::Double:
      put(out, std::uint16_t{kVtR8});
      put(out, *v.get<double>());
      return;
    case ValueType::Currency:
      put(out, std::uint16_t{kVtCy});
      put(out, v.get<Currency>()->scaled);
      return;
    case ValueType::Date:
      put(out, std::uint16_t{kVtDate});
      put(out, v.get<DateValue>()->days);
      return;
    case ValueType::Bool:
      put(out, std::uint16_t{kVtBool});
      put(out, std::uint16_t{*v.get<bool>() ? std::uint16_t{0xFFFF} : std::uint16_t{0}});
      return;
    case ValueType::Decimal: {
      const auto& d = *v.get<DecimalValue>();
      if (d.scale > 28) throw WireError("decimal scale " + std::to_string(d.scale) + " above 28");
      put(out, std::uint16_t{kVtDecimal});
      put(out, std::uint16_t{0});  // wReserved
      put(out, d.scale);
      put(out, std::uint8_t{d.negative ? std::uint8_t{0x80} : std::uint8_t{0}});
      put(out, d.hi32);
      put(out, static_cast<std::uint32_t>(d.lo64 & 0xFFFFFFFFu));  // Lo32
      put(out, static_cast<std::uint32_t>(d.lo64 >> 32));          // Mid32
      return;
    }
    case ValueType::Error: {
      const auto& e = *v.get<ErrorValue>();
      if (e.hasExcepInfo && !carriesExcepInfo(e.scode)) {
        // The reader decides from the SCODE alone; writing it anyway would desynchronise it.
        throw WireError("error " + std::to_string(e.scode) + " cannot carry exception details");
      }
      put(out, std::uint16_t{kVtError});
      put(out, e.scode);
      if (carriesExcepInfo(e.scode)) {
        put(out, e.scode2);
        putText(out, e.source);
        putText(out, e.description);
        putText(out, e.helpFile);
      }
      return;
    }
    case ValueType::Binary:
    case ValueType::Guid:
      break;
  }
  throw WireError("a value of this type cannot be sent as a parameter");
}

Value decodeValue(std::string_view data, std::size_t& pos) {
  const std::size_t start = pos;
  auto tag = take<std::uint16_t>(data, pos, "type tag");
  switch (tag) {
    case kVtEmpty:
      return Value();
    case kVtNull:
      return Value::null();
    case kVtI2:
      return Value(take<std::int16_t>(data, pos, "I2"));
    case kVtI4:
      return Value(take<std::int32_t>(data, pos, "I4"));
    case kVtR4:
      return Value(static_cast<double>(take<float>(data, pos, "R4")));
    case kVtR8:
      return Value(take<double>(data, pos, "R8"));
    case kVtCy:
      return Value(Currency{take<std::int64_t>(data, pos, "CY")});
    case kVtDate:
      return Value(DateValue{take<double>(data, pos, "DATE")});
    case kVtBstr: {
      auto text = takeText(data, pos);
      return text ? Value(std::move(*text)) : Value::null();
    }
    case kVtError: {
      ErrorValue e;
      e.scode = take<std::int32_t>(data, pos, "SCODE");
      if (carriesExcepInfo(e.scode)) {
        e.hasExcepInfo = true;
        e.scode2 = take<std::int32_t>(data, pos, "EXCEPINFO SCODE");
        e.source = takeText(data, pos).value_or("");
        e.description = takeText(data, pos).value_or("");
        e.helpFile = takeText(data, pos).value_or("");
      }
      return Value(std::move(e));
    }
    case kVtBool: {
      auto b = take<std::uint16_t>(data, pos, "BOOL");
      return Value(b != 0);
    }
    case kVtDecimal: {
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
      return Value(d);
    }
    case kVtUi1:
      return Value(take<std::uint8_t>(data, pos, "UI1"));
    case kDbTypeI8:
      return Value(take<std::int64_t>(data, pos, "I8"));
    default:
      break;
  }
  if (tag == kVtDispatch || (tag & kVtArray) != 0) {
    throw WireError("unsupported value type " + hexTag(tag) + " at offset " + std::to_string(start) +
                    " (objects and arrays are not exchanged)");
  }
  throw WireError("unknown value type tag " + hexTag(tag) + " at offset " + std::to_string(start));
}

}  // namespace zentro::rds
