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
// A key that names an item of the list by alias or position is ranked by
// the item's expression. With DISTINCT, the ranks count the distinct rows:
// they are taken over (SELECT DISTINCT items AS q6_1, .. FROM ..), each key
// naming the item it stands for.
// Left to the refusal: a `*` item with a position key or DISTINCT, a
// DISTINCT key that stands for no item, a select without FROM or ORDER BY.
#include <string>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

// The rank's ORDER BY key for the ORDER BY term [start, end] of `select`:
// the expression of the item it names by alias or position, or the term.
// With `distinct`, the ranked rows are the distinct items named q6_1, q6_2,
// ..: the key is the name of the item the term stands for. False when there
// is none to name.
bool RankKey(const EditableSql& s, const Operands& ops, size_t select, size_t start, size_t end,
             bool distinct, std::string* key) {
  const bool one =
      start == end && (s.Kind(start) == TokenKind::kNumber || IsColumnTerm(s, ops, start, end));
  const SelectItem named = one ? ItemOfTerm(s, ops, select, start) : SelectItem();
  if (!distinct) {
    if (named.first == kNone) {
      if (start == end && s.Kind(start) == TokenKind::kNumber) return false;
      s.RenderRange(start, end + 1, key);
    } else {
      s.RenderRange(named.first, named.last + 1, key);
    }
    return true;
  }
  thread_local std::vector<SelectItem> items;
  ListItems(s, ops, select, &items);
  for (size_t k = 0; k < items.size(); ++k) {
    const SelectItem& item = items[k];
    if (s.IsPunct(item.last, '*')) return false;
    if ((named.first == item.first && named.last == item.last) ||
        SameTokens(s, start, end, item.first, item.last)) {
      *key += "q6_" + std::to_string(k + 1) + " COLLATE NOCASE";
      return true;
    }
  }
  return false;
}

// The distinct rows the ranks of SELECT DISTINCT count: its items named
// q6_1, q6_2, .. over the same tables.
bool DistinctRows(const EditableSql& s, const Operands& ops, size_t select,
                  const std::string& tables, std::string* out) {
  thread_local std::vector<SelectItem> items;
  ListItems(s, ops, select, &items);
  *out += "(SELECT DISTINCT ";
  for (size_t k = 0; k < items.size(); ++k) {
    if (s.IsPunct(items[k].last, '*')) return false;
    if (k > 0) *out += ", ";
    s.RenderRange(items[k].first, items[k].last + 1, out);
    *out += " AS q6_" + std::to_string(k + 1);
  }
  *out += " " + tables + ") AS q6_rows";
  return true;
}

// Rewrites the TOP .. WITH TIES at `top`; false when it is left.
bool RankTies(EditableSql* s, const Operands& ops, size_t top) {
  size_t select = s->PrevSig(top);
  const bool distinct = s->IsWord(select, "distinct");
  if (distinct) select = s->PrevSig(select);
  if (!s->IsWord(select, "select")) return false;  // ALL included
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
  std::string keys;
  for (size_t k = s->NextSig(by); k != kNone && k <= last; k = s->NextSig(k)) {
    const size_t start = k;
    size_t end = ops.EndAfter(s->PrevSig(start), true);
    if (end == kNone || end > last) return false;
    if (!RankKey(*s, ops, select, start, end, distinct, &keys)) return false;
    k = s->NextSig(end);
    if (s->IsWord(k, "asc") || s->IsWord(k, "desc")) {
      keys += ' ';
      keys += s->Text(k);
      k = s->NextSig(k);
    }
    if (k == kNone || k > last) break;
    if (!s->IsPunct(k, ',')) return false;
    keys += ", ";
  }
  std::string tables, rows;
  s->RenderRange(from, order, &tables);
  if (distinct && !DistinctRows(*s, ops, select, tables, &rows)) return false;
  std::string count;
  s->RenderRange(n0, n1 + 1, &count);
  for (size_t j = top; j <= ties; ++j) s->Edit(j).drop = true;
  s->Edit(last).after +=
      " OFFSET 0 ROWS FETCH NEXT (SELECT count(*) FROM (SELECT RANK() OVER "
      "(ORDER BY " +
      keys + ") AS q6_rank " + (distinct ? "FROM " + rows : tables) +
      ") AS q6_ties WHERE q6_rank <= " + count + ") ROWS ONLY";
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
