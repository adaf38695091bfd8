// Reader of persisted-recordset documents: document checks, the data section and the
// pending-change sections. The schema is read in ado_xml_schema.cpp.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include <pugixml.hpp>

#include "remote/ado_xml.h"
#include "remote/ado_xml_encoding.h"
#include "remote/ado_xml_format.h"
#include "remote/ado_xml_schema.h"
#include "remote/ado_xml_types.h"

namespace zentro {
namespace {

using namespace adoxml;

// Escapes, attribute whitespace and line ends as XML 1.0 has them; nothing else is needed.
constexpr unsigned kParseOptions =
    pugi::parse_escapes | pugi::parse_wconv_attribute | pugi::parse_eol;

constexpr int kHiddenColumn = -2;
constexpr int kUnknownColumn = -1;

// An unused slot of the position cache holds an empty (null) view: it matches no name.
bool isQualifiedMatch(const char* name, std::string_view expected) {
  for (char c : expected) {
    if (*name++ != c) return false;  // also stops at the terminating NUL of a shorter name
  }
  return !expected.empty() && *name == 0;
}

bool isDeclaration(const char* name) {
  return std::strncmp(name, "xmlns", 5) == 0 && (name[5] == 0 || name[5] == ':');
}

class DataReader {
 public:
  DataReader(const RowsetSchema& schema, const SourceMap& map) : schema_(schema), map_(map) {
    int next = 0;
    for (const SchemaColumn& c : schema.columns) {
      int index = c.hidden ? kHiddenColumn : next++;
      byName_.emplace(c.xmlName, index);
      if (!c.hidden) {
        types_.push_back(&c);
        fields_.push_back(c.def);
      }
    }
    seen_.assign(types_.size(), 0);
  }

  std::vector<FieldDef> takeFields() { return std::move(fields_); }
  std::vector<std::vector<Value>> takeRows() { return std::move(rows_); }

  void readData(pugi::xml_node data, NsScope& ns) {
    std::size_t children = 0;
    for (pugi::xml_node child = data.first_child(); child; child = child.next_sibling()) ++children;
    rows_.reserve(children);
    forEachChild(data, ns, [&](pugi::xml_node child, Kind kind) {
      switch (kind) {
        case Kind::Row: rows_.push_back(std::move(current_)); break;
        case Kind::Insert:
          forEachChild(child, ns, [&](pugi::xml_node, Kind k) {
            if (k == Kind::Row) rows_.push_back(std::move(current_));
          });
          break;
        case Kind::Update: readUpdate(child, ns); break;
        default: break;  // rs:delete: deleted rows stay hidden until the batch is sent
      }
    });
  }

 private:
  enum class Kind { Row, Insert, Update, Delete, Original, Other };

  // Calls visit(child, kind) for every child element; a row has been read into current_ by
  // then. Declarations of a child are in force while it is visited.
  template <class Visit>
  void forEachChild(pugi::xml_node parent, NsScope& ns, Visit visit) {
    std::string savedRowName = rowQName_;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element) continue;
      std::size_t mark = ns.mark();
      bool fast = !rowQName_.empty() && isQualifiedMatch(child.name(), rowQName_);
      if (fast && startRow() && readAttributes(child, ns, false)) {
        visit(child, Kind::Row);
        continue;
      }
      bool declared = ns.declare(child);
      Kind kind = classify(child, ns);
      if (kind == Kind::Row) {
        if (!declared) rowQName_ = child.name();
        startRow();
        readAttributes(child, ns, true);
      } else if (declared) {
        rowQName_.clear();  // the row prefix may mean something else inside
      }
      visit(child, kind);
      if (declared) rowQName_ = savedRowName;
      ns.restore(mark);
    }
  }

  Kind classify(pugi::xml_node node, const NsScope& ns) const {
    QName q = ns.element(node, map_);
    if (q.uri == kNsRow) {
      if (q.local == schema_.rowName) return Kind::Row;
      fail("The element '" + std::string(node.name()) + "' at " + map_.where(node) +
           " is not a row of this rowset (its rows are '" + schema_.rowName + "').");
    }
    if (q.local == schema_.rowName) {
      fail("The row element '" + std::string(node.name()) + "' at " + map_.where(node) +
           " is in the namespace '" + std::string(q.uri) + "' instead of '" + kNsRow + "'.");
    }
    if (q.uri != kNsRowset) return Kind::Other;
    if (q.local == "insert") return Kind::Insert;
    if (q.local == "update") return Kind::Update;
    if (q.local == "delete") return Kind::Delete;
    if (q.local == "original") return Kind::Original;
    return Kind::Other;
  }

  // Updated rows show the original values overlaid with the new ones.
  void readUpdate(pugi::xml_node update, NsScope& ns) {
    std::vector<std::vector<Value>> originals;
    std::size_t next = 0;
    forEachChild(update, ns, [&](pugi::xml_node child, Kind kind) {
      if (kind == Kind::Original) {
        forEachChild(child, ns, [&](pugi::xml_node, Kind k) {
          if (k == Kind::Row) originals.push_back(std::move(current_));
        });
      } else if (kind == Kind::Row) {
        if (next < originals.size()) {
          std::vector<Value> merged = std::move(originals[next++]);
          for (std::size_t i = 0; i < merged.size(); ++i) {
            if (assigned(i)) merged[i] = std::move(current_[i]);
          }
          for (std::size_t i : forceNull_) merged[i] = Value::null();
          rows_.push_back(std::move(merged));
        } else {
          rows_.push_back(std::move(current_));  // new values without an original
        }
      }
    });
    for (; next < originals.size(); ++next) rows_.push_back(std::move(originals[next]));
  }

  bool startRow() {
    current_.assign(types_.size(), Value::null());
    forceNull_.clear();
    if (++stamp_ == 0) {
      seen_.assign(seen_.size(), 0);
      stamp_ = 1;
    }
    return true;
  }

  bool assigned(std::size_t column) const { return seen_[column] == stamp_; }

  int columnOf(const char* name, std::size_t position) {
    if (position < positions_.size()) {
      const auto& [cached, index] = positions_[position];
      if (isQualifiedMatch(name, cached)) return index;
    }
    auto it = byName_.find(std::string_view(name));
    int index = it == byName_.end() ? kUnknownColumn : it->second;
    if (index != kUnknownColumn) {
      if (position >= positions_.size()) positions_.resize(position + 1);
      positions_[position] = {it->first, index};
    }
    return index;
  }

  // Reads the attributes of a row element into current_. Returns false, having read nothing
  // reliable, when the element declares namespaces and allowDeclarations is false.
  bool readAttributes(pugi::xml_node row, const NsScope& ns, bool allowDeclarations) {
    std::size_t position = 0;
    for (pugi::xml_attribute a = row.first_attribute(); a; a = a.next_attribute(), ++position) {
      const char* name = a.name();
      int index = columnOf(name, position);
      if (index >= 0) {
        auto column = static_cast<std::size_t>(index);
        if (seen_[column] == stamp_) {
          fail("The attribute '" + std::string(name) + "' appears twice in the row at " +
               map_.where(row) + ".");
        }
        seen_[column] = stamp_;
        const char* v = a.value();
        if (!parseCell(types_[column]->type, std::string_view(v), current_[column])) {
          badValue(*types_[column], a, row);
        }
        continue;
      }
      if (index == kHiddenColumn || std::strchr(name, ':') == nullptr) continue;
      if (isDeclaration(name)) {
        if (!allowDeclarations) return false;
        continue;
      }
      QName q = ns.attribute(a, row, map_);
      if (q.uri == kNsRowset && q.local == "forcenull") readForceNull(a.value());
    }
    return true;
  }

  void readForceNull(std::string_view list) {
    std::size_t pos = 0;
    while (pos < list.size()) {
      std::size_t end = list.find(' ', pos);
      if (end == std::string_view::npos) end = list.size();
      std::string_view token = list.substr(pos, end - pos);
      pos = end + 1;
      if (token.empty()) continue;
      for (std::size_t i = 0; i < types_.size(); ++i) {
        if (types_[i]->xmlName == token || types_[i]->def.name == token) forceNull_.push_back(i);
      }
    }
  }

  [[noreturn]] void badValue(const SchemaColumn& column, pugi::xml_attribute a,
                             pugi::xml_node row) const {
    std::string text = a.value();
    if (text.size() > 60) text = text.substr(0, 60) + "...";
    fail("The value '" + text + "' of the column '" + column.def.name + "' at " +
         map_.where(a.value(), row) + " is not a valid " + column.declaredType + " value.");
  }

  const RowsetSchema& schema_;
  const SourceMap& map_;
  std::unordered_map<std::string_view, int> byName_;
  std::vector<std::pair<std::string_view, int>> positions_;  // attribute position -> column
  std::vector<const SchemaColumn*> types_;
  std::vector<FieldDef> fields_;
  std::vector<std::vector<Value>> rows_;
  std::vector<Value> current_;
  std::vector<std::size_t> forceNull_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
  std::string rowQName_;  // qualified name of the row elements in the current scope
};

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

Table readDocument(std::string_view bytes, bool honourDeclaration) {
  DecodedText decoded = decodeDocument(bytes, honourDeclaration);
  std::string_view text = decoded.text;
  // Parsed in place in a copy; `text` keeps the positions for messages.
  std::unique_ptr<char[]> buffer = checkedCopy(text);
  pugi::xml_document doc;
  pugi::xml_parse_result parsed =
      doc.load_buffer_inplace(buffer.get(), text.size(), kParseOptions, pugi::encoding_utf8);
  if (!parsed) {
    auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0));
    fail(std::string("The XML document is not well formed: ") + parsed.description() + " at " +
         positionOf(text, offset) +
         (offset + 1 >= text.size() ? " (the document ends before it is complete)." : "."));
  }
  SourceMap map{text, buffer.get()};
  pugi::xml_node root = documentElement(doc, map);

  NsScope ns;
  ns.declare(root);
  pugi::xml_node schema, data;
  NsScope schemaScope, dataScope;
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
      dataScope = scope;
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
  RowsetSchema rowset = readSchema(schema, schemaScope, map);
  DataReader reader(rowset, map);
  if (data) reader.readData(data, dataScope);
  return Table(reader.takeFields(), reader.takeRows());
}

}  // namespace

Table readAdoXml(std::string_view bytes) { return readDocument(bytes, true); }

Table readAdoXmlText(std::string_view text) { return readDocument(text, false); }

Table readAdoXmlFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(reinterpret_cast<const char8_t*>(path.c_str())),
                   std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) fail("The file '" + path + "' could not be opened.");
  if (in.bad()) fail("The file '" + path + "' could not be read.");
  return readAdoXml(bytes);
}

}  // namespace zentro
