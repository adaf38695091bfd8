#include <gtest/gtest.h>

#include <limits>

#include "platform/runtime_error.h"
#include "remote/ado_xml.h"
#include "remote/xml_answer.h"
#include "tests/remote/ado_xml_support.h"
#include "tests/support/temp_dir.h"

namespace zentro {
namespace {

DateValue date(int y, int mo, int d, int h = 0, int mi = 0, double s = 0) {
  return *dateFromParts(y, mo, d, h, mi, s);
}

DecimalValue decimal(std::uint32_t hi, std::uint64_t lo, std::uint8_t scale, bool negative) {
  DecimalValue d;
  d.hi32 = hi;
  d.lo64 = lo;
  d.scale = scale;
  d.negative = negative;
  return d;
}

// One field of every type; names that need aliases (a space, the reserved "xml" start,
// a non-ASCII letter) and a real field named like the alias the first of them would get.
Table everyTypeTable() {
  Table t({{"Text", FieldType::String, 50, false},
           {"Last Visit", FieldType::Date, 0, true},
           {"c1", FieldType::Int32, 0, true},
           {"xmlns", FieldType::UInt8, 0, true},
           {"Größe", FieldType::Int16, 0, true},
           {"Big", FieldType::Int64, 0, true},
           {"Real", FieldType::Double, 0, true},
           {"Money", FieldType::Currency, 0, true},
           {"Exact", FieldType::Decimal, 0, true},
           {"Flag", FieldType::Bool, 0, true},
           {"Bytes", FieldType::Binary, 16, true},
           {"Id", FieldType::Guid, 0, true}});
  t.appendRow({Value("O'Brien & Sons <\"quoted\">\ttab\r\nline é€\U0001F600"),
               Value(date(2001, 2, 3, 4, 5, 6.125)), Value(std::int32_t{-2147483647 - 1}),
               Value(std::uint8_t{255}), Value(std::int16_t{-32768}),
               Value(std::numeric_limits<std::int64_t>::min()), Value(3.1415926535897931),
               Value(Currency{std::numeric_limits<std::int64_t>::max()}),
               Value(decimal(0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFULL, 28, true)), Value(true),
               Value(std::vector<std::uint8_t>{0x00, 0xFF, 0x7F}),
               Value(GuidValue{{0x8A, 0xC6, 0x8D, 0x3D, 0x8A, 0x09, 0x44, 0x03, 0x88, 0x60, 0xD0,
                                0xE4, 0x94, 0xBB, 0xE8, 0x94}})});
  t.appendRow({Value(""), Value::null(), Value::null(), Value::null(), Value::null(),
               Value::null(), Value::null(), Value::null(), Value::null(), Value::null(),
               Value::null(), Value::null()});
  t.appendRow({Value("   "), Value(date(1899, 12, 29, 6)), Value(std::int32_t{0}),
               Value(std::uint8_t{0}), Value(std::int16_t{32767}),
               Value(std::numeric_limits<std::int64_t>::max()), Value(1e300),
               Value(Currency{-1}), Value(decimal(0, 150, 2, false)), Value(false),
               Value(std::vector<std::uint8_t>{}), Value(GuidValue{})});
  t.appendRow({Value("x"), Value(date(9999, 12, 31, 23, 59, 59)), Value::null(), Value::null(),
               Value::null(), Value::null(), Value(0.1), Value(Currency{0}),
               Value(decimal(0, 0, 0, false)), Value::null(), Value::null(), Value::null()});
  return t;
}

TEST(AdoXmlWriter, EveryTypeRoundTrips) {
  Table original = everyTypeTable();
  std::string xml = writeAdoXml(original);
  Table back = readAdoXml(xml);
  EXPECT_EQ(back, original);
  EXPECT_EQ(loadXmlAnswer(xml), original);
  EXPECT_EQ(readAdoXml(writeAdoXml(back)), original);

  // The persisted file of every type reads back the same after being written.
  Table read = readAdoXmlFile(testing::dataPath("ado_all_types.xml"));
  EXPECT_EQ(readAdoXml(writeAdoXml(read)), read);
  Table config = readAdoXmlFile(testing::dataPath("config_sample.xml"));
  EXPECT_EQ(readAdoXml(writeAdoXml(config)), config);
  testing::TempDir dir;  // and from disk
  EXPECT_EQ(readAdoXmlFile(dir.write("VMIZentroConfig.XML", writeAdoXml(config))), config);
}

TEST(AdoXmlWriter, WritesInTheLibrarysOwnStyle) {
  Table t({{"Name", FieldType::String, 50, false},
           {"Qty", FieldType::Int32, 4, false},
           {"Last Visit", FieldType::Date, 16, true}});
  t.appendRow({Value("O'Brien & Sons"), Value(std::int32_t{3}), Value(date(2001, 2, 3, 4, 5, 6))});
  t.appendRow({Value("Smith"), Value(std::int32_t{0})});
  EXPECT_EQ(writeAdoXml(t), testing::readData("ado_written_example.xml"));
}

TEST(AdoXmlWriter, EscapesAndAliasesWhatXmlCannotHoldAsIs) {
  std::string xml = writeAdoXml(everyTypeTable());
  EXPECT_EQ(xml.rfind("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'", 0), 0u);
  EXPECT_EQ(xml.find("<?xml"), std::string::npos);
  for (const char* part : {"&apos;Brien &amp; Sons &lt;&quot;quoted&quot;&gt;&#x9;tab&#xD;&#xA;line",
                           "name='c1_1' rs:name='Last Visit'", "name='c1' rs:number='3'",
                           "name='c3' rs:name='xmlns'", "name='c4' rs:name='Größe'",
                           "Money='922337203685477.5807'", "Exact='-7.9228162514264337593543950335'",
                           "Bytes='00ff7f'", "Id='{8AC68D3D-8A09-4403-8860-D0E494BBE894}'",
                           "c1_1='2001-02-03T04:05:06.125'", "Flag='True'",
                           "\t<z:row Text=''/>"})  // the last: NULLs are left out
    EXPECT_NE(xml.find(part), std::string::npos) << part;
}

TEST(AdoXmlWriter, RefusesValuesXmlCannotCarry) {
  auto write = [](Value v, FieldType type = FieldType::String) {
    Table t({{"A", type, 0, true}});
    t.appendRow({std::move(v)});
    return writeAdoXml(t);
  };
  EXPECT_THROW(write(Value("a\x01z")), RuntimeError);
  EXPECT_THROW(write(Value("caf\xE9")), RuntimeError);
  EXPECT_THROW(write(Value("abc"), FieldType::Int32), RuntimeError);
  EXPECT_THROW(write(Value(std::int32_t{300}), FieldType::UInt8), RuntimeError);
  EXPECT_THROW(write(Value(DateValue{-1e7}), FieldType::Date), RuntimeError);
  try {
    write(Value("a\x1Fz"));
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrXml);
    EXPECT_NE(e.description().find("field 'A' in row 1"), std::string::npos) << e.description();
  }
  // Values of other types convert to the field's type.
  Table mixed({{"N", FieldType::Int32, 0, true}, {"T", FieldType::String, 0, true}});
  mixed.appendRow({Value("42"), Value(std::int32_t{7})});
  Table back = readAdoXml(writeAdoXml(mixed));
  EXPECT_EQ(testing::rowValues(back, 0),
            (std::vector<Value>{Value(std::int32_t{42}), Value("7")}));
  // An empty table still carries its schema.
  Table empty({{"Only", FieldType::Bool, 0, false}});
  EXPECT_EQ(readAdoXml(writeAdoXml(empty)), empty);
}

}  // namespace
}  // namespace zentro
