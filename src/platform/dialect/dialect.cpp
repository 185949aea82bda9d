// Entry points of the dialect layer: parse once, apply the select rules and
// the expression rules, render; translations go through a process-wide cache.
#include "platform/dialect/dialect.h"

#include "platform/dialect/editable_sql.h"
#include "platform/dialect/expression_rules.h"
#include "platform/dialect/select_rules.h"
#include "platform/dialect/translation_cache.h"
#include "platform/dialect/tsql_rules.h"

namespace q6 {
namespace {

constexpr size_t kCacheEntries = 8192;
constexpr size_t kCacheMaxText = 8192;

dialect::TranslationCache& Cache() {
  // Never destroyed: a thread still translating at process exit must not
  // find it gone.
  static auto* cache = new dialect::TranslationCache(kCacheEntries, kCacheMaxText);
  return *cache;
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
  // One working copy per thread: its buffers are reused, which saves most
  // of the allocations of a translation.
  thread_local dialect::EditableSql sql;
  if (!sql.Parse(tsql)) return std::string(tsql);
  if (const char* refused = dialect::RefusedConstruct(sql))
    return std::string("SELECT tsql_unsupported('") + refused + "')";
  dialect::RewriteSelects(&sql, engine);
  dialect::RewriteTsqlSelectLists(&sql, engine);
  dialect::RewriteTsqlCalls(&sql, engine);
  dialect::RewriteTsqlTableDefinitions(&sql, engine);
  dialect::RewriteTsqlOperators(&sql, engine);
  dialect::RewriteExpressions(&sql, engine);
  return sql.Edited() ? sql.Render() : std::string(tsql);
}

std::string TranslateSql(std::string_view tsql, Engine engine) {
  std::string out;
  if (Cache().Find(engine, tsql, &out)) return out;
  out = TranslateSqlUncached(tsql, engine);
  Cache().Insert(engine, tsql, out);
  return out;
}

size_t TranslationCacheSize() { return Cache().Size(); }

}  // namespace q6
