#include "remote/ado_xml_row_scan.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "remote/ado_xml.h"
#include "remote/ado_xml_document.h"
#include "tests/remote/remote_support.h"

namespace zentro {
namespace {

using ado_xml::DataSection;
using ado_xml::findDataSection;
using ado_xml::firstElementName;
using ado_xml::scanPlainRows;
using testing::rowsetDoc;

// The columns of every case: one of most types, and a hidden row id.
const std::string kColumns =
    "<s:AttributeType name='Text'/>\n"
    "<s:AttributeType name='Count'><s:datatype dt:type='int'/></s:AttributeType>\n"
    "<s:AttributeType name='Big'><s:datatype dt:type='i8'/></s:AttributeType>\n"
    "<s:AttributeType name='Ratio'><s:datatype dt:type='float'/></s:AttributeType>\n"
    "<s:AttributeType name='Price'><s:datatype dt:type='number' rs:dbtype='currency'/></s:AttributeType>\n"
    "<s:AttributeType name='Flag'><s:datatype dt:type='boolean'/></s:AttributeType>\n"
    "<s:AttributeType name='When'><s:datatype dt:type='dateTime'/></s:AttributeType>\n"
    "<s:AttributeType name='Bytes'><s:datatype dt:type='bin.hex'/></s:AttributeType>\n"
    "<s:AttributeType name='Id'><s:datatype dt:type='uuid'/></s:AttributeType>\n"
    "<s:AttributeType name='RowId' rs:hidden='true'><s:datatype dt:type='int'/></s:AttributeType>";

// The document of the rows, and the same read by the full reader: a comment ahead of the rows
// is nothing a table holds, but no plain data section has one.
std::string plainDoc(const std::string& rows) { return rowsetDoc(kColumns, rows); }
std::string fullReaderDoc(const std::string& rows) {
  return rowsetDoc(kColumns, "<!-- read by the full reader -->" + rows);
}

// The rows as the scanner reads them, with the schema the reader parses from the document
// without them.
std::optional<RowBlocks> scan(const std::string& doc) {
  std::optional<DataSection> section = findDataSection(doc);
  if (!section) return std::nullopt;
  std::string buffer = doc.substr(0, section->contentStart) + doc.substr(section->contentEnd);
  ado_xml::ParsedRowset parsed;
  ado_xml::parseRowset(buffer.data(), buffer.size(), {doc, buffer.data()}, parsed);
  return scanPlainRows(doc, *section, firstElementName(doc, *section), parsed.schema);
}

struct RowsCase {
  const char* name;
  std::string rows;
};

void PrintTo(const RowsCase& c, std::ostream* os) { *os << c.name; }

class PlainRows : public ::testing::TestWithParam<RowsCase> {};

TEST_P(PlainRows, ReadFromTheTextAsTheFullReaderReadsThem) {
  const std::string doc = plainDoc(GetParam().rows);
  std::optional<RowBlocks> rows = scan(doc);
  ASSERT_TRUE(rows.has_value()) << "not taken as plain";
  Table full = readAdoXml(fullReaderDoc(GetParam().rows));
  EXPECT_EQ(Table(full.fields(), std::move(*rows)), full);
  EXPECT_EQ(readAdoXml(doc), full);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlainRows,
    ::testing::Values(
        RowsCase{"EveryType",
                 "<z:row Text='a' Count='-12' Big='9007199254740993' Ratio='0.1' Price='12.3456' "
                 "Flag='True' When='2001-02-03T04:05:06' Bytes='00ff10' "
                 "Id='{8AC68D3D-8A09-4403-8860-D0E494BBE894}' RowId='7'/>"},
        RowsCase{"MissingAttributesAreNull", "<z:row/>\n<z:row Count='1'/>\n<z:row Text=''/>"},
        RowsCase{"EntitiesAndCharacterReferences",
                 "<z:row Text='O&apos;Brien &amp; Sons &lt;b&gt; &quot;q&quot; &#65;&#x42;&#x20AC;"
                 "&#x1F600;'/>"},
        RowsCase{"LineEndsAndTabsBecomeSpaces",
                 "<z:row Text='a\tb\nc\r\nd\re' Bytes='00\nff'/>\n"
                 "<z:row Text='kept:&#9;&#10;&#13;&#10;'/>"},
        RowsCase{"QuotesSpacingAndLineEndsBetweenAttributes",
                 "<z:row Text=\"it's\" Count = '3'\r\n\tRatio=\r\n'2.5'  />\r\n"
                 "<z:row Text='say \"hi\"'/>"},
        RowsCase{"AttributesInAnyOrder",
                 "<z:row Text='a' Count='1'/>\n<z:row Count='2' Text='b'/>\n"
                 "<z:row RowId='3' Count='3'/>\n<z:row Count='4' Text='d'/>"},
        RowsCase{"UnknownAttributesArePassedOver",
                 "<z:row Extra='x &amp; y' Text='a' Other=''/>"},
        RowsCase{"NonAsciiTextAndMarkupCharacters",
                 "<z:row Text='caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 a>b'/>"},
        RowsCase{"OnlyWhiteSpace", " \r\n\t "}),
    [](const auto& test) { return std::string(test.param.name); });

class NotPlainRows : public ::testing::TestWithParam<RowsCase> {};

// What the scanner declines is read by the full reader: the same table, or its error.
TEST_P(NotPlainRows, AreLeftToTheFullReader) {
  const std::string doc = plainDoc(GetParam().rows);
  EXPECT_FALSE(scan(doc).has_value());
  Table full;
  try {
    full = readAdoXml(fullReaderDoc(GetParam().rows));
  } catch (const RuntimeError& e) {
    EXPECT_THROW(readAdoXml(doc), RuntimeError) << "the full reader refuses: " << e.description();
    return;
  }
  EXPECT_EQ(readAdoXml(doc), full);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NotPlainRows,
    ::testing::Values(
        RowsCase{"CommentBetweenRows", "<z:row Text='a'/><!-- c --><z:row Text='b'/>"},
        RowsCase{"PendingInsert", "<z:row Text='a'/><rs:insert><z:row Text='b'/></rs:insert>"},
        RowsCase{"RowDeclaringItsPrefix",
                 "<z:row Text='a'/><z:row xmlns:z='#RowsetSchema' Text='b'/>"},
        RowsCase{"RowDeclaringTheDefaultNamespace", "<z:row xmlns='urn:x' Text='b'/>"},
        RowsCase{"PrefixedUnknownAttribute", "<z:row rs:forcenull='Text' Text='a'/>"},
        RowsCase{"LessThanInValue", "<z:row Text='a<b'/>"},
        RowsCase{"RowWithEndTag", "<z:row Text='a'></z:row>"},
        RowsCase{"OtherElement", "<z:row Text='a'/><z:other/>"},
        RowsCase{"TextBetweenRows", "<z:row Text='a'/>text<z:row Text='b'/>"},
        RowsCase{"ColumnTwice", "<z:row Text='a' Text='b'/>"},
        RowsCase{"NoSpaceBetweenAttributes", "<z:row Text='a'Count='1'/>"},
        RowsCase{"UnquotedValue", "<z:row Count=1/>"},
        RowsCase{"BadHiddenReference", "<z:row RowId='&bogus;'/>"},
        RowsCase{"OverlongUtf8", "<z:row Text='\xC0\xAF'/>"},
        RowsCase{"ReferenceToControlCharacter", "<z:row Text='&#1;'/>"},
        RowsCase{"UnfinishedRow", "<z:row Text='a'"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(AdoXmlRowScan, FindsTheDataSectionFromTheText) {
  // A '>' inside a quoted attribute value does not end the start tag.
  const std::string rows = "<z:row Text='a'/>";
  std::string doc = plainDoc(rows);
  doc.replace(doc.find("<rs:data>"), 9, "<rs:data note='a>b'>");
  std::optional<DataSection> section = findDataSection(doc);
  ASSERT_TRUE(section.has_value());
  EXPECT_EQ(doc.substr(section->nameOffset, 7), "rs:data");
  EXPECT_EQ(doc.substr(section->contentStart, section->contentEnd - section->contentStart),
            "\n" + rows + "\n");
  EXPECT_EQ(firstElementName(doc, *section), "z:row");

  EXPECT_FALSE(findDataSection("<xml><s:Schema/><rs:data/></xml>"));  // an empty-element tag
  EXPECT_FALSE(findDataSection("<xml><s:Schema/></xml>"));
  EXPECT_FALSE(findDataSection(""));
}

TEST(AdoXmlRowScan, LargeTableRoundTripsThroughThePlainPath) {
  Table t({{"N", FieldType::Int32, 0, false},
           {"Name", FieldType::String, 255, true},
           {"When", FieldType::Date, 0, true}});
  for (int i = 0; i < 5000; ++i) {
    t.appendRow({Value(std::int32_t{i}),
                 i % 7 == 0 ? Value::null() : Value("name & <" + std::to_string(i) + ">\t'\""),
                 Value(*dateFromParts(2000 + i % 30, 1 + i % 12, 1 + i % 28, i % 24, 0, 0))});
  }
  const std::string doc = writeAdoXml(t);
  EXPECT_TRUE(scan(doc).has_value());
  EXPECT_EQ(readAdoXml(doc), t);
}

}  // namespace
}  // namespace zentro
