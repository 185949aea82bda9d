// The dialect layer: T-SQL text, as the business classes build it, rewritten
// into what each engine accepts. Rewrites happen outside string literals only.
// A statement that both engines already accept comes back unchanged.
// Translations are cached by text and by shape: statements differing only in
// literals no rule reads share one (literal_shape.h). The functions are safe
// to call from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datasource/engine.h"
#include "runtime/internal_export.h"
#include "runtime/variant.h"

namespace q6 {

namespace dialect {
class ColumnTypes;
}

// "SQLite" or "PostgreSQL". The pointer is to a static string.
Q6FD_INTERNAL const char* EngineName(Engine e);

// A literal's place in a text.
struct TextSpan {
  size_t pos = 0;
  size_t len = 0;
};

// How a translation was put together from the translation of its shape
// (literal_shape.h): that translation, with numbered stand-ins where the
// literals go, and where each literal went in the native text. The driver
// takes the statement's parameters from the shape instead of scanning the
// text again. Immutable once made, shared by the cache and every copy.
struct ShapedFrom {
  Engine engine = Engine::SQLite;
  std::string shape;               // the shape's translation, stand-ins in place
  std::vector<TextSpan> literals;  // where literal n is in the native text
};

// A statement on its way to an engine: its text in the engine's dialect and
// what travels with it. A value: copies are cheap apart from the text.
struct Translation {
  Translation() = default;
  // A text already in the engine's dialect, with nothing known of its shape.
  Translation(std::string text) : native(std::move(text)) {}  // NOLINT: implicit on purpose
  Translation(const char* text) : native(text) {}             // NOLINT: implicit on purpose
  // A text in the engine's dialect with `values` for its placeholders.
  Translation(std::string text, std::vector<Variant> values)
      : native(std::move(text)), params(std::move(values)) {}

  std::string native;
  // How `native` was made from its shape; null when it was not (or when the
  // text was changed after it was translated: see Replace).
  std::shared_ptr<const ShapedFrom> shaped;
  // Values bound to the placeholders of `native` (Driver::Placeholder), in
  // order; none for a statement whose values are in its text.
  std::vector<Variant> params;
  // Bytes at the end of `native` that hold statements the dialect added to
  // the one written (a new table's triggers on SQLite), with what followed
  // it; 0 when none. The written statement is the text before them
  // (Driver::ExecuteOne holds that to one statement and runs the rest).
  size_t appended = 0;

  // Sets a new native text made from this one (a lock clause added, say):
  // the shape no longer describes it.
  void Replace(std::string text) {
    native = std::move(text);
    shaped.reset();
    appended = 0;
  }
};

inline bool operator==(const Translation& t, std::string_view text) {
  return std::string_view(t.native) == text;
}
inline std::ostream& operator<<(std::ostream& os, const Translation& t) { return os << t.native; }

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
//
// The result carries, when the text was put together from its shape's
// translation, that shape (Translation::shaped), so that the driver binds
// its literals without another scan.
//
// `types`, when given, answers for the declared types of the columns the
// statement names, on the connection it is for (column_types.h; the
// driver's column_types()); rules that depend on a type use it (a number
// column compared with a number, int arithmetic, the collation of a derived
// table's items), and without it they keep what they do when types are
// unknown. A cached translation is reused only while the answers it was
// made with still hold for `types`. Not thread-safe in `types`, which
// belongs to its connection's thread.
Q6FD_INTERNAL Translation TranslateSql(std::string_view tsql, Engine engine,
                                       dialect::ColumnTypes* types = nullptr);

// The same translation without the cache (for measurements and tests).
std::string TranslateSqlUncached(std::string_view tsql, Engine engine,
                                 dialect::ColumnTypes* types = nullptr);

// Entries the caches hold now (texts and shapes, both engines); bounded.
size_t TranslationCacheSize();

}  // namespace q6
