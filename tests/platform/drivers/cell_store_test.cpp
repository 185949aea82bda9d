// Result cells in blocks: every cell keeps its value and place across the
// first block's growth, block boundaries, copies, moves and reuse of freed
// blocks.
#include "platform/drivers/cell_store.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace q6 {
namespace {

// Strings long enough to live on the heap, so a lost or doubled move shows.
Variant Nth(size_t i) {
  return i % 3 == 0 ? Variant(static_cast<int32_t>(i))
                    : Variant("value number " + std::to_string(i) + " of the result");
}

void ExpectCells(const CellStore& s, size_t n, const std::string& what) {
  ASSERT_EQ(s.size(), n) << what;
  for (size_t i = 0; i < n; ++i) ASSERT_EQ(s[i].ToString(), Nth(i).ToString()) << what << " @" << i;
}

TEST(CellStoreTest, KeepsEveryCellAcrossGrowthCopiesMovesAndReuse) {
  constexpr size_t kB = CellStore::kBlockCells;
  for (size_t n : {size_t{0}, size_t{1}, size_t{17}, kB - 1, kB, kB + 1, 3 * kB + 5}) {
    const std::string what = "n=" + std::to_string(n);
    CellStore s;
    for (size_t i = 0; i < n; ++i) s.push_back(Nth(i));
    ExpectCells(s, n, what);

    CellStore copy(s);
    copy.emplace_back("appended to the copy");
    ExpectCells(s, n, what + " original after copy");
    EXPECT_EQ(copy[n].ToString(), "appended to the copy") << what;

    CellStore moved(std::move(s));
    ExpectCells(moved, n, what + " moved");
    s = moved;  // assignment into a moved-from store
    ExpectCells(s, n, what + " assigned");

    moved.clear();  // its blocks go back for the next store to take
    CellStore next;
    next.reserve(n / 2 + 1);  // a first block of an odd size, then growth past it
    for (size_t i = 0; i < n; ++i) next.push_back(Nth(i));
    ExpectCells(next, n, what + " after reuse");
    EXPECT_THROW(next.at(n), std::out_of_range) << what;
  }
}

// Small results made on one thread and dropped on another, with threads
// ending between: each cell is its own, whatever block it was given (a
// thread's kept blocks go back when it ends; the leak check of the
// sanitizer build sees any that do not).
TEST(CellStoreTest, SmallStoresPassBetweenThreadsIntact) {
  std::vector<CellStore> made(40);
  std::thread maker([&] {
    for (size_t k = 0; k < made.size(); ++k) {
      CellStore scratch;  // dropped at once: its block is kept for the next
      scratch.push_back(Nth(k));
      for (size_t i = 0; i <= k % 5; ++i) made[k].push_back(Nth(i));
    }
  });
  maker.join();
  std::thread dropper([&] {
    for (size_t k = 0; k < made.size(); k += 2) made[k].clear();
  });
  dropper.join();
  for (size_t k = 1; k < made.size(); k += 2)
    ExpectCells(made[k], k % 5 + 1, "store " + std::to_string(k));
}

}  // namespace
}  // namespace q6
