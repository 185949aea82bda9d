// The dialect layer: T-SQL text, as the business classes build it, rewritten
// into what each engine accepts. Rewrites happen outside string literals only.
// A statement that both engines already accept comes back unchanged.
// Translations are cached by text and by shape: statements differing only in
// literals no rule reads share one (literal_shape.h). The functions are safe
// to call from any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace q6 {

enum class Engine { SQLite, PostgreSQL };

// "SQLite" or "PostgreSQL". The pointer is to a static string.
const char* EngineName(Engine e);

// Rewrites `tsql` for `engine`: TOP n, table hints such as with(updlock) /
// with (nolock), left( / right( / len( / isnull( / getdate(, single-quoted
// column aliases, [bracketed] names, text compared with number columns.
// Text it cannot take apart (an unterminated literal, say) is returned as is,
// so the engine reports the error. Never throws except std::bad_alloc.
//
// In detail (the rules live in select_rules.h and expression_rules.h):
// - `select top n` / `top (n)` -> ` LIMIT n` after the last token of that
//   select (after ORDER BY, inside the parentheses of a nested select).
// - Table hints are removed; on PostgreSQL an UPDLOCK on a plain one-table
//   select without aggregates becomes ` FOR UPDATE` at its end.
// - left(s,n) -> substr(s,1,n) and right(s,n) -> substr(s,-(n),n) on SQLite;
//   len(x) -> length(rtrim(x)); isnull( -> ifnull( on SQLite, coalesce( on
//   PostgreSQL; getdate() -> the local date and time.
// - AS 'x' -> AS "x"; [x] -> "x" (lower case on PostgreSQL except as an alias).
// - Text compared with a number column (`iEntityID = '51 '`) needs nothing:
//   both engines convert such a literal to the column's type, blanks allowed.
std::string TranslateSql(std::string_view tsql, Engine engine);

// The same translation without the cache (for measurements and tests).
std::string TranslateSqlUncached(std::string_view tsql, Engine engine);

// Entries the caches hold now (texts and shapes, both engines); bounded.
size_t TranslationCacheSize();

}  // namespace q6
