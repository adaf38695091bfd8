#include "remote/ado_xml_schema.h"

#include <algorithm>
#include <cstring>

#include "remote/ado_xml_encoding.h"
#include "remote/ado_xml_format.h"
#include "remote/text_case.h"

namespace zentro::ado_xml {
namespace {

bool isTrue(std::string_view v) { return equalsNoCase(v, "true") || v == "1"; }
bool isFalse(std::string_view v) { return equalsNoCase(v, "false") || v == "0"; }

bool is(const QName& q, const char* uri, std::string_view local) {
  return q.uri == uri && q.local == local;
}

// The namespace-declaring attributes are not data.
bool isDeclaration(const char* name) {
  return std::strncmp(name, "xmlns", 5) == 0 && (name[5] == 0 || name[5] == ':');
}

struct ColumnDraft {
  SchemaColumn column;
  long ordinal = 0;  // 0 = no rs:number
  std::size_t docIndex = 0;
  std::string where;
};

class ColumnReader {
 public:
  explicit ColumnReader(const SourceMap& map) : map_(map) {}

  ColumnDraft read(pugi::xml_node attrType, NsScope ns, std::size_t docIndex) {
    ns.declare(attrType);
    ColumnDraft d;
    d.docIndex = docIndex;
    d.where = map_.where(attrType);
    std::string alias;
    readAttributes(attrType, ns, d, alias, true);
    for (pugi::xml_node child = attrType.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element) continue;
      std::size_t mark = ns.mark();
      ns.declare(child);
      if (is(ns.element(child, map_), kNsSchema, "datatype")) readAttributes(child, ns, d, alias, false);
      ns.restore(mark);
    }
    if (d.column.xmlName.empty()) {
      fail("An s:AttributeType without a name is declared at " + d.where + ".");
    }
    d.column.def.name = alias.empty() ? d.column.xmlName : alias;
    d.column.type = columnTypeOf(dtType_, dbType_);
    d.column.declaredType = dtType_.empty() ? "string" : std::string(dtType_);
    d.column.def.type = d.column.type.field;
    d.column.def.nullable = nullable_;
    if (maxLength_ > 0) d.column.def.definedSize = maxLength_;
    return d;
  }

 private:
  void readAttributes(pugi::xml_node node, const NsScope& ns, ColumnDraft& d, std::string& alias,
                      bool onAttributeType) {
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
      if (isDeclaration(a.name())) continue;
      QName q = ns.attribute(a, node, map_);
      std::string_view v = a.value();
      if (q.uri.empty()) {
        if (onAttributeType && q.local == "name") d.column.xmlName = a.value();
      } else if (q.uri == kNsDatatype) {
        if (q.local == "type") dtType_ = v;
        else if (q.local == "maxLength") maxLength_ = parseLength(v);
      } else if (q.uri == kNsRowset) {
        if (q.local == "name" && onAttributeType) alias = a.value();
        else if (q.local == "number" && onAttributeType) d.ordinal = parseOrdinal(v, d.where);
        else if (q.local == "dbtype") dbType_ = v;
        else if (q.local == "nullable" || q.local == "maybenull") {
          if (isTrue(v)) nullable_ = true;
          if (isFalse(v)) nullable_ = false;
        } else if (q.local == "hidden") d.column.hidden = isTrue(v);
      }
    }
  }

  static long parseLength(std::string_view v) {
    long n = 0;
    for (char c : v) {
      if (c < '0' || c > '9') return 0;
      n = std::min(n * 10 + (c - '0'), 2147483647L);
    }
    return n;
  }

  static long parseOrdinal(std::string_view v, const std::string& where) {
    long n = parseLength(v);
    if (n <= 0 || n >= 2147483647L) {
      fail("The rs:number '" + std::string(v) + "' of the s:AttributeType at " + where +
           " is not a column ordinal.");
    }
    return n;
  }

  const SourceMap& map_;
  std::string_view dtType_;
  std::string_view dbType_;
  long maxLength_ = 0;
  bool nullable_ = true;  // a reader accepts a missing attribute as NULL in any column
};

void orderColumns(std::vector<ColumnDraft>& drafts) {
  std::stable_sort(drafts.begin(), drafts.end(), [](const ColumnDraft& a, const ColumnDraft& b) {
    bool an = a.ordinal > 0, bn = b.ordinal > 0;
    if (an != bn) return an;  // numbered columns first, the others in document order
    return an ? a.ordinal < b.ordinal : a.docIndex < b.docIndex;
  });
  for (std::size_t i = 1; i < drafts.size(); ++i) {
    const ColumnDraft& a = drafts[i - 1];
    const ColumnDraft& b = drafts[i];
    if (a.ordinal > 0 && a.ordinal == b.ordinal) {
      fail("The columns '" + a.column.def.name + "' (" + a.where + ") and '" + b.column.def.name +
           "' (" + b.where + ") have the same rs:number " + std::to_string(a.ordinal) + ".");
    }
  }
  for (std::size_t i = 0; i < drafts.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const SchemaColumn& a = drafts[j].column;
      const SchemaColumn& b = drafts[i].column;
      if (a.xmlName == b.xmlName || equalsNoCase(a.def.name, b.def.name)) {
        fail("The column name '" + (a.xmlName == b.xmlName ? b.xmlName : b.def.name) +
             "' is declared twice (" + drafts[j].where + " and " + drafts[i].where + ").");
      }
    }
  }
}

}  // namespace

std::string SourceMap::where(pugi::xml_node node) const {
  std::ptrdiff_t off = node.offset_debug();
  return positionOf(text, off < 0 ? text.size() : static_cast<std::size_t>(off));
}

std::string SourceMap::where(const char* p, pugi::xml_node fallback) const {
  if (base != nullptr && p >= base && p < base + text.size()) {
    return positionOf(text, static_cast<std::size_t>(p - base));
  }
  return where(fallback);
}

bool NsScope::declare(pugi::xml_node node) {
  bool any = false;
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const char* n = a.name();
    if (!isDeclaration(n)) continue;
    any = true;
    bindings_.emplace_back(n[5] == ':' ? std::string_view(n + 6) : std::string_view(), a.value());
  }
  return any;
}

std::string_view NsScope::lookup(std::string_view prefix, bool& found) const {
  for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
    if (it->first == prefix) {
      found = true;
      return it->second;
    }
  }
  found = prefix == "xml";
  return found ? std::string_view(kNsXml) : std::string_view();
}

QName NsScope::element(pugi::xml_node node, const SourceMap& map) const {
  std::string_view name = node.name();
  std::size_t colon = name.find(':');
  bool found = false;
  if (colon == std::string_view::npos) return {lookup("", found), name};
  std::string_view uri = lookup(name.substr(0, colon), found);
  if (!found) {
    fail("The prefix of the element '" + std::string(name) + "' at " + map.where(node) +
         " is not declared.");
  }
  return {uri, name.substr(colon + 1)};
}

QName NsScope::attribute(pugi::xml_attribute attr, pugi::xml_node owner,
                         const SourceMap& map) const {
  std::string_view name = attr.name();
  std::size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {std::string_view(), name};
  bool found = false;
  std::string_view uri = lookup(name.substr(0, colon), found);
  if (!found) {
    fail("The prefix of the attribute '" + std::string(name) + "' at " +
         map.where(attr.name(), owner) + " is not declared.");
  }
  return {uri, name.substr(colon + 1)};
}

RowsetSchema readSchema(pugi::xml_node schema, NsScope& ns, const SourceMap& map) {
  const NsScope schemaScope = ns;
  std::vector<pugi::xml_node> elementTypes;
  std::vector<std::pair<std::string_view, pugi::xml_node>> shared;  // top-level AttributeTypes
  for (pugi::xml_node child = schema.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    NsScope scope = schemaScope;
    scope.declare(child);
    QName q = scope.element(child, map);
    if (is(q, kNsSchema, "ElementType")) elementTypes.push_back(child);
    if (is(q, kNsSchema, "AttributeType")) shared.emplace_back(child.attribute("name").value(), child);
  }
  if (elementTypes.empty()) {
    fail("The s:Schema at " + map.where(schema) + " declares no s:ElementType for the rows.");
  }
  pugi::xml_node rowType = elementTypes.front();
  for (pugi::xml_node et : elementTypes) {
    if (std::string_view(et.attribute("name").value()) == "row") {
      rowType = et;
      break;
    }
  }
  RowsetSchema result;
  result.rowName = rowType.attribute("name").value();
  if (result.rowName.empty()) {
    fail("The s:ElementType at " + map.where(rowType) + " has no name.");
  }

  NsScope rowScope = schemaScope;
  rowScope.declare(rowType);
  std::vector<ColumnDraft> drafts;
  for (pugi::xml_node child = rowType.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    NsScope scope = rowScope;
    scope.declare(child);
    QName q = scope.element(child, map);
    if (is(q, kNsSchema, "AttributeType")) {
      drafts.push_back(ColumnReader(map).read(child, rowScope, drafts.size()));
    } else if (is(q, kNsSchema, "attribute")) {
      std::string_view ref = child.attribute("type").value();
      auto it = std::find_if(shared.begin(), shared.end(),
                             [&](const auto& s) { return s.first == ref; });
      if (it == shared.end()) {
        fail("The s:attribute at " + map.where(child) + " refers to the AttributeType '" +
             std::string(ref) + "', which the schema does not declare.");
      }
      drafts.push_back(ColumnReader(map).read(it->second, schemaScope, drafts.size()));
    }
    // Nested ElementTypes (chapters of hierarchical rowsets), s:extends and anything else
    // describe nothing a flat table holds.
  }
  orderColumns(drafts);
  for (ColumnDraft& d : drafts) result.columns.push_back(std::move(d.column));
  return result;
}

}  // namespace zentro::ado_xml
