#pragma once
// Table: the client-side recordset the whole system works on.
// Ordered rows of typed values (with NULL), fields found by name without regard to letter
// case, a current position, a Filter that narrows every view operation (count, end test,
// moves, Find) to the matching rows, and Find forward from the current row.
// Not thread-safe; used on the window's thread only.

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "remote/row_blocks.h"
#include "remote/value.h"

namespace zentro {

// Field types as the persistence format and the in-memory tables declare them.
enum class FieldType {
  String,    // adVarWChar / adVarChar (dt:type string)
  UInt8,     // ui1
  Int16,     // i2
  Int32,     // int / i4
  Int64,     // i8
  Double,    // float / r8 (r4 read as double)
  Currency,  // number + rs:dbtype currency
  Decimal,   // number + numeric
  Bool,      // boolean
  Date,      // dateTime / date / time
  Binary,    // bin.hex / bin.base64
  Guid,      // uuid
};

struct FieldDef {
  std::string name;
  FieldType type = FieldType::String;
  // Characters for text, bytes for binary; 0 = unspecified. Fixed-size types always carry
  // their own size (fixedSizeOf), whatever is given, as the data-access library does.
  long definedSize = 0;
  bool nullable = true;
  bool operator==(const FieldDef&) const = default;
};

// Bytes of a fixed-size type as the persistence format declares them (Int32 4, Double 8,
// Bool 2, Date 16, Guid 16, ...); 0 for String and Binary.
long fixedSizeOf(FieldType type);

// Error number of a field name or ordinal that the table does not have.
inline constexpr long kErrItemNotFound = 3265;

class CriteriaExpr;  // parsed Filter/Find criteria (table_criteria.h)

class Table {
 public:
  Table();
  explicit Table(std::vector<FieldDef> fields);
  // A table holding `rows` (each padded with NULL to the field count), positioned on its
  // first row, as an opened recordset is. A row with more values than fields: RuntimeError.
  Table(std::vector<FieldDef> fields, std::vector<std::vector<Value>> rows);
  // The same from rows already laid out; rows.width() must be fields.size(), else
  // RuntimeError.
  Table(std::vector<FieldDef> fields, RowBlocks rows);
  ~Table();
  Table(Table&&) noexcept;
  Table& operator=(Table&&) noexcept;
  Table(const Table&);
  Table& operator=(const Table&);

  const std::vector<FieldDef>& fields() const { return fields_; }
  // Index of the field, matched without regard to letter case; -1 when absent.
  int fieldIndex(std::string_view name) const;

  // Appends a row (values in field order; missing trailing values are NULL) and makes it
  // current, as AddNew + Update do. Values are kept whole: no truncation at definedSize.
  // The row stays in the view until the filter is set again. More values than fields:
  // RuntimeError.
  void appendRow(std::vector<Value> values);

  // --- the view (honours the filter) ---
  long recordCount() const;           // rows in the filtered view
  bool eof() const;                   // past the last row of the view (or the view is empty)
  bool bof() const;
  void moveFirst();                   // RuntimeError when the view is empty
  void moveNext();                    // RuntimeError when already at EOF
  void moveLast();                    // RuntimeError when the view is empty
  // Forward/backward from the current row, stopping at BOF/EOF; RuntimeError when moving
  // forward from EOF, backward from BOF, or in an empty view.
  void move(long rows);
  long absolutePosition() const;      // 1-based position in the view; -1 at BOF/EOF

  // Value of a field of the current row. RuntimeError when the field does not exist or
  // there is no current row (EOF/BOF).
  const Value& field(std::string_view name) const;
  const Value& field(int index) const;
  void setField(std::string_view name, Value v);  // current row

  // Filter: criteria text; "" removes it. The view is positioned on its first row.
  // RuntimeError (with a description of what could not be parsed) on bad criteria,
  // leaving the previous filter in force.
  void setFilter(std::string_view criteria);
  const std::string& filter() const { return filterText_; }

  // Find: search forward from the current row (after skipping `skip` rows) for the first row
  // of the view matching `criteria` (a single comparison: Find takes no AND or OR). Returns true when
  // found and positions there; otherwise positions at EOF and returns false.
  // RuntimeError on bad criteria or a negative skip.
  bool find(std::string_view criteria, long skip = 0);

  // --- raw access, ignoring the filter (writers, diagnostics) ---
  std::size_t rowCount() const { return rows_.size(); }
  // The cells of row i (0 <= i < rowCount()), one per field; valid until a row is added.
  std::span<const Value> row(std::size_t i) const { return rows_[i]; }

  // Same fields and same rows in the same order (filter and position are not compared).
  friend bool operator==(const Table& a, const Table& b) {
    return a.fields_ == b.fields_ && a.rows_ == b.rows_;
  }

 private:
  void rebuildView();
  bool rowMatches(const CriteriaExpr& expr, std::size_t row) const;

  std::vector<FieldDef> fields_;
  RowBlocks rows_;  // fields_.size() cells per row
  std::string filterText_;
  std::unique_ptr<CriteriaExpr> filterExpr_;
  std::vector<std::size_t> view_;  // row indexes visible through the filter
  long pos_ = 0;                   // index into view_; view_.size() = EOF; -1 = BOF
};

// "'" + `text` with every apostrophe doubled + "'": `text` as a literal of Filter and Find
// criteria, which compares equal to exactly that text.
std::string criteriaLiteral(std::string_view text);

}  // namespace zentro
