#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "remote/ado_xml.h"
#include "tests/remote/ado_xml_support.h"

namespace zentro {
namespace {

using testing::readData;
using testing::rowsetDoc;

struct Malformed {
  const char* name;
  std::string bytes;
  const char* mentions;  // part of the description
};

class AdoXmlMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(AdoXmlMalformed, RaisesTheProviderErrorWithWhatAndWhere) {
  try {
    Table t = readAdoXml(GetParam().bytes);
    FAIL() << "accepted, " << t.rowCount() << " rows";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrXml);
    EXPECT_EQ(e.source(), "ADODB.Recordset");
    EXPECT_NE(e.description().find(GetParam().mentions), std::string::npos) << e.description();
  }
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

TEST(AdoXmlReader, UnreadableFileIsAnError) {
  try {
    readAdoXmlFile(testing::dataPath("no_such_file.xml"));
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), kErrXml);
    EXPECT_NE(e.description().find("no_such_file.xml"), std::string::npos);
  }
}

}  // namespace
}  // namespace zentro
