// The readers of remote/ado_xml.h (readAdoXml and its kin): persisted-recordset documents, the
// plain data section read from the text, any other from the parsed tree (with its pending-change
// sections). The document level is in ado_xml_document.cpp, the schema in ado_xml_schema.cpp, plain
// rows in ado_xml_row_scan.cpp.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>

#include <pugixml.hpp>

#include "remote/ado_xml.h"
#include "remote/ado_xml_document.h"
#include "remote/ado_xml_encoding.h"
#include "remote/ado_xml_format.h"
#include "remote/ado_xml_row_scan.h"
#include "remote/ado_xml_schema.h"
#include "remote/ado_xml_types.h"

namespace zentro {
namespace {

using namespace ado_xml;

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
    width_ = types_.size();
    rows_ = RowBlocks(width_);
    seen_.assign(width_, 0);
  }

  std::vector<FieldDef> takeFields() { return std::move(fields_); }
  RowBlocks takeRows() { return std::move(rows_); }

  void readData(pugi::xml_node data, NsScope& ns) {
    std::size_t children = 0;
    for (pugi::xml_node child = data.first_child(); child; child = child.next_sibling()) ++children;
    rows_.reserve(children);
    forEachChild(data, ns, [&](pugi::xml_node child, Kind kind) {
      switch (kind) {
        case Kind::Row: keepRow(); break;
        case Kind::Insert:
          forEachChild(child, ns, [&](pugi::xml_node, Kind k) {
            if (k == Kind::Row) keepRow();
          });
          break;
        case Kind::Update: readUpdate(child, ns); break;
        default: break;  // rs:delete: deleted rows stay hidden until the batch is sent
      }
    });
  }

 private:
  enum class Kind { Row, Insert, Update, Delete, Original, Other };

  // Calls visit(child, kind) for every child element; a row has been read by then, as the
  // open last row of rows_, which the visitor keeps (keepRow) or moves away (takeRow).
  // Declarations of a child are in force while it is visited.
  template <class Visit>
  void forEachChild(pugi::xml_node parent, NsScope& ns, Visit visit) {
    std::string savedRowName = rowQName_;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element) continue;
      std::size_t mark = ns.mark();
      bool fast = !rowQName_.empty() && isQualifiedMatch(child.name(), rowQName_);
      if (fast) {
        startRow();
        if (readAttributes(child, ns, false)) {
          visit(child, Kind::Row);
          dropRow();  // a row the visitor did not keep
          continue;
        }
        dropRow();  // read again below, with the row's own declarations in force
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
      dropRow();
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
    std::vector<Value> originals;  // width_ cells per row
    std::size_t originalCount = 0;
    std::size_t next = 0;
    forEachChild(update, ns, [&](pugi::xml_node child, Kind kind) {
      if (kind == Kind::Original) {
        forEachChild(child, ns, [&](pugi::xml_node, Kind k) {
          if (k == Kind::Row) {
            takeRow(originals);
            ++originalCount;
          }
        });
      } else if (kind == Kind::Row) {
        if (next < originalCount) {
          std::span<Value> row = openRow();
          Value* original = originals.data() + next++ * width_;
          for (std::size_t i = 0; i < width_; ++i) {
            if (!assigned(i)) row[i] = std::move(original[i]);
          }
          for (std::size_t i : forceNull_) row[i] = Value::null();
        }
        keepRow();  // without an original: the new values alone
      }
    });
    for (; next < originalCount; ++next) {
      std::span<Value> row = rows_.appendNull();
      Value* original = originals.data() + next * width_;
      for (std::size_t i = 0; i < width_; ++i) row[i] = std::move(original[i]);
    }
  }

  // Opens a row of NULLs after the kept ones.
  void startRow() {
    dropRow();
    rows_.appendNull();
    rowOpen_ = true;
    forceNull_.clear();
    if (++stamp_ == 0) {
      seen_.assign(seen_.size(), 0);
      stamp_ = 1;
    }
  }

  std::span<Value> openRow() { return rows_[rows_.size() - 1]; }

  void keepRow() { rowOpen_ = false; }

  void takeRow(std::vector<Value>& to) {
    if (!rowOpen_) return;
    std::span<Value> row = openRow();
    to.insert(to.end(), std::make_move_iterator(row.begin()), std::make_move_iterator(row.end()));
    dropRow();
  }

  void dropRow() {
    if (!rowOpen_) return;
    rowOpen_ = false;
    rows_.removeLast();
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

  // Reads the attributes of a row element into the open row. Returns false, having read
  // nothing reliable, when the element declares namespaces and allowDeclarations is false.
  bool readAttributes(pugi::xml_node row, const NsScope& ns, bool allowDeclarations) {
    std::span<Value> cells = openRow();
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
        if (!parseCell(types_[column]->type, std::string_view(v), cells[column])) {
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
  std::size_t width_ = 0;  // cells per row: the visible columns
  RowBlocks rows_;          // kept rows, then the open row when rowOpen_
  bool rowOpen_ = false;
  std::vector<std::size_t> forceNull_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
  std::string rowQName_;  // qualified name of the row elements in the current scope
};

std::vector<FieldDef> visibleFields(const RowsetSchema& schema) {
  std::vector<FieldDef> fields;
  for (const SchemaColumn& c : schema.columns) {
    if (!c.hidden) fields.push_back(c.def);
  }
  return fields;
}

// True when the qualified row name means the schema's rows where the data section is.
bool namesRows(std::string_view qname, const ParsedRowset& parsed) {
  std::size_t colon = qname.find(':');
  bool prefixed = colon != std::string_view::npos;
  std::string_view prefix = prefixed ? qname.substr(0, colon) : std::string_view();
  std::string_view local = prefixed ? qname.substr(colon + 1) : qname;
  bool found = false;
  std::string_view uri = parsed.dataScope.lookup(prefix, found);
  return found && uri == kNsRow && local == parsed.schema.rowName;
}

// The rows read straight from the text (ado_xml_row_scan.h), everything else from the tree
// of the document without them. nullopt when the data section is not of that plain form, and
// also at any problem of the document: the full read then finds the problem that comes first.
std::optional<Table> readPlainDocument(std::string_view text) {
  std::optional<DataSection> section = findDataSection(text);
  if (!section) return std::nullopt;
  const std::size_t tail = text.size() - section->contentEnd;
  const std::size_t size = section->contentStart + tail;
  std::unique_ptr<char[]> buffer(new char[size + 1]);
  std::memcpy(buffer.get(), text.data(), section->contentStart);
  std::memcpy(buffer.get() + section->contentStart, text.data() + section->contentEnd, tail);
  buffer[size] = '\0';
  // Messages would place what follows the rows wrongly; they are never shown from here.
  SourceMap map{text, buffer.get()};
  try {
    // The rows' characters are checked as they are read.
    checkCharacters(text.substr(0, section->contentStart));
    checkCharacters(text.substr(section->contentEnd));
    ParsedRowset parsed;
    parseRowset(buffer.get(), size, map, parsed);
    if (!parsed.data || parsed.data.name() != buffer.get() + section->nameOffset ||
        parsed.data.first_child()) {
      return std::nullopt;  // the text's data element is not the document's
    }
    std::string_view rowName = firstElementName(text, *section);
    if (!rowName.empty() && !namesRows(rowName, parsed)) return std::nullopt;
    std::optional<RowBlocks> rows = scanPlainRows(text, *section, rowName, parsed.schema);
    if (!rows) return std::nullopt;
    return Table(visibleFields(parsed.schema), std::move(*rows));
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
}

Table readWholeDocument(std::string_view text) {
  // Parsed in place in a copy; `text` keeps the positions for messages.
  std::unique_ptr<char[]> buffer(new char[text.size() + 1]);
  std::memcpy(buffer.get(), text.data(), text.size());
  buffer[text.size()] = '\0';
  SourceMap map{text, buffer.get()};
  ParsedRowset parsed;
  parseRowset(buffer.get(), text.size(), map, parsed);
  DataReader reader(parsed.schema, map);
  if (parsed.data) reader.readData(parsed.data, parsed.dataScope);
  return Table(reader.takeFields(), reader.takeRows());
}

Table readDocument(std::string_view bytes, bool honourDeclaration) {
  DecodedText decoded = decodeDocument(bytes, honourDeclaration);
  std::string_view text = decoded.text;
  if (std::optional<Table> table = readPlainDocument(text)) return std::move(*table);
  checkCharacters(text);  // before any parsing, so that its findings are reported first
  return readWholeDocument(text);
}

}  // namespace

Table readAdoXml(std::string_view bytes) { return readDocument(bytes, true); }

Table readAdoXmlText(std::string_view text) { return readDocument(text, false); }

Table readAdoXmlFile(const std::string& path) {
  std::filesystem::path file;
  std::error_code ec;
  bool regular = false;
  std::uintmax_t size = 0;
  try {
    file = std::filesystem::path(std::u8string(path.begin(), path.end()));
    // Only a regular file of bounded size: a FIFO would block, a device read without end.
    regular = std::filesystem::is_regular_file(file, ec);
    if (regular) size = std::filesystem::file_size(file, ec);
  } catch (const std::exception&) {  // not UTF-8: no file has that name
    regular = false;
  }
  if (!regular || ec || size > kMaxDocumentFileBytes) {
    fail("The file '" + path + "' could not be opened.");
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) fail("The file '" + path + "' could not be opened.");
  // One byte more than the status said shows a file that grew past the bound meanwhile.
  std::string bytes(static_cast<std::size_t>(size) + 1, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (in.bad()) fail("The file '" + path + "' could not be read.");
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > size) fail("The file '" + path + "' changed while it was read.");
  return readAdoXml(bytes);
}

}  // namespace zentro
