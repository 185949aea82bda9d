// PostgreSQL: x [NOT] IN (subquery) and x op ANY | SOME | ALL (subquery)
// compare under SQL Server's default collation, without case and trailing
// blanks, as x = y does.
//
// citext ignores case but not trailing blanks, and a text value from the
// subquery (a literal, a function result) would compare as text, with case.
// IN (and = ANY, the same) and NOT IN (and <> ALL) keep the plain operator
// with both sides keyed: a plain column as tsql_key(column), a literal as
// rtrim(..)::citext, any other operand as tsql_fold(..); a number stays as
// it is, and the key of a number column is the column itself:
//   x IN (SELECT e ..)       -> tsql_key(x) IN (SELECT tsql_fold(e) ..)
// The server then hashes the subquery's rows, or, where the column has an
// index of its keys (keyed_indexes.cpp), looks each key up in it: a padded
// operator would compare every row with every row.
// The other comparisons go through the padded operators (^<, ...) that the
// comparison rule writes for x < y, which the server resolves by the
// operand types (citext without trailing blanks, any other type as the
// plain operator), with an operand that is no plain column or number folded
// as above:
//   x > ALL (SELECT e ..)    -> x ^> ALL (SELECT e ..)
#include <string>
#include <string_view>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

bool IsName(const EditableSql& s, const Operands& ops, size_t i) {
  const TokenKind k = s.Kind(i);
  return (k == TokenKind::kWord && !ops.IsKeyword(i) && !s.IsWord(i, "null")) ||
         k == TokenKind::kQuoted || k == TokenKind::kBracket;
}

// Folds the operand [first, last] to the key it compares by, unless it is a
// number, or a plain column and not `columns` (the padded operators compare
// those as they are): a plain column to tsql_key(..).
void FoldOperand(EditableSql* s, const Operands& ops, size_t first, size_t last, bool columns) {
  if (first == kNone || last == kNone || first > last) return;
  if (first == last && s->Kind(first) == TokenKind::kNumber) return;
  // A key written before (a translated text translated again) stays.
  size_t call = first;
  if (s->IsWord(call, "q6tsql") && s->IsPunct(s->NextSig(call), '.'))
    call = s->NextSig(s->NextSig(call));
  if (((s->IsWord(call, "tsql_key") || s->IsWord(call, "tsql_fold")) &&
       s->IsPunct(s->NextSig(call), '(') && s->Match(s->NextSig(call)) == last) ||
      (s->IsWord(last, "citext") && s->IsPunct(s->PrevSig(last), ':')))
    return;
  const bool column =
      IsName(*s, ops, last) && IsName(*s, ops, first) &&
      (first == last || (s->NextSig(first) + 1 == last && s->IsPunct(s->NextSig(first), '.')));
  if (column && !columns) return;
  const bool literal =
      s->Kind(last) == TokenKind::kString && (first == last || s->IsWord(first, "n"));
  s->Edit(first).before += literal ? "rtrim(" : column ? "tsql_key(" : "tsql_fold(";
  std::string& after = s->Edit(last).after;
  after.insert(0, literal ? ")::citext" : ")");
}

// The item of each SELECT of the subquery whose "(" is at `open` (each
// member of a set operation has its own; members in parentheses of their
// own are left) is folded as an operand.
void FoldItems(EditableSql* s, const Operands& ops, size_t open, bool columns) {
  const size_t close = s->Match(open);
  const int depth = s->Depth(open) + 1;
  for (size_t j = s->NextSig(open); j != kNone && j < close; j = s->NextSig(j)) {
    if (s->IsPunct(j, '(')) {
      j = s->Match(j);
      continue;
    }
    if (!s->IsWord(j, "select")) continue;
    size_t first = s->NextSig(j);
    if (s->IsWord(first, "distinct") || s->IsWord(first, "all")) first = s->NextSig(first);
    if (s->IsWord(first, "top")) {
      first = s->NextSig(first);
      if (s->IsPunct(first, '(')) first = s->Match(first);
      first = s->NextSig(first);
    }
    const int item_depth = s->Depth(j);
    size_t last = kNone;
    for (size_t k = first; k != kNone && k < close; k = s->NextSig(k)) {
      if (s->Depth(k) < item_depth) break;
      if (s->Depth(k) == item_depth &&
          (s->IsPunct(k, ',') || s->IsWord(k, "from") || s->IsWord(k, "where") ||
           s->IsWord(k, "union") || s->IsWord(k, "except") || s->IsWord(k, "intersect") ||
           s->IsWord(k, "group") || s->IsWord(k, "order")))
        break;
      if (s->IsPunct(k, '(')) k = s->Match(k);
      if (s->IsWord(k, "case") && ops.CasePartner(k) != kNone) k = ops.CasePartner(k);
      last = k;
    }
    if (last == kNone || s->IsPunct(last, '*')) continue;
    if (s->IsWord(s->PrevSig(last), "as")) last = s->PrevSig(s->PrevSig(last));
    if (item_depth == depth) FoldOperand(s, ops, first, last, columns);
    j = last;
  }
}

// The padded operator for the comparison tokens [first, last], or nullptr.
const char* PaddedOf(const EditableSql& s, size_t first, size_t last) {
  std::string op;
  for (size_t j = first; j <= last; ++j) op += s.Text(j);
  if (op == "=") return "^=";
  if (op == "<>" || op == "!=") return "^<>";
  if (op == "<") return "^<";
  if (op == "<=") return "^<=";
  if (op == ">") return "^>";
  if (op == ">=") return "^>=";
  return nullptr;
}

bool IsComparisonPunct(const EditableSql& s, size_t i) {
  return s.IsPunct(i, '=') || s.IsPunct(i, '<') || s.IsPunct(i, '>') || s.IsPunct(i, '!');
}

void RewriteAt(EditableSql* s, const Operands& ops, size_t open) {
  const size_t word = s->PrevSig(open);
  if (word == kNone || s->Dropped(word)) return;
  size_t op_first = kNone;  // the first token of what the left operand ends before
  bool keyed = false;       // [NOT] IN, or = ANY and <> ALL written so
  if (s->IsWord(word, "in")) {
    const size_t before = s->PrevSig(word);
    keyed = true;
    op_first = s->IsWord(before, "not") ? before : word;
  } else {
    // op ANY | SOME | ALL: the operator's tokens are adjacent punctuation.
    size_t last = s->PrevSig(word);
    if (last == kNone || !IsComparisonPunct(*s, last) || s->Dropped(last)) return;
    size_t first = last;
    while (first > 0 && IsComparisonPunct(*s, first - 1)) --first;
    if (first > 0 && s->IsPunct(first - 1, '^')) return;  // rewritten before
    const char* padded = PaddedOf(*s, first, last);
    if (padded == nullptr) return;
    const bool all = s->IsWord(word, "all");
    keyed = std::string_view(padded) == (all ? "^<>" : "^=");
    for (size_t j = first; j <= last; ++j) s->Edit(j).drop = true;
    if (keyed) {
      s->Edit(word).drop = true;
      s->Edit(word).before += all ? "NOT IN" : "IN";
    } else {
      s->Edit(first).before += padded;
      if (s->IsWord(word, "some")) {
        s->Edit(word).drop = true;
        s->Edit(word).before += "ANY";
      }
    }
    op_first = first;
  }
  FoldOperand(s, ops, ops.StartBefore(op_first, true), s->PrevSig(op_first), keyed);
  FoldItems(s, ops, open, keyed);
}

}  // namespace

void RewriteQuantifiedSubqueries(EditableSql* s, Engine engine) {
  if (engine != Engine::PostgreSQL || !s->HasWord("select")) return;
  if (!s->HasWord("in") && !s->HasWord("any") && !s->HasWord("some") && !s->HasWord("all")) return;
  thread_local Operands ops;
  ops.Reset(*s);
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    if (!s->IsPunct(i, '(') || !s->IsWord(s->NextSig(i), "select")) continue;
    const size_t word = s->PrevSig(i);
    if (s->IsWord(word, "in") || s->IsWord(word, "any") || s->IsWord(word, "some") ||
        s->IsWord(word, "all"))
      RewriteAt(s, ops, i);
  }
}

}  // namespace q6::dialect
