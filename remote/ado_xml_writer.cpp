// Writer of persisted-recordset documents (writeAdoXml, declared in remote/ado_xml.h): UTF-8
// without declaration, prefixes s/dt/rs/z, single quotes, tab indentation, the form every
// reader of the format accepts.

#include <algorithm>
#include <cstdint>
#include <set>

#include "remote/ado_xml.h"
#include "remote/ado_xml_encoding.h"
#include "remote/ado_xml_format.h"
#include "remote/ado_xml_types.h"
#include "remote/text_case.h"
#include "remote/utf8.h"
#include "remote/value_text.h"

namespace zentro {
namespace {

using namespace ado_xml;

constexpr const char* kEol = "\r\n";

bool isXmlNameChar(char c, bool first) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') return true;
  return !first && ((c >= '0' && c <= '9') || c == '.' || c == '-');
}

// Names the row attributes can carry as they are. Other names (spaces, non-ASCII letters,
// the reserved "xml" start) travel as an alias with the real name in rs:name.
bool isPlainXmlName(std::string_view name) {
  if (name.empty() || (name.size() >= 3 && equalsNoCase(name.substr(0, 3), "xml"))) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!isXmlNameChar(name[i], i == 0)) return false;
  }
  return true;
}

// Appends `text` as attribute content. Returns false when it is not UTF-8 or holds a
// character that XML 1.0 cannot carry.
bool appendEscaped(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        // Literal TAB/CR/LF would come back as spaces (attribute-value normalisation).
        case '\t': out += "&#x9;"; break;
        case '\r': out += "&#xD;"; break;
        case '\n': out += "&#xA;"; break;
        default:
          if (c < 0x20) return false;
          out += static_cast<char>(c);
      }
      ++i;
      continue;
    }
    const Utf8Char u = decodeUtf8(text, i);
    if (!u.valid || !isXmlChar(u.codePoint)) return false;
    out.append(text.substr(i, u.length));
    i += u.length;
  }
  return true;
}

bool appendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out += name;
  out += "='";
  if (!appendEscaped(out, value)) return false;
  out += '\'';
  return true;
}

[[noreturn]] void failCharacter(const std::string& what) {
  fail("The " + what + " holds a character that cannot be stored in XML.");
}

std::vector<std::string> attributeNames(const std::vector<FieldDef>& fields) {
  std::vector<std::string> names(fields.size());
  std::set<std::string> used;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (isPlainXmlName(fields[i].name) && used.insert(fields[i].name).second) {
      names[i] = fields[i].name;
    }
  }
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (!names[i].empty()) continue;
    std::string alias = "c" + std::to_string(i);
    for (int n = 1; used.count(alias) != 0; ++n) alias = "c" + std::to_string(i) + "_" + std::to_string(n);
    used.insert(alias);
    names[i] = alias;
  }
  return names;
}

int decimalScale(const Table& table, std::size_t column) {
  int scale = 0;
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    if (const auto* d = table.row(r)[column].get<DecimalValue>()) scale = std::max<int>(scale, d->scale);
  }
  return scale;
}

void writeSchema(std::string& out, const Table& table, const std::vector<std::string>& names) {
  out += "<s:Schema id='RowsetSchema'>";
  out += kEol;
  out += "\t<s:ElementType name='row' content='eltOnly'>";
  out += kEol;
  const auto& fields = table.fields();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& f = fields[i];
    TypeDecl decl = declarationOf(f.type);
    out += "\t\t<s:AttributeType";
    if (!appendAttribute(out, "name", names[i]) ||
        (names[i] != f.name && !appendAttribute(out, "rs:name", f.name))) {
      failCharacter("name of field " + std::to_string(i + 1));
    }
    out += " rs:number='" + std::to_string(i + 1) + "'";
    if (f.nullable) out += " rs:nullable='true'";
    out += " rs:writeunknown='true'>";
    out += kEol;
    out += "\t\t\t<s:datatype dt:type='";
    out += decl.dtType;
    out += '\'';
    if (decl.dbType != nullptr) {
      out += " rs:dbtype='";
      out += decl.dbType;
      out += '\'';
    }
    if (f.definedSize > 0) out += " dt:maxLength='" + std::to_string(f.definedSize) + "'";
    if (decl.precision > 0) out += " rs:precision='" + std::to_string(decl.precision) + "'";
    if (f.type == FieldType::Decimal) out += " rs:scale='" + std::to_string(decimalScale(table, i)) + "'";
    if (decl.fixedLength) out += " rs:fixedlength='true'";
    if (!f.nullable) out += " rs:maybenull='false'";
    out += "/>";
    out += kEol;
    out += "\t\t</s:AttributeType>";
    out += kEol;
  }
  out += "\t\t<s:extends type='rs:rowbase'/>";
  out += kEol;
  out += "\t</s:ElementType>";
  out += kEol;
  out += "</s:Schema>";
  out += kEol;
}

}  // namespace

std::string writeAdoXml(const Table& table) {
  const auto& fields = table.fields();
  const std::vector<std::string> names = attributeNames(fields);
  std::string out;
  out.reserve(1024 + table.rowCount() * (16 + fields.size() * 16));
  out += "<xml xmlns:s='";
  out += kNsSchema;
  out += "'";
  out += kEol;
  out += "\txmlns:dt='";
  out += kNsDatatype;
  out += "'";
  out += kEol;
  out += "\txmlns:rs='";
  out += kNsRowset;
  out += "'";
  out += kEol;
  out += "\txmlns:z='";
  out += kNsRow;
  out += "'>";
  out += kEol;
  writeSchema(out, table, names);
  out += "<rs:data>";
  out += kEol;
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    const auto& row = table.row(r);
    out += "\t<z:row";
    for (std::size_t c = 0; c < fields.size() && c < row.size(); ++c) {
      const Value& v = row[c];
      if (v.isNull() || v.isEmpty()) continue;  // NULL is an absent attribute
      auto what = [&] { return "value of field '" + fields[c].name + "' in row " + std::to_string(r + 1); };
      auto text = cellText(fields[c].type, v);
      if (!text) fail("The " + what() + " (" + v.debugText() + ") does not fit the field's type.");
      if (!appendAttribute(out, names[c], *text)) failCharacter(what());
    }
    out += "/>";
    out += kEol;
  }
  out += "</rs:data>";
  out += kEol;
  out += "</xml>";
  out += kEol;
  return out;
}

}  // namespace zentro
