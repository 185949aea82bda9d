// Entry points of the dialect layer: parse once, apply the select rules and
// the expression rules, render. Translations go through two process-wide
// caches: one keyed by the whole text, one by its shape (literal_shape.h).
#include "platform/dialect/dialect.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/dialect/editable_sql.h"
#include "platform/dialect/expression_rules.h"
#include "platform/dialect/literal_shape.h"
#include "platform/dialect/select_rules.h"
#include "platform/dialect/translation_cache.h"
#include "platform/dialect/tsql_rules.h"

namespace q6 {
namespace {

constexpr size_t kCacheEntries = 8192;
constexpr size_t kCacheMaxText = 8192;

// Both never destroyed: a thread still translating at process exit must not
// find them gone.
dialect::TranslationCache& Cache() {
  static auto* cache = new dialect::TranslationCache(kCacheEntries, kCacheMaxText);
  return *cache;
}

// Shape -> what ShapeEntry gives for it.
dialect::TranslationCache& ShapeCache() {
  static auto* cache = new dialect::TranslationCache(kCacheEntries, kCacheMaxText);
  return *cache;
}

// What the rules read of a watched translation.
struct Reads {
  bool whole_text = false;
  std::vector<uint32_t> stand_ins;  // ascending
};

// The rewrite itself. With `reads`, the rules are watched for reading
// stand-in literals, and it tells which they read.
std::string Translate(std::string_view tsql, Engine engine, Reads* reads) {
  // One working copy per thread: its buffers are reused, which saves most
  // of the allocations of a translation.
  thread_local dialect::EditableSql sql;
  if (!sql.Parse(tsql)) return std::string(tsql);
  if (reads) sql.WatchStandIns();
  std::string out;
  if (const char* refused = dialect::RefusedConstruct(sql)) {
    out = std::string("SELECT tsql_unsupported('") + refused + "')";
  } else {
    dialect::RewriteSelects(&sql, engine);
    dialect::RewriteTsqlSelectLists(&sql, engine);
    dialect::RewriteTsqlCalls(&sql, engine);
    dialect::RewriteTsqlTableDefinitions(&sql, engine);
    dialect::RewriteTsqlOperators(&sql, engine);
    dialect::RewriteExpressions(&sql, engine);
    out = sql.Edited() ? sql.Render() : std::string(tsql);
  }
  if (reads) {
    reads->whole_text = sql.WholeTextRead();
    reads->stand_ins = sql.StandInsRead();
    std::sort(reads->stand_ins.begin(), reads->stand_ins.end());
  }
  return out;
}

// The shape cache's entry for `shape`: its translation when no rule read a
// stand-in; when rules read some, the mark byte and their numbers, each
// with a ',' behind it (when `may_keep`: the literals in those places then
// stay in the shape); empty when the translation depends on the whole text.
std::string ShapeEntry(const std::string& shape, Engine engine, bool may_keep) {
  std::string entry;
  if (ShapeCache().Find(engine, shape, &entry)) return entry;
  Reads reads;
  entry = Translate(shape, engine, &reads);
  if (reads.whole_text || (!reads.stand_ins.empty() && !may_keep)) {
    entry.clear();
  } else if (!reads.stand_ins.empty()) {
    entry.assign(1, dialect::kStandInMark);
    for (uint32_t n : reads.stand_ins) entry += std::to_string(n) + ',';
  }
  ShapeCache().Insert(engine, shape, entry);
  return entry;
}

// The translation of a text the whole-text cache does not hold: through its
// shape, with the literals the rules read kept in it, unless the
// translation depends on the whole text.
std::string TranslateByShape(std::string_view tsql, Engine engine) {
  thread_local dialect::LiteralShape shape;
  thread_local std::vector<uint32_t> keep;
  keep.clear();
  // A text too long for the caches would be translated twice for nothing.
  if (tsql.size() > kCacheMaxText / 2 || !dialect::ShapeOf(tsql, keep, &shape))
    return Translate(tsql, engine, nullptr);
  std::string entry = ShapeEntry(shape.text, engine, true);
  if (!entry.empty() && entry[0] == dialect::kStandInMark) {
    uint32_t n = 0;
    for (size_t i = 1; i < entry.size(); ++i) {
      if (entry[i] == ',') {
        keep.push_back(n);
        n = 0;
      } else {
        n = n * 10 + static_cast<uint32_t>(entry[i] - '0');
      }
    }
    if (!dialect::ShapeOf(tsql, keep, &shape)) return Translate(tsql, engine, nullptr);
    entry = ShapeEntry(shape.text, engine, false);
  }
  std::string out;
  dialect::ShapedTranslation& last = dialect::LastShapedTranslation();
  last.native.clear();
  if (entry.empty() || !dialect::FillShape(entry, shape.literals, &out, &last.literals))
    return Translate(tsql, engine, nullptr);
  last.engine = engine;
  last.native = out;
  last.shape = std::move(entry);
  return out;
}

}  // namespace

const char* EngineName(Engine e) {
  switch (e) {
    case Engine::SQLite:
      return "SQLite";
    case Engine::PostgreSQL:
      return "PostgreSQL";
  }
  return "unknown";
}

std::string TranslateSqlUncached(std::string_view tsql, Engine engine) {
  return Translate(tsql, engine, nullptr);
}

namespace {

// A whole-text cache entry holds the translation and, when it was made
// through its shape, the shape's translation and where each
// literal is: a hit then leaves the same LastShapedTranslation as a miss, and
// the statement's parameters come from the shape rather than a new scan.
// Layout: native, shape, the spans (two 32-bit numbers each), then the three
// counts (native bytes, shape bytes, spans), read from the end.
void PutCount(std::string* out, size_t n) {
  const auto v = static_cast<uint32_t>(n);
  out->append(reinterpret_cast<const char*>(&v), sizeof v);
}
size_t CountAt(std::string_view entry, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, entry.data() + at, sizeof v);
  return v;
}

std::string PackEntry(const std::string& native) {
  const dialect::ShapedTranslation& last = dialect::LastShapedTranslation();
  const bool shaped = !last.native.empty() && !last.shape.empty() && last.native == native;
  std::string entry = native;
  if (shaped) {
    entry += last.shape;
    for (const dialect::Span& sp : last.literals) {
      PutCount(&entry, sp.pos);
      PutCount(&entry, sp.len);
    }
  }
  PutCount(&entry, native.size());
  PutCount(&entry, shaped ? last.shape.size() : 0);
  PutCount(&entry, shaped ? last.literals.size() : 0);
  return entry;
}

// The translation held in `entry`, LastShapedTranslation set from it.
std::string UnpackEntry(std::string_view entry, Engine engine) {
  constexpr size_t kWord = sizeof(uint32_t);
  const size_t tail = entry.size() - 3 * kWord;
  const size_t native = CountAt(entry, tail), shape = CountAt(entry, tail + kWord),
               spans = CountAt(entry, tail + 2 * kWord);
  dialect::ShapedTranslation& last = dialect::LastShapedTranslation();
  last.native.clear();
  std::string out(entry.substr(0, native));
  if (shape == 0) return out;
  last.engine = engine;
  last.native = out;
  last.shape.assign(entry.substr(native, shape));
  last.literals.resize(spans);
  for (size_t i = 0, at = native + shape; i < spans; ++i, at += 2 * kWord)
    last.literals[i] = dialect::Span{CountAt(entry, at), CountAt(entry, at + kWord)};
  return out;
}

}  // namespace

std::string TranslateSql(std::string_view tsql, Engine engine) {
  std::string entry;
  if (Cache().Find(engine, tsql, &entry)) return UnpackEntry(entry, engine);
  std::string out = TranslateByShape(tsql, engine);
  Cache().Insert(engine, tsql, PackEntry(out));
  return out;
}

size_t TranslationCacheSize() { return Cache().Size() + ShapeCache().Size(); }

}  // namespace q6
