// The ORDER BY of a UNION, EXCEPT or INTERSECT under the default collation:
// text compares without case and trailing blanks there too.
//
// PostgreSQL takes only result names and positions in such an ORDER BY, so
// the key a term is compared by cannot be written there, and folding the
// members' items would change the rows UNION ALL returns. The set operation
// becomes a derived table instead, ordered outside by the keys of its
// result columns, as a select's own ORDER BY is (order_rules.cpp):
//   a UNION ALL b ORDER BY n, 2 DESC
//   -> SELECT * FROM (a UNION ALL b) AS q6_set
//      ORDER BY tsql_key(n) NULLS FIRST, tsql_fold(m) DESC NULLS LAST
// The outer select returns the set operation's columns under their names;
// a row limit written behind the ORDER BY (OFFSET .. FETCH, as LIMIT) stays
// behind it, so it still limits the ordered rows. A position becomes the
// name of the first member's item, as the result names rule wrote it; an
// item without a name is named by its text, as SQLite names it, since it
// cannot be reached otherwise. A position behind a `*` (`select *`,
// `select t.*, x`) becomes the name of the column the star stands for
// there, as the schema lists the table's columns (StarColumns); when they
// cannot be told, the statement is refused rather than ordered otherwise.
// SQLite takes COLLATE in that ORDER BY: a term naming a text expression's
// item, or a derived table's expression behind a `*`, gets COLLATE NOCASE,
// as the same term of a plain select does.
//
// This runs after the result names are written, so the names it reads are
// the ones sent.
#include <string>
#include <string_view>

#include "platform/dialect/operands.h"
#include "platform/dialect/operator_rules.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

// The SELECT of the member that starts at `start` (a SELECT, or the
// parentheses around one).
size_t MemberSelect(const EditableSql& s, size_t start) {
  while (s.IsPunct(start, '(')) start = s.NextSig(start);
  return s.IsWord(start, "select") ? start : kNone;
}

// Token i as it is sent, when it is a name: its replacement, if a rule wrote
// one ([x] -> "x", or a name quoted as written), else its text.
std::string NameAsSent(EditableSql* s, size_t i) {
  const TokenEdit& e = s->Edit(i);
  return e.replace ? e.replacement : std::string(s->Text(i));
}

// The name the result column of `item` goes by, as sent: its alias, the
// alias a rule wrote behind it (a column named as written: `x AS "X"`), or
// a plain column's own name. Empty when it has none.
std::string ResultNameOf(EditableSql* s, const Operands& ops, const SelectItem& item) {
  if (item.alias != kNone) return NameAsSent(s, item.alias);
  const std::string& after = s->Edit(item.last).after;
  const size_t as = after.rfind(" AS \"");
  if (as != std::string::npos) {
    size_t q = as + 5;
    while (q < after.size() && (after[q] != '"' || (q + 1 < after.size() && after[q + 1] == '"')))
      q += after[q] == '"' ? 2 : 1;
    return after.substr(as + 4, q + 1 - (as + 4));
  }
  if (IsColumnTerm(*s, ops, item.first, item.last)) return NameAsSent(s, item.last);
  return {};
}

// Whether a COLLATE follows token `end`, written or added by a rule.
bool Collated(EditableSql* s, size_t end) {
  return s->IsWord(s->NextSig(end), "collate") ||
         s->Edit(end).after.find(" COLLATE ") != std::string::npos;
}

// PostgreSQL: the term [start, end] of the set operation whose first member
// is `select` is ordered by its key. Returns false when it is left as it is
// (a number item, a position that cannot be told, a key written before).
bool KeySetTerm(EditableSql* s, const Operands& ops, size_t select, size_t start, size_t end) {
  if (s->IsWord(start, "tsql_key") || s->IsWord(start, "tsql_fold") || s->IsWord(start, "q6tsql"))
    return false;
  const bool one = start == end;
  const bool position = one && s->Kind(end) == TokenKind::kNumber;
  const TokenKind kind = s->Kind(end);
  if (!position && !(one && (kind == TokenKind::kWord || kind == TokenKind::kQuoted ||
                             kind == TokenKind::kBracket))) {
    if (IsColumnTerm(*s, ops, start, end)) return false;  // t.x: not a result name
    s->Edit(start).before += "tsql_fold(";
    s->Edit(end).after.insert(0, ")");
    return true;
  }
  const TermColumn column = ColumnOfTerm(*s, ops, select, end);
  const SelectItem& item = column.item;
  if (column.refusal || (position && column.star)) {
    // A column a `*` stands for, by its name; or the refusal, which fails
    // the statement as it reads the first row.
    s->Edit(end).drop = true;
    s->Edit(end).before += column.refusal
                               ? std::string("tsql_unsupported('") + column.refusal + "')"
                               : (column.star->expression ? "tsql_fold(" : "tsql_key(") +
                                     QuotedIdentifier(column.star->name) + ")";
    return true;
  }
  if (position && item.first == kNone) return false;  // past the last column
  if (item.first != kNone &&
      (IsSurelyNumber(*s, ops, item.first, item.last) || s->IsWord(item.last, "null")))
    return false;
  const bool expression = item.first == kNone ? column.star && column.star->expression
                                              : !IsColumnTerm(*s, ops, item.first, item.last);
  const char* key = expression ? "tsql_fold(" : "tsql_key(";
  if (!position) {
    s->Edit(start).before += key;
    s->Edit(end).after.insert(0, ")");
    return true;
  }
  std::string name = ResultNameOf(s, ops, item);
  if (name.empty()) {
    // Named by its text as written, as SQLite names it.
    const size_t from = s->token(item.first).pos;
    name = "\"";
    for (char c : s->sql().substr(from, s->token(item.last).pos + s->token(item.last).len - from)) {
      name += c;
      if (c == '"') name += '"';
    }
    name += '"';
    s->Edit(item.last).after += " AS " + name;
  }
  s->Edit(end).drop = true;
  s->Edit(end).before += key + name + ")";
  return true;
}

// SQLite: the term [start, end] names an item of a text expression, or a
// column that a `*` stands for and that is an expression of a derived table.
void CollateSetTerm(EditableSql* s, const Operands& ops, size_t select, size_t start, size_t end) {
  if (start != end || Collated(s, end)) return;
  const TermColumn column = ColumnOfTerm(*s, ops, select, end);
  const SelectItem& item = column.item;
  // A column a `*` stands for takes its table column's collation; an item
  // of a derived table that is no column has none.
  if (column.star && column.star->expression) s->Edit(end).after += " COLLATE NOCASE";
  if (item.first == kNone || IsColumnTerm(*s, ops, item.first, item.last) ||
      IsSurelyNumber(*s, ops, item.first, item.last) || s->IsWord(item.last, "null"))
    return;
  s->Edit(end).after += " COLLATE NOCASE";
}

void OrderSetOperation(EditableSql* s, const Operands& ops, size_t order, size_t first,
                       Engine engine) {
  const size_t select = MemberSelect(*s, first);
  if (select == kNone) return;
  bool keyed = false;
  for (size_t sep = s->NextSig(order);;) {  // BY, then each comma
    size_t end = ops.EndAfter(sep, true);
    if (end == kNone) break;
    if (s->IsPunct(s->NextSig(end), '(')) end = s->Match(s->NextSig(end));  // schema.f(..)
    const size_t start = s->NextSig(sep);
    if (engine == Engine::SQLite)
      CollateSetTerm(s, ops, select, start, end);
    else if (!Collated(s, end))
      keyed = KeySetTerm(s, ops, select, start, end) || keyed;
    size_t next = s->NextSig(end);
    if (s->IsWord(next, "collate")) next = s->NextSig(s->NextSig(next));
    if (s->IsWord(next, "asc") || s->IsWord(next, "desc")) next = s->NextSig(next);
    if (s->IsWord(next, "nulls")) next = s->NextSig(s->NextSig(next));
    if (!s->IsPunct(next, ',')) break;
    sep = next;
  }
  if (!keyed) return;
  s->Edit(first).before += "SELECT * FROM (";
  s->Edit(order).before += ") AS q6_set ";
}

}  // namespace

void RewriteSetOrders(EditableSql* s, Engine engine) {
  if (!s->HasWord("order") ||
      !(s->HasWord("union") || s->HasWord("except") || s->HasWord("intersect")))
    return;
  thread_local Operands ops;
  ops.Reset(*s);
  for (size_t i = s->FirstWord("order"); i != kNone; i = s->NextWord(i)) {
    if (!s->IsWord(s->NextSig(i), "by")) continue;
    const size_t first = SetOperationStart(*s, i);
    if (first != kNone) OrderSetOperation(s, ops, i, first, engine);
  }
}

}  // namespace q6::dialect
