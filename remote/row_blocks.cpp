#include "remote/row_blocks.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace zentro {
namespace {

// Below the size from which the C library maps a fresh block for each allocation.
constexpr std::size_t kBlockBytes = 64 * 1024;

}  // namespace

RowBlocks::RowBlocks(std::size_t width)
    : width_(width),
      rowsPerBlock_(std::max<std::size_t>(1, kBlockBytes / (std::max<std::size_t>(width, 1) *
                                                            sizeof(Value)))) {}

RowBlocks::RowBlocks(RowBlocks&& o) noexcept
    : width_(o.width_),
      rowsPerBlock_(o.rowsPerBlock_),
      size_(std::exchange(o.size_, 0)),
      blocks_(std::move(o.blocks_)) {
  o.blocks_.clear();
}

RowBlocks& RowBlocks::operator=(RowBlocks&& o) noexcept {
  width_ = o.width_;
  rowsPerBlock_ = o.rowsPerBlock_;
  size_ = std::exchange(o.size_, 0);
  blocks_ = std::move(o.blocks_);
  o.blocks_.clear();
  return *this;
}

void RowBlocks::reserve(std::size_t rows) {
  if (width_ != 0) blocks_.reserve((rows + rowsPerBlock_ - 1) / rowsPerBlock_);
}

std::vector<Value>& RowBlocks::blockForNewRow() {
  if (size_ % rowsPerBlock_ == 0) {
    blocks_.emplace_back().reserve(rowsPerBlock_ * width_);
  }
  return blocks_.back();
}

std::span<Value> RowBlocks::appendNull() {
  if (width_ == 0) {
    ++size_;
    return {};
  }
  std::vector<Value>& block = blockForNewRow();
  std::size_t start = block.size();
  block.resize(start + width_, Value::null());
  ++size_;
  return {block.data() + start, width_};
}

void RowBlocks::append(std::vector<Value>&& values) {
  if (width_ == 0) {
    ++size_;
    return;
  }
  std::vector<Value>& block = blockForNewRow();
  std::size_t start = block.size();
  block.insert(block.end(), std::make_move_iterator(values.begin()),
               std::make_move_iterator(values.end()));
  block.resize(start + width_, Value::null());
  ++size_;
}

void RowBlocks::removeLast() {
  if (size_ == 0) return;
  --size_;
  if (width_ == 0) return;
  std::vector<Value>& block = blocks_.back();
  block.erase(block.end() - static_cast<std::ptrdiff_t>(width_), block.end());
  if (block.empty()) blocks_.pop_back();
}

}  // namespace zentro
