// A bounded, thread-safe map from (engine, statement text) to what the
// dialect layer made of it: a Translation, or a shape's rewrite.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/dialect/dialect.h"

namespace q6::dialect {

// Hash for maps keyed by statement text that are searched with a
// string_view, without making a string of it.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// Sharded: readers share their shard's lock, writers take it alone.
template <class Value>
class TranslationCache {
 public:
  // Holds at most `capacity` entries (rounded down to a multiple of the
  // shard count, at least one per shard); a statement longer than
  // `max_text` bytes is never stored (such texts carry data and rarely repeat).
  TranslationCache(size_t capacity, size_t max_text)
      : per_shard_(capacity / (2 * kShards) > 0 ? capacity / (2 * kShards) : 1),
        max_text_(max_text),
        shards_(new Shard[2 * kShards]) {}
  TranslationCache(const TranslationCache&) = delete;
  TranslationCache& operator=(const TranslationCache&) = delete;

  // Copies the stored value for `sql` into `out`; false when there is none.
  bool Find(Engine engine, std::string_view sql, Value* out) const {
    if (sql.size() > max_text_) return false;
    Shard& shard = ShardFor(engine, sql);
    std::shared_lock lock(shard.mu);
    const auto it = shard.map.find(sql);
    if (it == shard.map.end()) return false;
    *out = it->second;
    return true;
  }

  // Stores a value, in place of the one stored for `sql` before. When the part of the map the text
  // falls into is full, that part is emptied first: statements built with changing values would
  // otherwise push out the fixed ones only slowly, and an empty shard
  // refills with what is in use now.
  void Insert(Engine engine, std::string_view sql, const Value& value) {
    if (sql.size() > max_text_) return;
    Shard& shard = ShardFor(engine, sql);
    std::unique_lock lock(shard.mu);
    if (shard.map.size() >= per_shard_ && shard.map.find(sql) == shard.map.end()) shard.map.clear();
    if (const auto it = shard.map.find(sql); it != shard.map.end()) {
      it->second = value;
      return;
    }
    shard.map.try_emplace(std::string(sql), value);
  }

  size_t Size() const {
    size_t n = 0;
    for (size_t i = 0; i < 2 * kShards; ++i) {
      std::shared_lock lock(shards_[i].mu);
      n += shards_[i].map.size();
    }
    return n;
  }

 private:
  struct Shard {
    mutable std::shared_mutex mu;
    std::unordered_map<std::string, Value, TextHash, std::equal_to<>> map;
  };
  static constexpr size_t kShards = 16;

  Shard& ShardFor(Engine engine, std::string_view sql) const {
    const size_t h = TextHash{}(sql);
    // The low bits pick the bucket inside the map; take the shard from the high ones.
    const size_t index = (h >> (sizeof(size_t) * 8 - 4)) % kShards;
    return shards_[(engine == Engine::SQLite ? 0 : kShards) + index];
  }

  size_t per_shard_;
  size_t max_text_;
  std::unique_ptr<Shard[]> shards_;  // kShards per engine
};

}  // namespace q6::dialect
