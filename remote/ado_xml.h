#pragma once
// Reader and writer of the ADO persisted-recordset XML format (adPersistXML).
// The reader accepts what ADO writes (UTF-8 with or without declaration or BOM, UTF-16 with
// BOM, aliases, ordinals, every dt:type, pending-change sections) and yields the current rows
// as ADO presents them. The writer emits UTF-8 without declaration in ADO's own style.
// Pure functions; safe from any thread.

#include <string>
#include <string_view>

#include "remote/table.h"

namespace zentro {

// Parses a whole document. Throws RuntimeError(kErrXml, "ADODB.Recordset", description)
// when the bytes are not a well-formed rowset; the description says what and where
// (line:column when known). Never returns a half table.
Table readAdoXml(std::string_view bytes);

// The same for a document that is already text (a string answer): UTF-8, an encoding named
// in its XML declaration is not applied again.
Table readAdoXmlText(std::string_view text);

// The largest document file readAdoXmlFile reads.
inline constexpr std::size_t kMaxDocumentFileBytes = 16u << 20;

// Reads a file (path in UTF-8) and parses it; a file that cannot be read, is not a regular
// file or holds more than kMaxDocumentFileBytes is a RuntimeError too.
Table readAdoXmlFile(const std::string& path);

// Serialises every row of the table (ignoring any filter). Empty cells are written as NULL.
// Throws RuntimeError(kErrXml, "ADODB.Recordset", ...) for a value that XML cannot carry
// (a control character, text that is not UTF-8) or that does not convert to its field's type.
std::string writeAdoXml(const Table& table);

}  // namespace zentro
