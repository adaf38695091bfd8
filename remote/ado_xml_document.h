#pragma once
// The document level of a persisted-recordset document: parsing it, its root element, and
// finding its schema and data sections. Internal to remote/; used by ado_xml_reader.cpp.

#include <cstddef>

#include <pugixml.hpp>

#include "remote/ado_xml_schema.h"

namespace zentro::ado_xml {

// What the parsed tree tells about a document: its schema and where its rows are.
struct ParsedRowset {
  pugi::xml_document doc;
  RowsetSchema schema;
  pugi::xml_node data;  // null when the document has no data section
  NsScope dataScope;    // the declarations in force on the data section
};

// Parses `buffer` (`size` bytes and a NUL, changed in place; map.base == buffer), checks the
// document's shape and reads its schema into `out`. Throws RuntimeError(kErrXml) naming what
// is wrong and where.
void parseRowset(char* buffer, std::size_t size, const SourceMap& map, ParsedRowset& out);

}  // namespace zentro::ado_xml
