// Where NULLs sort, OFFSET / FETCH and TOP ... WITH TIES.
//
// SQL Server sorts NULL below every value: first ascending, last
// descending. SQLite does the same; PostgreSQL does the opposite unless
// told, so every ORDER BY term gets its NULLS there, in a statement, a
// window and an aggregate's order alike.
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/column_scope.h"
#include "platform/dialect/exact_columns.h"
#include "platform/dialect/operands.h"
#include "platform/dialect/operator_rules.h"
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
    if (s.IsWordIn(j, kStarts)) {
      // The last member of a set operation: the other members' rows may
      // hold NULLs.
      size_t op = s.PrevSig(j);
      if (s.IsWord(op, "all") || s.IsWord(op, "distinct")) op = s.PrevSig(op);
      if (s.IsWord(j, "select") && s.IsWordIn(op, kStarts)) return false;
      break;
    }
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
    if (s.Depth(j) < depth)
      return *select != kNone || (s.IsPunct(j, '(') && s.IsWord(s.PrevSig(j), "over"));
    static constexpr WordSet kKeyed{"union", "except", "intersect", "group"};
    if (s.IsWordIn(j, kKeyed)) return false;
    if (s.IsWord(j, "select") && *select == kNone) {
      if (s.IsWord(s.NextSig(j), "distinct")) return false;
      *select = j;  // the members before it may still make it a set operation
    }
  }
  return *select != kNone;
}

using Item = SelectItem;

}  // namespace

void ListItems(const EditableSql& s, const Operands& ops, size_t select,
               std::vector<SelectItem>* items) {
  items->clear();
  const int depth = s.Depth(select);
  size_t first = s.NextSig(select);
  if (s.IsWord(first, "all") || s.IsWord(first, "distinct")) first = s.NextSig(first);
  if (s.IsWord(first, "top")) {  // TOP n | TOP (n) [PERCENT] [WITH TIES]
    first = s.NextSig(first);
    if (s.IsPunct(first, '(')) first = s.Match(first);
    first = s.NextSig(first);
    if (s.IsWord(first, "percent")) first = s.NextSig(first);
    if (s.IsWord(first, "with") && s.IsWord(s.NextSig(first), "ties"))
      first = s.NextSig(s.NextSig(first));
  }
  for (size_t j = first; j != kNone && s.Depth(j) >= depth; j = s.NextSig(j)) {
    if (s.IsPunct(j, '(')) j = s.Match(j);
    if (s.IsWord(j, "case") && ops.CasePartner(j) != kNone) j = ops.CasePartner(j);
    const size_t next = s.NextSig(j);
    // The list ends at FROM, or where a select without FROM ends.
    static constexpr WordSet kListEnds{"from", "union", "except", "intersect", "order", "into"};
    const bool list_end = s.IsWordIn(next, kListEnds) && s.Depth(next) == depth;
    const bool item_end = next == kNone || (s.IsPunct(next, ',') && s.Depth(next) == depth) ||
                          list_end || s.Depth(next) < depth;
    if (!item_end) continue;
    // The item is [first, j]: its alias, when it has one, is j.
    const size_t prev = s.PrevSig(j);
    Item item{first, j, j};
    if (s.IsPunct(j, '*')) {
      item.alias = kNone;
    } else if (s.IsWord(prev, "as") && prev > first) {
      item.last = s.PrevSig(prev);
    } else if (j > first && IsName(s, ops, j) && !s.IsPunct(prev, '.') && !ops.IsKeyword(prev) &&
               s.Kind(prev) != TokenKind::kPunct) {
      item.last = prev;  // expr alias
    } else if (j > first && IsName(s, ops, j) &&
               (s.IsPunct(prev, ')') ||
                (s.IsWord(prev, "end") && ops.CasePartner(prev) != kNone))) {
      item.last = prev;  // f(x) alias, CASE .. END alias
    } else {
      item.alias = kNone;
    }
    items->push_back(item);
    if (list_end || next == kNone || s.Depth(next) < depth) return;
    first = s.NextSig(next);
    j = next;
  }
}

SelectItem ItemOfTerm(const EditableSql& s, const Operands& ops, size_t select, size_t term) {
  thread_local std::vector<SelectItem> items;
  ListItems(s, ops, select, &items);
  const bool position = s.Kind(term) == TokenKind::kNumber;
  long wanted = position ? std::strtol(std::string(s.Text(term)).c_str(), nullptr, 10) : 0;
  for (const SelectItem& item : items) {
    if (s.IsPunct(item.last, '*')) {
      if (position) return {};
      continue;
    }
    if (position ? --wanted == 0 : item.alias != kNone && SameName(s, item.alias, term))
      return item;
  }
  return {};
}

TermColumn ColumnOfTerm(const EditableSql& s, const Operands& ops, size_t select, size_t term) {
  TermColumn out;
  out.item = ItemOfTerm(s, ops, select, term);
  if (out.item.first != kNone) return out;
  thread_local std::vector<SelectItem> items;
  thread_local std::vector<StarColumn> columns;
  ListItems(s, ops, select, &items);
  const bool position = s.Kind(term) == TokenKind::kNumber;
  long wanted = position ? std::strtol(std::string(s.Text(term)).c_str(), nullptr, 10) : 0;
  const std::string name = position ? std::string() : PostgresNameOf(s, term);
  for (const SelectItem& item : items) {
    if (!s.IsPunct(item.last, '*')) {
      if (position && --wanted == 0) out.item = item;
      if (out.item.first != kNone) return out;
      continue;
    }
    columns.clear();
    if (!StarColumns(s, ops, item.last, &columns)) {
      if (position) out.refusal = "ORDER BY position of a column of * whose columns are not known";
      return out;
    }
    for (const StarColumn& c : columns) {
      if (position ? --wanted == 0 : c.name == name) {
        out.star = c;
        break;
      }
    }
    if (out.star) break;
  }
  // A name the result has twice does not tell one column by itself.
  if (position && out.star) {
    int same = 0;
    for (const StarColumn& c : columns) same += c.name == out.star->name;
    if (same > 1) out.refusal = "ORDER BY position of a name the result has twice";
  }
  return out;
}

std::string QuotedIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

bool IsColumnTerm(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  return IsName(s, ops, first) && IsName(s, ops, last) &&
         (first == last || (s.NextSig(first) + 1 == last && s.IsPunct(s.NextSig(first), '.')));
}

namespace {

// PostgreSQL: the ORDER BY or PARTITION BY term [start, end] is compared by
// its key, as under SQL Server's default collation, where values that
// differ in trailing blanks (and, for a text expression, case) are equal: a
// column by tsql_key(column) (citext without its trailing blanks, any other
// type as it is), any other expression by tsql_fold(expression) (text as
// citext without trailing blanks). A term that names an item of the select
// list (`select` not kNone), by its alias or its position, is replaced by
// the item's key.
void KeyTerm(EditableSql* s, const Operands& ops, size_t select, size_t start, size_t end) {
  if (start == end && select != kNone &&
      (s->Kind(end) == TokenKind::kNumber || IsName(*s, ops, end))) {
    const bool position = s->Kind(end) == TokenKind::kNumber;
    // A position behind a `*` is the column the star stands for there, by
    // its source's name and its own.
    const TermColumn column = position ? ColumnOfTerm(*s, ops, select, end)
                                       : TermColumn{ItemOfTerm(*s, ops, select, end)};
    const Item& item = column.item;
    std::string key;
    if (item.first != kNone) {
      key = (IsColumnTerm(*s, ops, item.first, item.last) ? "tsql_key(" : "tsql_fold(") +
            Rendered(*s, item.first, item.last) + ")";
    } else if (column.star && (!column.refusal || !column.star->source.empty())) {
      const StarColumn& c = *column.star;
      key = (c.expression ? "tsql_fold(" : "tsql_key(") +
            (c.source.empty() ? "" : QuotedIdentifier(c.source) + ".") + QuotedIdentifier(c.name) +
            ")";
    } else if (column.refusal) {
      key = std::string("tsql_unsupported('") + column.refusal + "')";
    }
    if (!key.empty()) {
      s->Edit(end).before += key;
      s->Edit(end).drop = true;
      return;
    }
    if (position) return;  // past the last column: the server says so
  }
  if (s->Kind(start) == TokenKind::kNumber && start == end) return;
  // A key written before (a translated text translated again) stays.
  size_t call = start;
  if (s->IsWord(call, "q6tsql") && s->IsPunct(s->NextSig(call), '.'))
    call = s->NextSig(s->NextSig(call));
  if (s->IsWord(call, "tsql_key") || s->IsWord(call, "tsql_fold")) return;
  s->Edit(start).before += IsColumnTerm(*s, ops, start, end) ? "tsql_key(" : "tsql_fold(";
  s->Edit(end).after += ")";
}

// Whether the ORDER BY whose BY is at `by` belongs to a window: OVER (...).
bool InWindow(const EditableSql& s, size_t by) {
  const int depth = s.Depth(by);
  for (size_t j = s.PrevSig(by); j != kNone; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.Depth(j) < depth) return s.IsPunct(j, '(') && s.IsWord(s.PrevSig(j), "over");
  }
  return false;
}

// Whether the select `select` reads TOP n WITH TIES: its last ORDER BY term
// decides the ties, so it is keyed too.
bool WithTies(const EditableSql& s, size_t select) {
  if (select == kNone) return false;
  size_t j = s.NextSig(select);
  if (!s.IsWord(j, "top")) return false;
  j = s.NextSig(j);
  if (s.IsPunct(j, '(')) j = s.Match(j);
  j = s.NextSig(j);
  if (s.IsWord(j, "percent")) j = s.NextSig(j);
  return s.IsWord(j, "with") && s.IsWord(s.NextSig(j), "ties");
}

// The terms of the ORDER BY whose BY is at `by`: NULLS FIRST / NULLS LAST
// behind each term that has none. Where the order may be keyed
// (KeyableOrder), each term followed by another one is compared by its key
// (KeyTerm): values equal under SQL Server's default collation tie there,
// and the next term decides (citext would order them by trailing blanks).
// The last term of a select keeps its column, which an index may serve;
// in a window, and under TOP .. WITH TIES, where ties decide ranks, frames
// and the rows returned, every term is keyed.
void PlaceNulls(EditableSql* s, const Operands& ops, size_t by) {
  size_t select = kNone;
  const bool keyable = KeyableOrder(*s, by, &select);
  const bool every = keyable && (InWindow(*s, by) || WithTies(*s, select));
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
    if (keyable && !collated && (every || s->IsPunct(next, ',')))
      KeyTerm(s, ops, select, start, end);
    if (!nulls && !NotNullByWhere(*s, ops, by, start, end))
      s->Edit(last).after += descending ? " NULLS LAST" : " NULLS FIRST";
    if (!s->IsPunct(next, ',')) return;
    sep = next;
  }
}

// PostgreSQL: each PARTITION BY term of a window is compared by its key
// (KeyTerm), so that values equal under the default collation share a
// partition.
void KeyPartitions(EditableSql* s, const Operands& ops, size_t by) {
  for (size_t sep = by;;) {
    size_t end = ops.EndAfter(sep, true);
    if (end == kNone) return;
    if (s->IsPunct(s->NextSig(end), '(')) end = s->Match(s->NextSig(end));
    const size_t next = s->NextSig(end);
    if (!s->IsWord(next, "collate")) KeyTerm(s, ops, kNone, s->NextSig(sep), end);
    if (!s->IsPunct(next, ',')) return;
    sep = next;
  }
}

// SQLite: an ORDER BY term that names a select-list item by its alias or
// position takes the item's collation, none (binary) for an expression: a
// text expression's item is ordered COLLATE NOCASE, as the expression
// written in ORDER BY is (RewriteTsqlOperators). A PARTITION BY term that
// is no plain column gets COLLATE NOCASE as well.
void CollateNamedTerms(EditableSql* s, const Operands& ops, size_t by) {
  const bool partition = s->IsWord(s->PrevSig(by), "partition");
  size_t select = kNone;
  // (A set operation's ORDER BY is RewriteSetOrders'.)
  if (!partition && SetOperationStart(*s, s->PrevSig(by)) == kNone) KeyableOrder(*s, by, &select);
  for (size_t sep = by;;) {
    size_t end = ops.EndAfter(sep, true);
    if (end == kNone) return;
    if (s->IsPunct(s->NextSig(end), '(')) end = s->Match(s->NextSig(end));
    const size_t start = s->NextSig(sep);
    size_t next = s->NextSig(end);
    Item item{start, end};
    bool expression_of_star = false;
    if (!partition && start == end && select != kNone && s->Kind(end) == TokenKind::kNumber) {
      // A position behind a `*`: a derived table's expression has no
      // collation of its own.
      const TermColumn column = ColumnOfTerm(*s, ops, select, end);
      item = column.item;
      expression_of_star = column.star && column.star->expression;
    } else if (!partition) {
      item = start == end && select != kNone ? ItemOfTerm(*s, ops, select, end) : Item{};
    }
    if (expression_of_star && !s->IsWord(next, "collate")) s->Edit(end).after += " COLLATE NOCASE";
    if (item.first != kNone && !s->IsWord(next, "collate") &&
        !IsColumnTerm(*s, ops, item.first, item.last) &&
        !IsSurelyNumber(*s, ops, item.first, item.last) && !s->IsWord(item.last, "null"))
      s->Edit(end).after += " COLLATE NOCASE";
    if (s->IsWord(next, "collate")) next = s->NextSig(s->NextSig(next));
    if (s->IsWord(next, "asc") || s->IsWord(next, "desc")) next = s->NextSig(next);
    if (s->IsWord(next, "nulls")) next = s->NextSig(s->NextSig(next));
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
  const bool partition = s->HasWord("partition");
  if (!order && !partition && !s->HasWord("offset")) return;
  thread_local Operands ops;
  ops.Reset(*s);
  if (engine == Engine::PostgreSQL && (order || partition)) {
    for (size_t i = s->FirstWord("by"); i != kNone; i = s->NextWord(i)) {
      if (s->IsWord(s->PrevSig(i), "order")) PlaceNulls(s, ops, i);
      if (s->IsWord(s->PrevSig(i), "partition")) KeyPartitions(s, ops, i);
    }
  }
  if (engine == Engine::SQLite) {
    for (size_t i = s->FirstWord("by"); i != kNone; i = s->NextWord(i)) {
      if (s->IsWord(s->PrevSig(i), "order") || s->IsWord(s->PrevSig(i), "partition"))
        CollateNamedTerms(s, ops, i);
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
