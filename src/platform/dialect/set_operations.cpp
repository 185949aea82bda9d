// UNION, EXCEPT and INTERSECT under the default collation: the members'
// items compare without case and trailing blanks, as DISTINCT's do.
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/operator_rules.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

constexpr WordSet kSetOperators{"union", "except", "intersect"};

// Whether the "(" at `open` opens a member of a set operation, not a
// derived table or a subquery that ends where a member does.
bool OpensMember(const EditableSql& s, size_t open) {
  size_t inner = s.NextSig(open);
  while (s.IsPunct(inner, '(')) inner = s.NextSig(inner);
  if (!s.IsWord(inner, "select")) return false;
  size_t prev = s.PrevSig(open);
  if (s.IsWord(prev, "all") || s.IsWord(prev, "distinct")) prev = s.PrevSig(prev);
  return prev == kNone || s.IsPunct(prev, '(') || s.IsPunct(prev, ';') ||
         s.IsWordIn(prev, kSetOperators) || s.IsWord(prev, "as");
}

// The SELECT of the member that ends just before the set operator at `op`:
// the nearest SELECT at the operator's depth before it, or the one opening
// a parenthesized member. kNone when there is none.
size_t MemberBefore(const EditableSql& s, size_t op) {
  size_t j = s.PrevSig(op);
  if (j == kNone) return kNone;
  if (s.IsPunct(j, ')') && OpensMember(s, s.Match(j))) {  // (select ..) union, ((select ..)) union
    size_t inner = s.NextSig(s.Match(j));
    while (s.IsPunct(inner, '(')) inner = s.NextSig(inner);
    if (s.IsWord(inner, "select")) return inner;
  }
  const int depth = s.Depth(j);
  for (; j != kNone && s.Depth(j) >= depth; j = s.PrevSig(j)) {
    if (s.Depth(j) == depth && s.IsWord(j, "select")) return j;
    if (s.Depth(j) == depth && s.IsPunct(j, ')')) j = s.Match(j);
  }
  return kNone;
}

// The SELECT of the member that starts just after the set operator at `op`.
size_t MemberAfter(const EditableSql& s, size_t op) {
  size_t j = s.NextSig(op);
  if (s.IsWord(j, "all") || s.IsWord(j, "distinct")) j = s.NextSig(j);
  while (s.IsPunct(j, '(')) j = s.NextSig(j);
  return s.IsWord(j, "select") ? j : kNone;
}

void FoldMember(EditableSql* s, const Operands& ops, size_t select, Engine engine,
                std::vector<size_t>* named) {
  if (select == kNone) return;
  size_t first = s->NextSig(select);
  if (s->IsWord(first, "distinct") || s->IsWord(first, "top")) return;  // folded as DISTINCT
  if (s->IsWord(first, "all")) first = s->NextSig(first);
  FoldSelectItems(s, ops, first, true, engine, named);
}

// SQLite: a member in parentheses, which it does not take, is read from as
// a derived table: (select ..) -> SELECT * FROM (select ..), which keeps
// its columns, their names and its own ORDER BY and LIMIT.
void DeriveParenthesizedMembers(EditableSql* s) {
  const auto member = [s](size_t open) { return OpensMember(*s, open); };
  size_t derived = kNone;  // the last member derived: one between two operators is derived once
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    if (!s->IsWordIn(i, kSetOperators)) continue;
    const size_t before = s->PrevSig(i);
    if (s->IsPunct(before, ')') && member(s->Match(before)) && s->Match(before) != derived)
      s->Edit(s->Match(before)).before += "SELECT * FROM ";
    size_t after = s->NextSig(i);
    if (s->IsWord(after, "all") || s->IsWord(after, "distinct")) after = s->NextSig(after);
    if (s->IsPunct(after, '(') && member(after)) {
      s->Edit(after).before += "SELECT * FROM ";
      derived = after;
    }
  }
}

// SQLite: INTERSECT binds before UNION and EXCEPT, as in SQL Server; SQLite
// takes the operators as they come, left to right. A run of members joined
// by INTERSECT behind a UNION or EXCEPT is read from as a derived table,
// which keeps the columns of its first member:
//   a UNION b INTERSECT c EXCEPT d  ->  a UNION SELECT * FROM (b INTERSECT c) EXCEPT d
// A run at the start needs nothing: it is taken first anyway.
void GroupIntersections(EditableSql* s) {
  for (size_t i = s->FirstWord("intersect"); i != kNone; i = s->NextWord(i)) {
    size_t start = MemberBefore(*s, i);
    if (start == kNone) continue;
    while (s->IsPunct(s->PrevSig(start), '(') && OpensMember(*s, s->PrevSig(start)))
      start = s->PrevSig(start);
    size_t op = s->PrevSig(start);
    if (s->IsWord(op, "all") || s->IsWord(op, "distinct")) op = s->PrevSig(op);
    if (!(s->IsWord(op, "union") || s->IsWord(op, "except")) || s->Depth(op) != s->Depth(i))
      continue;
    // The run ends before the next UNION or EXCEPT, or with the set
    // operation (its ORDER BY and what follows belong to the whole).
    const int depth = s->Depth(i);
    size_t end = i;
    for (size_t j = s->NextSig(i); j != kNone; j = s->NextSig(j)) {
      if (s->Depth(j) < depth || s->IsPunct(j, ';')) break;
      if (s->Depth(j) == depth && (s->IsWord(j, "union") || s->IsWord(j, "except") ||
                                   s->IsWord(j, "order") || s->IsWord(j, "option")))
        break;
      if (s->IsPunct(j, '(')) j = s->Match(j);
      end = j;
    }
    s->Edit(start).before.insert(0, "SELECT * FROM (");
    s->Edit(end).tail.insert(0, ")");  // behind what the folding writes there
  }
}

}  // namespace

size_t SetOperationStart(const EditableSql& s, size_t order) {
  const int depth = s.Depth(order);
  size_t leftmost = kNone;
  for (size_t j = s.PrevSig(order); j != kNone; j = s.PrevSig(j)) {
    if (s.Depth(j) < depth || s.IsPunct(j, ';')) break;
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWordIn(j, kSetOperators)) leftmost = j;
  }
  if (leftmost == kNone) return kNone;
  size_t j = s.PrevSig(leftmost);
  if (s.IsPunct(j, ')') && OpensMember(s, s.Match(j))) return s.Match(j);  // (select ..) union
  for (; j != kNone && s.Depth(j) >= depth; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWord(j, "select")) return j;
  }
  return kNone;
}

void RewriteSetOperations(EditableSql* s, Engine engine) {
  if (!s->HasAnyWord(kSetOperators)) return;
  if (engine == Engine::SQLite && s->HasPunct('(')) DeriveParenthesizedMembers(s);
  if (engine == Engine::SQLite && s->HasWord("intersect") &&
      (s->HasWord("union") || s->HasWord("except")))
    GroupIntersections(s);
  thread_local Operands ops;
  ops.Reset(*s);
  // Each member next to an operator that removes duplicates (not ... ALL),
  // each once: a member between two such operators is folded on the first.
  // Result columns named as written by the folding are named so in the
  // statement's ORDER BY too.
  thread_local std::vector<size_t> named;
  named.clear();
  size_t folded = kNone;
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    if (!s->IsWordIn(i, kSetOperators) || s->IsWord(s->NextSig(i), "all")) continue;
    const size_t before = MemberBefore(*s, i);
    if (before != folded) FoldMember(s, ops, before, engine, &named);
    folded = MemberAfter(*s, i);
    FoldMember(s, ops, folded, engine, &named);
  }
  if (!named.empty() && s->HasWord("order")) QuoteOrderTerms(s, named);
}

}  // namespace q6::dialect
