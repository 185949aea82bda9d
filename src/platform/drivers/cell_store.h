// The cells of a result: an append-only sequence of Variants in blocks.
//
// A result of many rows is collected without knowing its size in advance. A
// vector grows by reallocation: every growth copies the cells so far, and
// once it passes the allocator's largest heap-served size each result maps
// fresh memory and faults in every page of it, again for the next result.
// Here cells go into blocks of kBlockCells that never move; the first block
// starts at 16 cells and grows (so a small result takes a small allocation),
// later blocks are full size and come from a process-wide pool of freed
// blocks, bounded (kKeptBlocks), which the next result takes again without
// touching the system. Indexing is two loads: the block, then the cell.
// A result of one block (up to kBlockCells cells) keeps the block's address
// in the store itself, and its first block, at the smallest size, comes
// from a few kept by each thread: a keyed select run again and again makes
// and drops a small result at every run without calling the allocator.
//
// Not thread-safe as an object (as a vector is not); the pool is.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <utility>

#include "runtime/internal_export.h"
#include "runtime/variant.h"

namespace q6 {

class Q6FD_INTERNAL CellStore {
 public:
  static constexpr size_t kBlockShift = 10;
  static constexpr size_t kBlockCells = size_t{1} << kBlockShift;  // 64 KiB of Variants
  // Free full-size blocks the process keeps for the next result: 64 MiB.
  static constexpr size_t kKeptBlocks = 1024;

  CellStore() = default;
  CellStore(const CellStore& other);
  CellStore& operator=(const CellStore& other);
  CellStore(CellStore&& other) noexcept { Swap(other); }
  CellStore& operator=(CellStore&& other) noexcept {
    if (this != &other) {
      clear();
      Swap(other);
    }
    return *this;
  }
  ~CellStore() { clear(); }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // REQUIRES: i < size().
  Variant& operator[](size_t i) { return blocks_[i >> kBlockShift][i & (kBlockCells - 1)]; }
  const Variant& operator[](size_t i) const {
    return blocks_[i >> kBlockShift][i & (kBlockCells - 1)];
  }
  // Raises std::out_of_range when i >= size().
  const Variant& at(size_t i) const {
    if (i >= size_) throw std::out_of_range("CellStore::at");
    return (*this)[i];
  }

  template <class... Args>
  Variant& emplace_back(Args&&... args) {
    if (size_ == capacity_) Grow(size_ + 1);
    Variant* p = &(*this)[size_];
    ::new (static_cast<void*>(p)) Variant(std::forward<Args>(args)...);
    ++size_;
    return *p;
  }
  // Appends `n` cells, cell j holding the value `make(j)` returns, built in
  // place (no move), j from 0 up. When `make` raises, nothing is appended.
  template <class F>
  void append_row(size_t n, F&& make) {
    reserve(size_ + n);
    const size_t first = size_;
    size_t done = 0;
    try {
      while (done < n) {
        // The cells up to the end of this block follow one another.
        const size_t at = first + done;
        const size_t block_end = std::min(((at >> kBlockShift) + 1) << kBlockShift, capacity_);
        const size_t stop = std::min(n, done + (block_end - at));
        Variant* cell = &(*this)[at];
        for (; done < stop; ++done, ++cell) ::new (static_cast<void*>(cell)) Variant(make(done));
      }
    } catch (...) {
      size_ = first + done;
      truncate(first);
      throw;
    }
    size_ = first + n;
  }
  void push_back(const Variant& v) { emplace_back(v); }
  void push_back(Variant&& v) { emplace_back(std::move(v)); }

  // Makes room for `n` cells in all, so that appending up to there takes no
  // block from the pool or the system.
  void reserve(size_t n) {
    if (n > capacity_) Grow(n);
  }
  // Destroys the cells from `n` on (n <= size()); the blocks stay.
  void truncate(size_t n) {
    while (size_ > n) (*this)[--size_].~Variant();
  }
  // Destroys every cell and gives the blocks back.
  void clear();

  // Frees the blocks the pool keeps, and the small ones this thread keeps
  // (for a process that is done with large results, and for measuring
  // memory from a clean start).
  static void ReleaseKeptBlocks();

 private:
  void Grow(size_t needed);
  void Swap(CellStore& other) noexcept {
    const bool mine_inline = blocks_ == &one_;
    const bool theirs_inline = other.blocks_ == &other.one_;
    std::swap(one_, other.one_);
    std::swap(blocks_, other.blocks_);
    std::swap(block_count_, other.block_count_);
    std::swap(block_room_, other.block_room_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
    if (theirs_inline) blocks_ = &one_;
    if (mine_inline) other.blocks_ = &other.one_;
  }
  // Makes room for `n` block addresses (n > block_room_).
  void ReserveBlocks(size_t n);

  // Raw storage for Variants; cells [0, size_) are constructed. Every block
  // holds kBlockCells but the first, which holds capacity_ while it is the
  // only one. blocks_ points at one_ until a second block comes, then at
  // an array of its own (block_room_ entries).
  Variant* one_ = nullptr;
  Variant** blocks_ = &one_;
  size_t block_count_ = 0;
  size_t block_room_ = 1;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace q6
