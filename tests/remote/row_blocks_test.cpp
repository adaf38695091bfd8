#include "remote/row_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/runtime_error.h"
#include "remote/table.h"

namespace zentro {
namespace {

Value number(std::size_t i) { return Value(static_cast<std::int64_t>(i)); }

// Enough rows of one column to fill several blocks.
constexpr std::size_t kManyRows = 5000;

TEST(RowBlocks, RowsAcrossBlocksKeepTheirCellsAndOrder) {
  RowBlocks rows(2);
  rows.reserve(kManyRows);
  for (std::size_t i = 0; i < kManyRows; ++i) {
    if (i % 2 == 0) {
      rows.append({number(i)});  // the second cell is padded with NULL
    } else {
      std::span<Value> cells = rows.appendNull();
      cells[0] = number(i);
      cells[1] = Value("odd");
    }
  }
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
  for (std::size_t i = kManyRows / 2; i < kManyRows; ++i) {
    if (i % 2 == 0) {
      copy.append({number(i)});
    } else {
      copy.append({number(i), Value("odd")});
    }
  }
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
