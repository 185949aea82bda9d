// Entry points of the dialect layer: parse once, apply the select rules and
// the expression rules, render. Translations go through two process-wide
// caches: one keyed by the whole text, one by its shape (literal_shape.h).
// A translation made through its shape carries that shape with it, so the
// driver can bind its literals from the shape's scan.
#include "platform/dialect/dialect.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include "platform/dialect/binary_values.h"
#include "platform/dialect/date_values.h"
#include "platform/dialect/editable_sql.h"
#include "platform/dialect/expression_rules.h"
#include "platform/dialect/literal_shape.h"
#include "platform/dialect/select_rules.h"
#include "platform/dialect/statement_rules.h"
#include "platform/dialect/translation_cache.h"
#include "platform/dialect/tsql_rules.h"
#include "platform/dialect/tsql_schema.h"

namespace q6 {
namespace {

constexpr size_t kCacheEntries = 8192;
constexpr size_t kCacheMaxText = 8192;

// What the shape cache holds for a shape.
struct ShapeEntry {
  enum class Use : uint8_t {
    kTranslated,    // `translated` is the shape's translation
    kKeepLiterals,  // rules read the literals in `keep`: they stay in the shape
    kWholeText,     // the translation depends on the whole text: none by shape
  } use = Use::kWholeText;
  std::string translated;
  size_t appended = 0;         // Translation::appended
  std::vector<uint32_t> keep;  // ascending
  // The column types the translation was made with; it holds only while
  // they do (null: none read).
  std::shared_ptr<const dialect::TypeReads> types_read;
};

// What the whole-text cache holds for a text.
struct TextEntry {
  Translation translation;
  std::shared_ptr<const dialect::TypeReads> types_read;  // as ShapeEntry's
};

// Both never destroyed: a thread still translating at process exit must not
// find them gone.
dialect::TranslationCache<TextEntry>& Cache() {
  static auto* cache = new dialect::TranslationCache<TextEntry>(kCacheEntries, kCacheMaxText);
  return *cache;
}

dialect::TranslationCache<ShapeEntry>& ShapeCache() {
  static auto* cache = new dialect::TranslationCache<ShapeEntry>(kCacheEntries, kCacheMaxText);
  return *cache;
}

// What the rules read of a watched translation.
struct Reads {
  bool whole_text = false;
  std::vector<uint32_t> stand_ins;  // ascending
};

// The column types a translation is made against, and what it read of them.
struct Types {
  dialect::ColumnTypes* given = nullptr;
  std::shared_ptr<const dialect::TypeReads> read;  // set by Translate; null: none read
};

// The rewrite itself. With `reads`, the rules are watched for reading
// stand-in literals, and it tells which they read. `appended`, when given,
// is set as Translation::appended.
std::string Translate(std::string_view tsql, Engine engine, Types* types, Reads* reads,
                      size_t* appended = nullptr) {
  if (appended) *appended = 0;
  // One working copy per thread: its buffers are reused, which saves most
  // of the allocations of a translation.
  thread_local dialect::EditableSql sql;
  if (types) types->read.reset();
  if (!sql.Parse(tsql)) return std::string(tsql);
  // A rule whose output is T-SQL for the others to translate goes first.
  // One that writes part of the text twice makes the translation depend on
  // the whole text (a literal cannot stand in two places of a shape).
  struct PrePass {
    bool (*rewrite)(dialect::EditableSql*);
    bool writes_twice;
  };
  static constexpr PrePass kSqlitePrePasses[] = {
      {dialect::RewriteQuantifiedAggregates, false},
      {dialect::RewriteApplies, true},
      {dialect::RewriteTiesAsRanks, true},
      {dialect::RewriteGroupingSets, true},
  };
  constexpr size_t kPrePasses = std::size(kSqlitePrePasses);
  thread_local std::string rewritten[kPrePasses];
  bool whole_text = false;
  for (size_t k = 0; engine == Engine::SQLite && k < kPrePasses; ++k) {
    if (!kSqlitePrePasses[k].rewrite(&sql)) continue;
    whole_text = whole_text || kSqlitePrePasses[k].writes_twice;
    rewritten[k] = sql.Render();
    tsql = rewritten[k];
    if (!sql.Parse(tsql)) return std::string(tsql);
  }
  if (reads) {
    sql.WatchStandIns();
    if (whole_text) (void)sql.sql();
  }
  if (types) sql.SetColumnTypes(types->given);
  std::string out;
  const char* refused = dialect::RefusedConstruct(sql);
  if (refused == nullptr) refused = dialect::RefusedOnEngine(sql, engine);
  if (refused != nullptr) {
    out = std::string("SELECT tsql_unsupported('") + refused + "')";
  } else {
    dialect::RewriteSelects(&sql, engine);
    dialect::RewriteTsqlSelectLists(&sql, engine);
    dialect::RewriteTsqlCalls(&sql, engine);
    dialect::RewriteTsqlTableDefinitions(&sql, engine);
    dialect::RewriteDateValues(&sql, engine);
    dialect::RewriteTsqlOperators(&sql, engine);
    dialect::RewriteExpressions(&sql, engine);
    dialect::RewriteBinaryLiterals(&sql, engine);
    dialect::RewriteCommonTableExpressions(&sql, engine);
    dialect::RewriteSetOperations(&sql, engine);
    dialect::RewriteScalarSubqueries(&sql, engine);
    dialect::RewriteQuantifiedSubqueries(&sql, engine);
    dialect::RewriteOrders(&sql, engine);
    dialect::RewriteGroupingKeys(&sql, engine);
    dialect::RewriteResultNames(&sql, engine);
    dialect::RewriteSetOrders(&sql, engine);
    dialect::RewriteStatementForms(&sql, engine);
    dialect::RewriteGroupingIds(&sql, engine);
    dialect::RewriteIndexDefinitions(&sql, engine);
    out = sql.Edited() ? sql.Render() : std::string(tsql);
    if (appended) *appended = sql.appended();
  }
  if (engine == Engine::PostgreSQL) out = dialect::QualifyTsqlCalls(std::move(out));
  if (types && !sql.TypeReadsMade().empty())
    types->read = std::make_shared<const dialect::TypeReads>(sql.TypeReadsMade());
  if (reads) {
    reads->whole_text = sql.WholeTextRead();
    reads->stand_ins = sql.StandInsRead();
    std::sort(reads->stand_ins.begin(), reads->stand_ins.end());
  }
  return out;
}

// The shape cache's entry for `shape`, made when missing. Without
// `may_keep`, an entry whose rules read stand-ins is of no use (kWholeText).
// A cached entry made with column types that no longer hold is made again.
ShapeEntry EntryFor(const std::string& shape, Engine engine, bool may_keep, Types* types) {
  ShapeEntry entry;
  if (ShapeCache().Find(engine, shape, &entry) &&
      dialect::ReadsStillHold(entry.types_read, types->given)) {
    types->read = entry.types_read;
    return entry;
  }
  entry = ShapeEntry();
  Reads reads;
  size_t appended = 0;
  std::string translated = Translate(shape, engine, types, &reads, &appended);
  entry.types_read = types->read;
  if (reads.whole_text || (!reads.stand_ins.empty() && !may_keep)) {
    entry.use = ShapeEntry::Use::kWholeText;
  } else if (!reads.stand_ins.empty()) {
    entry.use = ShapeEntry::Use::kKeepLiterals;
    entry.keep = std::move(reads.stand_ins);
  } else {
    entry.use = ShapeEntry::Use::kTranslated;
    entry.translated = std::move(translated);
    entry.appended = appended;
  }
  ShapeCache().Insert(engine, shape, entry);
  return entry;
}

// The translation of the whole text, without its shape.
Translation Whole(std::string_view tsql, Engine engine, Types* types) {
  Translation out;
  out.native = Translate(tsql, engine, types, nullptr, &out.appended);
  return out;
}

// The translation of a text the whole-text cache does not hold: through its
// shape, with the literals the rules read kept in it, unless the
// translation depends on the whole text.
Translation TranslateByShape(std::string_view tsql, Engine engine, Types* types) {
  thread_local dialect::LiteralShape shape;
  static const std::vector<uint32_t> kKeepNone;
  // A text too long for the caches would be translated twice for nothing.
  if (tsql.size() > kCacheMaxText / 2 || !dialect::ShapeOf(tsql, kKeepNone, &shape))
    return Whole(tsql, engine, types);
  ShapeEntry entry = EntryFor(shape.text, engine, true, types);
  if (entry.use == ShapeEntry::Use::kKeepLiterals) {
    if (!dialect::ShapeOf(tsql, entry.keep, &shape)) return Whole(tsql, engine, types);
    entry = EntryFor(shape.text, engine, false, types);
  }
  if (entry.use != ShapeEntry::Use::kTranslated) return Whole(tsql, engine, types);
  auto shaped = std::make_shared<ShapedFrom>();
  Translation out;
  if (!dialect::FillShape(entry.translated, shape.literals, &out.native, &shaped->literals))
    return Whole(tsql, engine, types);
  out.appended = entry.appended;
  shaped->engine = engine;
  shaped->shape = std::move(entry.translated);
  out.shaped = std::move(shaped);
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

std::string TranslateSqlUncached(std::string_view tsql, Engine engine,
                                 dialect::ColumnTypes* types) {
  if (types) types->BeforeStatement();
  Types t{types, nullptr};
  return Translate(tsql, engine, &t, nullptr);
}

Translation TranslateSql(std::string_view tsql, Engine engine, dialect::ColumnTypes* types) {
  if (types) types->BeforeStatement();
  TextEntry entry;
  if (Cache().Find(engine, tsql, &entry) && dialect::ReadsStillHold(entry.types_read, types))
    return std::move(entry.translation);
  Types t{types, nullptr};
  entry.translation = TranslateByShape(tsql, engine, &t);
  entry.types_read = std::move(t.read);
  Cache().Insert(engine, tsql, entry);
  return std::move(entry.translation);
}

size_t TranslationCacheSize() { return Cache().Size() + ShapeCache().Size(); }

}  // namespace q6
