#include "remote/ado_xml_row_scan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "remote/ado_xml_encoding.h"
#include "remote/ado_xml_types.h"
#include "remote/utf8.h"
#include "remote/value_text.h"

namespace zentro::ado_xml {
namespace {

enum CharClass : std::uint8_t {
  kSpace = 1,      // white space between markup
  kNameStart = 2,  // may start a name (a subset of what the parser allows)
  kName = 4,       // may continue a name
  kValueLook = 8,  // needs a closer look inside an attribute value
};

constexpr std::array<std::uint8_t, 256> makeClasses() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    auto& k = t[static_cast<std::size_t>(c)];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
    bool more = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':';
    if (letter) k |= kNameStart | kName;
    if (more) k |= kName;
    if (c < 0x20 || c >= 0x80 || c == '&' || c == '<') k |= kValueLook;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') k |= kSpace;
  }
  return t;
}

constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

bool is(char c, CharClass k) { return (kClasses[static_cast<unsigned char>(c)] & k) != 0; }
bool isHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHigh = 0x8080808080808080ULL;

std::uint64_t load8(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

// True when one of the eight bytes of `w` may be the quote or need a look inside a value
// (below 0x20, from 0x80 up, '&', '<'); values are mostly plain, so words are skipped whole.
bool valueWordNeedsLook(std::uint64_t w, std::uint64_t quotes) {
  auto hasZero = [](std::uint64_t x) { return (x - kOnes) & ~x & kHigh; };
  return ((w & kHigh) | ((w - kOnes * 0x20) & ~w & kHigh) | hasZero(w ^ (kOnes * '&')) |
          hasZero(w ^ (kOnes * '<')) | hasZero(w ^ quotes)) != 0;
}

bool sameBytes(const char* a, const char* b, std::size_t n) {
  for (; n >= 8; n -= 8, a += 8, b += 8) {
    if (load8(a) != load8(b)) return false;
  }
  for (; n > 0; --n) {
    if (*a++ != *b++) return false;
  }
  return true;
}

constexpr int kHiddenColumn = -2;
constexpr int kUnknownColumn = -1;

std::string_view localName(std::string_view qname) {
  std::size_t colon = qname.find(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

std::string_view nameAt(std::string_view text, std::size_t at) {
  std::size_t end = at;
  if (end < text.size() && is(text[end], kNameStart)) {
    while (end < text.size() && is(text[end], kName)) ++end;
  }
  return text.substr(at, end - at);
}

// The reference starting with the '&' at raw[i], as checkCharacters accepts them (the five
// entities; character references, "&#x" hexadecimal, to characters XML allows, within 12
// bytes), appended to out. Returns the index after its ';', or 0 for anything else.
std::size_t decodeReference(std::string_view raw, std::size_t i, std::string& out) {
  std::size_t semi = raw.find(';', i + 1);
  if (semi == std::string_view::npos || semi - i > 12) return 0;
  std::string_view ref = raw.substr(i + 1, semi - i - 1);
  if (ref == "amp") out += '&';
  else if (ref == "lt") out += '<';
  else if (ref == "gt") out += '>';
  else if (ref == "apos") out += '\'';
  else if (ref == "quot") out += '"';
  else if (ref.size() >= 2 && ref[0] == '#') {
    bool hex = ref[1] == 'x';
    std::string_view digits = ref.substr(hex ? 2 : 1);
    const char* last = digits.data() + digits.size();
    std::uint32_t cp = 0;
    auto [end, ec] = std::from_chars(digits.data(), last, cp, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || end != last || !isXmlChar(cp)) return 0;
    appendUtf8(out, cp);
  } else {
    return 0;
  }
  return semi + 1;
}

// An attribute value as the parser leaves it: references replaced, each TAB, LF, CR and
// CR LF one space. False at a reference it does not take.
bool decodeValue(std::string_view raw, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < raw.size();) {
    char c = raw[i];
    if (c == '&') {
      i = decodeReference(raw, i, out);
      if (i == 0) return false;
      continue;
    }
    if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    out += c == '\r' || c == '\n' || c == '\t' ? ' ' : c;
    ++i;
  }
  return true;
}

// Attribute names to columns, trying first the name that the same attribute position had in
// an earlier row (the rows of one writer repeat their order).
class ColumnLookup {
 public:
  explicit ColumnLookup(const RowsetSchema& schema) {
    int next = 0;
    for (const SchemaColumn& c : schema.columns) {
      byName_.emplace(c.xmlName, c.hidden ? kHiddenColumn : next++);
      if (!c.hidden) types_.push_back(&c.type);
    }
  }

  std::size_t width() const { return types_.size(); }
  const ColumnType& type(std::size_t column) const { return *types_[column]; }

  // The name at position `position` when the one there before starts [p, end) and is
  // complete there (a name character does not follow); nullptr otherwise.
  const std::pair<std::string_view, int>* cachedAt(std::size_t position, const char* p,
                                                   const char* end) const {
    if (position >= positions_.size()) return nullptr;
    const auto& entry = positions_[position];
    std::size_t n = entry.first.size();
    if (n == 0 || static_cast<std::size_t>(end - p) <= n || !sameBytes(p, entry.first.data(), n)) {
      return nullptr;
    }
    return is(p[n], kName) ? nullptr : &entry;
  }

  int find(std::string_view name, std::size_t position) {
    auto it = byName_.find(name);
    if (it == byName_.end()) return kUnknownColumn;
    if (position >= positions_.size()) positions_.resize(position + 1);
    positions_[position] = *it;
    return it->second;
  }

 private:
  std::unordered_map<std::string_view, int> byName_;
  std::vector<const ColumnType*> types_;
  std::vector<std::pair<std::string_view, int>> positions_;
};

// The rows between start and end of a text that checkCharacters has not seen: what it would
// refuse, the scanner gives up on.
class PlainRowScanner {
 public:
  PlainRowScanner(std::string_view text, const DataSection& section, std::string_view rowQName,
                  const RowsetSchema& schema)
      : text_(text.substr(0, section.contentEnd)),
        start_(text.data() + section.contentStart),
        end_(text.data() + section.contentEnd),
        rowQName_(rowQName),
        columns_(schema),
        seen_(columns_.width(), 0) {}

  std::optional<RowBlocks> run() {
    RowBlocks rows(columns_.width());
    // Only a reservation: rows rarely take less than 8 bytes a column.
    rows.reserve(static_cast<std::size_t>(end_ - start_) / (16 + 8 * columns_.width()));
    const char* p = start_;
    for (;;) {
      while (p != end_ && is(*p, kSpace)) ++p;
      if (p == end_) return rows;
      p = readRow(p, rows);
      if (p == nullptr) return std::nullopt;
    }
  }

 private:
  // Each returns where reading goes on, or nullptr when the text is not plain.
  const char* readRow(const char* p, RowBlocks& rows) {
    std::size_t n = rowQName_.size();
    if (*p != '<' || static_cast<std::size_t>(end_ - p) <= n + 1) return nullptr;
    ++p;
    if (!sameBytes(p, rowQName_.data(), n)) return nullptr;
    p += n;
    std::span<Value> cells = rows.appendNull();
    if (++stamp_ == 0) {
      std::fill(seen_.begin(), seen_.end(), 0);
      stamp_ = 1;
    }
    for (std::size_t position = 0;; ++position) {
      const char* before = p;
      while (p != end_ && is(*p, kSpace)) ++p;
      if (p == end_) return nullptr;
      if (*p == '/') return end_ - p >= 2 && p[1] == '>' ? p + 2 : nullptr;
      if (p == before) return nullptr;  // attributes are separated by white space
      p = readAttribute(p, cells, position);
      if (p == nullptr) return nullptr;
    }
  }

  const char* readAttribute(const char* p, std::span<Value> cells, std::size_t position) {
    int index = kUnknownColumn;
    std::string_view name;
    if (const auto* cached = columns_.cachedAt(position, p, end_)) {
      name = cached->first;
      index = cached->second;
      p += name.size();
    } else {
      if (!is(*p, kNameStart)) return nullptr;
      const char* nameStart = p;
      while (p != end_ && is(*p, kName)) {
        if (!isHigh(*p)) {
          ++p;
          continue;
        }
        std::size_t length = xmlCharLength(text_, static_cast<std::size_t>(p - text_.data()));
        if (length == 0) return nullptr;
        p += length;
      }
      name = std::string_view(nameStart, static_cast<std::size_t>(p - nameStart));
      index = columns_.find(name, position);
    }
    while (p != end_ && is(*p, kSpace)) ++p;
    if (p == end_ || *p != '=') return nullptr;
    ++p;
    while (p != end_ && is(*p, kSpace)) ++p;
    if (p == end_ || (*p != '\'' && *p != '"')) return nullptr;
    const char quote = *p++;
    const std::uint64_t quotes = kOnes * static_cast<unsigned char>(quote);
    const char* valueStart = p;
    bool plain = true;
    for (;; ++p) {
      while (end_ - p >= 8 && !valueWordNeedsLook(load8(p), quotes)) p += 8;
      if (p == end_) return nullptr;
      if (*p == quote) break;
      if (!is(*p, kValueLook)) continue;
      if (isHigh(*p)) {
        std::size_t length = xmlCharLength(text_, static_cast<std::size_t>(p - text_.data()));
        if (length == 0) return nullptr;
        p += length - 1;
      } else if (*p == '&' || *p == '\t' || *p == '\r' || *p == '\n') {
        plain = false;
      } else {
        return nullptr;  // '<' or a control character
      }
    }
    std::string_view raw(valueStart, static_cast<std::size_t>(p - valueStart));
    ++p;

    if (index < 0) {
      // A prefixed attribute may mark pending changes or use an undeclared prefix, and a
      // declaration changes how names read: the full reader sees to those.
      bool passOver = index == kHiddenColumn || (name.find(':') == std::string_view::npos &&
                                                 name.substr(0, 5) != "xmlns");
      return passOver && (plain || decodeValue(raw, scratch_)) ? p : nullptr;
    }
    auto column = static_cast<std::size_t>(index);
    if (seen_[column] == stamp_) return nullptr;
    seen_[column] = stamp_;
    std::string_view value = raw;
    if (!plain) {
      if (!decodeValue(raw, scratch_)) return nullptr;
      value = scratch_;
    }
    return parseCell(columns_.type(column), value, cells[column]) ? p : nullptr;
  }

  std::string_view text_;  // up to the end of the section, for the UTF-8 checks
  const char* const start_;
  const char* const end_;
  std::string_view rowQName_;
  ColumnLookup columns_;
  std::vector<std::uint32_t> seen_;  // stamp of the row that gave each column
  std::uint32_t stamp_ = 0;
  std::string scratch_;  // a value with references or line ends, as the parser gives it
};

}  // namespace

std::optional<DataSection> findDataSection(std::string_view text) {
  constexpr int kEndTagsTried = 4;  // the data element closes just before the root does
  std::size_t endTag = std::string_view::npos;
  std::string_view qname;
  std::size_t from = std::string_view::npos;
  for (int i = 0; i < kEndTagsTried && endTag == std::string_view::npos; ++i) {
    std::size_t at = text.rfind("</", from);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view name = nameAt(text, at + 2);
    if (localName(name) == "data") {
      endTag = at;
      qname = name;
    } else if (at == 0) {
      return std::nullopt;
    }
    from = at - 1;
  }
  if (endTag == std::string_view::npos) return std::nullopt;

  const std::size_t length = qname.size();
  std::size_t start = 0;
  for (;; ++start) {
    start = text.find(qname, start);
    if (start == std::string_view::npos || start >= endTag) return std::nullopt;
    if (start > 0 && text[start - 1] == '<' &&
        (text[start + length] == '>' || is(text[start + length], kSpace))) {
      break;
    }
  }
  // The start tag ends at the first '>' outside its quoted attribute values.
  for (std::size_t i = start + length; i < endTag; ++i) {
    char c = text[i];
    if (c == '\'' || c == '"') {
      i = text.find(c, i + 1);
      if (i == std::string_view::npos || i >= endTag) return std::nullopt;
    } else if (c == '>') {
      return DataSection{start, i + 1, endTag};
    } else if (c == '/' || c == '<') {
      return std::nullopt;  // an empty-element tag, or no tag at all
    }
  }
  return std::nullopt;
}

std::string_view firstElementName(std::string_view text, const DataSection& section) {
  std::size_t i = section.contentStart;
  while (i < section.contentEnd && is(text[i], kSpace)) ++i;
  if (i >= section.contentEnd || text[i] != '<') return std::string_view();
  return nameAt(text.substr(0, section.contentEnd), i + 1);
}

std::optional<RowBlocks> scanPlainRows(std::string_view text, const DataSection& section,
                                       std::string_view rowQName, const RowsetSchema& schema) {
  if (rowQName.empty()) {
    // No row to read: plain only when there is nothing but white space.
    for (std::size_t i = section.contentStart; i < section.contentEnd; ++i) {
      if (!is(text[i], kSpace)) return std::nullopt;
    }
    return RowBlocks(static_cast<std::size_t>(
        std::count_if(schema.columns.begin(), schema.columns.end(),
                      [](const SchemaColumn& c) { return !c.hidden; })));
  }
  return PlainRowScanner(text, section, rowQName, schema).run();
}

}  // namespace zentro::ado_xml
