#include "remote/ado_xml.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/runtime_error.h"
#include "remote/xml_answer.h"
#include "tests/remote/remote_support.h"

namespace zentro {
namespace {

using testing::readData;
using testing::rowsetDoc;

DateValue date(int y, int mo, int d, int h = 0, int mi = 0, double s = 0) {
  return *dateFromParts(y, mo, d, h, mi, s);
}

std::vector<std::string> fieldNames(const Table& t) {
  std::vector<std::string> names;
  for (const auto& f : t.fields()) names.push_back(f.name);
  return names;
}

// The cells of one field in every row, ignoring the filter.
std::vector<Value> column(const Table& t, const char* name) {
  const auto field = static_cast<std::size_t>(t.fieldIndex(name));
  std::vector<Value> cells;
  for (std::size_t i = 0; i < t.rowCount(); ++i) cells.push_back(t.row(i)[field]);
  return cells;
}

TEST(AdoXmlReader, FilesInUtf8AndUtf16AndOneThatCannotBeRead) {
  Table config = readAdoXmlFile(testing::dataPath("config_sample.xml"));
  EXPECT_EQ(fieldNames(config), (std::vector<std::string>{"PropName", "PropValue", "Comment"}));
  EXPECT_EQ(config.fields()[0].definedSize, 255);
  EXPECT_FALSE(config.fields()[0].nullable);
  EXPECT_TRUE(config.fields()[1].nullable);
  EXPECT_EQ(config.absolutePosition(), 1);  // opened on its first row
  std::vector<Value> values{Value("https://zentro.example.test/cv/"), Value("FALSE"), Value("  true  "),
                            Value("W"), Value("ADMIN1"), Value("https://second.example.test/cv/"),
                            Value("ADMIN2"), Value("O'NEIL"), Value::null(),
                            Value("")};  // '' is an empty text, not NULL
  EXPECT_EQ(column(config, "PropValue"), values);
  // The same rows saved by a stream as UTF-16, one of them with a supplementary character.
  values[6] = Value("ADMIN2 é€\U0001F600");
  EXPECT_EQ(column(readAdoXmlFile(testing::dataPath("ado_stream_utf16le.xml")), "PropValue"), values);
  // A file that cannot be read is an error that names it.
  const RuntimeError e = testing::raised([] { readAdoXmlFile(testing::dataPath("no_such_file.xml")); });
  EXPECT_EQ(e.number(), kErrXml);
  EXPECT_NE(e.description().find("no_such_file.xml"), std::string::npos);
}

TEST(AdoXmlReader, EveryTypeReadsItsTextForms) {
  Table t = readAdoXmlFile(testing::dataPath("ado_all_types.xml"));
  ASSERT_EQ(t.rowCount(), 7u);
  auto type = [&](const char* name) { return t.fields()[static_cast<std::size_t>(t.fieldIndex(name))].type; };
  for (auto [name, expected] : {std::pair{"NoType", FieldType::String}, {"I1", FieldType::Int16},
                                 {"UI2", FieldType::Int32}, {"UI4", FieldType::Int64},
                                 {"UI8", FieldType::Decimal}, {"R4", FieldType::Double},
                                 {"Money", FieldType::Currency}, {"Fixed", FieldType::Currency},
                                 {"VarNumeric", FieldType::Decimal}, {"DTime", FieldType::Date},
                                 {"B64", FieldType::Binary}, {"Id", FieldType::Guid}})
    EXPECT_EQ(type(name), expected) << name;
  EXPECT_EQ(t.fields()[static_cast<std::size_t>(t.fieldIndex("Blob"))].definedSize, 2147483647);

  std::vector<std::uint8_t> blob;
  for (int i = 1; i <= 32; ++i) blob.push_back(static_cast<std::uint8_t>(i));
  const std::pair<const char*, Value> firstRow[] = {
      {"WText", Value("Grüße \u201Cquoted\u201D")}, {"AText", Value("plain")},
      {"NoType", Value("untyped")}, {"I1", Value(std::int16_t{-128})},
      {"UI1", Value(std::uint8_t{255})}, {"I2", Value(std::int16_t{-32768})},
      {"UI2", Value(std::int32_t{65535})}, {"Int", Value(std::int32_t{-2147483647 - 1})},
      {"I4", Value(std::int32_t{2147483647})}, {"UI4", Value(std::int64_t{4294967295LL})},
      {"I8", Value(std::int64_t{-9223372036854775807LL - 1})}, {"R4", Value(1.5)},
      {"Float", Value(3.1415926535897931)}, {"R8", Value(-2.5e-10)},
      {"Money", Value(Currency{121200})}, {"Fixed", Value(Currency{9223372036854775807LL})},
      {"Flag", Value(true)}, {"VDate", Value(date(2001, 2, 3, 4, 5, 6))},
      {"DDate", Value(date(1999, 12, 31))}, {"DTime", Value(date(1899, 12, 30, 13, 4, 0))},
      {"Zoned", Value(date(2001, 2, 3, 13, 4, 0))},  // wall clock kept
      {"ZTime", Value(date(1899, 12, 30, 13, 4, 0))},
      {"Bin", Value(std::vector<std::uint8_t>{0x00, 0xFF, 0x10, 0xAB})},
      {"Blob", Value(blob)},  // wrapped over two lines
      {"B64", Value(std::vector<std::uint8_t>{0x00, 0x01, 0x02, 0xFF})}};
  for (const auto& [name, expected] : firstRow) EXPECT_EQ(t.field(name), expected) << name;
  auto text = [&](const char* name) { return t.field(name).toText().value_or("<null>"); };
  const std::pair<const char*, const char*> firstRowTexts[] = {
      {"UI8", "18446744073709551615"}, {"Numeric", "-1234.56"},
      {"VarNumeric", "79228162514264337593543950335"}, {"Stamp", "2001-02-03T04:05:06.125"},
      {"Id", "{8AC68D3D-8A09-4403-8860-D0E494BBE894}"}};
  for (const auto& [name, expected] : firstRowTexts) EXPECT_EQ(text(name), expected) << name;
  EXPECT_EQ(t.field("Numeric").get<DecimalValue>()->scale, 4);  // the digits as written

  // Every row's Flag in its text forms; the last row is all NULL.
  EXPECT_EQ(column(t, "Flag"),
            (std::vector<Value>{Value(true), Value(false), Value(true), Value(false), Value(true),
                                Value(true), Value::null()}));
  for (const Value& v : t.row(6)) EXPECT_TRUE(v.isNull());
  t.moveNext();
  EXPECT_EQ(t.field("WText"), Value(""));
  EXPECT_TRUE(t.field("AText").isNull());
  EXPECT_EQ(text("Id"), "{8AC68D3D-8A09-4403-8860-D0E494BBE894}");
  EXPECT_EQ(t.field("R4"), Value(300.0));
  EXPECT_EQ(t.field("Money"), Value(Currency{-1}));
}

TEST(AdoXmlReader, OrdinalsAliasesPrefixesAndReferences) {
  Table t = readAdoXmlFile(testing::dataPath("ado_unordered_aliases.xml"));
  EXPECT_EQ(fieldNames(t),
            (std::vector<std::string>{"Code", "Last Visit", "Shared", "Amount", "Trailing"}));
  EXPECT_EQ(t.fields()[2].type, FieldType::Int32);   // dt:type on a shared AttributeType
  EXPECT_EQ(t.fields()[3].type, FieldType::Double);  // dt:type on the AttributeType itself
  EXPECT_FALSE(t.fields()[0].nullable);
  ASSERT_EQ(t.recordCount(), 3);
  EXPECT_EQ(testing::rowValues(t, 0),
            (std::vector<Value>{Value("A"), Value(date(2001, 2, 3, 4, 5, 6)),
                                Value(std::int32_t{7}), Value(1.25), Value("t")}));
  EXPECT_EQ(testing::rowValues(t, 1),
            (std::vector<Value>{Value("B"), Value::null(), Value(std::int32_t{-8}),
                                Value::null(), Value::null()}));
  EXPECT_EQ(t.row(2)[0], Value("C"));  // a row that binds its own prefix
}

TEST(AdoXmlReader, PendingChangesShowTheCurrentRows) {
  Table t = readAdoXmlFile(testing::dataPath("ado_pending_changes.xml"));
  ASSERT_EQ(t.recordCount(), 6);
  auto row = [](int id, Value name, Value qty) {
    return std::vector<Value>{Value(std::int32_t{id}), std::move(name), std::move(qty)};
  };
  EXPECT_EQ(testing::rowValues(t, 0), row(1, Value("Unchanged"), Value(std::int32_t{10})));
  EXPECT_EQ(testing::rowValues(t, 1), row(2, Value("After"), Value(std::int32_t{20})));
  EXPECT_EQ(testing::rowValues(t, 2), row(3, Value("Also unchanged"), Value(std::int32_t{30})));
  EXPECT_EQ(testing::rowValues(t, 3), row(5, Value("Inserted A"), Value(std::int32_t{50})));
  EXPECT_EQ(testing::rowValues(t, 4), row(6, Value("Inserted B"), Value::null()));
  EXPECT_EQ(testing::rowValues(t, 5), row(7, Value::null(), Value(std::int32_t{71})));  // forcenull
  t.setFilter("Id = 4");
  EXPECT_EQ(t.recordCount(), 0);  // deleted rows stay hidden
}

TEST(AdoXmlReader, HierarchicalChaptersAreLeftOut) {
  Table t = readAdoXmlFile(testing::dataPath("ado_hierarchical.xml"));
  EXPECT_EQ(fieldNames(t), (std::vector<std::string>{"stor_id", "stor_name", "city"}));
  ASSERT_EQ(t.recordCount(), 2);
  EXPECT_EQ(testing::rowValues(t, 1),
            (std::vector<Value>{Value("7066"), Value("Barnum's"), Value("Tustin")}));
}

TEST(AdoXmlReader, MissingDataYieldsNoRows) {
  std::string noDataDoc = rowsetDoc("<s:AttributeType name='A'/>", "");
  noDataDoc.erase(noDataDoc.find("<rs:data>"), std::string("<rs:data>\n\n</rs:data>").size());
  Table noData = readAdoXml(noDataDoc);
  EXPECT_EQ(noData.recordCount(), 0);
  EXPECT_EQ(fieldNames(noData), std::vector<std::string>{"A"});
  EXPECT_TRUE(noData.eof());
}

// Documents the reader refuses, and what the error says.
struct Malformed {
  const char* name;
  std::string bytes;
  const char* mentions;  // part of the description
};

class AdoXmlMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(AdoXmlMalformed, RaisesTheProviderErrorWithWhatAndWhere) {
  const RuntimeError e = testing::raised([&] { readAdoXml(GetParam().bytes); });
  EXPECT_EQ(e.number(), kErrXml);
  EXPECT_EQ(e.source(), "ADODB.Recordset");
  EXPECT_NE(e.description().find(GetParam().mentions), std::string::npos) << e.description();
}

const std::string kIntColumn =
    "<s:AttributeType name='Qty'><s:datatype dt:type='int'/></s:AttributeType>";
const std::string kBinColumn =
    "<s:AttributeType name='Bin'><s:datatype dt:type='bin.hex'/></s:AttributeType>";
const std::string kTextColumn = "<s:AttributeType name='A'/>";

INSTANTIATE_TEST_SUITE_P(
    Documents, AdoXmlMalformed,
    ::testing::Values(
        Malformed{"TruncatedSchema", readData("broken_truncated_schema.xml"), "line 10, column"},
        Malformed{"WrongSchemaNamespace", readData("ado_wrong_namespace.xml"),
                  "instead of 'uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'"},
        Malformed{"DuplicateOrdinals", readData("ado_duplicate_ordinals.xml"), "same rs:number 1"},
        Malformed{"Empty", "", "not well formed"},
        Malformed{"PlainText", "this is not a rowset", "not well formed"},
        Malformed{"NoSchema", "<xml><data/></xml>", "no s:Schema"},
        Malformed{"BadInteger", rowsetDoc(kIntColumn, "<z:row Qty='1'/>\n<z:row Qty='12x'/>"),
                  "'12x' of the column 'Qty' at line 7, column 13 is not a valid int value"},
        Malformed{"IntegerOutOfRange", rowsetDoc(kIntColumn, "<z:row Qty='2147483648'/>"), "int value"},
        Malformed{"OddHexDigits", rowsetDoc(kBinColumn, "<z:row Bin='abc'/>"), "bin.hex"},
        Malformed{"UndefinedEntity", rowsetDoc(kTextColumn, "<z:row A='&nbsp;'/>"), "undefined entity"},
        Malformed{"BareAmpersand", rowsetDoc(kTextColumn, "<z:row A='a & b'/>"), "&amp;"},
        Malformed{"NulReference", rowsetDoc(kTextColumn, "<z:row A='a&#0;b'/>"), "character reference"},
        Malformed{"ControlCharacter", rowsetDoc(kTextColumn, "<z:row A='a\x01'/>"), "control character"},
        Malformed{"InvalidUtf8", rowsetDoc(kTextColumn, "<z:row A='caf\xE9'/>"), "not valid UTF-8"},
        Malformed{"LoneSurrogate", testing::toUtf16("<xml/>", false, true) + std::string("\x00\xD8", 2),
                  "unpaired surrogate"},
        Malformed{"OddUtf16Length", testing::toUtf16("<xml/>", false, true) + "<", "middle of a character"},
        Malformed{"SecondRoot", rowsetDoc(kTextColumn, "") + "<xml/>", "second root element"},
        Malformed{"TextAfterRoot", rowsetDoc(kTextColumn, "") + "junk", "text outside"},
        Malformed{"DuplicateAttribute", rowsetDoc(kTextColumn, "<z:row A='1' A='2'/>"), "appears twice"},
        Malformed{"UndeclaredPrefix", rowsetDoc(kTextColumn, "<q:row A='1'/>"), "not declared"},
        Malformed{"RowInWrongNamespace",
                  rowsetDoc(kTextColumn, "<rs:row A='1'/>"), "instead of '#RowsetSchema'"},
        Malformed{"UnknownRowElement", rowsetDoc(kTextColumn, "<z:record A='1'/>"), "not a row"},
        Malformed{"MissingReference", rowsetDoc("<s:attribute type='Nowhere'/>", ""), "'Nowhere'"},
        Malformed{"BadOrdinal", rowsetDoc("<s:AttributeType name='A' rs:number='first'/>", ""),
                  "not a column ordinal"},
        Malformed{"DuplicateName",
                  rowsetDoc("<s:AttributeType name='A'/><s:AttributeType name='c1' rs:name='a'/>", ""),
                  "declared twice"},
        Malformed{"NamelessColumn", rowsetDoc("<s:AttributeType rs:number='1'/>", ""), "without a name"},
        Malformed{"NoElementType",
                  "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'><s:Schema/></xml>",
                  "no s:ElementType"},
        Malformed{"DocumentType", "<!DOCTYPE xml [<!ENTITY e 'x'>]>" + rowsetDoc(kTextColumn, ""),
                  "document type"},
        Malformed{"UnknownEncoding", "<?xml version='1.0' encoding='Shift_JIS'?>" +
                                         rowsetDoc(kTextColumn, ""), "'Shift_JIS'"},
        Malformed{"TwoDataSections",
                  rowsetDoc(kTextColumn, "</rs:data><rs:data>"), "second 'rs:data'"}),
    [](const auto& test) { return std::string(test.param.name); });

// The same two cities in every encoding the reader accepts: UTF-8 and UTF-16, or with the same
// letters in one byte each (ISO-8859-1, windows-1252).
TEST(AdoXmlReader, EveryEncodingIsDecodedOnceIntoTheSameRows) {
  const std::string column = "<s:AttributeType name='City'/>";
  const std::string utf8 = rowsetDoc(column, "<z:row City='Zürich'/><z:row City='Köln'/>");
  const std::string oneByte = rowsetDoc(column, "<z:row City='Z\xFCrich'/><z:row City='K\xF6ln'/>");
  const Table expected = readAdoXml(utf8);
  EXPECT_EQ(expected.field("City"), Value("Zürich"));
  const std::pair<const char*, std::string> encodings[] = {
      {"Utf8Bom", "\xEF\xBB\xBF" + utf8},
      {"Utf8Declared", "<?xml version='1.0' encoding='UTF-8'?>\r\n" + utf8},
      {"Utf16LeBom", testing::toUtf16(utf8, false, true)},
      {"Utf16BeBom", testing::toUtf16(utf8, true, true)},
      {"Utf16LeNoBom", testing::toUtf16(utf8, false, false)},
      {"Utf16Declared",
       testing::toUtf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + utf8, false, true)},
      {"Latin1Declared", "<?xml version='1.0' encoding='ISO-8859-1'?>" + oneByte},
      {"Cp1252Declared", "<?xml version='1.0' encoding='windows-1252'?>" + oneByte}};
  for (const auto& [name, bytes] : encodings) {
    Table t;
    ASSERT_NO_THROW(t = readAdoXml(bytes)) << name;
    EXPECT_EQ(t, expected) << name;
  }

  // An answer's text is Unicode already, whatever its declaration says: never decoded twice.
  EXPECT_EQ(loadXmlAnswer("<?xml version='1.0' encoding='ISO-8859-1'?>" + utf8), expected);
  EXPECT_EQ(loadXmlAnswer("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n" + utf8), expected);
  EXPECT_EQ(readAdoXml("<?xml version='1.0' encoding='ISO-8859-1'?>" + utf8).field("City"),
            Value("ZÃ¼rich"));
  EXPECT_THROW(loadXmlAnswer("not a rowset"), RuntimeError);
}

// One field of every type; names that need aliases (a space, the reserved "xml" start,
// a non-ASCII letter) and a real field named like the alias the first of them would get.
Table everyTypeTable() {
  return Table(
      {{"Text", FieldType::String, 50, false},
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
       {"Id", FieldType::Guid, 0, true}},
      {{Value("O'Brien & Sons <\"quoted\">\ttab\r\nline é€\U0001F600"),
        Value(date(2001, 2, 3, 4, 5, 6.125)), Value(std::int32_t{-2147483647 - 1}),
        Value(std::uint8_t{255}), Value(std::int16_t{-32768}),
        Value(std::numeric_limits<std::int64_t>::min()), Value(3.1415926535897931),
        Value(Currency{std::numeric_limits<std::int64_t>::max()}),
        Value(DecimalValue{28, true, 0xFFFFFFFF, 0xFFFFFFFFFFFFFFFFULL}), Value(true),
        Value(std::vector<std::uint8_t>{0x00, 0xFF, 0x7F}),
        Value(GuidValue{{0x8A, 0xC6, 0x8D, 0x3D, 0x8A, 0x09, 0x44, 0x03, 0x88, 0x60, 0xD0, 0xE4,
                         0x94, 0xBB, 0xE8, 0x94}})},
       {Value("")},  // the other cells NULL
       {Value("   "), Value(date(1899, 12, 29, 6)), Value(std::int32_t{0}), Value(std::uint8_t{0}),
        Value(std::int16_t{32767}), Value(std::numeric_limits<std::int64_t>::max()), Value(1e300),
        Value(Currency{-1}), Value(DecimalValue{2, false, 0, 150}), Value(false),
        Value(std::vector<std::uint8_t>{}), Value(GuidValue{})},
       {Value("x"), Value(date(9999, 12, 31, 23, 59, 59)), Value::null(), Value::null(),
        Value::null(), Value::null(), Value(0.1), Value(Currency{0}), Value(DecimalValue{})}});
}

TEST(AdoXmlWriter, EveryTypeRoundTrips) {
  Table original = everyTypeTable();
  std::string xml = writeAdoXml(original);
  Table back = readAdoXml(xml);
  EXPECT_EQ(back, original);
  EXPECT_EQ(loadXmlAnswer(xml), original);

  // The persisted file of every type reads back the same after being written.
  Table read = readAdoXmlFile(testing::dataPath("ado_all_types.xml"));
  EXPECT_EQ(readAdoXml(writeAdoXml(read)), read);
  Table config = readAdoXmlFile(testing::dataPath("config_sample.xml"));
  EXPECT_EQ(readAdoXml(writeAdoXml(config)), config);
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
  for (const char* part : {"&apos;Brien &amp; Sons &lt;&quot;quoted&quot;&gt;&#x9;tab&#xD;&#xA;line",
                           "name='c1_1' rs:name='Last Visit'", "name='c1' rs:number='3'",
                           "name='c3' rs:name='xmlns'", "name='c4' rs:name='Größe'",
                           "Money='922337203685477.5807'", "Exact='-7.9228162514264337593543950335'",
                           "Bytes='00ff7f'", "Id='{8AC68D3D-8A09-4403-8860-D0E494BBE894}'",
                           "c1_1='2001-02-03T04:05:06.125'", "Flag='True'"})
    EXPECT_NE(xml.find(part), std::string::npos) << part;
}

TEST(AdoXmlWriter, RefusesValuesXmlCannotCarry) {
  auto write = [](Value v, FieldType type = FieldType::String) {
    Table t({{"A", type, 0, true}});
    t.appendRow({std::move(v)});
    return writeAdoXml(t);
  };
  EXPECT_THROW(write(Value("caf\xE9")), RuntimeError);
  EXPECT_THROW(write(Value("abc"), FieldType::Int32), RuntimeError);
  EXPECT_THROW(write(Value(std::int32_t{300}), FieldType::UInt8), RuntimeError);
  EXPECT_THROW(write(Value(DateValue{-1e7}), FieldType::Date), RuntimeError);
  const RuntimeError e = testing::raised([&] { write(Value("a\x1Fz")); });
  EXPECT_EQ(e.number(), kErrXml);
  EXPECT_NE(e.description().find("field 'A' in row 1"), std::string::npos) << e.description();
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
