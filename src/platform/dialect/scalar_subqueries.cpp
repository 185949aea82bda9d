// SQLite: a subquery used as a value raises error 512 when it has more than
// one row, as SQL Server's does, instead of giving its first row.
//
// (SELECT x FROM t WHERE ..) becomes
//   (SELECT tsql_single(count(*), min(q6_v)) FROM (SELECT x AS q6_v FROM t
//    WHERE .. LIMIT 2))
// The inner select stops at two rows; with one row min() is its value, with
// none NULL. Subqueries of IN, EXISTS, ANY / SOME / ALL, derived tables and
// set operation members are no values and stay; so does a subquery with
// TOP (at most its n rows, and n is 1 wherever a value is meant) or with
// more than one item.
#include <string>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

constexpr WordSet kNotValue{"in",    "exists", "any",   "some",      "all",  "from", "join",
                            "apply", "as",     "union", "intersect", "into", "with", "except"};
constexpr WordSet kValueWords{"select", "when",    "then",   "else",     "and", "or",
                              "by",     "where",   "having", "on",       "not", "set",
                              "values", "between", "like",   "returning"};
// (Not ON: a comma at the depth of a join's condition starts the next table.)
constexpr WordSet kClauses{"select", "from",  "join", "where",  "group",
                           "having", "order", "set",  "values", "by"};

// Whether the clause that holds token i (at i's depth) is FROM or a JOIN:
// a comma there separates tables.
bool InFromClause(const EditableSql& s, size_t i) {
  const int depth = s.Depth(i);
  for (size_t j = s.PrevSig(i); j != kNone && s.Depth(j) >= depth; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.Depth(j) == depth && s.IsWordIn(j, kClauses))
      return s.IsWord(j, "from") || s.IsWord(j, "join");
  }
  return false;
}

// Whether the parenthesized select opening at `open` is used as a value.
bool IsValue(const EditableSql& s, const Operands& ops, size_t open) {
  const size_t after = s.NextSig(s.Match(open));
  static constexpr WordSet kSetOperators{"union", "except", "intersect"};
  if (s.IsWordIn(after, kSetOperators)) return false;
  const size_t prev = s.PrevSig(open);
  if (prev == kNone) return false;
  if (s.Kind(prev) == TokenKind::kPunct) {
    if (s.IsPunct(prev, ')') || s.IsPunct(prev, ';')) return false;
    if (s.IsPunct(prev, ',')) return !InFromClause(s, prev);
    if (s.IsPunct(prev, '(')) {
      const size_t before = s.PrevSig(prev);
      return before != kNone && !s.IsWordIn(before, kNotValue) && !s.IsPunct(before, ',') &&
             (ops.IsCall(before) || s.Kind(before) == TokenKind::kPunct ||
              s.IsWordIn(before, kValueWords));
    }
    return true;
  }
  if (s.IsWord(prev, "end") && ops.CasePartner(prev) != kNone) return false;
  return s.IsWordIn(prev, kValueWords);
}

// Rewrites the subquery whose SELECT is at `select`, in parentheses `open`.
void RaiseOnRows(EditableSql* s, const Operands& ops, size_t open, size_t select) {
  const size_t close = s->Match(open);
  const int depth = s->Depth(select);
  size_t first = s->NextSig(select);
  if (s->IsWord(first, "top")) return;
  if (s->IsWord(first, "distinct") || s->IsWord(first, "all")) first = s->NextSig(first);
  static constexpr WordSet kEnds{"from",  "where", "group",     "having", "order",
                                 "union", "into",  "intersect", "except", "for"};
  size_t end = close;  // the token behind the item
  for (size_t j = first; j != kNone && j < close; j = s->NextSig(j)) {
    if (s->IsPunct(j, '(')) {
      j = s->Match(j);
      continue;
    }
    if (s->Depth(j) != depth) continue;
    if (s->IsPunct(j, ',') || s->IsPunct(j, '*')) return;  // not one value
    if (s->IsWordIn(j, kEnds)) {
      end = j;
      break;
    }
  }
  size_t last = s->PrevSig(end);
  if (last == kNone || last < first) return;
  // An alias of the item gives way to q6_v.
  TokenEdit& tail_edit = s->Edit(last);
  if (tail_edit.after.rfind(" AS \"", 0) == 0) {  // alias = expr, written expr AS "alias"
    size_t q = 5;
    while (q < tail_edit.after.size() &&
           (tail_edit.after[q] != '"' ||
            (q + 1 < tail_edit.after.size() && tail_edit.after[q + 1] == '"')))
      q += tail_edit.after[q] == '"' ? 2 : 1;
    tail_edit.after.erase(0, q + 1);
  } else if (last != first && s->IsWord(s->PrevSig(last), "as")) {
    const size_t as = s->PrevSig(last);
    for (size_t j = as; j <= last; ++j) s->Edit(j).drop = true;
    last = s->PrevSig(as);
  } else if (last != first && s->Kind(last) != TokenKind::kString &&
             s->Kind(last) != TokenKind::kNumber && s->Kind(last) != TokenKind::kPunct &&
             !ops.IsKeyword(last)) {
    const size_t prev = s->PrevSig(last);
    const bool unit_before =
        (s->IsPunct(prev, ')') || s->Kind(prev) != TokenKind::kPunct) &&
        !(s->Kind(prev) == TokenKind::kWord && ops.IsKeyword(prev) && !s->IsWord(prev, "end"));
    if (unit_before && !s->Edit(last).replace) {  // expr alias
      s->Edit(last).drop = true;
      last = prev;
    }
  }
  s->Edit(last).after += " AS q6_v";
  s->Edit(select).before += "SELECT tsql_single(count(*), min(q6_v)) FROM (";
  s->Edit(close).before += " LIMIT 2)";
}

}  // namespace

void RewriteScalarSubqueries(EditableSql* s, Engine engine) {
  if (engine != Engine::SQLite || !s->HasWord("select")) return;
  thread_local Operands ops;
  ops.Reset(*s);
  for (size_t i = s->FirstWord("select"); i != kNone; i = s->NextWord(i)) {
    const size_t open = s->PrevSig(i);
    if (open != kNone && s->IsPunct(open, '(') && s->Depth(i) > 0 && IsValue(*s, ops, open))
      RaiseOnRows(s, ops, open, i);
  }
}

}  // namespace q6::dialect
