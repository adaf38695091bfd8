#include "remote/text_case.h"
#include "remote/utf8.h"
#include "remote/value.h"
#include "remote/value_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace zentro {
namespace {

// Each conversion as a table; nullopt where the value has no such form.
TEST(Value, ConvertsToTextBoolIntegerAndDouble) {
  const std::pair<Value, const char*> texts[] = {
      {Value(), ""}, {Value("abc"), "abc"}, {Value(std::uint8_t{200}), "200"},
      {Value(std::int16_t{-5}), "-5"}, {Value(std::int32_t{42}), "42"},
      {Value(std::int64_t{-9223372036854775807LL - 1}), "-9223372036854775808"},
      {Value(0.1), "0.1"}, {Value(2.5), "2.5"}, {Value(1.0 / 3.0), "0.333333333333333"},
      {Value(-0.0), "0"}, {Value(1e20), "1E+20"}, {Value(0.00001), "1E-05"},
      {Value(0.0001), "0.0001"}, {Value(123456789012345.0), "123456789012345"},
      {Value(123456789012345678.0), "1.23456789012346E+17"}, {Value(true), "True"},
      {Value(false), "False"}, {Value(Currency{125000}), "12.5"},
      {Value(Currency{-1}), "-0.0001"}, {Value(DecimalValue{2, false, 0, 150}), "1.5"},
      {Value(DecimalValue{2, true, 0, 150}), "-1.5"},
      {Value(DecimalValue{3, false, 0, 5}), "0.005"},
      {Value(*dateFromParts(2001, 2, 3, 4, 5, 6)), "2001-02-03T04:05:06"},
      {Value(std::vector<std::uint8_t>{'H', 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xD8, 'i', 0, 7}),
       "H\xF0\x9F\x98\x80\xEF\xBF\xBDi"}};
  for (const auto& [v, t] : texts) EXPECT_EQ(v.toText(), std::optional<std::string>(t)) << t;
  const std::optional<bool> noBool;
  const std::pair<Value, std::optional<bool>> bools[] = {
      {Value("True"), true}, {Value("false"), false}, {Value(" TRUE "), true},
      {Value("0"), false}, {Value("-1"), true}, {Value("2.5"), true}, {Value("yes"), noBool},
      {Value(""), noBool}, {Value(std::int32_t{0}), false}, {Value(Currency{1}), true},
      {Value(DecimalValue{2, false, 0, 0}), false}, {Value(), false}, {Value::null(), noBool}};
  for (const auto& [v, b] : bools) EXPECT_EQ(v.toBool(), b) << v.debugText();
  // Integers round halves to even.
  const std::optional<std::int64_t> noInt;
  const std::pair<Value, std::optional<std::int64_t>> ints[] = {
      {Value(2.5), 2}, {Value(3.5), 4}, {Value(-2.5), -2}, {Value(2.6), 3}, {Value("2.5"), 2},
      {Value(" 12 "), 12}, {Value("9223372036854775807"), 9223372036854775807LL},
      {Value(Currency{25000}), 2}, {Value(Currency{35000}), 4}, {Value(Currency{-25000}), -2},
      {Value(Currency{-35001}), -4}, {Value(DecimalValue{1, false, 0, 25}), 2},
      {Value(DecimalValue{1, true, 0, 35}), -4},
      {Value(true), -1}, {Value(1e19), noInt}, {Value(std::numeric_limits<double>::quiet_NaN()), noInt},
      {Value("abc"), noInt}, {Value(GuidValue{}), noInt}, {Value::null(), noInt}};
  for (const auto& [v, i] : ints) EXPECT_EQ(v.toInt64(), i) << v.debugText();
  // Texts only when they are numbers.
  const std::optional<double> noDouble;
  const std::pair<Value, std::optional<double>> doubles[] = {
      {Value(" 3.5 "), 3.5}, {Value("-1e3"), -1000.0}, {Value("+.5"), 0.5}, {Value("1,5"), noDouble},
      {Value("12abc"), noDouble}, {Value("1e999"), noDouble}, {Value("1e-999"), 0.0},
      {Value(true), -1.0}, {Value(Currency{12345}), 1.2345}, {Value::null(), noDouble}};
  for (const auto& [v, d] : doubles) EXPECT_EQ(v.toDouble(), d) << v.debugText();
  EXPECT_TRUE(Value(std::int16_t{1}).isNumeric());
  EXPECT_TRUE(Value(DecimalValue{0, false, 0, 1}).isNumeric());
  EXPECT_FALSE(Value(true).isNumeric());
  EXPECT_FALSE(Value(DateValue{}).isNumeric());
  // Null has no text and shows as such; Empty shows as nothing.
  EXPECT_FALSE(Value::null().toText().has_value());
  EXPECT_EQ(Value::null().debugText(), "Null");
  EXPECT_EQ(Value().debugText(), "");
  EXPECT_TRUE(Value().isEmpty());
}

TEST(TextCase, UpperLowerAndCompareFollowTheWesternLocale) {
  EXPECT_EQ(upperCase("filer9 ab"), "FILER9 AB");
  EXPECT_EQ(upperCase("müller ça ÿ œ"), "MÜLLER ÇA Ÿ Œ");
  EXPECT_EQ(upperCase("straße ÷"), "STRAßE ÷");
  EXPECT_EQ(lowerCase("MÜLLER Ÿ ×"), "müller ÿ ×");
  EXPECT_EQ(upperCase("\xff\xfe"), "\xff\xfe");  // bytes that are not UTF-8 pass unchanged
  EXPECT_TRUE(equalsNoCase("Müller", "MÜLLER"));
  EXPECT_FALSE(equalsNoCase("Muller", "MÜLLER"));
  EXPECT_FALSE(equalsNoCase("abc", "abcd"));
  EXPECT_LT(compareNoCase("apple", "BANANA"), 0);
  EXPECT_GT(compareNoCase("b", "A"), 0);
  EXPECT_LT(compareNoCase("ab", "ABC"), 0);
  EXPECT_EQ(compareNoCase("ÉTÉ", "été"), 0);
}

// Well-formed characters decode and encode back to their bytes; anything else is one byte.
TEST(Utf8, DecodesWellFormedCharactersOnly) {
  const struct { std::string_view text; bool valid, overlong; } rows[] = {
      {"a", true, false}, {"\xC3\xA9", true, false}, {"\xE2\x82\xAC", true, false},
      {"\xF0\x9F\x98\x80", true, false}, {"\xC0\xAF", false, true}, {"\xE0\x80\xAF", false, true},
      {"\xED\xA0\x80", false, false} /* surrogate */, {"\xF4\x90\x80\x80", false, false},
      {"\xE2\x82", false, false}, {"\x80", false, false}, {"\xC3" "a", false, false}};
  for (const auto& row : rows) {
    const Utf8Char c = decodeUtf8(row.text, 0);
    std::string back;
    if (c.valid) appendUtf8(back, c.codePoint);
    EXPECT_EQ(back, row.valid ? row.text : "") << row.text;
    EXPECT_EQ(c.length, row.valid ? row.text.size() : 1) << row.text;
    EXPECT_EQ(c.overlong, row.overlong) << row.text;
  }
}

// Found by fuzzing the rowset reader: a long run of digits overflowed the fast path's sum.
TEST(ValueText, LongCurrencyTextsAreOutOfRangeNotOverflow) {
  EXPECT_EQ(value_text::parseCurrency(std::string(30, '9')), std::nullopt);
  EXPECT_EQ(value_text::parseCurrency("-" + std::string(25, '1') + ".5"), std::nullopt);
  ASSERT_TRUE(value_text::parseCurrency("99999999999999.9999"));
  EXPECT_EQ(value_text::parseCurrency("99999999999999.9999")->scaled, 999999999999999999LL);
  EXPECT_EQ(value_text::parseCurrency("123456789012345")->scaled, 1234567890123450000LL)
      << "15 integer digits still fit, through the general path";
}

}  // namespace
}  // namespace zentro
