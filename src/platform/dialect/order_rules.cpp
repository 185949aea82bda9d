// Where NULLs sort, OFFSET / FETCH and TOP ... WITH TIES.
//
// SQL Server sorts NULL below every value: first ascending, last
// descending. SQLite does the same; PostgreSQL does the opposite unless
// told, so every ORDER BY term gets its NULLS there, in a statement, a
// window and an aggregate's order alike.
#include <string>
#include <string_view>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

bool IsName(const EditableSql& s, const Operands& ops, size_t i) {
  const TokenKind k = s.Kind(i);
  return (k == TokenKind::kWord && !ops.IsKeyword(i)) || k == TokenKind::kQuoted ||
         k == TokenKind::kBracket;
}

// Whether the ORDER BY term [first, last], a column `name` or `t.name`,
// can hold no NULL in the rows of its select: the select's WHERE requires
// the column in a comparison, LIKE, IN or BETWEEN, or IS NOT NULL, and has
// no OR at its top. Then where NULLs would sort does not matter, and the
// term is left as it is, so that the server may still read it from an index.
bool NotNullByWhere(const EditableSql& s, const Operands& ops, size_t by, size_t first,
                    size_t last) {
  if (!(first == last || (s.NextSig(first) + 1 == last && s.IsPunct(s.NextSig(first), '.'))) ||
      !IsName(s, ops, last))
    return false;
  const int depth = s.Depth(by);
  size_t where = kNone;
  for (size_t j = s.PrevSig(by); j != kNone && s.Depth(j) >= depth; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.Depth(j) != depth) continue;
    if (s.IsWord(j, "where")) where = j;
    static constexpr WordSet kStarts{"select", "union", "except", "intersect"};
    if (s.IsWordIn(j, kStarts)) break;
  }
  if (where == kNone) return false;
  bool found = false;
  for (size_t j = s.NextSig(where); j != kNone && j < by; j = s.NextSig(j)) {
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWord(j, "or") || s.IsWord(j, "group") || s.IsWord(j, "having")) return false;
    if (found || !SameName(s, j, last)) continue;
    const size_t prev = s.PrevSig(j);
    if (s.IsPunct(prev, '.') && (first == last || !SameName(s, s.PrevSig(prev), first))) continue;
    // t.name in ORDER BY and name in WHERE are one column: another table
    // with one of that name would make WHERE's ambiguous.
    size_t next = s.NextSig(j);
    if (s.IsWord(next, "not")) next = s.NextSig(next);
    const bool compared = s.IsPunct(next, '=') || s.IsPunct(next, '<') || s.IsPunct(next, '>') ||
                          s.IsPunct(next, '!') || s.IsWord(next, "like") || s.IsWord(next, "in") ||
                          s.IsWord(next, "between");
    const bool not_null = s.IsWord(next, "is") && s.IsWord(s.NextSig(next), "not") &&
                          s.IsWord(s.NextSig(s.NextSig(next)), "null");
    found = compared || not_null;
  }
  return found;
}

// Whether the column terms of the ORDER BY whose BY is at `by` may be
// ordered by their keys: in a window, or in a select without DISTINCT,
// GROUP BY or a set operation (whose values are keyed already, and whose
// ORDER BY names result columns only). `select` gets the select's SELECT,
// kNone for a window.
bool KeyableOrder(const EditableSql& s, size_t by, size_t* select) {
  const int depth = s.Depth(by);
  *select = kNone;
  for (size_t j = s.PrevSig(by); j != kNone; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.Depth(j) < depth) return s.IsPunct(j, '(') && s.IsWord(s.PrevSig(j), "over");
    static constexpr WordSet kKeyed{"union", "except", "intersect", "group"};
    if (s.IsWordIn(j, kKeyed)) return false;
    if (s.IsWord(j, "select")) {
      *select = j;
      return !s.IsWord(s.NextSig(j), "distinct");
    }
  }
  return false;
}

// Whether the select list of `select` names an item of an expression
// `name`: then ORDER BY name means that item, not the table's column. When
// that item is a plain column (`c AS name`, `t.c name`), *column gets it
// as rendered now; otherwise it is left empty.
bool AliasOfItem(const EditableSql& s, const Operands& ops, size_t select, size_t name,
                 std::string* column) {
  const int depth = s.Depth(select);
  for (size_t j = s.NextSig(select); j != kNone && s.Depth(j) >= depth; j = s.NextSig(j)) {
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWord(j, "from")) return false;
    const size_t next = s.NextSig(j);
    const bool item_end =
        next == kNone || s.IsPunct(next, ',') || s.IsWord(next, "from") || s.Depth(next) < depth;
    if (!item_end || !SameName(s, j, name)) continue;
    const size_t prev = s.PrevSig(j);
    if (!s.IsWord(prev, "as") &&
        (prev == select || s.IsPunct(prev, ',') || s.IsPunct(prev, '.') || ops.IsKeyword(prev)))
      continue;
    // The item's expression: [first, last].
    const size_t last = s.IsWord(prev, "as") ? s.PrevSig(prev) : prev;
    size_t first = last;
    if (s.IsPunct(s.PrevSig(last), '.')) first = s.PrevSig(s.PrevSig(last));
    const size_t before = s.PrevSig(first);
    if (IsName(s, ops, first) && IsName(s, ops, last) &&
        (before == select || s.IsPunct(before, ',')))
      *column = Rendered(s, first, last);
    return true;
  }
  return false;
}

// The terms of the ORDER BY whose BY is at `by`: NULLS FIRST / NULLS LAST
// behind each term that has none. Where the order may be keyed
// (KeyableOrder), a column term followed by another term becomes
// tsql_key(column): values that differ in trailing blanks only are equal
// there under SQL Server's default collation, and the next term decides
// (citext would order them by the blanks). The last term keeps its column,
// which an index may serve.
void PlaceNulls(EditableSql* s, const Operands& ops, size_t by) {
  size_t select = kNone;
  const bool keyable = KeyableOrder(*s, by, &select);
  for (size_t sep = by;;) {
    size_t end = ops.EndAfter(sep, true);
    if (end == kNone) return;
    if (s->IsPunct(s->NextSig(end), '(')) end = s->Match(s->NextSig(end));  // schema.f(..)
    const size_t start = s->NextSig(sep);
    size_t last = end;
    size_t next = s->NextSig(end);
    const bool collated = s->IsWord(next, "collate");
    if (collated) {
      last = s->NextSig(next);
      if (last == kNone) return;
      next = s->NextSig(last);
    }
    bool descending = false;
    if (s->IsWord(next, "asc") || s->IsWord(next, "desc")) {
      descending = s->IsWord(next, "desc");
      last = next;
      next = s->NextSig(next);
    }
    const bool nulls = s->IsWord(next, "nulls");
    if (nulls) next = s->NextSig(s->NextSig(next));
    const bool column =
        IsName(*s, ops, start) && IsName(*s, ops, end) &&
        (start == end || (s->NextSig(start) + 1 == end && s->IsPunct(s->NextSig(start), '.')));
    if (keyable && column && !collated && s->IsPunct(next, ',')) {
      std::string item;  // the column an alias stands for
      if (start != end || select == kNone || !AliasOfItem(*s, ops, select, end, &item)) {
        s->Edit(start).before += "tsql_key(";
        s->Edit(end).after += ")";
      } else if (!item.empty()) {
        s->Edit(end).before += "tsql_key(" + item + ")";
        s->Edit(end).drop = true;
      }
    }
    if (!nulls && !NotNullByWhere(*s, ops, by, start, end))
      s->Edit(last).after += descending ? " NULLS LAST" : " NULLS FIRST";
    if (!s->IsPunct(next, ',')) return;
    sep = next;
  }
}

// The tokens from `first` to the word ROW or ROWS at first's depth, or kNone.
size_t RowsAfter(const EditableSql& s, size_t first) {
  const int depth = s.Depth(first);
  for (size_t j = first; j != kNone; j = s.NextSig(j)) {
    if (s.Depth(j) < depth || s.IsPunct(j, ';')) return kNone;
    if (s.Depth(j) == depth && (s.IsWord(j, "rows") || s.IsWord(j, "row"))) return j;
  }
  return kNone;
}

// OFFSET n ROWS [FETCH FIRST|NEXT m ROWS ONLY] -> LIMIT (m) OFFSET (n),
// which both engines read, whatever expressions n and m are.
void RewriteOffset(EditableSql* s, size_t offset, Engine engine) {
  const size_t n0 = s->NextSig(offset);
  const size_t rows = n0 == kNone ? kNone : RowsAfter(*s, n0);
  if (rows == kNone || rows == n0) return;
  const std::string n = Rendered(*s, n0, s->PrevSig(rows));
  std::string limit = engine == Engine::SQLite ? "-1" : "ALL";
  size_t last = rows;
  const size_t fetch = s->NextSig(rows);
  if (s->IsWord(fetch, "fetch")) {
    const size_t m0 = s->NextSig(s->NextSig(fetch));  // behind FIRST / NEXT
    const size_t m_rows = m0 == kNone ? kNone : RowsAfter(*s, m0);
    const size_t only = m_rows == kNone ? kNone : s->NextSig(m_rows);
    if (m_rows == m0 || !s->IsWord(only, "only")) return;
    limit = "(" + Rendered(*s, m0, s->PrevSig(m_rows)) + ")";
    last = only;
  }
  EraseRange(s, offset, last);
  s->Edit(last).after += "LIMIT " + limit + " OFFSET (" + n + ")";
}

// PostgreSQL: SELECT TOP (n) WITH TIES ... ORDER BY .. -> SELECT ... ORDER
// BY .. FETCH FIRST (n) ROWS WITH TIES.
void RewriteWithTies(EditableSql* s, size_t top) {
  const size_t n0 = s->NextSig(top);
  if (n0 == kNone) return;
  const size_t n1 = s->IsPunct(n0, '(') ? s->Match(n0) : n0;
  const size_t with = s->NextSig(n1);
  const size_t ties = s->NextSig(with);
  if (!s->IsWord(with, "with") || !s->IsWord(ties, "ties")) return;
  size_t select = s->PrevSig(top);
  if (s->IsWord(select, "distinct") || s->IsWord(select, "all")) select = s->PrevSig(select);
  if (!s->IsWord(select, "select")) return;
  // The select's end: its closing parenthesis, a semicolon or the text's end.
  const int depth = s->Depth(select);
  size_t last = ties;
  for (size_t j = s->NextSig(ties); j != kNone; j = s->NextSig(j)) {
    if (s->Depth(j) < depth || s->IsPunct(j, ';')) break;
    if (s->IsPunct(j, '(')) j = s->Match(j);
    last = j;
  }
  std::string count = Rendered(*s, n0, n1);
  if (!s->IsPunct(n0, '(')) count = "(" + count + ")";
  EraseRange(s, top, ties);
  if (ties + 1 < s->size() && s->Kind(ties + 1) == TokenKind::kSpace) s->Edit(ties + 1).drop = true;
  s->Edit(last).tail += " FETCH FIRST " + count + " ROWS WITH TIES";
}

}  // namespace

void RewriteOrders(EditableSql* s, Engine engine) {
  const bool order = s->HasWord("order");
  if (!order && !s->HasWord("offset")) return;
  thread_local Operands ops;
  ops.Reset(*s);
  if (engine == Engine::PostgreSQL && order) {
    for (size_t i = s->FirstWord("by"); i != kNone; i = s->NextWord(i)) {
      if (s->IsWord(s->PrevSig(i), "order")) PlaceNulls(s, ops, i);
    }
  }
  for (size_t i = s->FirstWord("offset"); i != kNone; i = s->NextWord(i)) {
    if (!s->Dropped(i)) RewriteOffset(s, i, engine);
  }
  if (engine == Engine::PostgreSQL && s->HasWord("ties")) {
    for (size_t i = s->FirstWord("top"); i != kNone; i = s->NextWord(i)) RewriteWithTies(s, i);
  }
}

}  // namespace q6::dialect
