#include "remote/table_criteria.h"

#include <cstring>

#include "platform/ascii_text.h"
#include "platform/runtime_error.h"
#include "remote/text_case.h"
#include "remote/value_text.h"

namespace zentro {
namespace {

constexpr const char* kSource = "ADODB.Recordset";
constexpr int kMaxNesting = 64;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool endsName(char c) { return isBlank(c) || std::strchr("()=<>!'#[]", c) != nullptr; }

int cmpOf(long double a, long double b) { return a < b ? -1 : (a > b ? 1 : 0); }

// "m/d/yyyy [h:mm[:ss]] [AM|PM]", the other date form criteria texts carry.
std::optional<DateValue> parseUsDate(std::string_view s) {
  s = platform::trim(s, platform::kBlanks);
  int part[3] = {0, 0, 0};
  std::size_t pos = 0;
  for (int k = 0; k < 3; ++k) {
    std::size_t start = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 4) {
      part[k] = part[k] * 10 + (s[pos++] - '0');
    }
    if (pos == start) return std::nullopt;
    if (k < 2) {
      if (pos >= s.size() || s[pos] != '/') return std::nullopt;
      ++pos;
    }
  }
  int hour = 0, minute = 0, second = 0;
  std::string_view rest = platform::trim(s.substr(pos), platform::kBlanks);
  if (!rest.empty()) {
    int* fields[3] = {&hour, &minute, &second};
    std::size_t p = 0;
    for (int k = 0; k < 3 && p < rest.size(); ++k) {
      std::size_t start = p;
      while (p < rest.size() && rest[p] >= '0' && rest[p] <= '9' && p - start < 2) {
        *fields[k] = *fields[k] * 10 + (rest[p++] - '0');
      }
      if (p == start) return std::nullopt;
      if (p < rest.size() && rest[p] == ':' && k < 2) ++p;
      else break;
    }
    std::string_view ampm = platform::trim(rest.substr(p), platform::kBlanks);
    if (!ampm.empty()) {
      bool pm = equalsNoCase(ampm, "PM");
      if ((!pm && !equalsNoCase(ampm, "AM")) || hour < 1 || hour > 12) return std::nullopt;
      hour = hour % 12 + (pm ? 12 : 0);
    }
  }
  return dateFromParts(part[2], part[0], part[1], hour, minute, second);
}

std::optional<DateValue> parseDateText(std::string_view s) {
  if (auto iso = parseIsoDate(s)) return iso;
  return parseUsDate(s);
}

// '*' and '%' match any run of characters; texts arrive upper-cased.
bool wildcardMatch(std::string_view text, std::string_view pattern) {
  std::size_t t = 0, p = 0, starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) {
      starP = p++;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      t = ++starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '*' || pattern[p] == '%')) ++p;
  return p == pattern.size();
}

std::optional<long double> numberOf(const Value& v) {
  switch (v.type()) {
    case ValueType::Int64: return static_cast<long double>(*v.get<std::int64_t>());
    case ValueType::Currency: return static_cast<long double>(v.get<Currency>()->scaled) / 10000;
    case ValueType::Bool: return *v.get<bool>() ? -1.0L : 0.0L;
    default:
      if (v.isNumeric()) return static_cast<long double>(*v.toDouble());
      return std::nullopt;
  }
}

}  // namespace

class CriteriaExpr::Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldDef>& fields, Mode mode, CriteriaExpr& out)
      : text_(text), fields_(fields), mode_(mode), out_(out) {}

  void run() {
    out_.root_ = parseOr(0);
    skipBlanks();
    if (pos_ < text_.size()) {
      fail(mode_ == Mode::Find && (peekWord("AND") || peekWord("OR"))
               ? "Find accepts a single comparison, not a combination"
               : "unexpected text '" + std::string(text_.substr(pos_, 20)) + "'");
    }
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw RuntimeError(kErrTable, kSource,
                       std::string(mode_ == Mode::Find ? "Find" : "Filter") + " criteria \"" +
                           std::string(text_) + "\" cannot be used: " + what + " (at character " +
                           std::to_string(pos_ + 1) + ").");
  }

  void skipBlanks() {
    while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
  }

  bool peekWord(std::string_view word) {
    skipBlanks();
    if (text_.size() - pos_ < word.size()) return false;
    if (!equalsNoCase(text_.substr(pos_, word.size()), word)) return false;
    std::size_t after = pos_ + word.size();
    return after == text_.size() || endsName(text_[after]);
  }

  bool takeWord(std::string_view word) {
    if (!peekWord(word)) return false;
    pos_ += word.size();
    return true;
  }

  int add(Node n) {
    out_.nodes_.push_back(std::move(n));
    return static_cast<int>(out_.nodes_.size()) - 1;
  }

  int parseOr(int depth) {
    int left = parseAnd(depth);
    while (mode_ == Mode::Filter && takeWord("OR")) {
      Node n;
      n.kind = Node::Kind::Or;
      n.left = left;
      n.right = parseAnd(depth);
      left = add(std::move(n));
    }
    return left;
  }

  int parseAnd(int depth) {
    int left = parsePrimary(depth);
    while (mode_ == Mode::Filter && takeWord("AND")) {
      Node n;
      n.kind = Node::Kind::And;
      n.left = left;
      n.right = parsePrimary(depth);
      left = add(std::move(n));
    }
    return left;
  }

  int parsePrimary(int depth) {
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '(') {
      if (depth >= kMaxNesting) fail("parentheses nested too deeply");
      ++pos_;
      int inner = parseOr(depth + 1);
      skipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != ')') fail("')' expected");
      ++pos_;
      return inner;
    }
    return parseComparison();
  }

  int parseComparison() {
    Node n;
    n.field = parseField();
    skipBlanks();
    if (takeWord("IS")) {
      n.op = takeWord("NOT") ? Op::Ne : Op::Eq;
      if (!takeWord("NULL")) fail("NULL expected after IS");
      n.literal.kind = LiteralKind::Null;
      return add(std::move(n));
    }
    if (takeWord("NOT")) {
      if (!takeWord("LIKE")) fail("LIKE expected after NOT");
      n.op = Op::NotLike;
    } else if (takeWord("LIKE")) {
      n.op = Op::Like;
    } else {
      n.op = parseOperator();
    }
    n.literal = parseLiteral();
    bool like = n.op == Op::Like || n.op == Op::NotLike;
    if (like && n.literal.kind != LiteralKind::Text) fail("LIKE needs a quoted text pattern");
    if (n.literal.kind == LiteralKind::Null && n.op != Op::Eq && n.op != Op::Ne) {
      fail("NULL can only be compared with = or <>");
    }
    if (like) n.literal.text = upperCase(n.literal.text);
    return add(std::move(n));
  }

  int parseField() {
    skipBlanks();
    std::size_t start = pos_;
    std::string name;
    if (pos_ < text_.size() && text_[pos_] == '[') {
      std::size_t close = text_.find(']', pos_ + 1);
      if (close == std::string_view::npos) fail("']' expected after the field name");
      name = std::string(text_.substr(pos_ + 1, close - pos_ - 1));
      pos_ = close + 1;
    } else {
      while (pos_ < text_.size() && !endsName(text_[pos_])) ++pos_;
      name = std::string(text_.substr(start, pos_ - start));
    }
    if (name.empty()) {
      pos_ = start;
      fail("a field name is expected");
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (equalsNoCase(fields_[i].name, name)) return static_cast<int>(i);
    }
    pos_ = start;
    fail("there is no field '" + name + "'");
  }

  Op parseOperator() {
    skipBlanks();
    std::string_view rest = text_.substr(pos_);
    struct Entry { std::string_view token; Op op; };
    static constexpr Entry kOps[] = {{"<=", Op::Le}, {">=", Op::Ge}, {"<>", Op::Ne},
                                     {"=", Op::Eq},  {"<", Op::Lt},  {">", Op::Gt}};
    for (const Entry& e : kOps) {
      if (rest.substr(0, e.token.size()) == e.token) {
        pos_ += e.token.size();
        return e.op;
      }
    }
    fail("a comparison operator (=, <>, <, >, <=, >=, LIKE) is expected");
  }

  Literal parseLiteral() {
    skipBlanks();
    Literal lit;
    if (pos_ >= text_.size()) fail("a value is expected");
    char c = text_[pos_];
    if (c == '\'') {
      lit.kind = LiteralKind::Text;
      std::size_t start = pos_;
      for (++pos_;; ++pos_) {
        if (pos_ >= text_.size()) {
          pos_ = start;
          fail("the quoted text is not closed");
        }
        if (text_[pos_] != '\'') {
          lit.text += text_[pos_];
        } else if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
          lit.text += '\'';
          ++pos_;
        } else {
          ++pos_;
          break;
        }
      }
      if (auto num = value_text::parseDouble(lit.text)) {
        lit.hasNumber = true;
        lit.number = *num;
        if (auto exact = value_text::parseInt64(lit.text)) lit.number = *exact;
      }
      if (auto date = parseDateText(lit.text)) {
        lit.hasDate = true;
        lit.days = date->days;
      }
    } else if (c == '#') {
      std::size_t close = text_.find('#', pos_ + 1);
      if (close == std::string_view::npos) fail("the date is not closed with '#'");
      auto date = parseDateText(text_.substr(pos_ + 1, close - pos_ - 1));
      if (!date) fail("'" + std::string(text_.substr(pos_, close - pos_ + 1)) + "' is not a date");
      lit.kind = LiteralKind::Date;
      lit.hasDate = true;
      lit.days = date->days;
      pos_ = close + 1;
    } else if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+') {
      std::size_t start = pos_;
      ++pos_;
      while (pos_ < text_.size()) {
        char d = text_[pos_];
        bool expSign = (d == '-' || d == '+') && (text_[pos_ - 1] == 'e' || text_[pos_ - 1] == 'E');
        if (!((d >= '0' && d <= '9') || d == '.' || d == 'e' || d == 'E' || expSign)) break;
        ++pos_;
      }
      std::string_view token = text_.substr(start, pos_ - start);
      auto num = value_text::parseDouble(token);
      if (!num) {
        pos_ = start;
        fail("'" + std::string(token) + "' is not a number");
      }
      lit.kind = LiteralKind::Number;
      lit.hasNumber = true;
      lit.number = *num;
      if (auto exact = value_text::parseInt64(token)) lit.number = *exact;
    } else if (takeWord("NULL")) {
      lit.kind = LiteralKind::Null;
    } else if (takeWord("TRUE")) {
      lit.kind = LiteralKind::Bool;
      lit.boolean = true;
    } else if (takeWord("FALSE")) {
      lit.kind = LiteralKind::Bool;
    } else {
      fail("a value is expected ('text', a number, #date#, True, False or NULL)");
    }
    return lit;
  }

  std::string_view text_;
  const std::vector<FieldDef>& fields_;
  Mode mode_;
  CriteriaExpr& out_;
  std::size_t pos_ = 0;
};

CriteriaExpr CriteriaExpr::parse(std::string_view text, const std::vector<FieldDef>& fields,
                                 Mode mode) {
  CriteriaExpr expr;
  Parser(text, fields, mode, expr).run();
  return expr;
}

bool CriteriaExpr::matches(std::span<const Value> row) const { return eval(root_, row); }

bool CriteriaExpr::eval(int node, std::span<const Value> row) const {
  const Node& n = nodes_[static_cast<std::size_t>(node)];
  switch (n.kind) {
    case Node::Kind::And: return eval(n.left, row) && eval(n.right, row);
    case Node::Kind::Or: return eval(n.left, row) || eval(n.right, row);
    case Node::Kind::Compare: break;
  }
  static const Value kNull = Value::null();
  std::size_t f = static_cast<std::size_t>(n.field);
  return compare(f < row.size() ? row[f] : kNull, n.op, n.literal);
}

bool CriteriaExpr::compare(const Value& cell, Op op, const Literal& lit) {
  bool cellNull = cell.isNull() || cell.isEmpty();
  if (lit.kind == LiteralKind::Null) return (op == Op::Eq) == cellNull;
  if (cellNull) return false;
  if (op == Op::Like || op == Op::NotLike) {
    auto text = cell.toText();
    if (!text) return false;
    return wildcardMatch(upperCase(*text), lit.text) == (op == Op::Like);
  }

  std::optional<int> cmp;
  auto numeric = [&](long double x) {
    if (lit.kind == LiteralKind::Bool) cmp = cmpOf(x, lit.boolean ? -1.0L : 0.0L);
    else if (lit.hasNumber) cmp = cmpOf(x, lit.number);
  };
  switch (cell.type()) {
    case ValueType::String: {
      const std::string& s = *cell.get<std::string>();
      if (lit.kind == LiteralKind::Text) {
        cmp = compareNoCase(s, lit.text);
      } else if (lit.kind == LiteralKind::Date) {
        if (auto d = parseDateText(s)) cmp = cmpOf(d->days, lit.days);
      } else if (lit.kind == LiteralKind::Bool) {
        if (auto b = cell.toBool()) numeric(*b ? -1.0L : 0.0L);
      } else if (auto x = value_text::parseDouble(s)) {
        numeric(*x);
      }
      break;
    }
    case ValueType::Date:
      if (lit.hasDate) cmp = cmpOf(cell.get<DateValue>()->days, lit.days);
      else if (lit.kind == LiteralKind::Number) numeric(cell.get<DateValue>()->days);
      break;
    case ValueType::Bool:
      if (lit.kind == LiteralKind::Text && !lit.hasNumber) {
        if (auto b = Value(lit.text).toBool()) cmp = cmpOf(*cell.get<bool>() ? -1 : 0, *b ? -1 : 0);
      } else {
        numeric(*cell.get<bool>() ? -1.0L : 0.0L);
      }
      break;
    case ValueType::Guid:
      if (lit.kind == LiteralKind::Text) {
        if (auto g = value_text::parseGuid(lit.text)) {
          int c = std::memcmp(cell.get<GuidValue>()->bytes.data(), g->bytes.data(), 16);
          cmp = c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
      }
      break;
    default:
      if (auto x = numberOf(cell)) {
        if (lit.kind == LiteralKind::Date) cmp = cmpOf(*x, lit.days);
        else numeric(*x);
      }
      break;
  }
  if (!cmp) return false;
  switch (op) {
    case Op::Eq: return *cmp == 0;
    case Op::Ne: return *cmp != 0;
    case Op::Lt: return *cmp < 0;
    case Op::Gt: return *cmp > 0;
    case Op::Le: return *cmp <= 0;
    case Op::Ge: return *cmp >= 0;
    default: return false;
  }
}

std::string criteriaLiteral(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

}  // namespace zentro
