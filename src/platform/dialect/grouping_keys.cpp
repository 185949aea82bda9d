// PostgreSQL: GROUP BY and DISTINCT of plain columns ignore trailing blanks,
// as under SQL Server's default collation.
//
// citext ignores case but not trailing blanks, so 'abc' and 'abc  ' would be
// two groups. A grouped column becomes tsql_key(column), which is
// rtrim(column)::citext for citext and the value itself for any other type
// (the compatibility schema's overloads), in GROUP BY and where the select
// list gives it as an item, under the column's name:
//   select name, count(*) from t group by name
//   -> select tsql_key(name) AS name, count(*) from t group by tsql_key(name)
// Where a grouped column is used any other way outside an aggregate (in an
// expression, HAVING, a window, ORDER BY t.name), that use reads the key
// too: tsql_key(column), which the server takes as the grouped expression.
// A DISTINCT select that uses such a column otherwise is left as it is.
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

// (GROUPING (x) is none: its argument is the grouped expression, keyed too.)
constexpr WordSet kAggregates{"count", "count_big", "sum", "avg",  "min",        "max",
                              "stdev", "stdevp",    "var", "varp", "string_agg", "checksum_agg"};

struct Clauses {
  size_t list = kNone;    // the first item
  size_t from = kNone;    // FROM
  size_t group = kNone;   // BY of GROUP BY
  size_t having = kNone;  // HAVING
  size_t order = kNone;   // BY of ORDER BY
  size_t end = kNone;     // the token behind the select
  bool distinct = false;
  bool compound = false;
};

Clauses ClausesOf(const EditableSql& s, size_t select) {
  Clauses c;
  const int depth = s.Depth(select);
  c.list = s.NextSig(select);
  if (s.IsWord(c.list, "distinct")) {
    c.distinct = true;
    c.list = s.NextSig(c.list);
  }
  if (s.IsWord(c.list, "top")) {  // TOP n [PERCENT] [WITH TIES]
    c.list = s.NextSig(c.list);
    if (s.IsPunct(c.list, '(')) c.list = s.Match(c.list);
    c.list = s.NextSig(c.list);
    if (s.IsWord(c.list, "percent")) c.list = s.NextSig(c.list);
    if (s.IsWord(c.list, "with") && s.IsWord(s.NextSig(c.list), "ties"))
      c.list = s.NextSig(s.NextSig(c.list));
  }
  static constexpr WordSet kSetOperators{"union", "except", "intersect"};
  size_t j = c.list;
  for (; j != kNone; j = s.NextSig(j)) {
    if (s.Depth(j) < depth || s.IsPunct(j, ';')) break;
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWordIn(j, kSetOperators)) c.compound = true;
    if (s.IsWord(j, "from") && c.from == kNone) c.from = j;
    if (s.IsWord(j, "having")) c.having = j;
    if (s.IsWord(j, "by") && s.IsWord(s.PrevSig(j), "group")) c.group = j;
    if (s.IsWord(j, "by") && s.IsWord(s.PrevSig(j), "order")) c.order = j;
  }
  c.end = j;
  return c;
}

bool IsName(const EditableSql& s, const Operands& ops, size_t i) {
  const TokenKind k = s.Kind(i);
  return (k == TokenKind::kWord && !ops.IsKeyword(i)) || k == TokenKind::kQuoted;
}

// A column term [first, last]: name or t.name, nothing else.
bool ColumnTerm(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  if (first == last) return IsName(s, ops, first) && !s.IsPunct(s.NextSig(first), '(');
  const size_t dot = s.NextSig(first);
  return s.IsPunct(dot, '.') && s.NextSig(dot) == last && IsName(s, ops, first) &&
         IsName(s, ops, last);
}

// Whether token i lies inside the parentheses of an aggregate call.
bool InAggregate(const EditableSql& s, size_t i, int floor) {
  for (size_t j = s.PrevSig(i); j != kNone && s.Depth(j) >= floor; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsPunct(j, '(') && s.IsWordIn(s.PrevSig(j), kAggregates)) return true;
  }
  return false;
}

struct Term {
  size_t first, last;
};

// The comma-separated terms at `depth` from `from` to before `stop`.
void TermsOf(const EditableSql& s, size_t from, size_t stop, int depth, std::vector<Term>* out) {
  size_t first = from;
  for (size_t j = from; j != kNone; j = s.NextSig(j)) {
    const bool at_end = j >= stop || s.Depth(j) < depth ||
                        (s.Depth(j) == depth && s.Kind(j) == TokenKind::kWord &&
                         (s.IsWord(j, "having") || s.IsWord(j, "order") || s.IsWord(j, "from") ||
                          s.IsWord(j, "into") || s.IsWord(j, "union") || s.IsWord(j, "except") ||
                          s.IsWord(j, "intersect") || s.IsWord(j, "option")));
    if (at_end || (s.IsPunct(j, ',') && s.Depth(j) == depth)) {
      if (first != j) out->push_back({first, s.PrevSig(j)});
      if (at_end) return;
      first = s.NextSig(j);
      continue;
    }
    if (s.IsPunct(j, '(')) j = s.Match(j);
  }
  if (first != kNone) out->push_back({first, s.PrevSig(s.size())});
}

std::string AliasOf(const EditableSql& s, size_t name) {
  const std::string_view t = s.Text(name);
  if (s.Kind(name) == TokenKind::kQuoted) return std::string(t);
  std::string out = "\"";
  if (s.Depth(name) == 0) {
    out += t;  // as written: the result's name
  } else {
    AppendAsciiLower(t, &out);  // as the server folds it, for outer references
  }
  return out + "\"";
}

// The terms of the list in the parentheses at `open`: each item, the items
// of a composite (a, b) and of a nested ROLLUP / CUBE (..) in its place.
void ListTerms(const EditableSql& s, size_t open, std::vector<Term>* out) {
  const size_t close = s.Match(open);
  size_t first = kNone;
  for (size_t j = s.NextSig(open); j != kNone && j <= close; j = s.NextSig(j)) {
    if (j != close && !s.IsPunct(j, ',')) {
      if (first == kNone) first = j;
      if (s.IsPunct(j, '(')) j = s.Match(j);
      continue;
    }
    if (first == kNone) continue;
    const size_t last = s.PrevSig(j);
    size_t inner = kNone;
    if (s.IsPunct(first, '(') && s.Match(first) == last) {
      inner = first;
    } else if ((s.IsWord(first, "rollup") || s.IsWord(first, "cube")) &&
               s.IsPunct(s.NextSig(first), '(') && s.Match(s.NextSig(first)) == last) {
      inner = s.NextSig(first);
    }
    if (inner == kNone) {
      out->push_back({first, last});
    } else if (s.NextSig(inner) != last) {
      ListTerms(s, inner, out);
    }
    first = kNone;
  }
}

// ROLLUP (a, b), CUBE (a, b), GROUPING SETS ((a), (a, b), ()) and
// a, b WITH ROLLUP | CUBE group by the columns and expressions they list:
// those become the keys, each keyed where it stands. Nothing changes when
// one of them is keyed already (a translated text translated again).
void ExpandGroupings(const EditableSql& s, std::vector<Term>* keys) {
  thread_local std::vector<Term> out;
  out.clear();
  for (Term k : *keys) {
    if ((s.IsWord(k.last, "rollup") || s.IsWord(k.last, "cube")) &&
        s.IsWord(s.PrevSig(k.last), "with") && s.PrevSig(s.PrevSig(k.last)) >= k.first) {
      k.last = s.PrevSig(s.PrevSig(k.last));
      out.push_back(k);
      continue;
    }
    size_t open = k.first;
    if (s.IsWord(open, "rollup") || s.IsWord(open, "cube"))
      open = s.NextSig(open);
    else if (s.IsWord(open, "grouping") && s.IsWord(s.NextSig(open), "sets"))
      open = s.NextSig(s.NextSig(open));
    if (open == k.first || !s.IsPunct(open, '(') || s.Match(open) != k.last) {
      out.push_back(k);
      continue;
    }
    const size_t listed = out.size();
    ListTerms(s, open, &out);
    for (size_t n = listed; n < out.size(); ++n) {
      const size_t first = out[n].first;
      if (s.IsWord(first, "q6tsql") || s.IsWord(first, "tsql_key") || s.IsWord(first, "tsql_fold"))
        return;
    }
  }
  keys->swap(out);
}

// Whether the tokens from `at` repeat those of the term [first, last],
// words without regard to case; *end gets the last of them.
bool SameTokens(const EditableSql& s, size_t first, size_t last, size_t at, size_t* end) {
  size_t j = at;
  for (size_t k = first;; k = s.NextSig(k), j = s.NextSig(j)) {
    if (j == kNone || s.Kind(j) != s.Kind(k) || s.Text(j).size() != s.Text(k).size()) return false;
    const std::string_view x = s.Text(j), y = s.Text(k);
    for (size_t n = 0; n < x.size(); ++n)
      if ((x[n] | 0x20) != (y[n] | 0x20)) return false;
    if (k == last) break;
  }
  *end = j;
  return true;
}

// GROUP BY of expressions (upper(name), name + '', left(name, 3)): each
// expression term that is no number, position or grouping construct is
// grouped by tsql_fold(expression) (text as citext without trailing
// blanks), and so is every repetition of it in the select list, HAVING and
// ORDER BY, which the server then reads as the grouped expression.
void KeyExpressions(EditableSql* s, const Operands& ops, const Clauses& c,
                    const std::vector<Term>& keys) {
  static constexpr WordSet kGrouping{"rollup", "cube", "grouping", "all"};
  const size_t stop = c.end == kNone ? s->size() : c.end;
  for (const Term& k : keys) {
    if (ColumnTerm(*s, ops, k.first, k.last) || s->IsWordIn(k.first, kGrouping) ||
        s->IsWord(k.first, "q6tsql") || s->IsWord(k.first, "tsql_fold") ||
        s->IsWordIn(k.last, kGrouping) ||  // x WITH ROLLUP / WITH CUBE
        s->IsPunct(k.first, '(') || (k.first == k.last && s->Kind(k.first) != TokenKind::kWord))
      continue;
    for (size_t j = c.list; j != kNone && j < stop; j = s->NextSig(j)) {
      if (j == c.from) j = s->NextSig(c.group);  // FROM and WHERE come before the grouping
      size_t end = kNone;
      if (j == k.first || !SameTokens(*s, k.first, k.last, j, &end)) continue;
      s->Edit(j).before += "tsql_fold(";
      s->Edit(end).after.insert(0, ")");
      j = end;
    }
    s->Edit(k.first).before += "tsql_fold(";
    s->Edit(k.last).after.insert(0, ")");
  }
}

void KeySelect(EditableSql* s, const Operands& ops, size_t select) {
  const Clauses c = ClausesOf(*s, select);
  if (c.group == kNone && !c.distinct) return;
  if (c.compound || c.list == kNone || c.from == kNone) return;
  const int depth = s->Depth(select);
  thread_local std::vector<Term> keys, items;
  thread_local std::vector<Term> order_terms;  // {ORDER BY token, its item}
  thread_local std::vector<Term> uses;         // other uses of a grouped column
  uses.clear();
  keys.clear();
  items.clear();
  order_terms.clear();
  if (c.group != kNone) {
    TermsOf(*s, s->NextSig(c.group), c.end, depth, &keys);
    ExpandGroupings(*s, &keys);
    bool expressions = false;
    for (const Term& k : keys) expressions = expressions || !ColumnTerm(*s, ops, k.first, k.last);
    if (expressions) {
      // Expressions are keyed by their folded value; the plain columns
      // beside them (dept in GROUP BY dept, upper(name)) as below, as if
      // they were the only keys.
      KeyExpressions(s, ops, c, keys);
      std::erase_if(keys, [&](const Term& k) { return !ColumnTerm(*s, ops, k.first, k.last); });
      if (keys.empty()) return;
    }
  }
  TermsOf(*s, c.list, c.from, depth, &items);
  // Items that are one of the keys (DISTINCT: every plain column item).
  std::vector<size_t> keyed_items;  // index into items
  for (size_t n = 0; n < items.size(); ++n) {
    const Term& it = items[n];
    size_t last = it.last;
    if (s->IsWord(s->PrevSig(last), "as") && s->PrevSig(s->PrevSig(last)) >= it.first)
      last = s->PrevSig(s->PrevSig(last));
    if (!ColumnTerm(*s, ops, it.first, last)) continue;
    if (c.distinct && c.group == kNone) {
      keyed_items.push_back(n);
      keys.push_back({it.first, last});
      continue;
    }
    for (const Term& k : keys) {
      if (SameName(*s, k.last, last)) {
        keyed_items.push_back(n);
        break;
      }
    }
  }
  if (keys.empty()) return;
  // Every other use of a key column must be inside an aggregate, or a whole
  // ORDER BY term naming an unaliased item (it then names the item's alias).
  const size_t stop = c.end == kNone ? s->size() : c.end;
  for (size_t j = c.list; j != kNone && j < stop; j = s->NextSig(j)) {
    if (s->Kind(j) != TokenKind::kWord && s->Kind(j) != TokenKind::kQuoted) continue;
    if (c.from != kNone && j > c.from && (c.group == kNone || j < c.group) &&
        (c.having == kNone || j < c.having) && (c.order == kNone || j < c.order))
      continue;  // FROM, WHERE: before the grouping
    bool key = false;
    for (const Term& k : keys) key = key || SameName(*s, k.last, j);
    if (!key) continue;
    bool allowed = InAggregate(*s, j, depth + 1);
    for (size_t n : keyed_items) {
      const Term& it = items[n];
      allowed = allowed || (j >= it.first && j <= it.last);
    }
    for (const Term& k : keys)
      allowed = allowed || (j >= k.first && j <= k.last && c.group != kNone && j > c.group);
    if (!allowed && c.order != kNone && j > c.order && s->Depth(j) == depth) {
      const size_t prev = s->PrevSig(j), next = s->NextSig(j);
      const bool whole = !s->IsPunct(prev, '.') && !s->IsPunct(next, '.') &&
                         (s->IsPunct(prev, ',') || prev == c.order) &&
                         (next == kNone || next >= stop || s->IsPunct(next, ',') ||
                          s->IsWord(next, "asc") || s->IsWord(next, "desc"));
      for (size_t n : keyed_items) {
        const Term& it = items[n];
        if (whole && it.first == it.last && SameName(*s, it.last, j)) {
          order_terms.push_back({j, it.last});
          allowed = true;
          break;
        }
      }
    }
    if (!allowed && c.group == kNone) return;
    if (!allowed) {  // a grouped column used in an expression: it uses the key
      const size_t prev = s->PrevSig(j);
      uses.push_back({s->IsPunct(prev, '.') ? s->PrevSig(prev) : j, j});
    }
  }
  for (const Term& t : order_terms) Replace(s, t.first, AliasOf(*s, t.last));
  for (const Term& u : uses) {
    s->Edit(u.first).before += "tsql_key(";
    s->Edit(u.last).after.insert(0, ")");
  }
  for (const Term& k : keys) {
    if (c.group == kNone) break;
    s->Edit(k.first).before += "tsql_key(";
    s->Edit(k.last).after += ")";
  }
  for (size_t n : keyed_items) {
    const Term& it = items[n];
    size_t last = it.last;
    const bool aliased =
        s->IsWord(s->PrevSig(last), "as") && s->PrevSig(s->PrevSig(last)) >= it.first;
    if (aliased) last = s->PrevSig(s->PrevSig(last));
    s->Edit(it.first).before += "tsql_key(";
    s->Edit(last).after += aliased ? ")" : ") AS " + AliasOf(*s, last);
  }
}

}  // namespace

void RewriteGroupingKeys(EditableSql* s, Engine engine) {
  if (engine != Engine::PostgreSQL || !(s->HasWord("group") || s->HasWord("distinct"))) return;
  thread_local Operands ops;
  ops.Reset(*s);
  for (size_t i = s->FirstWord("select"); i != kNone; i = s->NextWord(i)) KeySelect(s, ops, i);
}

}  // namespace q6::dialect
