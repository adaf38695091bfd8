#pragma once
// Helpers shared by the remote tests: test data, rowset documents built from column and row
// snippets, UTF-16 encodings, whole rows, and the error a call must raise.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/runtime_error.h"
#include "remote/ado_xml_format.h"
#include "remote/rds_wire.h"
#include "remote/table.h"
#include "tests/support/temp_dir.h"

namespace zentro::testing {

inline std::string dataPath(const std::string& name) { return std::string(ZENTRO_TEST_DATA) + "/" + name; }

inline std::string readData(const std::string& name) { return readFile(dataPath(name)); }

// A document in the writer's namespaces with the given AttributeTypes and rows.
inline std::string rowsetDoc(const std::string& columns, const std::string& rows) {
  return std::string("<xml xmlns:s='") + ado_xml::kNsSchema + "' xmlns:dt='" + ado_xml::kNsDatatype +
         "' xmlns:rs='" + ado_xml::kNsRowset + "' xmlns:z='" + ado_xml::kNsRow +
         "'>\n<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>\n" +
         columns + "\n<s:extends type='rs:rowbase'/></s:ElementType></s:Schema>\n<rs:data>\n" +
         rows + "\n</rs:data>\n</xml>\n";
}

// A non-empty text as UTF-16 bytes: the text of the BSTR the wire encoder writes (after its
// 2-byte tag and 4-byte length), which is UTF-16LE.
inline std::string toUtf16(const std::string& utf8, bool bigEndian, bool bom) {
  std::string bstr;
  rds::encodeValue(Value((bom ? "\xEF\xBB\xBF" : "") + utf8), bstr);
  std::string out = bstr.substr(6);
  for (std::size_t i = 0; bigEndian && i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
  return out;
}

// The cells of row i as a vector, for comparing whole rows.
inline std::vector<Value> rowValues(const Table& t, std::size_t i) {
  std::span<const Value> row = t.row(i);
  return std::vector<Value>(row.begin(), row.end());
}

// The RuntimeError `call` must raise; a test failure and an empty error when it raises none.
template <class F>
RuntimeError raised(F call) {
  try {
    call();
  } catch (const RuntimeError& e) {
    return e;
  }
  ADD_FAILURE() << "no RuntimeError";
  return RuntimeError(0, "", "");
}

}  // namespace zentro::testing
