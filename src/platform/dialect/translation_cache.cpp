// Sharded translation cache: readers share a lock, writers take their shard's.
#include "platform/dialect/translation_cache.h"

#include <functional>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace q6::dialect {
struct TranslationCache::Shard {
  mutable std::shared_mutex mu;
  std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> map;
};

TranslationCache::TranslationCache(size_t capacity, size_t max_text)
    : per_shard_(capacity / (2 * kShards) > 0 ? capacity / (2 * kShards) : 1),
      max_text_(max_text),
      shards_(new Shard[2 * kShards]) {}

TranslationCache::~TranslationCache() = default;

TranslationCache::Shard& TranslationCache::ShardFor(Engine engine, std::string_view sql) const {
  const size_t h = TextHash{}(sql);
  // The low bits pick the bucket inside the map; take the shard from the high ones.
  const size_t index = (h >> (sizeof(size_t) * 8 - 4)) % kShards;
  return shards_[(engine == Engine::SQLite ? 0 : kShards) + index];
}

bool TranslationCache::Find(Engine engine, std::string_view sql, std::string* out) const {
  if (sql.size() > max_text_) return false;
  Shard& shard = ShardFor(engine, sql);
  std::shared_lock lock(shard.mu);
  const auto it = shard.map.find(sql);
  if (it == shard.map.end()) return false;
  *out = it->second;
  return true;
}

void TranslationCache::Insert(Engine engine, std::string_view sql, const std::string& translated) {
  if (sql.size() > max_text_) return;
  Shard& shard = ShardFor(engine, sql);
  std::unique_lock lock(shard.mu);
  if (shard.map.size() >= per_shard_ && shard.map.find(sql) == shard.map.end()) shard.map.clear();
  shard.map.try_emplace(std::string(sql), translated);
}

size_t TranslationCache::Size() const {
  size_t n = 0;
  for (size_t i = 0; i < 2 * kShards; ++i) {
    std::shared_lock lock(shards_[i].mu);
    n += shards_[i].map.size();
  }
  return n;
}

}  // namespace q6::dialect
