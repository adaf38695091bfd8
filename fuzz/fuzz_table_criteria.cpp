// Filter and Find criteria on a small table with a field of every type and some NULL cells.
// Bad criteria must raise RuntimeError and leave the previous filter in force; good criteria
// must give a view that the moves walk exactly.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/runtime_error.h"
#include "remote/table.h"

namespace {

using zentro::FieldType;
using zentro::Table;
using zentro::Value;
using zentro::fuzz::unlessRefused;

constexpr std::string_view kPreviousFilter = "Id > 1";

Table makeTable() {
  using zentro::Currency;
  using zentro::DecimalValue;
  using zentro::GuidValue;
  auto date = [](int y, int m, int d) { return Value(*zentro::dateFromParts(y, m, d, 12, 30, 0)); };
  auto bytes = [](std::vector<std::uint8_t> b) { return Value(std::move(b)); };
  // The names of the table tests' fields, so their criteria texts make useful seeds.
  return Table(
      {{"PropName", FieldType::String, 50, false},
       {"PropValue", FieldType::String, 4000, true},
       {"Id", FieldType::Int32, 0, false},
       {"Amount", FieldType::Double, 0, true},
       {"When", FieldType::Date, 0, true},
       {"Flag", FieldType::Bool, 0, true},
       {"Price", FieldType::Currency, 0, true},
       {"Big", FieldType::Int64, 0, true},
       {"Small", FieldType::UInt8, 0, true},
       {"Short", FieldType::Int16, 0, true},
       {"Exact", FieldType::Decimal, 0, true},
       {"Bytes", FieldType::Binary, 0, true},
       {"Key", FieldType::Guid, 0, true},
       {"Prop Code", FieldType::String, 10, true}},
      {{Value("BaseURL"), Value("https://a.example.test/"), Value(std::int32_t{1}), Value(1.5),
        date(2001, 2, 3), Value(true), Value(Currency{12345}), Value(std::int64_t{1} << 40),
        Value(std::uint8_t{7}), Value(std::int16_t{-3}), Value(DecimalValue{2, false, 0, 314}),
        bytes({1, 2, 3}), Value(GuidValue{{1, 2, 3}}), Value("007")},
       {Value("O'NEIL"), Value("TRUE"), Value(std::int32_t{2}), Value(-2.25), date(1899, 12, 30),
        Value(false), Value(Currency{-1}), Value(std::int64_t{-5}), Value(std::uint8_t{255}),
        Value(std::int16_t{0}), Value(DecimalValue{0, true, 1, 0}), bytes({}), Value::null(),
        Value("")},
       // Every cell but the key fields NULL.
       {Value("caf\xC3\xA9"), Value::null(), Value(std::int32_t{3})},
       {Value("UPDATEADMINLOGIN"), Value("ADMIN1"), Value(std::int32_t{-4}), Value(1e300),
        date(9999, 12, 31), Value(true), Value(Currency{0}), Value(std::int64_t{0}),
        Value(std::uint8_t{0}), Value(std::int16_t{32767}), Value(DecimalValue{28, false, 0, 1}),
        bytes({0xFF}), Value(GuidValue{}), Value("abc")}});
}

// Walks the view from its first row; the count of rows walked must be the record count.
void walkView(Table& t) {
  long count = t.recordCount();
  if (count < 0 || static_cast<std::size_t>(count) > t.rowCount()) std::abort();
  if (count == 0) {
    if (!t.eof()) std::abort();
    return;
  }
  long walked = 0;
  for (t.moveFirst(); !t.eof(); t.moveNext()) {
    ++walked;
    if (t.absolutePosition() != walked) std::abort();
    (void)t.field(0);
  }
  if (walked != count) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view criteria(reinterpret_cast<const char*>(data), size);
  static const Table kTemplate = makeTable();

  Table t = kTemplate;
  t.setFilter(kPreviousFilter);
  const long before = t.recordCount();
  const bool accepted = unlessRefused<zentro::RuntimeError>([&] {
                          t.setFilter(criteria);
                          return true;
                        }).has_value();
  if (!accepted && (t.filter() != kPreviousFilter || t.recordCount() != before)) std::abort();
  if (accepted) {
    bool blank = criteria.find_first_not_of(" \t\r\n") == std::string_view::npos;
    if (t.filter() != (blank ? std::string_view() : criteria)) std::abort();
    walkView(t);
  }

  t.setFilter("");
  for (long skip : {0L, 1L}) {
    t.moveFirst();
    try {
      if (t.find(criteria, skip)) {
        if (t.eof() || t.absolutePosition() < 1 + skip) std::abort();
      } else if (!t.eof()) {
        std::abort();
      }
    } catch (const zentro::RuntimeError&) {
    }
  }
  return 0;
}
