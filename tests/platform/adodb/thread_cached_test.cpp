// Objects from the blocks threads keep: each stays intact wherever it is
// dropped, and no block is lost when threads end, including an object
// dropped by a thread-local destructor after its thread's blocks were freed
// (the sanitizer build's leak check and poisoning see what a test of values
// cannot).
#include "platform/adodb/thread_cached.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace q6 {
namespace {

struct Item {
  explicit Item(int n) : text("item number " + std::to_string(n) + " with a long text") {}
  std::string text;
};

std::string Expected(int n) { return "item number " + std::to_string(n) + " with a long text"; }

// Holds an item until its thread ends; made before the thread's first block
// is kept, so destroyed after the blocks are freed.
struct HeldToTheEnd {
  std::shared_ptr<Item> item;
};
thread_local HeldToTheEnd t_held;

TEST(ThreadCachedTest, ObjectsStayIntactAcrossThreadsAndThreadEnds) {
  std::vector<std::shared_ptr<Item>> made;
  std::thread maker([&] {
    t_held.item = nullptr;  // constructed first
    for (int n = 0; n < 40; ++n) {
      MakeThreadCached<Item>(-1);  // dropped at once: its block is kept for the next
      made.push_back(MakeThreadCached<Item>(n));
    }
    t_held.item = MakeThreadCached<Item>(99);
  });
  maker.join();
  std::thread dropper([&] {
    for (size_t n = 0; n < made.size(); n += 2) made[n].reset();
  });
  dropper.join();
  for (size_t n = 1; n < made.size(); n += 2) {
    ASSERT_TRUE(made[n]);
    EXPECT_EQ(made[n]->text, Expected(static_cast<int>(n)));
  }
  // Made again on this thread, from what it kept or from the allocator.
  std::vector<std::shared_ptr<Item>> again;
  for (int n = 0; n < 12; ++n) again.push_back(MakeThreadCached<Item>(n));
  for (int n = 0; n < 12; ++n) EXPECT_EQ(again[static_cast<size_t>(n)]->text, Expected(n));
}

}  // namespace
}  // namespace q6
