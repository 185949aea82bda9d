// Objects made and dropped at every execution, allocated from blocks each
// thread keeps.
//
// Every statement run gives a Recordset, and every Recordset its RecordData;
// a keyed select run thousands of times makes and drops both each time. The
// general allocator's path costs more than the rest of making them, so the
// memory of a few dropped ones (kKept of each type) is kept by the thread
// that dropped them and handed to the next one made there. An object may be
// dropped on another thread than the one that made it: its memory then
// stays with the thread that dropped it. When a thread ends it frees what
// it keeps; an object dropped after that, from another thread-local
// object's destructor, is freed at once. Under the address sanitizer a kept
// block is poisoned, so that a use after the object is gone is still
// reported.
//
// Use MakeThreadCached<T>(args...) where std::make_shared<T>(args...) was.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

#if defined(__SANITIZE_ADDRESS__)
#define Q6_CACHED_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define Q6_CACHED_ASAN 1
#endif
#endif
#if defined(Q6_CACHED_ASAN)
#include <sanitizer/asan_interface.h>
#endif

namespace q6 {

template <class T>
class ThreadCachedAllocator {
 public:
  using value_type = T;
  static constexpr int kKept = 8;

  ThreadCachedAllocator() noexcept = default;
  template <class U>
  ThreadCachedAllocator(const ThreadCachedAllocator<U>&) noexcept {}  // NOLINT: rebinding

  T* allocate(size_t n) {
    if (n == 1 && !gone_ && kept_.count > 0) {
      T* p = static_cast<T*>(kept_.blocks[--kept_.count]);
      Unpoison(p);
      return p;
    }
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (n == 1 && !gone_ && kept_.count < kKept) {
      Poison(p);
      kept_.blocks[kept_.count++] = p;
      return;
    }
    std::allocator<T>().deallocate(p, n);
  }

  template <class U>
  bool operator==(const ThreadCachedAllocator<U>&) const noexcept {
    return true;
  }

 private:
  struct Kept {
    void* blocks[kKept];
    int count = 0;
    ~Kept() {
      for (int i = 0; i < count; ++i) {
        Unpoison(blocks[i]);
        std::allocator<T>().deallocate(static_cast<T*>(blocks[i]), 1);
      }
      count = 0;
      gone_ = true;
    }
  };
  static void Poison([[maybe_unused]] void* p) noexcept {
#if defined(Q6_CACHED_ASAN)
    ASAN_POISON_MEMORY_REGION(p, sizeof(T));
#endif
  }
  static void Unpoison([[maybe_unused]] void* p) noexcept {
#if defined(Q6_CACHED_ASAN)
    ASAN_UNPOISON_MEMORY_REGION(p, sizeof(T));
#endif
  }

  static thread_local bool gone_;
  static thread_local Kept kept_;
};

template <class T>
thread_local bool ThreadCachedAllocator<T>::gone_ = false;
template <class T>
thread_local typename ThreadCachedAllocator<T>::Kept ThreadCachedAllocator<T>::kept_;

// std::make_shared<T>(args...) with the object and its count in a block the
// thread keeps (one allocation, as make_shared makes).
template <class T, class... Args>
std::shared_ptr<T> MakeThreadCached(Args&&... args) {
  return std::allocate_shared<T>(ThreadCachedAllocator<T>(), std::forward<Args>(args)...);
}

}  // namespace q6
