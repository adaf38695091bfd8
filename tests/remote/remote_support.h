#pragma once
// Helpers shared by the remote tests: test data, rowset documents built from column and row
// snippets, UTF-16 encodings, whole rows, and the error a call must raise.

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "platform/runtime_error.h"
#include "remote/ado_xml_format.h"
#include "remote/table.h"
#include "remote/utf8.h"
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

inline std::string toUtf16(const std::string& utf8, bool bigEndian, bool bom) {
  std::string out;
  auto put = [&](unsigned u) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  if (bom) put(0xFEFF);
  for (std::size_t i = 0; i < utf8.size();) {
    const Utf8Char c = decodeUtf8(utf8, i);
    i += c.length;
    if (c.codePoint >= 0x10000) {
      put(0xD800 + ((c.codePoint - 0x10000) >> 10));
      put(0xDC00 + ((c.codePoint - 0x10000) & 0x3FF));
    } else {
      put(c.codePoint);
    }
  }
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
