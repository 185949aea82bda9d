// Blocks of result cells and the pool that keeps freed ones.
#include "platform/drivers/cell_store.h"

#include <algorithm>
#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define Q6_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define Q6_ASAN 1
#endif
#endif

#if defined(Q6_ASAN)
#include <sanitizer/asan_interface.h>
#define Q6_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define Q6_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define Q6_POISON(p, n) ((void)(p), (void)(n))
#define Q6_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace q6 {
namespace {

static_assert(alignof(Variant) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
constexpr size_t kFirstCells = 16;  // the first block's first size
constexpr size_t kBlockBytes = CellStore::kBlockCells * sizeof(Variant);

// Full-size blocks given back by results, for the next ones. Never
// destroyed: a result may outlive every other static object. Under the
// address sanitizer a kept block is poisoned, so that a cell used after its
// result is gone is still reported.
class BlockPool {
 public:
  // Room for every block kept: giving one back (from a destructor) never
  // allocates.
  BlockPool() { free_.reserve(CellStore::kKeptBlocks); }

  static BlockPool& Instance() {
    static BlockPool* pool = new BlockPool;
    return *pool;
  }
  // A full-size block: a kept one, else a new one.
  Variant* Take() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!free_.empty()) {
        Variant* block = free_.back();
        free_.pop_back();
        Q6_UNPOISON(block, kBlockBytes);
        return block;
      }
    }
    return Allocate(CellStore::kBlockCells);
  }
  void Give(Variant* block) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (free_.size() < CellStore::kKeptBlocks) {
        Q6_POISON(block, kBlockBytes);
        free_.push_back(block);
        return;
      }
    }
    Free(block);
  }

  void ReleaseAll() {
    std::vector<Variant*> kept;
    {
      std::lock_guard<std::mutex> lock(mu_);
      kept.swap(free_);
      free_.reserve(CellStore::kKeptBlocks);
    }
    for (Variant* b : kept) {
      Q6_UNPOISON(b, kBlockBytes);
      Free(b);
    }
  }

  static Variant* Allocate(size_t cells) {
    return static_cast<Variant*>(::operator new(cells * sizeof(Variant)));
  }
  static void Free(Variant* block) { ::operator delete(block); }

 private:
  std::mutex mu_;
  std::vector<Variant*> free_;
};

// The smallest first blocks, kept per thread for the next small result:
// taken and given back without a lock or the allocator. The thread's end
// frees them; a result destroyed after that (by another thread-local
// object's destructor) frees its block at once (t_small_gone).
constexpr int kKeptSmallBlocks = 8;
constexpr size_t kSmallBlockBytes = kFirstCells * sizeof(Variant);
thread_local bool t_small_gone = false;
struct SmallBlocks {
  Variant* blocks[kKeptSmallBlocks];
  int count = 0;
  ~SmallBlocks() {
    for (int i = 0; i < count; ++i) {
      Q6_UNPOISON(blocks[i], kSmallBlockBytes);
      BlockPool::Free(blocks[i]);
    }
    count = 0;
    t_small_gone = true;
  }
};
thread_local SmallBlocks t_small;

Variant* AllocateFirst(size_t cells) {
  if (cells == kFirstCells && !t_small_gone && t_small.count > 0) {
    Variant* block = t_small.blocks[--t_small.count];
    Q6_UNPOISON(block, kSmallBlockBytes);
    return block;
  }
  return cells == CellStore::kBlockCells ? BlockPool::Instance().Take()
                                         : BlockPool::Allocate(cells);
}

void Release(Variant* block, size_t cells) {
  if (cells == CellStore::kBlockCells) return BlockPool::Instance().Give(block);
  if (cells == kFirstCells && !t_small_gone && t_small.count < kKeptSmallBlocks) {
    Q6_POISON(block, kSmallBlockBytes);
    t_small.blocks[t_small.count++] = block;
    return;
  }
  BlockPool::Free(block);
}

}  // namespace

CellStore::CellStore(const CellStore& other) {
  reserve(other.size_);
  for (size_t i = 0; i < other.size_; ++i) emplace_back(other[i]);
}

CellStore& CellStore::operator=(const CellStore& other) {
  if (this != &other) {
    CellStore copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void CellStore::ReleaseKeptBlocks() {
  BlockPool::Instance().ReleaseAll();
  if (t_small_gone) return;
  while (t_small.count > 0) {
    Variant* block = t_small.blocks[--t_small.count];
    Q6_UNPOISON(block, kSmallBlockBytes);
    BlockPool::Free(block);
  }
}

void CellStore::clear() {
  for (size_t i = 0; i < size_; ++i) (*this)[i].~Variant();
  for (size_t b = 0; b < block_count_; ++b)
    Release(blocks_[b], b == 0 ? std::min(capacity_, kBlockCells) : kBlockCells);
  if (blocks_ != &one_) delete[] blocks_;
  one_ = nullptr;
  blocks_ = &one_;
  block_count_ = 0;
  block_room_ = 1;
  size_ = 0;
  capacity_ = 0;
}

void CellStore::ReserveBlocks(size_t n) {
  auto** room = new Variant*[n];
  std::copy(blocks_, blocks_ + block_count_, room);
  if (blocks_ != &one_) delete[] blocks_;
  one_ = nullptr;
  blocks_ = room;
  block_room_ = n;
}

void CellStore::Grow(size_t needed) {
  if (capacity_ < kBlockCells) {
    // The first block is the only one: a bigger one takes its cells.
    // Never more than a full block: the cells past it live in the next one.
    const size_t cells = std::min(kBlockCells, std::max({needed, capacity_ * 4, kFirstCells}));
    Variant* bigger = AllocateFirst(cells);
    if (block_count_ > 0) {
      Variant* old = blocks_[0];
      for (size_t i = 0; i < size_; ++i) {
        ::new (static_cast<void*>(bigger + i)) Variant(std::move(old[i]));
        old[i].~Variant();
      }
      Release(old, capacity_);
    }
    blocks_[0] = bigger;  // one_ (a store of one block)
    block_count_ = 1;
    capacity_ = cells;
  }
  if (needed > capacity_) {
    // Each block counts as soon as it is in: a failed allocation leaves the
    // store whole. The list of blocks grows geometrically: grown by one
    // entry at a time, each of its copies would be left behind between the
    // blocks as a hole too small for a block, and a result of a million rows
    // would leave some 200 MB of them, faulted in.
    const size_t blocks = block_count_ + (needed - capacity_ + kBlockCells - 1) / kBlockCells;
    if (blocks > block_room_) ReserveBlocks(std::max(blocks, 2 * block_room_));
    while (capacity_ < needed) {
      blocks_[block_count_] = BlockPool::Instance().Take();
      ++block_count_;
      capacity_ += kBlockCells;
    }
  }
}

}  // namespace q6
