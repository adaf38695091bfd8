#pragma once
// Value: the typed cell of a table and the argument/result of a remote call.
// Models the VARIANT subset the program exchanges: Empty, Null, text (held as UTF-8),
// 8/16/32/64-bit integers, double, currency, date, Boolean, decimal, binary, GUID,
// error codes, arrays (a remote answer may carry them) and the object reference that refers
// to nothing. Plain value type; no thread affinity.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/calendar.h"

namespace zentro {

enum class ValueType {
  Empty,     // VT_EMPTY
  Null,      // VT_NULL / absent attribute
  String,    // VT_BSTR (UTF-8 in memory)
  UInt8,     // VT_UI1
  Int16,     // VT_I2
  Int32,     // VT_I4
  Int64,     // TableGram I8 / adBigInt
  Double,    // VT_R8 (VT_R4 widens to it)
  Currency,  // VT_CY: value x 10 000
  Date,      // VT_DATE: days since 1899-12-30
  Bool,      // VT_BOOL
  Decimal,   // VT_DECIMAL
  Binary,    // byte array
  Guid,      // adGUID
  Error,     // VT_ERROR
  Array,     // VT_ARRAY | element type (SAFEARRAY)
  Nothing,   // VT_DISPATCH / VT_UNKNOWN that refers to no object
};

struct Currency {
  std::int64_t scaled = 0;  // value x 10 000
  bool operator==(const Currency&) const = default;
};

struct DecimalValue {
  std::uint8_t scale = 0;   // 0..28
  bool negative = false;
  std::uint32_t hi32 = 0;
  std::uint64_t lo64 = 0;   // Mid32 << 32 | Lo32
  bool operator==(const DecimalValue&) const = default;
};

struct GuidValue {
  std::array<std::uint8_t, 16> bytes{};  // in the order of the braced text form
  bool operator==(const GuidValue&) const = default;
};

struct ErrorValue {
  std::int32_t scode = 0;
  std::int32_t scode2 = 0;     // EXCEPINFO scode, when present
  bool hasExcepInfo = false;
  std::string source;
  std::string description;
  std::string helpFile;
  bool operator==(const ErrorValue&) const = default;
};

// Error values and arrays are rare and large; they live behind a pointer so that every other
// Value stays small (tables hold millions of them). Copies are deep; a moved-from box reads as
// a default T.
template <class T>
class Boxed {
 public:
  explicit Boxed(T x) : p_(std::make_unique<T>(std::move(x))) {}
  Boxed(const Boxed& o) : p_(std::make_unique<T>(o.get())) {}
  Boxed& operator=(const Boxed& o) {
    p_ = std::make_unique<T>(o.get());
    return *this;
  }
  Boxed(Boxed&&) noexcept = default;
  Boxed& operator=(Boxed&&) noexcept = default;
  const T& get() const {
    static const T kNone;
    return p_ ? *p_ : kNone;
  }
  bool operator==(const Boxed& o) const { return get() == o.get(); }

 private:
  std::unique_ptr<T> p_;
};
using BoxedError = Boxed<ErrorValue>;

class Value;

// One dimension of an array: `count` elements with indexes from `lower`.
struct ArrayBound {
  std::uint32_t count = 0;
  std::int32_t lower = 0;
  bool operator==(const ArrayBound&) const = default;
};

// An array (SAFEARRAY) as it travels: the VARIANT type of its elements, its dimensions (first
// dimension first; none for the null array, which holds no data at all) and its elements in
// wire order, the last dimension's index varying fastest. Elements of a VT_VARIANT array are
// any values, arrays included; elements of a typed array are values of that type (R4 widens
// to Double, BSTR elements may be Null, interface elements are Nothing). Arrays of VT_EMPTY
// and VT_NULL carry no elements.
struct ArrayValue {
  std::uint16_t elementType = 0x000C;  // VT_VARIANT
  std::vector<ArrayBound> bounds;
  std::vector<Value> elements;
  bool operator==(const ArrayValue&) const = default;
};

// An object reference that refers to no object ("Nothing"). Objects themselves never travel.
struct NothingValue {
  bool unknown = false;  // VT_UNKNOWN rather than VT_DISPATCH
  bool operator==(const NothingValue&) const = default;
};

struct EmptyTag { bool operator==(const EmptyTag&) const = default; };
struct NullTag { bool operator==(const NullTag&) const = default; };

class Value {
 public:
  using Storage = std::variant<EmptyTag, NullTag, std::string, std::uint8_t, std::int16_t,
                               std::int32_t, std::int64_t, double, Currency, DateValue, bool,
                               DecimalValue, std::vector<std::uint8_t>, GuidValue, BoxedError,
                               Boxed<ArrayValue>, NothingValue>;

  Value() = default;  // Empty
  Value(const char* s) : v_(std::string(s)) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::uint8_t x) : v_(x) {}
  Value(std::int16_t x) : v_(x) {}
  Value(std::int32_t x) : v_(x) {}
  Value(std::int64_t x) : v_(x) {}
  Value(double x) : v_(x) {}
  Value(Currency x) : v_(x) {}
  Value(DateValue x) : v_(x) {}
  Value(bool x) : v_(x) {}
  Value(DecimalValue x) : v_(x) {}
  Value(std::vector<std::uint8_t> x) : v_(std::move(x)) {}
  Value(GuidValue x) : v_(x) {}
  Value(ErrorValue x) : v_(BoxedError(std::move(x))) {}
  Value(ArrayValue x) : v_(Boxed<ArrayValue>(std::move(x))) {}
  Value(NothingValue x) : v_(x) {}

  static Value null() { Value v; v.v_ = NullTag{}; return v; }
  static Value empty() { return Value(); }

  // Replaces the value with a T made in place from args, T being one of the Storage types
  // (readers filling large tables, where a temporary Value per cell shows).
  template <class T, class... Args>
  void emplace(Args&&... args) {
    v_.template emplace<T>(std::forward<Args>(args)...);
  }

  ValueType type() const { return static_cast<ValueType>(v_.index()); }
  bool isNull() const { return type() == ValueType::Null; }
  bool isEmpty() const { return type() == ValueType::Empty; }
  bool isNumeric() const;  // UInt8..Decimal except Date/Bool

  const Storage& storage() const { return v_; }
  template <class T> const T* get() const {
    if constexpr (std::is_same_v<T, ErrorValue> || std::is_same_v<T, ArrayValue>) {
      const auto* box = std::get_if<Boxed<T>>(&v_);
      return box != nullptr ? &box->get() : nullptr;
    } else {
      return std::get_if<T>(&v_);
    }
  }

  // The program's conversions of a variant. Each returns nullopt where the conversion fails
  // with a type mismatch or an invalid use of Null (arrays and Nothing never convert).
  std::optional<std::string> toText() const;   // Empty -> ""; Null -> nullopt
  std::optional<double> toDouble() const;      // numeric texts accepted ("12", " 3.5 ")
  std::optional<std::int64_t> toInt64() const; // rounds halves to even; nullopt on overflow
  std::optional<bool> toBool() const;          // numbers: non-zero; texts "True"/"False"/numbers

  // Text for display and logs: Null -> "Null", Empty -> "", Nothing -> "Nothing", an array
  // -> "Array(0 To 1)(1, \"a\")" (texts inside arrays quoted, nested arrays inline).
  std::string debugText() const;

  bool operator==(const Value& o) const = default;

 private:
  Storage v_;
};

}  // namespace zentro
