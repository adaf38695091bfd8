#pragma once
// Names of the ADO persisted-recordset XML format shared by its reader and writer, and the
// error every malformed document raises. Internal to remote/.

#include <string>

#include "platform/runtime_error.h"

namespace zentro::ado_xml {

// Namespaces are bound by URI; the prefixes are the ones the writer uses.
inline constexpr const char* kNsSchema = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";    // s
inline constexpr const char* kNsDatatype = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";  // dt
inline constexpr const char* kNsRowset = "urn:schemas-microsoft-com:rowset";             // rs
inline constexpr const char* kNsRow = "#RowsetSchema";                                   // z
inline constexpr const char* kNsXml = "http://www.w3.org/XML/1998/namespace";

inline constexpr const char* kErrorSource = "ADODB.Recordset";

[[noreturn]] inline void fail(const std::string& description) {
  throw RuntimeError(kErrXml, kErrorSource, description);
}

}  // namespace zentro::ado_xml
