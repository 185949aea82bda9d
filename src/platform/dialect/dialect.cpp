// Entry points of the dialect layer: parse once, apply the select rules and
// the expression rules, render. Translations go through two process-wide
// caches: one keyed by the whole text, one by its shape (literal_shape.h).
#include "platform/dialect/dialect.h"

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

// Shape -> its translation, stand-ins included; empty when the translation
// depends on what the literals hold.
dialect::TranslationCache& ShapeCache() {
  static auto* cache = new dialect::TranslationCache(kCacheEntries, kCacheMaxText);
  return *cache;
}

// The rewrite itself. With `stand_in_read`, the rules are watched for
// reading a stand-in literal, and it tells whether one did.
std::string Translate(std::string_view tsql, Engine engine, bool* stand_in_read) {
  // One working copy per thread: its buffers are reused, which saves most
  // of the allocations of a translation.
  thread_local dialect::EditableSql sql;
  if (!sql.Parse(tsql)) return std::string(tsql);
  if (stand_in_read) sql.WatchStandIns();
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
  if (stand_in_read) *stand_in_read = sql.StandInRead();
  return out;
}

// The translation of a text the whole-text cache does not hold: through its
// shape when it has one whose translation does not depend on its literals.
std::string TranslateByShape(std::string_view tsql, Engine engine) {
  thread_local dialect::LiteralShape shape;
  // A text too long for the caches would be translated twice for nothing.
  if (tsql.size() > kCacheMaxText / 2 || !dialect::ShapeOf(tsql, &shape))
    return Translate(tsql, engine, nullptr);
  std::string translated;
  if (!ShapeCache().Find(engine, shape.text, &translated)) {
    bool stand_in_read = false;
    translated = Translate(shape.text, engine, &stand_in_read);
    if (stand_in_read) translated.clear();
    ShapeCache().Insert(engine, shape.text, translated);
  }
  std::string out;
  if (!translated.empty() && dialect::FillShape(translated, shape.literals, &out)) return out;
  return Translate(tsql, engine, nullptr);
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

std::string TranslateSql(std::string_view tsql, Engine engine) {
  std::string out;
  if (Cache().Find(engine, tsql, &out)) return out;
  out = TranslateByShape(tsql, engine);
  Cache().Insert(engine, tsql, out);
  return out;
}

size_t TranslationCacheSize() { return Cache().Size() + ShapeCache().Size(); }

}  // namespace q6
