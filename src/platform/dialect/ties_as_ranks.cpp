// SQLite: SELECT TOP (n) WITH TIES, which its LIMIT cannot say, as a row
// count taken from the ranks of the same rows:
//   SELECT TOP (n) WITH TIES items FROM .. ORDER BY keys
//   -> SELECT items FROM .. ORDER BY keys OFFSET 0 ROWS FETCH NEXT
//      (SELECT count(*) FROM (SELECT RANK() OVER (ORDER BY keys) AS q6_rank
//       FROM ..) AS q6_ties WHERE q6_rank <= n) ROWS ONLY
// The rows ranked n or better are the first n rows and every row tied with
// the n-th, and the outer ORDER BY puts exactly those first, since RANK()
// orders by the same keys (translated by the same rules after this one:
// without case and trailing blanks, NULLs first). The text is T-SQL again.
// The FROM clause and the keys are written twice, so the translation is not
// shared with other literals (the caller treats the whole text as read).
// Left to the refusal: DISTINCT (ranks count rows, not distinct rows), a
// key that is a position or names an item of the list (the inner select
// has no such item), a select without FROM or ORDER BY.
#include <string>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

// Rewrites the TOP .. WITH TIES at `top`; false when it is left.
bool RankTies(EditableSql* s, const Operands& ops, size_t top) {
  const size_t select = s->PrevSig(top);
  if (!s->IsWord(select, "select")) return false;  // DISTINCT and ALL included
  const size_t n0 = s->NextSig(top);
  if (n0 == kNone) return false;
  const size_t n1 = s->IsPunct(n0, '(') ? s->Match(n0) : n0;
  const size_t with = s->NextSig(n1);
  const size_t ties = s->NextSig(with);
  if (!s->IsWord(with, "with") || !s->IsWord(ties, "ties")) return false;
  const int depth = s->Depth(select);
  size_t from = kNone, order = kNone, last = ties;
  for (size_t j = s->NextSig(ties); j != kNone; j = s->NextSig(j)) {
    if (s->Depth(j) < depth || s->IsPunct(j, ';')) break;
    if (s->IsWord(j, "union") || s->IsWord(j, "except") || s->IsWord(j, "intersect") ||
        s->IsWord(j, "option") || s->IsWord(j, "offset") || s->IsWord(j, "for"))
      return false;
    if (s->IsPunct(j, '(')) j = s->Match(j);
    if (from == kNone && s->IsWord(j, "from")) from = j;
    if (s->IsWord(j, "order") && s->IsWord(s->NextSig(j), "by")) order = j;
    last = j;
  }
  if (from == kNone || order == kNone || order < from) return false;
  const size_t by = s->NextSig(order);
  if (by == last) return false;
  // Every key is an expression of the tables: no position, no item's name.
  for (size_t k = s->NextSig(by); k != kNone && k <= last; k = s->NextSig(k)) {
    const size_t start = k;
    size_t end = ops.EndAfter(s->PrevSig(start), true);
    if (end == kNone || end > last) return false;
    if (start == end && s->Kind(start) == TokenKind::kNumber) return false;
    if (start == end && ItemOfTerm(*s, ops, select, start).first != kNone) return false;
    k = s->NextSig(end);
    if (s->IsWord(k, "asc") || s->IsWord(k, "desc")) k = s->NextSig(k);
    if (k == kNone || k > last) break;
    if (!s->IsPunct(k, ',')) return false;
  }
  std::string tables, keys;
  s->RenderRange(from, order, &tables);
  s->RenderRange(s->NextSig(by), last + 1, &keys);
  std::string count;
  s->RenderRange(n0, n1 + 1, &count);
  for (size_t j = top; j <= ties; ++j) s->Edit(j).drop = true;
  s->Edit(last).after +=
      " OFFSET 0 ROWS FETCH NEXT (SELECT count(*) FROM (SELECT RANK() OVER "
      "(ORDER BY " +
      keys + ") AS q6_rank " + tables + ") AS q6_ties WHERE q6_rank <= " + count + ") ROWS ONLY";
  return true;
}

}  // namespace

bool RewriteTiesAsRanks(EditableSql* s) {
  if (!s->HasWord("ties") || !s->HasWord("top")) return false;
  thread_local Operands ops;
  ops.Reset(*s);
  bool edited = false;
  for (size_t i = s->FirstWord("top"); i != kNone; i = s->NextWord(i))
    edited = RankTies(s, ops, i) || edited;
  return edited;
}

}  // namespace q6::dialect
