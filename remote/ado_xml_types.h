#pragma once
// Column types of the persisted-recordset format: dt:type / rs:dbtype to field type and back,
// and the text forms of cell values in z:row attributes. Internal to remote/; pure functions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "remote/table.h"
#include "remote/value.h"

namespace zentro::ado_xml {

enum class CellForm : std::uint8_t {
  Text, Int, UnsignedBig, Double, Currency, Decimal, Bool, Date, BinHex, Base64, Guid
};

struct ColumnType {
  FieldType field = FieldType::String;
  CellForm form = CellForm::Text;
  std::int64_t min = 0;  // Int: accepted range
  std::int64_t max = 0;
};

// The type of a column declared with `dtType` (any letter case, "" = none) and `dbType`
// (rs:dbtype, "" = none). Unknown dt:types are texts.
ColumnType columnTypeOf(std::string_view dtType, std::string_view dbType);

// Converts the text of an attribute; false when the text is not of the column's form.
bool parseCell(const ColumnType& type, std::string_view text, Value& out);

// How the writer declares a field type.
struct TypeDecl {
  const char* dtType = "string";
  const char* dbType = nullptr;  // rs:dbtype, when one is written
  int precision = 0;             // rs:precision, 0 = not written
  bool fixedLength = false;
};
TypeDecl declarationOf(FieldType type);

// The attribute text of a non-NULL value in a field of `type`; nullopt when the value cannot
// be converted to that type.
std::optional<std::string> cellText(FieldType type, const Value& v);

}  // namespace zentro::ado_xml
