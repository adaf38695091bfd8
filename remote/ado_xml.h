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

// Reads a file and parses it; a file that cannot be read is a RuntimeError too.
Table readAdoXmlFile(const std::string& path);

// Serialises every row of the table (ignoring any filter).
std::string writeAdoXml(const Table& table);

}  // namespace zentro
