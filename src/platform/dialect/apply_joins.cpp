// SQLite: CROSS APPLY and OUTER APPLY, which it cannot say (it has no
// LATERAL), in the two forms a join or a subquery can:
// - A derived table over one table, its rows picked by a WHERE that may
//   read the tables before it, with TOP n and ORDER BY or without: a join
//   to the table's rows whose rowid the same select picks for each row:
//     d CROSS APPLY (SELECT TOP 1 id FROM emp e WHERE e.dept = d.code
//     ORDER BY id) x
//     -> d JOIN (SELECT e.rowid AS q6_rowid, id FROM emp e) x ON x.q6_rowid
//        IN (SELECT TOP 1 coalesce(e.rowid, tsql_unsupported(..)) FROM emp e
//        WHERE e.dept = d.code ORDER BY id)
//   (OUTER APPLY: LEFT JOIN). Its items must have names, and the statement
//   must select no `*` (it would show q6_rowid). A view has no rowids: a
//   row it picks refuses the statement by name.
// - A select of aggregates without GROUP BY, HAVING or TOP, which gives
//   exactly one row for each row before it: the APPLY goes, and each x.n
//   of the statement reads the item's own subquery:
//     SELECT sum(x.n) FROM d CROSS APPLY (SELECT count(*) n FROM l WHERE
//     l.p = d.c) x
//     -> SELECT sum((SELECT count(*) FROM l WHERE l.p = d.c)) FROM d
//   A name of an item used without the alias (n for x.n) is left to the
//   refusal, since it could name a column of another table.
// The text is T-SQL again, translated by every other rule after; parts of
// it are written twice, so the caller treats the whole text as read.
// Every other form (a join, GROUP BY or DISTINCT in the derived table, a
// table-valued function, a column list after the alias) is left to the
// refusal that names CROSS APPLY or OUTER APPLY.
#include <string>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

constexpr WordSet kAggregates{"count", "sum",    "avg", "min",  "max",        "count_big",
                              "stdev", "stdevp", "var", "varp", "string_agg", "checksum_agg"};

// The applied select (open, close: its parentheses) taken apart.
struct Applied {
  size_t kind = kNone, apply = kNone, open = kNone, close = kNone, alias = kNone;
  size_t select = kNone, top_first = kNone, top_last = kNone, from = kNone;
  size_t table_first = kNone, table_last = kNone, table_alias = kNone;
  size_t rest = kNone;  // the first token after the table (WHERE, ORDER), or `close`
  bool aggregates = false, grouped = false;
  std::vector<SelectItem> items;
};

bool HasAggregate(const EditableSql& s, size_t first, size_t last) {
  for (size_t j = first; j <= last; ++j)
    if (s.IsWordIn(j, kAggregates) && s.IsPunct(s.NextSig(j), '(')) return true;
  return false;
}

bool Read(const EditableSql& s, const Operands& ops, size_t apply, Applied* a) {
  a->apply = apply;
  a->kind = s.PrevSig(apply);
  a->open = s.NextSig(apply);
  if (!s.IsPunct(a->open, '(') || !s.IsWord(s.NextSig(a->open), "select")) return false;
  a->close = s.Match(a->open);
  size_t alias = s.NextSig(a->close);
  if (s.IsWord(alias, "as")) alias = s.NextSig(alias);
  if (alias == kNone || ops.IsKeyword(alias) || s.Kind(alias) == TokenKind::kPunct ||
      s.IsPunct(s.NextSig(alias), '('))
    return false;
  a->alias = alias;
  a->select = s.NextSig(a->open);
  size_t j = s.NextSig(a->select);
  if (s.IsWord(j, "distinct")) return false;
  if (s.IsWord(j, "top")) {
    a->top_first = j;
    j = s.NextSig(j);
    if (s.IsPunct(j, '(')) j = s.Match(j);
    a->top_last = j;
    if (s.IsWord(s.NextSig(j), "percent") || s.IsWord(s.NextSig(j), "with")) return false;
  }
  ListItems(s, ops, a->select, &a->items);
  if (a->items.empty()) return false;
  for (const SelectItem& item : a->items) {
    if (s.IsPunct(item.last, '*')) return false;
    if (item.alias == kNone && !IsColumnTerm(s, ops, item.first, item.last)) return false;
    a->aggregates = a->aggregates || HasAggregate(s, item.first, item.last);
  }
  const int depth = s.Depth(a->select);
  for (j = s.NextSig(a->items.back().last); j != a->close; j = s.NextSig(j)) {
    if (s.Depth(j) != depth) continue;
    if (s.IsWord(j, "from") && a->from == kNone) a->from = j;
    if (s.IsWord(j, "group") || s.IsWord(j, "having") || s.IsWord(j, "union") ||
        s.IsWord(j, "except") || s.IsWord(j, "intersect") || s.IsWord(j, "over"))
      a->grouped = true;
  }
  if (a->from == kNone) return false;
  // One table: name or schema.name, [AS] alias, then WHERE, ORDER BY or the end.
  a->table_first = s.NextSig(a->from);
  a->table_last = a->table_first;
  while (s.IsPunct(s.NextSig(a->table_last), '.'))
    a->table_last = s.NextSig(s.NextSig(a->table_last));
  j = s.NextSig(a->table_last);
  if (s.IsWord(j, "as")) j = s.NextSig(j);
  if (j != a->close && !ops.IsKeyword(j) && s.Kind(j) != TokenKind::kPunct) {
    a->table_alias = j;
    j = s.NextSig(j);
  }
  a->rest = j;
  return true;
}

// Whether the statement selects a `*` (or t.*) anywhere.
bool SelectsStar(const EditableSql& s, const Operands& ops) {
  if (!s.HasPunct('*')) return false;
  for (size_t j = 0; j < s.size(); ++j)
    if (s.IsPunct(j, '*') && !ops.IsBinaryProduct(j) && !s.IsPunct(s.PrevSig(j), '(')) return true;
  return false;
}

// The derived table over one table, as a join to the rows it picks.
bool JoinRows(EditableSql* s, const Operands& ops, const Applied& a) {
  if (a.aggregates || a.grouped || a.table_first == kNone || SelectsStar(*s, ops)) return false;
  const bool table_only = a.rest == a.close || s->IsWord(a.rest, "where") ||
                          (s->IsWord(a.rest, "order") && s->IsWord(s->NextSig(a.rest), "by"));
  if (!table_only || s->Kind(a.table_last) == TokenKind::kPunct) return false;
  std::string key;
  s->RenderRange(a.table_alias != kNone ? a.table_alias : a.table_last,
                 (a.table_alias != kNone ? a.table_alias : a.table_last) + 1, &key);
  key += ".rowid";
  std::string rows = "(SELECT " + key + " AS q6_rowid";
  for (const SelectItem& item : a.items) {
    rows += ", ";
    s->RenderRange(item.first, (item.alias != kNone ? item.alias : item.last) + 1, &rows);
  }
  rows += ' ';
  s->RenderRange(a.from, a.rest, &rows);
  rows += ')';
  const bool outer = s->IsWord(a.kind, "outer");
  std::string picked = " ON ";
  s->RenderRange(a.alias, a.alias + 1, &picked);
  picked += ".q6_rowid IN (SELECT ";
  if (a.top_first != kNone) {
    s->RenderRange(a.top_first, a.top_last + 1, &picked);
    picked += ' ';
  }
  // A view (or a table without rowid) gives no rowids: the rows it would
  // pick refuse the statement instead of joining nothing.
  picked += "coalesce(" + key + ", tsql_unsupported('" + (outer ? "OUTER" : "CROSS") +
            " APPLY of a view')) ";
  s->RenderRange(a.from, a.close, &picked);
  picked += ')';
  Replace(s, a.kind, outer ? "LEFT" : "");
  Replace(s, a.apply, "JOIN");
  EraseRange(s, a.open, a.close);
  s->Edit(a.open).before = std::move(rows);
  s->Edit(a.alias).after += picked;
  return true;
}

// The select of aggregates, as one subquery per item where the statement
// reads it.
bool ReadItems(EditableSql* s, const Operands& ops, const Applied& a) {
  if (!a.aggregates || a.grouped || a.top_first != kNone) return false;
  std::vector<std::string> values(a.items.size());
  for (size_t k = 0; k < a.items.size(); ++k) {
    values[k] = "(SELECT ";
    s->RenderRange(a.items[k].first, a.items[k].last + 1, &values[k]);
    values[k] += ' ';
    s->RenderRange(a.from, a.close, &values[k]);
    values[k] += ')';
  }
  auto name_of = [&](size_t k) {
    const SelectItem& item = a.items[k];
    return item.alias != kNone ? item.alias : item.last;
  };
  // Every use must be alias.name, and name one of the items.
  std::vector<std::pair<size_t, size_t>> uses;  // alias token, item
  for (size_t j = 0; j < s->size(); ++j) {
    if (j == a.open) j = a.close;
    if (s->IsBlank(j) || s->Kind(j) == TokenKind::kPunct || j == a.alias) continue;
    const bool qualified = s->IsPunct(s->PrevSig(j), '.');
    if (SameName(*s, j, a.alias) && s->IsPunct(s->NextSig(j), '.') && !qualified) {
      const size_t name = s->NextSig(s->NextSig(j));
      size_t k = 0;
      while (k < a.items.size() && !SameName(*s, name, name_of(k))) ++k;
      if (k == a.items.size()) return false;
      uses.emplace_back(j, k);
      j = name;
      continue;
    }
    if (qualified || s->IsWord(s->PrevSig(j), "as") || s->IsPunct(s->NextSig(j), '(')) continue;
    for (size_t k = 0; k < a.items.size(); ++k)
      if (SameName(*s, j, name_of(k))) return false;
  }
  // A use that is a whole item of a select list keeps the item's name.
  thread_local std::vector<SelectItem> listed;
  std::vector<bool> whole_item(uses.size(), false);
  for (size_t sel = s->FirstWord("select"); sel != kNone; sel = s->NextWord(sel)) {
    if (sel > a.open && sel < a.close) continue;
    ListItems(*s, ops, sel, &listed);
    for (const SelectItem& item : listed) {
      for (size_t u = 0; u < uses.size(); ++u)
        whole_item[u] = whole_item[u] || (item.alias == kNone && item.first == uses[u].first &&
                                          item.last == s->NextSig(s->NextSig(uses[u].first)));
    }
  }
  for (size_t u = 0; u < uses.size(); ++u) {
    const auto [at, k] = uses[u];
    const size_t name = s->NextSig(s->NextSig(at));
    std::string value = values[k];
    if (whole_item[u]) {
      value += " AS ";
      value += s->Text(name);
    }
    EraseRange(s, at, name);
    s->Edit(at).before = std::move(value);
  }
  // The APPLY and its table go, with the blank before them.
  const size_t first = a.kind > 0 && s->IsBlank(a.kind - 1) ? a.kind - 1 : a.kind;
  EraseRange(s, first, a.alias);
  return true;
}

}  // namespace

bool RewriteApplies(EditableSql* s) {
  if (!s->HasWord("apply")) return false;
  thread_local Operands ops;
  ops.Reset(*s);
  bool edited = false;
  for (size_t i = s->FirstWord("apply"); i != kNone; i = s->NextWord(i)) {
    if (!s->IsWord(s->PrevSig(i), "cross") && !s->IsWord(s->PrevSig(i), "outer")) continue;
    Applied a;
    if (!Read(*s, ops, i, &a)) continue;
    edited = JoinRows(s, ops, a) || ReadItems(s, ops, a) || edited;
  }
  return edited;
}

}  // namespace q6::dialect
