#include "remote/rds_wire.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace zentro::rds {
namespace {

// "0B 00 FF FF" -> bytes
std::string hex(std::string_view text) {
  std::string digits(text), out;
  std::erase(digits, ' ');
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    out += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::string replaceAll(std::string s, std::string_view from, std::string_view to) {
  for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) {
    s.replace(p, from.size(), to);
  }
  return s;
}

// The worked example: Shop.Orders.Method(ByRef a = "ABC", ByVal b = True) returning "OK".
const std::string kExampleRequest = hex(
    "50 4F 53 54 20 2F 6D 73 61 64 63 2F 6D 73 61 64 63 73 2E 64 6C 6C 2F 53 68 6F 70 2E 4F 72 64 65"
    "72 73 2E 4D 65 74 68 6F 64 20 48 54 54 50 2F 31 2E 31 0D 0A 55 73 65 72 2D 41 67 65 6E 74 3A 20"
    "41 43 54 49 56 45 44 41 54 41 0D 0A 48 6F 73 74 3A 20 72 64 73 68 6F 73 74 0D 0A 43 6F 6E 74 65"
    "6E 74 2D 4C 65 6E 67 74 68 3A 20 32 32 34 0D 0A 43 6F 6E 6E 65 63 74 69 6F 6E 3A 20 4B 65 65 70"
    "2D 41 6C 69 76 65 0D 0A 43 61 63 68 65 2D 43 6F 6E 74 72 6F 6C 3A 20 6E 6F 2D 63 61 63 68 65 0D"
    "0A 0D 0A 41 44 43 43 6C 69 65 6E 74 56 65 72 73 69 6F 6E 3A 30 31 2E 30 36 0D 0A 43 6F 6E 74 65"
    "6E 74 2D 54 79 70 65 3A 20 6D 75 6C 74 69 70 61 72 74 2F 6D 69 78 65 64 3B 20 62 6F 75 6E 64 61"
    "72 79 3D 72 64 73 65 78 61 6D 70 6C 65 30 62 6F 75 6E 64 61 72 79 31 3B 20 6E 75 6D 2D 61 72 67"
    "73 3D 32 0D 0A 0D 0A 2D 2D 72 64 73 65 78 61 6D 70 6C 65 30 62 6F 75 6E 64 61 72 79 31 0D 0A 43"
    "6F 6E 74 65 6E 74 2D 54 79 70 65 3A 20 61 70 70 6C 69 63 61 74 69 6F 6E 2F 78 2D 76 61 72 67 0D"
    "0A 43 6F 6E 74 65 6E 74 2D 4C 65 6E 67 74 68 3A 20 31 36 0D 0A 0D 0A 0B 00 FF FF 08 00 06 00 00"
    "00 41 00 42 00 43 00 0D 0A 2D 2D 72 64 73 65 78 61 6D 70 6C 65 30 62 6F 75 6E 64 61 72 79 31 2D"
    "2D 0D 0A");
const std::string kExampleResponse = hex(
    "48 54 54 50 2F 31 2E 31 20 32 30 30 20 4F 4B 0D 0A 43 6F 6E 6E 65 63 74 69 6F 6E 3A 20 63 6C 6F"
    "73 65 0D 0A 0D 0A 43 6F 6E 74 65 6E 74 2D 54 79 70 65 3A 20 6D 75 6C 74 69 70 61 72 74 2F 6D 69"
    "78 65 64 3B 20 62 6F 75 6E 64 61 72 79 3D 72 64 73 65 78 61 6D 70 6C 65 30 62 6F 75 6E 64 61 72"
    "79 31 3B 20 6E 75 6D 2D 61 72 67 73 3D 32 0D 0A 0D 0A 2D 2D 72 64 73 65 78 61 6D 70 6C 65 30 62"
    "6F 75 6E 64 61 72 79 31 0D 0A 43 6F 6E 74 65 6E 74 2D 54 79 70 65 3A 20 61 70 70 6C 69 63 61 74"
    "69 6F 6E 2F 78 2D 76 61 72 67 0D 0A 43 6F 6E 74 65 6E 74 2D 4C 65 6E 67 74 68 3A 20 31 34 0D 0A"
    "0D 0A 00 00 08 00 06 00 00 00 41 00 42 00 43 00 0D 0A 2D 2D 72 64 73 65 78 61 6D 70 6C 65 30 62"
    "6F 75 6E 64 61 72 79 31 0D 0A 43 6F 6E 74 65 6E 74 2D 54 79 70 65 3A 20 61 70 70 6C 69 63 61 74"
    "69 6F 6E 2F 78 2D 76 61 72 67 0D 0A 43 6F 6E 74 65 6E 74 2D 4C 65 6E 67 74 68 3A 20 31 30 0D 0A"
    "0D 0A 08 00 04 00 00 00 4F 00 4B 00 0D 0A 2D 2D 72 64 73 65 78 61 6D 70 6C 65 30 62 6F 75 6E 64"
    "61 72 79 31 2D 2D 0D 0A");
const std::string kRequestBody = kExampleRequest.substr(0xA3);
const std::string kResponseBody = kExampleResponse.substr(0x26);
constexpr const char* kBoundary = "rdsexample0boundary1";

// DISP_E_EXCEPTION raised by ADODB.Connection, with an empty help file.
const ErrorValue kAdoError{static_cast<std::int32_t>(0x80020009u), static_cast<std::int32_t>(0x800A0E7Au),
                           true, "ADODB.Connection", "Bad", ""};
const std::string kErrorBody =
    "Content-Type: application/x-varg\r\nContent-Length: 6\r\n\r\n" +
    hex("0A 00 09 00 02 80 7A 0E 0A 80 20 00 00 00 41 00 44 00 4F 00 44 00 42 00 2E 00 43 00 6F 00"
        "6E 00 6E 00 65 00 63 00 74 00 69 00 6F 00 6E 00 06 00 00 00 42 00 61 00 64 00 00 00 00 00 00");

TEST(RdsWire, WorkedExampleMatchesByteForByte) {
  EXPECT_NE(kExampleRequest.find("POST " + requestPath("Shop.Orders", "Method") + " HTTP/1.1\r\n"),
            std::string::npos);
  for (const auto& [name, value] : requestHeaders()) {
    EXPECT_NE(kExampleRequest.substr(0, 0xA3).find(name + ": " + value + "\r\n"), std::string::npos) << name;
  }
  ASSERT_EQ(kRequestBody.size(), 224u);
  EXPECT_EQ(encodeRequestBody({Value("ABC"), Value(true)}, kBoundary), kRequestBody);
  EXPECT_EQ(decodeRequestBody(kRequestBody), (std::vector<Value>{Value("ABC"), Value(true)}));
  EXPECT_EQ(parseRequestPath("/msadc/msadcs.dll/Shop.Orders.Method"),
            (std::pair<std::string, std::string>{"Shop.Orders", "Method"}));
  EXPECT_THROW(parseRequestPath("/msadc/msadcs.dll/NoMethod"), WireError);
  EXPECT_THROW(parseRequestPath("/other/Shop.Orders.Method"), WireError);
  EXPECT_THROW(requestPath("Shop Orders", "Method"), WireError);
  // The answer is read back by the legitimate variants test (Canonical).
  EXPECT_EQ(encodeResponseBody({Value("ABC"), Value()}, Value("OK"), kBoundary), kResponseBody);
}

TEST(RdsWire, ZeroArguments) {
  std::string body = encodeRequestBody({}, kBoundary);
  EXPECT_EQ(body, std::string("ADCClientVersion:01.06\r\nContent-Type: multipart/mixed; boundary=") +
                      kBoundary + "; num-args=0\r\n\r\n--" + kBoundary + "--\r\n");
  EXPECT_TRUE(decodeRequestBody(body).empty());
  // A random boundary is 20 characters and differs between calls.
  std::string a = encodeRequestBody({}), b = encodeRequestBody({});
  EXPECT_NE(a, b);
  EXPECT_EQ(a.find("; num-args") - a.find("boundary=") - 9, 20u);
}

TEST(RdsWire, ErrorBodyMirrorsTheRealServer) {
  EXPECT_EQ(encodeErrorBody(kAdoError), kErrorBody);
  Response r = decodeResponseBody(kErrorBody);
  ASSERT_TRUE(r.isError);
  EXPECT_EQ(r.error, kAdoError);
  // Headers sent as real HTTP headers: the body is the bare value.
  r = decodeResponseBody(kErrorBody.substr(kErrorBody.find("\r\n\r\n") + 4), "application/x-varg");
  EXPECT_EQ(r.error, kAdoError);
  // A long is not a parameter type: I4 when it fits, else R8.
  std::string out;
  encodeValue(Value(std::int64_t{-5}), out);
  EXPECT_EQ(out, hex("03 00 FB FF FF FF"));
  out.clear();
  encodeValue(Value(std::int64_t{1} << 40), out);
  std::size_t pos = 0;
  EXPECT_EQ(decodeValue(out, pos), Value(1099511627776.0));
  EXPECT_THROW(encodeValue(Value(std::vector<std::uint8_t>{1}), out), WireError);
  EXPECT_THROW(encodeValue(Value(ErrorValue{1, 0, true, "", "", ""}), out), WireError);  // success
}

struct ValueCase {
  const char* name;
  Value value;
  const char* wire;
  bool written;  // false: only ever read (R4, I8, the null text)
};

const ErrorValue kWithInfo{kAdoError.scode, kAdoError.scode2, true, "S", "D", ""};

Value array(std::uint16_t elementType, std::vector<ArrayBound> bounds, std::vector<Value> elements) {
  return Value(ArrayValue{elementType, std::move(bounds), std::move(elements)});
}

// A VARIANT array (1 To 4) holding a number, a text, a null object reference and a nested
// array of texts (0 To 1), one of them Null: what a data factory's status arrays look like.
const Value kStatusArray =
    array(0x0C, {{4, 1}},
          {Value(std::int16_t{7}), Value("A"), Value(NothingValue{}),
           array(0x08, {{2, 0}}, {Value("B"), Value::null()})});
constexpr const char* kStatusArrayWire =
    "0C 20 00 01 00 80 08 10 00 00 00 04 00 00 00 01 00 00 00"  // tag, ARRAYMD, 1 To 4
    " 02 00 07 00  08 00 02 00 00 00 41 00  09 00 01"            // 7, "A", Nothing
    " 08 20 00 01 00 80 01 04 00 00 00 02 00 00 00 00 00 00 00"  // BSTR array 0 To 1
    " 02 00 00 00 42 00  00 00 00 00 01";                         // "B", Null

class RdsValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RdsValue, EncodesAndDecodes) {
  const ValueCase& c = GetParam();
  std::string wire = hex(c.wire);
  if (c.written) {
    std::string out;
    encodeValue(c.value, out);
    EXPECT_EQ(out, wire);
  }
  std::size_t pos = 0;
  EXPECT_EQ(decodeValue(wire, pos), c.value);
  EXPECT_EQ(pos, wire.size());
  if (!c.written) return;
  // The same value travels inside a request and a response.
  EXPECT_EQ(decodeRequestBody(encodeRequestBody({c.value, Value("x")})),
            (std::vector<Value>{c.value, Value("x")}));
  EXPECT_EQ(decodeResponseBody(encodeResponseBody({}, c.value)).returnValue, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    RdsTypes, RdsValue,
    ::testing::Values(
        ValueCase{"Empty", Value(), "00 00", true},
        ValueCase{"Null", Value::null(), "01 00", true},
        ValueCase{"I2", Value(std::int16_t{-2}), "02 00 FE FF", true},
        ValueCase{"I4", Value(std::int32_t{0x12345678}), "03 00 78 56 34 12", true},
        ValueCase{"R4", Value(1.5), "04 00 00 00 C0 3F", false},
        ValueCase{"R8", Value(1.5), "05 00 00 00 00 00 00 00 F8 3F", true},
        ValueCase{"CY", Value(Currency{123456}), "06 00 40 E2 01 00 00 00 00 00", true},
        ValueCase{"DATE", Value(DateValue{2.5}), "07 00 00 00 00 00 00 00 04 40", true},
        ValueCase{"BSTR", Value("ABC"), "08 00 06 00 00 00 41 00 42 00 43 00", true},
        ValueCase{"BSTREmpty", Value(""), "08 00 00 00 00 00 00", true},
        ValueCase{"BSTRNull", Value::null(), "08 00 00 00 00 00 01", false},
        ValueCase{"BSTRNonAscii", Value("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
                  "08 00 08 00 00 00 E9 00 AC 20 3D D8 00 DE", true},
        ValueCase{"BoolTrue", Value(true), "0B 00 FF FF", true},
        ValueCase{"BoolFalse", Value(false), "0B 00 00 00", true},
        ValueCase{"UI1", Value(std::uint8_t{200}), "11 00 C8", true},
        ValueCase{"DECIMAL", Value(DecimalValue{2, true, 1, 0x0000000200000003ull}),
                  "0E 00 00 00 02 80 01 00 00 00 03 00 00 00 02 00 00 00", true},
        ValueCase{"ErrorPlain", Value(ErrorValue{5, 0, false, "", "", ""}), "0A 00 05 00 00 00", true},
        ValueCase{"ErrorWithExcepInfo", Value(kWithInfo),
                  "0A 00 09 00 02 80 7A 0E 0A 80 02 00 00 00 53 00 02 00 00 00 44 00 00 00 00 00 00",
                  true},
        ValueCase{"I8", Value(std::int64_t{-2}), "14 00 FE FF FF FF FF FF FF FF", false},
        ValueCase{"DispatchNothing", Value(NothingValue{}), "09 00 01", true},
        ValueCase{"UnknownNothing", Value(NothingValue{true}), "0D 00 01", true},
        ValueCase{"ArrayOfI4", array(0x03, {{2, 0}}, {Value(std::int32_t{1}), Value(std::int32_t{-1})}),
                  "03 20 00 01 00 80 00 04 00 00 00 02 00 00 00 00 00 00 00 01 00 00 00 FF FF FF FF", true},
        ValueCase{"ArrayOfVariantNested", kStatusArray, kStatusArrayWire, true},
        ValueCase{"ArrayTwoDimensions",
                  array(0x11, {{2, 0}, {2, 1}},
                        {Value(std::uint8_t{10}), Value(std::uint8_t{11}), Value(std::uint8_t{12}),
                         Value(std::uint8_t{13})}),
                  "11 20 00 02 00 80 00 01 00 00 00 02 00 00 00 00 00 00 00 02 00 00 00 01 00 00 00 0A 0B 0C 0D",
                  true},
        ValueCase{"ArrayOfErrors", array(0x0A, {{1, 0}}, {Value(kWithInfo)}),
                  "0A 20 00 01 00 80 00 04 00 00 00 01 00 00 00 00 00 00 00"
                  " 09 00 02 80 7A 0E 0A 80 02 00 00 00 53 00 02 00 00 00 44 00 00 00 00 00 00",
                  true},
        ValueCase{"ArrayOfEmpty", array(0x00, {{3, 0}}, {}), "00 20 00 01 00 80 00 00 00 00 00 03 00 00 00 00 00 00 00",
                  true},
        ValueCase{"NullArray", array(0x08, {}, {}), "08 20 01", true},
        // Read only: interface arrays hold null references; the features word decides the
        // element type where the tag disagrees; 64-bit senders give 24-byte variants.
        ValueCase{"ArrayOfUnknown", array(0x0D, {{1, 0}}, {Value(NothingValue{true})}),
                  "0D 20 00 01 00 00 02 04 00 00 00 01 00 00 00 00 00 00 00 01", false},
        ValueCase{"FeaturesWinOverTag", array(0x0C, {{1, 0}}, {Value(true)}),
                  "03 20 00 01 00 00 08 10 00 00 00 01 00 00 00 00 00 00 00 0B 00 FF FF", false},
        ValueCase{"VariantSize24", array(0x0C, {{1, -5}}, {Value()}),
                  "0C 20 00 01 00 80 08 18 00 00 00 01 00 00 00 FB FF FF FF 00 00", false}),
    [](const auto& p) { return std::string(p.param.name); });

// Forms a sender may legitimately choose; all must read as the worked example's answer or
// request.
TEST(RdsWire, LegitimateVariantsReadAsTheWorkedExample) {
  std::string onePartPerValue = "Content-Type: multipart/mixed; boundary=q; num-args=2\r\n";
  for (const char* v : {"00 00", "08 00 06 00 00 00 41 00 42 00 43 00", "08 00 04 00 00 00 4F 00 4B 00"}) {
    onePartPerValue += "\r\n--q\r\nContent-Type: application/x-varg\r\n\r\n" + hex(v);
  }
  const struct {
    const char* name;
    std::string body;
    std::string httpContentType = "";
  } answers[] = {
      {"Canonical", kResponseBody},
      {"LfOnly", replaceAll(kResponseBody, "\r\n", "\n")},
      {"NamesInOtherCase", replaceAll(replaceAll(kResponseBody, "Content-Type", "content-TYPE"),
                                      "Content-Length", "CONTENT-LENGTH")},
      {"QuotedBoundary", replaceAll(kResponseBody, "boundary=rdsexample0boundary1;",
                                    "boundary=\"rdsexample0boundary1\";")},
      {"HeadersInHttp", kResponseBody.substr(kResponseBody.find("\r\n")),
       "multipart/mixed; boundary=rdsexample0boundary1; num-args=2"},
      {"NoPartLengths", replaceAll(replaceAll(kResponseBody, "Content-Length: 14\r\n", ""),
                                   "Content-Length: 10\r\n", "")},
      {"OnePartPerValue", onePartPerValue + "\r\n--q--\r\n"},
      {"Epilogue", kResponseBody + "trailing words"}};
  for (const auto& a : answers) {
    Response r;
    ASSERT_NO_THROW(r = decodeResponseBody(a.body, a.httpContentType)) << a.name;
    EXPECT_FALSE(r.isError) << a.name;
    EXPECT_EQ(r.params, (std::vector<Value>{Value("ABC"), Value()})) << a.name;
    EXPECT_EQ(r.returnValue, Value("OK")) << a.name;
  }
  const std::vector<Value> args{Value("ABC"), Value(true)};
  EXPECT_EQ(decodeRequestBody(replaceAll(kRequestBody, "ADCClientVersion", "ADCCLientVersion")), args);
  EXPECT_EQ(decodeRequestBody(kRequestBody.substr(kRequestBody.find("\r\n") + 2)), args);
  EXPECT_EQ(decodeRequestBody(replaceAll(kRequestBody, "\r\n", "\n")), args);
}

std::string withValues(std::string_view values, std::string_view numArgs = "1",
                       std::string_view length = "") {
  std::string b = "Content-Type: multipart/mixed; boundary=q; num-args=" + std::string(numArgs) +
                  "\r\n\r\n--q\r\nContent-Type: application/x-varg\r\n";
  if (!length.empty()) b += "Content-Length: " + std::string(length) + "\r\n";
  return b + "\r\n" + hex(values) + "\r\n--q--\r\n";
}

// Bodies that must be refused with WireError, as an answer and as a request.
TEST(RdsWire, MalformedBodiesThrowWireError) {
  std::string tooDeep;  // 17 nested arrays of one VARIANT
  for (int i = 0; i < 17; ++i) tooDeep += "0C 20 00 01 00 80 08 10 00 00 00 01 00 00 00 00 00 00 00 ";
  const std::pair<const char*, std::string> bodies[] = {
      {"Empty", ""},
      {"Garbage", "hello world\r\n\x01\x02"},
      {"Html", "<html>error</html>"},
      {"UnknownTag", withValues("0C 00 00 00")},
      {"DispatchObject", withValues("09 00 00 35 05 00 00")},
      {"ArrayBadMarker", withValues("08 20 02")},
      {"ArrayNoDimensions", withValues("03 20 00 00 00 80 00 04 00 00 00")},
      {"ArrayTooManyDimensions", withValues("03 20 00 41 00 80 00 04 00 00 00")},
      {"ArrayHugeCount",
       withValues("03 20 00 01 00 80 00 04 00 00 00 FF FF FF FF 00 00 00 00 01 00 00 00")},
      {"ArrayCountProductOverflows",
       withValues("11 20 00 02 00 80 00 01 00 00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00")},
      {"ArrayCountBeyondTheBytes",
       withValues("03 20 00 01 00 80 00 04 00 00 00 E8 03 00 00 00 00 00 00 01 00 00 00")},
      {"ArrayWrongElementSize",
       withValues("03 20 00 01 00 80 00 02 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00")},
      {"ArrayVariantTagFixedFeatures",
       withValues("0C 20 00 01 00 80 00 10 00 00 00 01 00 00 00 00 00 00 00 00 00")},
      {"ArrayContradictoryFeatures",
       withValues("0C 20 00 01 00 80 09 10 00 00 00 01 00 00 00 00 00 00 00 00 00")},
      {"ArrayOfDecimal", withValues("0E 20 01")},
      {"ArrayHoldsAnObject",
       withValues("09 20 00 01 00 80 04 04 00 00 00 01 00 00 00 00 00 00 00 00 35 05")},
      {"ArrayNestedTooDeep", withValues(tooDeep + "00 00")},
      {"BadBoundary", replaceAll(withValues("00 00"), "\r\n--q\r\n", "\r\n--z\r\n")},
      {"NoCloseBoundary", withValues("00 00").substr(0, withValues("00 00").size() - 9)},
      {"HugeBstrLength", withValues("08 00 F0 FF FF FF 41 00")},
      {"OddBstrLength", withValues("08 00 03 00 00 00 41 00 42")},
      {"BadNullIndicator", withValues("08 00 00 00 00 00 07")},
      {"OversizedContentLength", withValues("00 00", "1", "9999")},
      {"WrongContentLength", withValues("03 00 01 00 00 00", "1", "4")},
      {"TooManyArgs", withValues("00 00", "1025")},
      {"NoNumArgs", replaceAll(withValues("00 00"), "; num-args=1", "")},
      {"FewerValues", withValues("00 00", "2")},
      {"TooManyValues", withValues("00 00 00 00 00 00", "1")},
      // Two values in one part: the second cannot be the return value, which starts its own.
      {"ReturnValueNotInItsOwnPart", withValues("00 00 00 00", "1")},
      {"VargNotAnError", "Content-Type: application/x-varg\r\n\r\n" + hex("03 00 01 00 00 00")},
      {"VargOversizedLength",
       "Content-Type: application/x-varg\r\nContent-Length: 99\r\n\r\n" + hex("0A 00 05 00 00 00")}};
  for (const auto& [name, body] : bodies) {
    EXPECT_THROW(decodeResponseBody(body), WireError) << name;
    EXPECT_THROW(decodeRequestBody(body), WireError) << name;
  }
}

TEST(RdsWire, ArraysTravelAloneInPartsWithoutLength) {
  const std::string body =
      encodeResponseBody({Value("a"), kStatusArray, Value(std::int32_t{1})}, kStatusArray, "q");
  const std::string part = "\r\n--q\r\nContent-Type: application/x-varg\r\n";
  EXPECT_EQ(body, "Content-Type: multipart/mixed; boundary=q; num-args=3\r\n" + part +
                      "Content-Length: 6\r\n\r\n" + hex("03 00 01 00 00 00") + part + "\r\n" +
                      hex(kStatusArrayWire) + part + "Content-Length: 8\r\n\r\n" +
                      hex("08 00 02 00 00 00 61 00") + part + "\r\n" + hex(kStatusArrayWire) +
                      "\r\n--q--\r\n");
}

TEST(RdsWire, ArrayBoundsHoldForTheWholeMessage) {
  // Each array is within the element bound, two of them in one message are not.
  const Value big = array(0x11, {{600000, 0}}, std::vector<Value>(600000, Value(std::uint8_t{1})));
  std::string wire;
  encodeValue(big, wire);
  const std::string part = "\r\n--q\r\nContent-Type: application/x-varg\r\n\r\n";
  const std::string head = "Content-Type: multipart/mixed; boundary=q; num-args=";
  EXPECT_EQ(decodeResponseBody(head + "1\r\n" + part + wire + "\r\n--q--\r\n").params[0], big);
  const std::string twoArrays = head + "2\r\n" + part + wire + part + wire + "\r\n--q--\r\n";
  EXPECT_THAT([&] { decodeResponseBody(twoArrays); },
              ::testing::ThrowsMessage<WireError>(
                  ::testing::HasSubstr("takes the message past 1048576 array elements")));
  EXPECT_THROW(encodeResponseBody({big, big}, std::nullopt), WireError);
  // Arrays that break their own shape are never written.
  std::string out;
  EXPECT_THROW(encodeValue(array(0x03, {{2, 0}}, {Value(std::int32_t{1})}), out), WireError);
  EXPECT_THROW(encodeValue(array(0x03, {{1, 0}}, {Value("x")}), out), WireError);
  EXPECT_THROW(encodeValue(array(0x0E, {{1, 0}}, {Value(DecimalValue{})}), out), WireError);
  EXPECT_THROW(encodeValue(array(0x08, {}, {Value("x")}), out), WireError);
  Value deep(std::int32_t{1});
  for (int i = 0; i <= 16; ++i) deep = array(0x0C, {{1, 0}}, {deep});
  EXPECT_THROW(encodeValue(deep, out), WireError);
}

// Every prefix of the known messages, and each with random bytes changed, decodes or throws
// WireError (nothing else, and no read past the end).
TEST(RdsWire, PrefixesAndCorruptedBytesDecodeOrThrowWireError) {
  const auto decodesOrRefuses = [](std::string body) {  // a copy: over-reads leave its heap block
    for (auto decode : {+[](const std::string& b) { decodeResponseBody(b); },
                        +[](const std::string& b) { decodeRequestBody(b); }}) {
      try {
        decode(body);
      } catch (const WireError&) {
      }
    }
  };
  std::mt19937 gen(20240611);
  const std::string arrays = encodeResponseBody({kStatusArray}, kStatusArray, kBoundary);
  for (const std::string& full : {kRequestBody, kResponseBody, kErrorBody, arrays}) {
    for (std::size_t n = 0; n <= full.size(); ++n) {
      EXPECT_NO_THROW(decodesOrRefuses(full.substr(0, n))) << "prefix length " << n;
    }
    for (int round = 0; round < 2000; ++round) {
      std::string body = full;
      std::uniform_int_distribution<std::size_t> at(0, body.size() - 1);
      for (int k = 0; k < 3; ++k) body[at(gen)] = static_cast<char>(gen() & 0xFF);
      EXPECT_NO_THROW(decodesOrRefuses(body)) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace zentro::rds
