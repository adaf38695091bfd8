#include "remote/ado_xml_document.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "remote/ado_xml_encoding.h"
#include "remote/ado_xml_format.h"

namespace zentro::ado_xml {
namespace {

// Escapes, attribute whitespace and line ends as XML 1.0 has them; nothing else is needed.
constexpr unsigned kParseOptions =
    pugi::parse_escapes | pugi::parse_wconv_attribute | pugi::parse_eol;

bool isBlankText(const char* s) {
  for (; *s; ++s) {
    if (std::strchr(" \t\r\n", *s) == nullptr) return false;
  }
  return true;
}

pugi::xml_node documentElement(const pugi::xml_document& doc, const SourceMap& map) {
  pugi::xml_node root;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling()) {
    if (n.type() == pugi::node_element) {
      if (root) fail("The XML document has a second root element at " + map.where(n) + ".");
      root = n;
    } else if ((n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) &&
               !isBlankText(n.value())) {
      fail("The XML document has text outside its root element at " + map.where(n) + ".");
    }
  }
  if (!root) fail("The XML document has no root element.");
  // The parser drops character data outside the root element without a word.
  std::size_t first = map.text.find_first_not_of(" \t\r\n");
  std::size_t last = map.text.find_last_not_of(" \t\r\n");
  if (first != std::string_view::npos && map.text[first] != '<') {
    fail("The XML document has text before its root element at " + positionOf(map.text, first) + ".");
  }
  if (last != std::string_view::npos && map.text[last] != '>') {
    fail("The XML document has text outside its root element at " + positionOf(map.text, last) + ".");
  }
  return root;
}

}  // namespace

void parseRowset(char* buffer, std::size_t size, const SourceMap& map, ParsedRowset& out) {
  pugi::xml_document& doc = out.doc;
  pugi::xml_parse_result parsed =
      doc.load_buffer_inplace(buffer, size, kParseOptions, pugi::encoding_utf8);
  if (!parsed) {
    auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0));
    fail(std::string("The XML document is not well formed: ") + parsed.description() + " at " +
         positionOf(map.text, offset) +
         (offset + 1 >= map.text.size() ? " (the document ends before it is complete)." : "."));
  }
  pugi::xml_node root = documentElement(doc, map);

  NsScope ns;
  ns.declare(root);
  pugi::xml_node schema, data;
  NsScope schemaScope;
  std::string straySchema, strayData;
  for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    NsScope scope = ns;
    scope.declare(child);
    QName q = scope.element(child, map);
    bool isSchema = q.uri == kNsSchema && q.local == "Schema";
    bool isData = q.uri == kNsRowset && q.local == "data";
    if ((isSchema && schema) || (isData && data)) {
      fail("The rowset has a second '" + std::string(child.name()) + "' element at " +
           map.where(child) + "; a document holds one rowset.");
    }
    if (isSchema) {
      schema = child;
      schemaScope = scope;
    } else if (isData) {
      data = child;
      out.dataScope = scope;
    } else if (q.local == "Schema" || q.local == "data") {
      std::string& stray = q.local == "Schema" ? straySchema : strayData;
      if (stray.empty()) {
        stray = "The element '" + std::string(child.name()) + "' at " + map.where(child) +
                " is in the namespace '" + std::string(q.uri) + "' instead of '" +
                (q.local == "Schema" ? kNsSchema : kNsRowset) + "'.";
      }
    }
  }
  if (!schema && !straySchema.empty()) fail(straySchema);
  if (!schema) {
    fail("The XML document is not a persisted recordset: its root element '" +
         std::string(root.name()) + "' holds no s:Schema element of the namespace " + kNsSchema +
         ".");
  }
  if (!data && !strayData.empty()) fail(strayData);
  out.schema = readSchema(schema, schemaScope, map);
  out.data = data;
}

}  // namespace zentro::ado_xml
