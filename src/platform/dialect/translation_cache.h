// A bounded, thread-safe map from (engine, statement text) to its translation.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dialect/dialect.h"

namespace q6::dialect {

// Hash for maps keyed by statement text that are searched with a
// string_view, without making a string of it.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

class TranslationCache {
 public:
  // Holds at most `capacity` entries (rounded down to a multiple of the
  // shard count, at least one per shard); a statement longer than
  // `max_text` bytes is never stored (such texts carry data and rarely repeat).
  TranslationCache(size_t capacity, size_t max_text);
  ~TranslationCache();
  TranslationCache(const TranslationCache&) = delete;
  TranslationCache& operator=(const TranslationCache&) = delete;

  // Copies the stored translation of `sql` into `out`; false when there is none.
  bool Find(Engine engine, std::string_view sql, std::string* out) const;

  // Stores a translation. When the part of the map the text falls into is
  // full, that part is emptied first: statements built with changing values
  // would otherwise push out the fixed ones only slowly, and an empty shard
  // refills with what is in use now.
  void Insert(Engine engine, std::string_view sql, const std::string& translated);

  size_t Size() const;

 private:
  struct Shard;
  static constexpr size_t kShards = 16;
  Shard& ShardFor(Engine engine, std::string_view sql) const;

  size_t per_shard_;
  size_t max_text_;
  std::unique_ptr<Shard[]> shards_;  // kShards per engine
};

}  // namespace q6::dialect
