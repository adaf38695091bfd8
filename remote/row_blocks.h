#pragma once
// RowBlocks: the cells of a table's rows, `width` values per row, kept in blocks of about
// 64 KiB. Appending never moves the rows already there; a large table is a few hundred
// allocations of a size the allocator keeps and hands out again (neither one per row nor one
// huge block that goes back to the operating system, and comes back zeroed, with every load).
// Plain value type; not thread-safe.

#include <cstddef>
#include <span>
#include <vector>

#include "remote/value.h"

namespace zentro {

class RowBlocks {
 public:
  explicit RowBlocks(std::size_t width = 0);
  RowBlocks(const RowBlocks&) = default;
  RowBlocks& operator=(const RowBlocks&) = default;
  // A moved-from RowBlocks is empty and keeps its width.
  RowBlocks(RowBlocks&& o) noexcept;
  RowBlocks& operator=(RowBlocks&& o) noexcept;

  std::size_t width() const { return width_; }
  std::size_t size() const { return size_; }  // rows

  // The cells of row i (i < size()); valid until a row is appended or removed.
  std::span<const Value> operator[](std::size_t i) const {
    if (width_ == 0) return {};
    return {blocks_[i / rowsPerBlock_].data() + i % rowsPerBlock_ * width_, width_};
  }
  std::span<Value> operator[](std::size_t i) {
    if (width_ == 0) return {};
    return {blocks_[i / rowsPerBlock_].data() + i % rowsPerBlock_ * width_, width_};
  }

  // Room for `rows` rows in the block list (the blocks themselves come as rows arrive).
  void reserve(std::size_t rows);
  // Appends a row of NULLs and returns its cells (valid as operator[]'s).
  std::span<Value> appendNull();
  // Appends `values` (values.size() <= width()) followed by NULLs up to the width.
  void append(std::vector<Value>&& values);
  // Removes the last row; nothing when there is none.
  void removeLast();

  // Same width and the same rows.
  bool operator==(const RowBlocks& o) const {
    return width_ == o.width_ && size_ == o.size_ && blocks_ == o.blocks_;
  }

 private:
  std::vector<Value>& blockForNewRow();

  std::size_t width_ = 0;
  std::size_t rowsPerBlock_ = 1;
  std::size_t size_ = 0;
  std::vector<std::vector<Value>> blocks_;  // all full but the last
};

}  // namespace zentro
