// A bounded cache of prepared statements for one connection.
//
// Keys are the statement texts as prepared (with placeholders); values are
// the engine's handle for the prepared statement. When the cache is full the
// statement used least recently is handed to the release function the
// driver gave, which finalises it. Belongs to its driver's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace q6 {

template <class Handle>
class StatementCache {
 public:
  using Release = std::function<void(Handle&)>;

  StatementCache(size_t capacity, Release release)
      : capacity_(capacity), release_(std::move(release)) {}
  ~StatementCache() { Clear(); }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // The handle kept for `key`, made the most recently used; nullptr when
  // there is none. The pointer stays valid until the next Put, Erase or
  // Clear.
  Handle* Find(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return &it->second->second;
  }

  // Keeps `h` for `key` (which must not be present), releasing the least
  // recently used statement when the cache is full. Returns the kept handle.
  Handle* Put(const std::string& key, Handle h) {
    if (index_.size() >= capacity_ && !order_.empty()) {
      release_(order_.back().second);
      index_.erase(order_.back().first);
      order_.pop_back();
    }
    order_.emplace_front(key, std::move(h));
    index_.emplace(order_.front().first, order_.begin());
    return &order_.front().second;
  }

  // Forgets `key`, releasing its statement.
  void Erase(const std::string& key) {
    auto it = index_.find(key);
    if (it == index_.end()) return;
    release_(it->second->second);
    order_.erase(it->second);
    index_.erase(it);
  }

  // Releases every statement.
  void Clear() {
    for (auto& entry : order_) release_(entry.second);
    order_.clear();
    index_.clear();
  }

  size_t size() const { return index_.size(); }

 private:
  using Entry = std::pair<std::string, Handle>;
  size_t capacity_;
  Release release_;
  std::list<Entry> order_;  // most recently used first
  std::unordered_map<std::string_view, typename std::list<Entry>::iterator> index_;
};

}  // namespace q6
