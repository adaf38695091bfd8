#pragma once
// The short way through the data section of a persisted-recordset document. When the section
// holds nothing but empty row elements with quoted attributes, as a rowset without pending
// changes is written, its rows are read straight from the text rather than from a parsed
// tree, which for a large answer is most of the work and memory of a load. Whatever this
// reader does not take as plain, and every value that does not read, is left to the full
// reader, which also words the message. Internal to remote/; pure functions.

#include <cstddef>
#include <optional>
#include <string_view>

#include "remote/ado_xml_schema.h"
#include "remote/row_blocks.h"

namespace zentro::ado_xml {

// Where a document's data element appears to be, judged from the text alone: the last end
// tag named "data" (any prefix) among the document's last few, and the first start tag of the
// same name. The parsed document must confirm it (its data element named at nameOffset).
struct DataSection {
  std::size_t nameOffset = 0;    // the start tag's name, just after its '<'
  std::size_t contentStart = 0;  // just after the start tag's '>'
  std::size_t contentEnd = 0;    // the end tag's '<'
};

// nullopt when the text shows no such element (or only an empty-element tag).
std::optional<DataSection> findDataSection(std::string_view text);

// The qualified name of the element that the section's content starts with; "" when the
// content starts with anything else or holds only white space.
std::string_view firstElementName(std::string_view text, const DataSection& section);

// Reads the section's rows when its content is nothing but `<rowQName .../>` elements and
// white space, attributes separated by white space and quoted. Attribute values are taken as
// the XML parser gives them (the five entities and character references replaced, tab, line
// feed, carriage return and CR LF each as one space); the text must have passed
// checkCharacters. Attributes of the schema's columns are converted by type; hidden columns
// and unknown attributes without a prefix are passed over. nullopt at anything else: other
// markup, a '<' in a value, an attribute with a prefix or declaring a namespace that is no
// column, a column given twice in a row, a value not of its column's form.
std::optional<RowBlocks> scanPlainRows(std::string_view text, const DataSection& section,
                                       std::string_view rowQName, const RowsetSchema& schema);

}  // namespace zentro::ado_xml
