#include "remote/table.h"

#include <utility>

#include "platform/runtime_error.h"
#include "remote/table_criteria.h"
#include "remote/text_case.h"

namespace zentro {
namespace {

constexpr const char* kSource = "ADODB.Recordset";
constexpr const char* kNoCurrentRecord =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";
constexpr const char* kItemNotFound =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

std::vector<FieldDef> normalised(std::vector<FieldDef> fields) {
  for (FieldDef& f : fields) {
    if (long fixed = fixedSizeOf(f.type)) f.definedSize = fixed;
  }
  return fields;
}

void checkFits(std::size_t valueCount, std::size_t fieldCount) {
  if (valueCount > fieldCount) {
    throw RuntimeError(kErrGeneric, kSource,
                       "A row of " + std::to_string(valueCount) +
                           " values does not fit a table of " + std::to_string(fieldCount) +
                           " fields.");
  }
}

}  // namespace

long fixedSizeOf(FieldType type) {
  switch (type) {
    case FieldType::UInt8: return 1;
    case FieldType::Int16: return 2;
    case FieldType::Int32: return 4;
    case FieldType::Int64: return 8;
    case FieldType::Double: return 8;
    case FieldType::Currency: return 8;
    case FieldType::Decimal: return 19;
    case FieldType::Bool: return 2;
    case FieldType::Date: return 16;
    case FieldType::Guid: return 16;
    case FieldType::String:
    case FieldType::Binary: return 0;
  }
  return 0;
}

Table::Table() = default;

Table::Table(std::vector<FieldDef> fields)
    : fields_(normalised(std::move(fields))), rows_(fields_.size()) {}

Table::Table(std::vector<FieldDef> fields, std::vector<std::vector<Value>> rows)
    : fields_(normalised(std::move(fields))), rows_(fields_.size()) {
  rows_.reserve(rows.size());
  for (auto& r : rows) {
    checkFits(r.size(), fields_.size());
    rows_.append(std::move(r));
  }
  rebuildView();
}

Table::Table(std::vector<FieldDef> fields, RowBlocks rows)
    : fields_(normalised(std::move(fields))), rows_(std::move(rows)) {
  if (rows_.width() != fields_.size()) {
    throw RuntimeError(kErrGeneric, kSource,
                       "Rows of " + std::to_string(rows_.width()) +
                           " values do not fit a table of " + std::to_string(fields_.size()) +
                           " fields.");
  }
  rebuildView();
}

Table::~Table() = default;
Table::Table(Table&&) noexcept = default;
Table& Table::operator=(Table&&) noexcept = default;

Table::Table(const Table& o)
    : fields_(o.fields_),
      rows_(o.rows_),
      filterText_(o.filterText_),
      filterExpr_(o.filterExpr_ ? std::make_unique<CriteriaExpr>(*o.filterExpr_) : nullptr),
      view_(o.view_),
      pos_(o.pos_) {}

Table& Table::operator=(const Table& o) {
  if (this != &o) {
    Table copy(o);
    *this = std::move(copy);
  }
  return *this;
}

int Table::fieldIndex(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (equalsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

void Table::appendRow(std::vector<Value> values) {
  checkFits(values.size(), fields_.size());
  rows_.append(std::move(values));
  // A new row stays visible until the filter is set again, whether it matches or not.
  view_.push_back(rows_.size() - 1);
  pos_ = static_cast<long>(view_.size()) - 1;
}

long Table::recordCount() const { return static_cast<long>(view_.size()); }

bool Table::eof() const { return view_.empty() || pos_ >= static_cast<long>(view_.size()); }

bool Table::bof() const { return view_.empty() || pos_ < 0; }

void Table::moveFirst() {
  if (view_.empty()) throw RuntimeError(kErrTable, kSource, kNoCurrentRecord);
  pos_ = 0;
}

void Table::moveNext() {
  if (eof()) throw RuntimeError(kErrTable, kSource, kNoCurrentRecord);
  ++pos_;
}

void Table::moveLast() {
  if (view_.empty()) throw RuntimeError(kErrTable, kSource, kNoCurrentRecord);
  pos_ = static_cast<long>(view_.size()) - 1;
}

void Table::move(long rows) {
  if (rows == 0) return;
  if (view_.empty() || (rows > 0 && eof()) || (rows < 0 && bof())) {
    throw RuntimeError(kErrTable, kSource, kNoCurrentRecord);
  }
  long size = static_cast<long>(view_.size());
  // Moving past either end stops just outside it, as the data-access library does.
  if (rows > 0) pos_ = rows >= size - pos_ ? size : pos_ + rows;
  else pos_ = -rows > pos_ ? -1 : pos_ + rows;
}

long Table::absolutePosition() const { return bof() || eof() ? -1 : pos_ + 1; }

const Value& Table::field(std::string_view name) const {
  int index = fieldIndex(name);
  if (index < 0) {
    throw RuntimeError(kErrItemNotFound, kSource,
                       std::string(kItemNotFound) + " (field '" + std::string(name) + "')");
  }
  return field(index);
}

const Value& Table::field(int index) const {
  if (index < 0 || index >= static_cast<int>(fields_.size())) {
    throw RuntimeError(kErrItemNotFound, kSource,
                       std::string(kItemNotFound) + " (ordinal " + std::to_string(index) + ")");
  }
  if (bof() || eof()) throw RuntimeError(kErrTable, kSource, kNoCurrentRecord);
  return rows_[view_[static_cast<std::size_t>(pos_)]][static_cast<std::size_t>(index)];
}

void Table::setField(std::string_view name, Value v) {
  (void)field(name);  // the same checks as reading: the field exists and there is a current row
  std::size_t row = view_[static_cast<std::size_t>(pos_)];
  rows_[row][static_cast<std::size_t>(fieldIndex(name))] = std::move(v);
}

void Table::setFilter(std::string_view criteria) {
  std::unique_ptr<CriteriaExpr> expr;
  bool remove = criteria.find_first_not_of(" \t\r\n") == std::string_view::npos;
  if (!remove) {
    expr = std::make_unique<CriteriaExpr>(
        CriteriaExpr::parse(criteria, fields_, CriteriaExpr::Mode::Filter));
  }
  filterExpr_ = std::move(expr);
  filterText_ = remove ? std::string() : std::string(criteria);
  rebuildView();
}

bool Table::find(std::string_view criteria, long skip) {
  CriteriaExpr expr = CriteriaExpr::parse(criteria, fields_, CriteriaExpr::Mode::Find);
  if (skip < 0) {
    throw RuntimeError(kErrGeneric, kSource, "Find cannot skip a negative number of rows.");
  }
  long size = static_cast<long>(view_.size());
  long start = (pos_ < 0 ? 0 : pos_);
  start = skip >= size - start ? size : start + skip;
  for (long i = start; i < size; ++i) {
    if (rowMatches(expr, view_[static_cast<std::size_t>(i)])) {
      pos_ = i;
      return true;
    }
  }
  pos_ = size;
  return false;
}

void Table::rebuildView() {
  view_.clear();
  view_.reserve(rows_.size());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!filterExpr_ || rowMatches(*filterExpr_, i)) view_.push_back(i);
  }
  pos_ = 0;
}

bool Table::rowMatches(const CriteriaExpr& expr, std::size_t row) const {
  return expr.matches(rows_[row]);
}

}  // namespace zentro
