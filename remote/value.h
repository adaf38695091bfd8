#pragma once
// Value: the typed cell of a table and the argument/result of a remote call.
// Models the VARIANT subset the system exchanges: Empty, Null, text (held as UTF-8),
// 8/16/32/64-bit integers, double, currency, date, Boolean, decimal, binary, GUID
// and error codes. Plain value type; no thread affinity.

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
};

struct Currency {
  std::int64_t scaled = 0;  // value x 10 000
  bool operator==(const Currency&) const = default;
};

struct DateValue {
  double days = 0;  // OLE automation date: days since 1899-12-30, fraction = time of day
  bool operator==(const DateValue&) const = default;
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

// Error values are rare and large; they live behind a pointer so that every other Value stays
// small (tables hold millions of them). Copies are deep; a moved-from box reads as a default
// ErrorValue.
class BoxedError {
 public:
  explicit BoxedError(ErrorValue e) : p_(std::make_unique<ErrorValue>(std::move(e))) {}
  BoxedError(const BoxedError& o) : p_(std::make_unique<ErrorValue>(o.get())) {}
  BoxedError& operator=(const BoxedError& o) {
    p_ = std::make_unique<ErrorValue>(o.get());
    return *this;
  }
  BoxedError(BoxedError&&) noexcept = default;
  BoxedError& operator=(BoxedError&&) noexcept = default;
  const ErrorValue& get() const {
    static const ErrorValue kNone;
    return p_ ? *p_ : kNone;
  }
  bool operator==(const BoxedError& o) const { return get() == o.get(); }

 private:
  std::unique_ptr<ErrorValue> p_;
};

struct EmptyTag { bool operator==(const EmptyTag&) const = default; };
struct NullTag { bool operator==(const NullTag&) const = default; };

class Value {
 public:
  using Storage = std::variant<EmptyTag, NullTag, std::string, std::uint8_t, std::int16_t,
                               std::int32_t, std::int64_t, double, Currency, DateValue, bool,
                               DecimalValue, std::vector<std::uint8_t>, GuidValue, BoxedError>;

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
    if constexpr (std::is_same_v<T, ErrorValue>) {
      const auto* box = std::get_if<BoxedError>(&v_);
      return box != nullptr ? &box->get() : nullptr;
    } else {
      return std::get_if<T>(&v_);
    }
  }

  // Conversions as the system's late-bound language applies them. Each returns
  // nullopt where that language would raise a type-mismatch or invalid-use-of-Null.
  std::optional<std::string> toText() const;   // Empty -> ""; Null -> nullopt
  std::optional<double> toDouble() const;      // numeric texts accepted ("12", " 3.5 ")
  std::optional<std::int64_t> toInt64() const; // rounds halves to even; nullopt on overflow
  std::optional<bool> toBool() const;          // numbers: non-zero; texts "True"/"False"/numbers

  // Text for display and logs: Null -> "Null", Empty -> "".
  std::string debugText() const;

  bool operator==(const Value& o) const = default;

 private:
  Storage v_;
};

// "YYYY-MM-DDTHH:MM:SS[.fff]" of an OLE date (no zone); and back (nullopt when not a date).
std::string formatIsoDate(DateValue d);
std::optional<DateValue> dateFromParts(int year, int month, int day, int hour, int minute,
                                       double second);

// Upper-casing as the user's locale does for the texts the system handles (ASCII and Latin-1
// letters in UTF-8). Trim removes leading and trailing spaces only.
std::string upperCase(std::string_view s);
std::string lowerCase(std::string_view s);
std::string trimSpaces(std::string_view s);
bool equalsNoCase(std::string_view a, std::string_view b);
// Orders texts without regard to letter case (by upper-cased code points): <0, 0, >0.
int compareNoCase(std::string_view a, std::string_view b);

}  // namespace zentro
