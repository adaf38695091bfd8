#include "remote/table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/runtime_error.h"
#include "remote/row_blocks.h"
#include "tests/remote/remote_support.h"

namespace zentro {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;

class TableTest : public ::testing::Test {
 protected:
  TableTest()
      : table_({{"PropName", FieldType::String, 255, false},
                {"PropValue", FieldType::String, 4000, true},
                {"Id", FieldType::Int32, 0, true},
                {"Prop Code", FieldType::String, 10, true},
                {"When", FieldType::Date, 0, true},
                {"Amount", FieldType::Double, 0, true}}) {
    add("BaseURL", "https://a.example.test/", 1, "007", date(2001, 2, 3), 1.5);
    add("SharedEnvironment", "TRUE", 2, "x", date(2001, 2, 4), -2.25);
    add("UPDATEADMINLOGIN", "ADMIN1", 3, "12", date(2001, 2, 5), 0);
    add("BaseURL", "https://b.example.test/", 4, "abc", date(2001, 2, 6), 100);
    add("UPDATEADMINLOGIN", "O'NEIL", 5, "", date(2001, 2, 7), 3);
    table_.appendRow({Value("NullValue"), Value::null(), Value(std::int32_t{6})});
    table_.moveFirst();
  }

  static Value date(int y, int m, int d) { return Value(*dateFromParts(y, m, d, 0, 0, 0)); }

  void add(const char* name, const char* value, int id, const char* code, Value when,
           double amount) {
    table_.appendRow({Value(name), Value(value), Value(std::int32_t{id}), Value(code),
                      std::move(when), Value(amount)});
  }

  // The ids of the rows the view shows, walking it from its first row.
  std::vector<int> viewIds() {
    std::vector<int> ids;
    if (table_.recordCount() == 0) return ids;
    for (table_.moveFirst(); !table_.eof(); table_.moveNext()) {
      ids.push_back(static_cast<int>(*table_.field("Id").toInt64()));
    }
    return ids;
  }

  Table table_;
};

TEST_F(TableTest, FilterNarrowsCountEndTestAndMoves) {
  EXPECT_EQ(table_.recordCount(), 6);
  table_.setFilter("PropName='BaseURL'");
  EXPECT_EQ(table_.filter(), "PropName='BaseURL'");
  EXPECT_EQ(table_.recordCount(), 2);
  EXPECT_FALSE(table_.eof());
  EXPECT_EQ(table_.absolutePosition(), 1);
  EXPECT_EQ(table_.field("PropValue"), Value("https://a.example.test/"));  // on the first row
  table_.moveNext();
  EXPECT_EQ(table_.field("propvalue"), Value("https://b.example.test/"));
  table_.moveNext();
  EXPECT_TRUE(table_.eof());
  EXPECT_THROW(table_.moveNext(), RuntimeError);
  table_.moveLast();
  EXPECT_EQ(table_.absolutePosition(), 2);

  table_.setFilter("");
  EXPECT_EQ(table_.filter(), "");
  EXPECT_EQ(table_.recordCount(), 6);
  EXPECT_EQ(table_.absolutePosition(), 1);

  table_.setFilter("PropName = 'NoSuchProperty'");
  EXPECT_EQ(table_.recordCount(), 0);
  EXPECT_TRUE(table_.eof());
  EXPECT_TRUE(table_.bof());
  EXPECT_THROW(table_.moveFirst(), RuntimeError);
  EXPECT_THROW(table_.field("PropValue"), RuntimeError);
}

// Criteria and the ids of the rows they match, in order.
TEST_F(TableTest, CriteriaMatchTheirRows) {
  EXPECT_EQ(criteriaLiteral("O'NEIL"), "'O''NEIL'");
  const struct {
    std::string criteria;
    std::vector<int> ids;
  } rows[] = {
      // Texts compare without regard to case; a doubled apostrophe is one.
      {"PropName='baseurl'", {1, 4}},
      {"PropValue = " + criteriaLiteral("O'NEIL"), {5}},
      {"PropValue = 'o''neil' OR PropValue='admin1'", {3, 5}},
      {"PropName < 'C'", {1, 4}},
      {"PropName LIKE 'update*'", {3, 5}},
      {"PropValue LIKE '%example%'", {1, 4}},
      {"PropValue NOT LIKE 'https*'", {2, 3, 5}},
      {"[Prop Code] = 'ABC'", {4}},
      // Numbers, dates and combinations.
      {"Id = 3", {3}},
      {"Id = '3'", {3}},  // a text compared with a number field converts
      {"Id >= 2 AND Id < 4", {2, 3}},
      {"(Id = 1 OR Id = 5) AND PropName = 'BaseURL'", {1}},
      {"Id = 1 OR Id = 5 AND PropName = 'BaseURL'", {1}},  // AND binds tighter
      {"Amount < -2", {2}},
      {"Amount = 1.5 or amount = 1E2", {1, 4}},
      {"[Prop Code] = 7", {1}},  // text cells that are numbers compare as numbers
      {"[Prop Code] > 10", {3}},
      {"When = #2001-02-04#", {2}},
      {"When > #2/5/2001# AND Id <> 6", {4, 5}},
      // NULL matches only the NULL tests.
      {"PropValue <> 'x'", {1, 2, 3, 4, 5}},
      {"PropValue = NULL", {6}},
      {"PropValue IS NULL", {6}},
      {"When IS NOT NULL AND Id > 4", {5}},
      {"[Prop Code] = ''", {5}},  // the empty text, not the NULL of row 6
  };
  for (const auto& row : rows) {
    table_.setFilter(row.criteria);
    EXPECT_EQ(viewIds(), row.ids) << row.criteria;
  }
}

// Bad criteria and what the error names; each leaves the previous filter in force.
TEST_F(TableTest, BadCriteriaThrowAndKeepThePreviousFilter) {
  table_.setFilter("PropName = 'BaseURL'");
  const std::pair<const char*, const char*> rows[] = {
      {"PropName = ", "value is expected"}, {"PropName = 'BaseURL", "not closed"},
      {"Nope = 'x'", "no field 'Nope'"}, {"[Prop Code = 'x'", "']'"}, {"PropName 'x'", "operator"},
      {"(PropName = 'x'", "')'"}, {"PropName = 'x' AND", "field name"},
      {"PropName = 'x' junk", "unexpected"}, {"PropName LIKE 5", "LIKE"},
      {"PropName > NULL", "NULL"}, {"When = #31/31/2001#", "not a date"},
      {"Id = 1.2.3", "not a number"}, {"Id != 3", "operator"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.first);
    const RuntimeError e = testing::raised([&] { table_.setFilter(row.first); });
    EXPECT_EQ(e.number(), kErrTable);
    EXPECT_EQ(e.source(), "ADODB.Recordset");
    EXPECT_THAT(e.description(), AllOf(HasSubstr(row.second), HasSubstr("at character")));
    EXPECT_EQ(table_.filter(), "PropName = 'BaseURL'");
    EXPECT_EQ(table_.recordCount(), 2);
  }
}

TEST_F(TableTest, FindSearchesForwardFromTheCurrentRow) {
  table_.moveFirst();
  EXPECT_TRUE(table_.find("PropName = 'BaseURL'"));
  EXPECT_EQ(table_.absolutePosition(), 1);  // the current row itself counts
  EXPECT_TRUE(table_.find("PropName = 'BaseURL'", 1));
  EXPECT_EQ(table_.field("Id"), Value(std::int32_t{4}));
  EXPECT_FALSE(table_.find("PropName = 'BaseURL'", 1));
  EXPECT_TRUE(table_.eof());
  EXPECT_FALSE(table_.find("PropName = 'BaseURL'"));  // from the end there is nothing left

  table_.moveFirst();
  EXPECT_THROW(table_.find("Id = 1 AND Id = 2"), RuntimeError);
  EXPECT_THROW(table_.find("Missing = 1"), RuntimeError);
  EXPECT_EQ(table_.absolutePosition(), 1);  // a rejected search does not move
}

TEST_F(TableTest, FieldAccessErrorsNameTheProblem) {
  RuntimeError e = testing::raised([&] { table_.field("NoSuchField"); });
  EXPECT_EQ(e.number(), kErrItemNotFound);
  EXPECT_THAT(e.description(),
              AllOf(HasSubstr("Item cannot be found"), HasSubstr("'NoSuchField'")));
  table_.moveLast();
  table_.moveNext();
  e = testing::raised([&] { table_.field("PropName"); });
  EXPECT_EQ(e.number(), kErrTable);
  EXPECT_THAT(e.description(), HasSubstr("Either BOF or EOF is True"));
  EXPECT_THROW(table_.field(99), RuntimeError);
  EXPECT_THROW(table_.setField("PropName", Value("x")), RuntimeError);
  EXPECT_EQ(table_.fieldIndex("prop code"), 3);
  EXPECT_EQ(table_.fieldIndex("Nope"), -1);
}

TEST_F(TableTest, MoveStopsJustOutsideTheView) {
  table_.move(2);
  EXPECT_EQ(table_.absolutePosition(), 3);
  table_.move(-5);
  EXPECT_TRUE(table_.bof());
  EXPECT_FALSE(table_.eof());
  EXPECT_EQ(table_.absolutePosition(), -1);
  EXPECT_THROW(table_.move(-1), RuntimeError);
  table_.move(3);
  EXPECT_EQ(table_.absolutePosition(), 3);
  table_.move(10);
  EXPECT_TRUE(table_.eof());
  EXPECT_THROW(table_.move(1), RuntimeError);
}

TEST(Table, AppendRowKeepsValuesWholeAndShowsTheNewRow) {
  Table t({{"Code", FieldType::String, 3, true}, {"Id", FieldType::Int64, 0, true}});
  EXPECT_TRUE(t.eof());
  EXPECT_TRUE(t.bof());
  EXPECT_EQ(t.fields()[1].definedSize, 8);  // fixed-size types carry their own size
  t.appendRow({Value("longer than three")});
  EXPECT_EQ(t.field("Code"), Value("longer than three"));
  EXPECT_TRUE(t.field("Id").isNull());
  t.setFilter("Code = 'x'");
  EXPECT_EQ(t.recordCount(), 0);
  t.appendRow({Value("y"), Value(std::int64_t{2})});  // visible until the filter is set again
  EXPECT_EQ(t.recordCount(), 1);
  EXPECT_EQ(t.field("Code"), Value("y"));
  t.setField("Code", Value("x"));
  t.setFilter("Code = 'x'");
  EXPECT_EQ(t.recordCount(), 1);
  EXPECT_THROW(t.appendRow({Value("a"), Value("b"), Value("c")}), RuntimeError);
  EXPECT_EQ(t.rowCount(), 2u);
}

TEST_F(TableTest, CopiesKeepFilterAndPosition) {
  table_.setFilter("Id > 3");
  table_.moveNext();
  Table copy = table_;
  EXPECT_EQ(copy.recordCount(), 3);
  EXPECT_EQ(copy.field("Id"), Value(std::int32_t{5}));
  EXPECT_TRUE(copy == table_);
  copy.setField("PropName", Value("changed"));  // the current row of the view: Id 5
  EXPECT_EQ(copy.row(4)[0], Value("changed"));
  EXPECT_FALSE(copy == table_);
  copy.setFilter("");
  EXPECT_EQ(table_.recordCount(), 3);
}

// The rows' storage, in blocks.
Value number(std::size_t i) { return Value(static_cast<std::int64_t>(i)); }

// Enough rows of one column to fill several blocks.
constexpr std::size_t kManyRows = 5000;

// Rows `from` to kManyRows: even ones appended with their first cell only (the second is
// padded with NULL), odd ones opened as NULLs and filled.
void fill(RowBlocks& rows, std::size_t from) {
  for (std::size_t i = from; i < kManyRows; ++i) {
    if (i % 2 == 0) {
      rows.append({number(i)});
    } else {
      std::span<Value> cells = rows.appendNull();
      cells[0] = number(i);
      cells[1] = Value("odd");
    }
  }
}

TEST(RowBlocks, RowsAcrossBlocksKeepTheirCellsAndOrder) {
  RowBlocks rows(2);
  rows.reserve(kManyRows);
  fill(rows, 0);
  ASSERT_EQ(rows.size(), kManyRows);
  for (std::size_t i = 0; i < kManyRows; ++i) {
    ASSERT_EQ(rows[i].size(), 2u);
    EXPECT_EQ(rows[i][0], number(i)) << "row " << i;
    EXPECT_EQ(rows[i][1], i % 2 == 0 ? Value::null() : Value("odd")) << "row " << i;
  }

  // Removing rows back across a block boundary, then appending again.
  RowBlocks copy = rows;
  for (std::size_t i = 0; i < kManyRows / 2; ++i) copy.removeLast();
  EXPECT_EQ(copy.size(), kManyRows / 2);
  EXPECT_FALSE(copy == rows);
  fill(copy, kManyRows / 2);
  EXPECT_TRUE(copy == rows);
  // And back across every boundary: no emptied block may stay behind.
  while (copy.size() > 0) copy.removeLast();
  fill(copy, 0);
  EXPECT_TRUE(copy == rows);
  copy[kManyRows - 1][1] = Value("changed");
  EXPECT_FALSE(copy == rows);
}

TEST(RowBlocks, ZeroWidthRowsAreCountedAndMovesLeaveAnEmptySource) {
  RowBlocks none(0);
  none.appendNull();
  none.append({});
  EXPECT_EQ(none.size(), 2u);
  EXPECT_TRUE(none[1].empty());
  none.removeLast();
  EXPECT_EQ(none.size(), 1u);

  RowBlocks rows(3);
  rows.appendNull()[2] = Value("x");
  RowBlocks moved = std::move(rows);
  EXPECT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0][2], Value("x"));
  EXPECT_EQ(rows.size(), 0u);  // NOLINT(bugprone-use-after-move): the documented state
  rows.removeLast();           // nothing to remove: no effect
  EXPECT_EQ(rows.size(), 0u);

  // A table takes only rows as wide as its fields.
  EXPECT_THROW(Table({{"A", FieldType::String, 0, true}, {"B", FieldType::String, 0, true}},
                     std::move(none)),
               RuntimeError);
}

}  // namespace
}  // namespace zentro
