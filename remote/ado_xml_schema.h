#pragma once
// The schema side of the persisted-recordset reader: namespace scopes (binding by URI) and
// the columns that s:Schema declares. Internal to remote/; used by ado_xml_reader.cpp.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "remote/ado_xml_types.h"
#include "remote/table.h"

namespace zentro::ado_xml {

// Positions of parsed nodes in the document text (the parser worked on a copy of it).
struct SourceMap {
  std::string_view text;     // the document as parsed (UTF-8)
  const char* base = nullptr;  // start of the parser's in-place copy
  std::string where(pugi::xml_node node) const;
  std::string where(const char* pointerIntoCopy, pugi::xml_node fallback) const;
};

struct QName {
  std::string_view uri;    // "" = no namespace
  std::string_view local;
};

// Prefix bindings in force at the element being read. Declarations of an element are pushed
// on entry (declare) and dropped on leaving (restore to the mark taken before).
class NsScope {
 public:
  std::size_t mark() const { return bindings_.size(); }
  void restore(std::size_t mark) { bindings_.resize(mark); }
  // Pushes the xmlns / xmlns:p attributes of `node`; true when it had any.
  bool declare(pugi::xml_node node);
  // Resolves an element (default namespace applies) or attribute (it does not) name.
  // Throws RuntimeError(kErrXml) for an undeclared prefix.
  QName element(pugi::xml_node node, const SourceMap& map) const;
  QName attribute(pugi::xml_attribute attr, pugi::xml_node owner, const SourceMap& map) const;
  // The URI bound to `prefix` ("" = the default namespace); found tells whether it is bound.
  std::string_view lookup(std::string_view prefix, bool& found) const;

 private:
  std::vector<std::pair<std::string_view, std::string_view>> bindings_;  // prefix ("" = default), URI
};

struct SchemaColumn {
  std::string xmlName;  // the attribute name in z:row
  FieldDef def;
  ColumnType type;
  std::string declaredType;  // dt:type as written, for messages
  bool hidden = false;  // rs:hidden row-id columns: read past, not exposed
};

struct RowsetSchema {
  std::string rowName;                // local name of the row elements ("row")
  std::vector<SchemaColumn> columns;  // in field order (rs:number, then document order)
};

// Reads the s:Schema element (its own declarations already pushed on `ns`).
// Throws RuntimeError(kErrXml) with the place of the problem.
RowsetSchema readSchema(pugi::xml_node schema, NsScope& ns, const SourceMap& map);

}  // namespace zentro::ado_xml
