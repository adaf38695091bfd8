#pragma once
// CriteriaExpr: a parsed Filter or Find criteria text of a Table, evaluated row by row.
// Forms: `Field op value` with = < > <= >= <> and LIKE ('*' or '%' match any run of
// characters), `Field IS [NOT] NULL`, `Field = NULL`, `Field <> NULL`; values 'text' (an
// apostrophe inside doubled), numbers, #date#, True/False; AND binds tighter than OR;
// parentheses; field names plain or in [brackets]. Texts compare without regard to letter
// case; a number compared with a text converts the text (no match when it is not a number).
// A NULL cell matches only the NULL tests. Plain value type; no thread affinity.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/table.h"
#include "remote/value.h"

namespace zentro {

class CriteriaExpr {
 public:
  enum class Mode {
    Filter,  // AND/OR combinations allowed
    Find,    // a single comparison only
  };

  // Parses `text` against `fields`. Throws RuntimeError(kErrTable, "ADODB.Recordset", ...)
  // naming the problem and its place when the text cannot be parsed or names an unknown field.
  static CriteriaExpr parse(std::string_view text, const std::vector<FieldDef>& fields, Mode mode);

  bool matches(std::span<const Value> row) const;

 private:
  enum class Op { Eq, Ne, Lt, Gt, Le, Ge, Like, NotLike };
  enum class LiteralKind { Text, Number, Date, Bool, Null };

  struct Literal {
    LiteralKind kind = LiteralKind::Null;
    std::string text;          // Text
    bool hasNumber = false;    // Text that reads as a number, or Number
    long double number = 0;
    bool hasDate = false;      // Text that reads as a date, or Date
    double days = 0;
    bool boolean = false;      // Bool
  };

  struct Node {
    enum class Kind { And, Or, Compare } kind = Kind::Compare;
    int left = -1;
    int right = -1;
    int field = -1;
    Op op = Op::Eq;
    Literal literal;
  };

  class Parser;

  bool eval(int node, std::span<const Value> row) const;
  static bool compare(const Value& cell, Op op, const Literal& lit);

  std::vector<Node> nodes_;
  int root_ = -1;
};

}  // namespace zentro
