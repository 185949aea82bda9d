// Comparisons, IN, BETWEEN, LIKE and ORDER BY / GROUP BY terms given SQL
// Server's meaning, and the walk over the statement that applies every
// operator rewrite (the arithmetic ones are in tsql_arithmetic.cpp, date
// literals in date_literals.cpp).
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/dialect/column_scope.h"
#include "platform/dialect/date_values.h"
#include "platform/dialect/operands.h"
#include "platform/dialect/operator_rules.h"
#include "platform/dialect/tsql_rules.h"
#include "platform/tsql/functions.h"

namespace q6::dialect {
namespace {

// The comparison operator at i: its last token and its kind ('=', '<', '>',
// 'l' for <=, 'g' for >=, 'n' for <> and !=); false when i starts none.
bool ComparisonAt(const EditableSql& s, size_t i, size_t* last, char* op) {
  if (s.Kind(i) != TokenKind::kPunct) return false;
  const char c = s.Text(i)[0];
  const bool next_eq = s.IsPunct(i + 1, '=');
  if (c == '=') {
    if (i > 0 && (s.IsPunct(i - 1, '<') || s.IsPunct(i - 1, '>') || s.IsPunct(i - 1, '!') ||
                  s.IsPunct(i - 1, '=') || s.IsPunct(i - 1, '^')))
      return false;
    *op = '=';
    *last = s.IsPunct(i + 1, '=') ? i + 1 : i;
    return true;
  }
  if (c == '!' && next_eq) {
    *op = 'n';
    *last = i + 1;
    return true;
  }
  if (c == '<') {
    if (s.IsPunct(i + 1, '>'))
      *op = 'n';
    else
      *op = next_eq ? 'l' : '<';
    *last = (*op == 'n' || next_eq) ? i + 1 : i;
    return !(i > 0 && (s.IsPunct(i - 1, '<') || s.IsPunct(i - 1, '^')));
  }
  if (c == '>') {
    if (i > 0 && (s.IsPunct(i - 1, '<') || s.IsPunct(i - 1, '-') || s.IsPunct(i - 1, '^')))
      return false;
    *op = next_eq ? 'g' : '>';
    *last = next_eq ? i + 1 : i;
    return true;
  }
  return false;
}

char Mirror(char op) {
  switch (op) {
    case '<':
      return '>';
    case '>':
      return '<';
    case 'l':
      return 'g';
    case 'g':
      return 'l';
    default:
      return op;
  }
}

bool IsTextCall(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  static constexpr WordSet kTextFns = FunctionsReturning(
      tsql::Result::kText, {"left", "right", "substr", "ltrim", "rtrim", "trim"});
  if (!ops.IsCall(first) || s.Match(s.NextSig(first)) != last) return false;
  return s.IsWordIn(first, kTextFns);
}

bool IsLiteral(const EditableSql& s, size_t first, size_t last) {
  return s.Kind(last) == TokenKind::kString && (first == last || s.IsWord(first, "n"));
}

// A plain column: name, possibly qualified.
bool IsColumn(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  for (size_t j = first; j != kNone && j <= last; j = s.NextSig(j)) {
    const bool name = s.Kind(j) == TokenKind::kWord || s.Kind(j) == TokenKind::kQuoted ||
                      s.Kind(j) == TokenKind::kBracket;
    if (!(name && !ops.IsKeyword(j) && !s.IsWord(j, "null") && !s.IsWord(j, "localtimestamp")) &&
        !s.IsPunct(j, '.'))
      return false;
  }
  return true;
}

// A plain column with a collation of its own: a table's, not a derived
// table's item built from an expression (column_scope.h).
bool IsOwnColumn(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  return IsColumn(s, ops, first, last) && !IsExpressionColumn(s, ops, first, last);
}

// A column naming a derived table's item that is text with no collation of
// its own (a literal, say).
bool IsExpressionText(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  return IsExpressionColumn(s, ops, first, last) &&
         ColumnTypeAt(s, ops, first, last).kind == ColumnType::kText;
}

bool IsNumberType(ColumnType t) {
  return t.kind == ColumnType::kInt || t.kind == ColumnType::kBigint ||
         t.kind == ColumnType::kNumber;
}

// A bound parameter: ? or $n.
bool IsParam(const EditableSql& s, size_t first, size_t last) {
  if (first != last) return false;
  if (s.IsPunct(first, '?')) return true;
  const std::string_view t = s.Text(first);
  return s.Kind(first) == TokenKind::kWord && t.size() > 1 && t[0] == '$' && IsDigits(t.substr(1));
}

// A number literal, possibly signed (not a 0x.. binary literal).
bool IsNumberLiteral(const EditableSql& s, size_t first, size_t last) {
  size_t j = first;
  while (j != kNone && j < last && (s.IsPunct(j, '-') || s.IsPunct(j, '+'))) j = s.NextSig(j);
  if (j != last || s.Kind(last) != TokenKind::kNumber) return false;
  return last + 1 >= s.size() || s.Kind(last + 1) != TokenKind::kWord;  // not 0x..
}

// A subquery used as a value: ( SELECT ... ).
bool IsSubquery(const EditableSql& s, size_t first, size_t last) {
  return s.IsPunct(first, '(') && s.Match(first) == last && s.IsWord(s.NextSig(first), "select");
}

// The q6tsql operator of a comparison kind.
const char* PaddedOperator(char op) {
  switch (op) {
    case '<':
      return "^<";
    case '>':
      return "^>";
    case 'l':
      return "^<=";
    case 'g':
      return "^>=";
    case 'n':
      return "^<>";
    default:
      return "^=";
  }
}

// PostgreSQL: the comparison's operator becomes its q6tsql operator, the
// operands staying where they are.
void PaddedInPlace(EditableSql* s, size_t op_first, size_t op_last, char op) {
  for (size_t j = op_first; j <= op_last; ++j) s->Edit(j).drop = true;
  TokenEdit& e = s->Edit(op_first);
  e.before += PaddedOperator(op);
  if (!s->IsBlank(op_first - 1)) e.before.insert(0, " ");
  if (!s->IsBlank(op_last + 1)) e.before += " ";
}

// PostgreSQL: column op value -> column ^op value, where the value is a
// literal, a parameter or another column; a value written first moves
// behind the column (the operator mirrored), so that the column stays on the
// side the server's index range is built for. The server picks the operator
// by the operand types: on citext it ignores trailing blanks on both sides
// and still reads the column's index (its function is inlined into a range
// on the column); any other type compares as the plain operator does.
void ColumnComparison(EditableSql* s, size_t op_first, size_t op_last, char op, size_t c0,
                      size_t c1, size_t v0, size_t v1) {
  if (v0 > c0) return PaddedInPlace(s, op_first, op_last, op);
  for (size_t j = op_first; j <= op_last; ++j) s->Edit(j).drop = true;
  std::string value;  // written first: it moves behind the column
  for (size_t j = v0; j <= v1; ++j) {
    TokenEdit& e = s->Edit(j);
    value += e.replace ? e.replacement : std::string(s->Text(j));
    e.drop = true;
    e.replace = false;
  }
  for (size_t j = v1 + 1; j < c0; ++j) s->Edit(j).drop = true;
  // Closing texts go ahead of what later rules (LIMIT, FOR UPDATE) put there.
  s->Edit(c1).after.insert(0, std::string(" ") + PaddedOperator(Mirror(op)) + " " + value);
}

// True when the column at `c0` is the target of an assignment in a SET list
// (UPDATE ... SET a = 'x', b = 'y'; SET LOCAL name = 'v'), which is not a
// comparison.
bool IsAssignment(const EditableSql& s, size_t c0) {
  size_t j = s.PrevSig(c0);
  if (j == kNone) return false;
  if (s.IsWord(j, "local") || s.IsWord(j, "session")) j = s.PrevSig(j);  // SET LOCAL x = ..
  if (j == kNone) return false;
  if (s.IsWord(j, "set")) return true;
  if (!s.IsPunct(j, ',')) return false;
  int depth = 0;
  for (; j != kNone; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      ++depth;
    } else if (s.IsPunct(j, '(')) {
      if (depth-- == 0) return false;
    } else if (depth == 0) {
      if (s.IsWord(j, "set")) return true;
      static constexpr WordSet kClauses{"where", "select", "from", "values", "by", "on", "into"};
      if (s.IsWordIn(j, kClauses)) return false;
    }
  }
  return false;
}

// SQLite: a column compared with a number, [l0, l1] op [r0, r1], one of
// them the column. SQL Server converts a varchar column to the number's
// type, row by row (error 245 for 'A7'; ' 010' = 10 holds); SQLite would
// compare the number as text. `c op n` becomes
//   (c op n AND NOT tsql_is_varchar(c) OR c >= '' AND tsql_int(c, 'int') op n)
// (tsql_float(c) for a number that is no int). The first branch is the
// comparison as written, which an index on a number column still serves;
// the second takes the text values (which sort at or above '', so an index
// serves it as well) and compares them converted. The number stays behind
// an operator in both, where statements that differ in it share one
// prepared statement.
void NumberComparison(EditableSql* s, size_t l0, size_t l1, size_t r0, size_t r1, char op,
                      bool column_left) {
  std::string c, n, written;
  s->RenderRange(column_left ? l0 : r0, (column_left ? l1 : r1) + 1, &c);
  s->RenderRange(column_left ? r0 : l0, (column_left ? r1 : l1) + 1, &n);
  const std::string_view digits = s->Text(column_left ? r1 : l1);
  bool whole = true;
  for (char ch : digits) whole = whole && ch >= '0' && ch <= '9';
  const bool int_literal =
      whole && (digits.size() < 10 || (digits.size() == 10 && digits <= "2147483647"));
  const char* op_text = PaddedOperator(column_left ? op : Mirror(op)) + 1;  // without the ^
  s->Edit(l0).before.insert(0, "(");
  s->Edit(r1).after += " AND NOT tsql_is_varchar(" + c + ") OR " + c + " >= '' AND " +
                       (int_literal ? "tsql_int(" + c + ", 'int')" : "tsql_float(" + c + ")") +
                       " " + op_text + " " + n + ")";
}

void RewriteComparison(EditableSql* s, const Operands& ops, size_t op_first, size_t op_last,
                       char op, Engine engine) {
  const size_t l0 = ops.StartBefore(op_first, true);
  const size_t r1 = ops.EndAfter(op_last, true);
  if (l0 == kNone || r1 == kNone) return;
  const size_t l1 = s->PrevSig(op_first);
  const size_t r0 = s->NextSig(op_last);
  const bool lit_l = IsLiteral(*s, l0, l1), lit_r = IsLiteral(*s, r0, r1);
  const bool sqlite = engine == Engine::SQLite;
  // PostgreSQL: a literal compared with (or assigned to) a date column is
  // read as the column's type.
  const bool typed =
      !sqlite && lit_l != lit_r &&
      (lit_r ? LiteralAsDateColumn(s, ops, r1, l0, l1) : LiteralAsDateColumn(s, ops, l1, r0, r1));
  // (SET d = '2024-05-05' assigns: no comparison.)
  if (!typed && lit_r && !lit_l && !(op == '=' && IsAssignment(*s, l0)) &&
      RewriteDateLiteral(s, r1, op, op_first, op_last, sqlite && !IsOwnColumn(*s, ops, l0, l1)))
    return;
  if (!typed && lit_l && !lit_r && op != '=' && op != 'n')
    RewriteDateLiteral(s, l1, Mirror(op), kNone, kNone);
  const bool text_l = lit_l || IsTextCall(*s, ops, l0, l1);
  const bool text_r = lit_r || IsTextCall(*s, ops, r0, r1);
  const bool col_l = IsColumn(*s, ops, l0, l1), col_r = IsColumn(*s, ops, r0, r1);
  const bool num_l = IsNumberLiteral(*s, l0, l1), num_r = IsNumberLiteral(*s, r0, r1);
  // (A comparison rewritten before, translated again, stays.)
  const bool number_column =
      ((col_l && num_r && !IsAssignment(*s, l0)) || (num_l && col_r)) && !s->Dropped(op_first) &&
      !(s->IsWord(s->NextSig(r1), "and") && s->IsWord(s->NextSig(s->NextSig(r1)), "not") &&
        s->IsWord(s->NextSig(s->NextSig(s->NextSig(r1))), "tsql_is_varchar"));
  if (sqlite) {
    if (number_column) {
      // A column declared as a number compares with a number exactly as
      // written (and through its index); only text can need converting.
      if (IsNumberType(col_l ? ColumnTypeAt(*s, ops, l0, l1) : ColumnTypeAt(*s, ops, r0, r1)))
        return;
      return NumberComparison(s, l0, l1, r0, r1, op, col_l);
    }
    // MIN / MAX of a column keep its stored value, which has no type of its
    // own to convert a number by (an exact decimal is stored as text): the
    // value goes through T-SQL addition, which converts it as SQL Server
    // would (max(amount) > 72).
    const auto min_max = [&](size_t first, size_t last) {
      return (s->IsWord(first, "min") || s->IsWord(first, "max")) && ops.IsCall(first) &&
             s->Match(s->NextSig(first)) == last;
    };
    const auto as_value = [&](size_t first, size_t last) {
      s->Edit(first).before += "tsql_add(";
      s->Edit(last).after.insert(0, ", 0)");
    };
    if ((num_r && min_max(l0, l1)) || (num_l && min_max(r0, r1))) {
      as_value(num_r ? l0 : r0, num_r ? l1 : r1);
      return;
    }
    // Compared with anything but a literal (another MIN or MAX, an
    // arithmetic result), the stored text of an exact decimal's MIN / MAX
    // would compare as text: as a value it compares by value (max(amount)
    // >= min(amount) + 20). Only a column declared exact: a text column's
    // MIN / MAX compares as text.
    const auto exact_min_max = [&](size_t first, size_t last) {
      return min_max(first, last) &&
             ColumnTypeAt(*s, ops, s->NextSig(s->NextSig(first)), s->PrevSig(last)).kind ==
                 ColumnType::kExact;
    };
    if (!lit_l && !lit_r && !IsParam(*s, l0, l1) && !IsParam(*s, r0, r1)) {
      const bool exact_l = exact_min_max(l0, l1), exact_r = exact_min_max(r0, r1);
      if (exact_l) as_value(l0, l1);
      if (exact_r) as_value(r0, r1);
      if (exact_l || exact_r) return;
    }
    if (s->IsWord(s->NextSig(r1), "collate") || s->IsWord(s->NextSig(l1), "collate")) return;
    if (text_r && !(col_l && IsOwnColumn(*s, ops, l0, l1)))
      s->Edit(r1).after += " COLLATE NOCASE";
    else if (text_l && !(col_r && IsOwnColumn(*s, ops, r0, r1)))
      s->Edit(l1).after += " COLLATE NOCASE";
    return;
  }
  // A derived table's text item has no type the schema's operators take
  // (a literal's is unknown): it compares as a text function result does.
  const bool expr_l = col_l && IsExpressionText(*s, ops, l0, l1);
  const bool expr_r = col_r && IsExpressionText(*s, ops, r0, r1);
  const bool calls = (text_l && !lit_l) || (text_r && !lit_r) || expr_l || expr_r;
  const bool value_l = lit_l || IsParam(*s, l0, l1), value_r = lit_r || IsParam(*s, r0, r1);
  const bool sub_l = IsSubquery(*s, l0, l1), sub_r = IsSubquery(*s, r0, r1);
  if ((sub_l || sub_r) && !s->Dropped(op_first) && !IsAssignment(*s, l0)) {
    // A subquery's value has the type of its item, text for a literal:
    // both sides compare as citext without trailing blanks when text.
    for (const auto& [first, last, sub] : {std::tuple{l0, l1, sub_l}, std::tuple{r0, r1, sub_r}}) {
      if (!sub) continue;
      s->Edit(first).before += "tsql_fold(";
      s->Edit(last).after.insert(0, ")");
    }
    return PaddedInPlace(s, op_first, op_last, op);
  }
  if (!expr_l && !expr_r &&
      ((col_l && (value_r || col_r) && !IsAssignment(*s, l0)) || (value_l && col_r)) &&
      !s->Dropped(op_first)) {
    const bool swap = !col_l;
    ColumnComparison(s, op_first, op_last, op, swap ? r0 : l0, swap ? r1 : l1, swap ? l0 : r0,
                     swap ? l1 : r1);
  } else if (calls || (lit_l && lit_r)) {
    s->Edit(l0).before += "rtrim(";
    s->Edit(l1).after += ")::citext";
    s->Edit(r0).before += "rtrim(";
    s->Edit(r1).after += ")::citext";
  }
}

void FoldOperand(EditableSql* s, size_t first, size_t last) {
  s->Edit(first).before += "rtrim(";
  s->Edit(last).after += ")::citext";
}

// PostgreSQL: column [NOT] IN (a, b, ...) -> [NOT] (column ^= a OR column
// ^= b ...), each comparison as in ColumnComparison, so that a citext column
// ignores trailing blanks and its index still serves (one range per value).
// A text function result in the list is compared as citext; an item that is
// more than one unit is put in parentheses. A list of numbers only, and a
// statement that begins with the column, are left as they are (false).
bool ColumnInList(EditableSql* s, const Operands& ops, size_t c0, size_t c1, size_t op, size_t in,
                  size_t open) {
  const size_t close = s->Match(open);
  if (c0 == 0) return false;
  const int depth = s->Depth(open) + 1;
  bool numbers = true;
  for (size_t j = s->NextSig(open); j != kNone && j < close; j = s->NextSig(j))
    if (s->Depth(j) == depth && s->Kind(j) != TokenKind::kNumber && !s->IsPunct(j, ',') &&
        !s->IsPunct(j, '-'))
      numbers = false;
  if (numbers) return false;
  s->Edit(c0 - 1).after += op == in ? "(" : "NOT (";
  for (size_t j = op; j <= open; ++j) s->Edit(j).drop = true;
  s->Edit(open).before += "^= ";
  size_t e0 = s->NextSig(open);
  for (size_t j = e0; j != kNone && j <= close; j = s->NextSig(j)) {
    if (j != close && !(s->IsPunct(j, ',') && s->Depth(j) == depth)) continue;
    const size_t e1 = s->PrevSig(j);
    if (IsTextCall(*s, ops, e0, e1)) {
      FoldOperand(s, e0, e1);
    } else if (e0 != e1 && !IsColumn(*s, ops, e0, e1) && !IsLiteral(*s, e0, e1) &&
               !(ops.IsCall(e0) && s->Match(s->NextSig(e0)) == e1)) {
      s->Edit(e0).before += "(";
      s->Edit(e1).after += ")";
    }
    if (j != close) {
      TokenEdit& comma = s->Edit(j);
      comma.before += " OR ";
      comma.repeat_from = c0;
      comma.repeat_to = c1 + 1;
      comma.replace = true;
      comma.replacement = " ^=";
    }
    e0 = s->NextSig(j);
  }
  return true;
}

// x [NOT] IN (a, b, ...) with text function results or literals, which
// would compare with case. SQLite takes the collation of the tested operand:
// it gets NOCASE unless it is a column (which keeps its own). On PostgreSQL
// each such operand, the tested one and the list's, is compared as citext
// without trailing blanks, as in comparisons; a plain column keeps its type
// (and index).
void RewriteInList(EditableSql* s, const Operands& ops, size_t in, Engine engine) {
  const size_t open = s->NextSig(in);
  if (open == kNone || !s->IsPunct(open, '(')) return;
  const size_t first = s->NextSig(open);
  const size_t close = s->Match(open);
  if (first == kNone || first == close || s->IsWord(first, "select")) return;
  const size_t prev = s->PrevSig(in);
  const size_t op = prev != kNone && s->IsWord(prev, "not") ? prev : in;
  const size_t l0 = ops.StartBefore(op, true);
  if (l0 == kNone) return;
  const size_t l1 = s->PrevSig(op);
  const bool fold_all = IsLiteral(*s, l0, l1) || IsTextCall(*s, ops, l0, l1) ||
                        (IsColumn(*s, ops, l0, l1) && IsExpressionText(*s, ops, l0, l1));
  const bool postgres = engine == Engine::PostgreSQL;
  if (postgres && IsColumn(*s, ops, l0, l1)) {
    // The list's literals are read as a date column's type.
    for (size_t j = first; j != kNone && j < close; j = s->NextSig(j))
      if (s->Depth(j) == s->Depth(first) && (j == first || s->IsPunct(s->PrevSig(j), ',')) &&
          (s->NextSig(j) == close || s->IsPunct(s->NextSig(j), ',')))
        LiteralAsDateColumn(s, ops, j, l0, l1);
  }
  if (postgres && !fold_all && IsColumn(*s, ops, l0, l1) &&
      ColumnInList(s, ops, l0, l1, op, in, open))
    return;
  bool any = false;
  const int depth = s->Depth(first);
  size_t e0 = first;
  for (size_t j = first; j != kNone && j <= close; j = s->NextSig(j)) {
    if (j != close && !(s->IsPunct(j, ',') && s->Depth(j) == depth)) continue;
    const size_t e1 = s->PrevSig(j);
    if (IsTextCall(*s, ops, e0, e1) || (fold_all && IsLiteral(*s, e0, e1))) {
      if (postgres) FoldOperand(s, e0, e1);
      any = true;
    }
    e0 = s->NextSig(j);
  }
  if (postgres) {
    if (fold_all || any) FoldOperand(s, l0, l1);
  } else if ((fold_all || (any && !IsOwnColumn(*s, ops, l0, l1))) &&
             !s->IsWord(s->PrevSig(l1), "collate")) {
    s->Edit(l1).after += " COLLATE NOCASE";
  }
}

void RewriteBetween(EditableSql* s, const Operands& ops, size_t between, Engine engine) {
  const size_t low = s->NextSig(between);
  const size_t and_ = s->NextSig(low);
  const size_t high = s->NextSig(and_);
  if (low == kNone || !s->IsWord(and_, "and") || high == kNone) return;
  const size_t op = s->IsWord(s->PrevSig(between), "not") ? s->PrevSig(between) : between;
  const size_t l0 = ops.StartBefore(op, true);
  // PostgreSQL: bounds of a date column are read as its type.
  const bool postgres = engine == Engine::PostgreSQL;
  if (!(postgres && LiteralAsDateColumn(s, ops, low, l0, s->PrevSig(op))) &&
      s->Kind(low) == TokenKind::kString)
    RewriteDateLiteral(s, low, 'g', kNone, kNone);
  if (!(postgres && LiteralAsDateColumn(s, ops, high, l0, s->PrevSig(op))) &&
      s->Kind(high) == TokenKind::kString)
    RewriteDateLiteral(s, high, 'l', kNone, kNone);
  if (postgres) return;
  // As in a comparison: an operand that is no plain column (an aggregate,
  // a function's result) has no collation of its own, so its literal
  // bounds carry NOCASE, which ignores case, trailing blanks and a date's tag.
  if (l0 == kNone || IsOwnColumn(*s, ops, l0, s->PrevSig(op))) return;
  for (size_t bound : {low, high})
    if (IsLiteral(*s, bound, bound) && !s->IsWord(s->NextSig(bound), "collate"))
      s->Edit(bound).after += " COLLATE NOCASE";
}

// PostgreSQL: x [NOT] LIKE p [ESCAPE e] -> x [!]~* tsql_like_regex(p[, e]).
// A literal pattern without [ keeps its LIKE, which means the same there
// and lets the server use an index; a backslash in it, an escape character
// on PostgreSQL only, is switched off with ESCAPE ''.
void RewriteLike(EditableSql* s, const Operands& ops, size_t like) {
  const size_t end = ops.EndAfter(like, true);
  if (end == kNone) return;
  const size_t after = s->NextSig(end);
  const bool has_escape = after != kNone && s->IsWord(after, "escape");
  if (IsLiteral(*s, s->NextSig(like), end)) {
    const std::string_view pattern = s->Text(end);
    if (pattern.find('[') == std::string_view::npos) {
      if (pattern.find('\\') != std::string_view::npos && !has_escape)
        s->Edit(end).after += " ESCAPE ''";
      return;
    }
  }
  const size_t prev = s->PrevSig(like);
  const bool negated = prev != kNone && s->IsWord(prev, "not");
  if (negated) s->Edit(prev).drop = true;
  Replace(s, like, negated ? "!~* tsql_like_regex(" : "~* tsql_like_regex(");
  if (s->Kind(like + 1) == TokenKind::kSpace) s->Edit(like + 1).drop = true;
  const size_t esc = s->NextSig(end);
  const size_t esc_lit = esc == kNone ? kNone : s->NextSig(esc);
  if (esc != kNone && s->IsWord(esc, "escape") && esc_lit != kNone &&
      s->Kind(esc_lit) == TokenKind::kString) {
    Replace(s, esc, ",");
    s->Edit(esc_lit).after += ")";
  } else {
    s->Edit(end).after += ")";
  }
}

// MIN and MAX of a derived table's item that has no collation of its own
// (a literal, an expression) compare as the default collation orders text:
// under COLLATE NOCASE on SQLite; as citext on PostgreSQL, where only a text
// item is changed. `open` is the call's parenthesis.
void CollateExtremeArgument(EditableSql* s, const Operands& ops, size_t open, Engine engine) {
  const size_t first = s->NextSig(open), last = s->PrevSig(s->Match(open));
  if (first == kNone || last == kNone || first > last || !IsColumn(*s, ops, first, last)) return;
  if (engine == Engine::SQLite) {
    if (IsExpressionColumn(*s, ops, first, last)) s->Edit(last).after += " COLLATE NOCASE";
  } else if (IsExpressionText(*s, ops, first, last)) {
    s->Edit(first).before += "(";
    s->Edit(last).after += ")::citext";
  }
}

// SQLite: ORDER BY and GROUP BY terms that are neither a plain column (which
// keeps its own collation) nor a position nor surely a number get COLLATE
// NOCASE, so that literals and function results sort and group as under the
// default collation.
void RewriteOrderTerms(EditableSql* s, const Operands& ops, size_t by) {
  for (size_t sep = by;;) {
    const size_t start = s->NextSig(sep);
    const size_t end = ops.EndAfter(sep, true);
    if (start == kNone || end == kNone) return;
    size_t next = s->NextSig(end);
    if (!IsOwnColumn(*s, ops, start, end) && !IsSurelyNumber(*s, ops, start, end) &&
        !s->IsWord(next, "collate")) {
      s->Edit(end).after += " COLLATE NOCASE";
    }
    if (s->IsWord(next, "asc") || s->IsWord(next, "desc")) next = s->NextSig(next);
    if (!s->IsPunct(next, ',')) return;
    sep = next;
  }
}

// DISTINCT compares the values of an expression without case and trailing
// blanks, as under the default collation. SQLite takes the collation of each
// select-list item: an item that is not a plain column (which keeps its own)
// or surely a number gets COLLATE NOCASE, and, having no alias, is named by
// its text as written. PostgreSQL: a text function result becomes citext
// without trailing blanks, any other expression tsql_fold(expression) (the
// same for text, as it is for other types). The same for the argument of an
// aggregate's DISTINCT (count(DISTINCT x)), where a plain column becomes
// tsql_key(column). A member of a set operation (set_member) compares as
// DISTINCT does; on PostgreSQL a literal too, without its trailing blanks.
// PostgreSQL: a plain column item [first, last] of a set operation's member
// compares without trailing blanks too: tsql_key(column) (a citext without
// them, any other type as it is), under the column's name: as written where
// it names the result (depth 0; its token then goes to `named`), folded as
// the server folds names deeper in.
void KeyColumnItem(EditableSql* s, size_t first, size_t last, bool aliased,
                   std::vector<size_t>* named) {
  s->Edit(first).before += "tsql_key(";
  if (aliased) return CloseCall(s, last);
  std::string alias;
  if (s->Kind(last) == TokenKind::kQuoted) {
    alias = s->Text(last);
  } else {
    std::string name;
    if (s->Kind(last) == TokenKind::kBracket)
      AppendUnquoted(s->Text(last), &name);
    else
      name = s->Text(last);
    if (s->Depth(last) > 0) {
      std::string folded;
      AppendAsciiLower(name, &folded);
      name.swap(folded);
    } else if (named != nullptr) {
      named->push_back(last);
    }
    alias = "\"";
    for (char c : name) {
      alias += c;
      if (c == '"') alias += '"';
    }
    alias += '"';
  }
  s->Edit(last).after += ") AS " + alias;
}

void CollateDistinctTerm(EditableSql* s, const Operands& ops, size_t first, size_t last,
                         bool aliased, bool aggregate, bool set_member, Engine engine,
                         std::vector<size_t>* named = nullptr) {
  if (engine == Engine::PostgreSQL && set_member && !aggregate && first != kNone && last != kNone &&
      first <= last && IsColumn(*s, ops, first, last))
    return KeyColumnItem(s, first, last, aliased, named);
  if (engine == Engine::PostgreSQL && aggregate && first != kNone && last != kNone &&
      first <= last && IsColumn(*s, ops, first, last)) {
    s->Edit(first).before += "tsql_key(";  // count(DISTINCT column): without trailing blanks
    s->Edit(last).after.insert(0, ")");
    return;
  }
  if (first == kNone || last == kNone || first > last || IsColumn(*s, ops, first, last) ||
      IsSurelyNumber(*s, ops, first, last) || s->IsPunct(last, '*') ||
      s->IsWord(s->PrevSig(last), "collate"))
    return;
  if (engine == Engine::PostgreSQL) {
    // Values equal under the default collation are one value: text without
    // case and trailing blanks (DISTINCT gives one of them, as SQL Server
    // does). A literal of a DISTINCT item stays (it is one value); any other
    // expression is folded by its type: tsql_fold(..).
    if (IsLiteral(*s, first, last)) {
      if (set_member) FoldOperand(s, first, last);
      return;
    }
    if (IsTextCall(*s, ops, first, last)) return FoldOperand(s, first, last);
    size_t call = first;
    if (s->IsWord(call, "q6tsql") && s->IsPunct(s->NextSig(call), '.'))
      call = s->NextSig(s->NextSig(call));
    if (s->IsWord(call, "tsql_fold") || s->IsWord(call, "tsql_key") || s->IsWord(last, "citext") ||
        s->IsWord(last, "null"))
      return;  // folded before (a translated text translated again), or NULL
    s->Edit(first).before += "tsql_fold(";
    s->Edit(last).after.insert(0, ")");
    return;
  }
  std::string text = " COLLATE NOCASE";
  if (!aliased) {
    const size_t from = s->token(first).pos;
    const std::string_view name =
        s->sql().substr(from, s->token(last).pos + s->token(last).len - from);
    text += " AS \"";
    for (char c : name) {
      text += c;
      if (c == '"') text += '"';
    }
    text += '"';
  }
  // `alias = expr` was written `expr AS "alias"` first, ahead of the closing
  // texts of later rules: the collation goes behind those, the alias last.
  TokenEdit& e = s->Edit(last);
  if (e.after.rfind(" AS \"", 0) == 0) {
    size_t q = 5;
    while (q < e.after.size() && (e.after[q] != '"' || e.after[q + 1] == '"'))
      q += e.after[q] == '"' ? 2 : 1;
    text += e.after.substr(0, q + 1);
    e.after.erase(0, q + 1);
  }
  e.after += text;
}

void RewriteDistinct(EditableSql* s, const Operands& ops, size_t distinct, Engine engine) {
  const size_t prev = s->PrevSig(distinct);
  if (prev == kNone) return;
  if (s->IsPunct(prev, '(')) {  // an aggregate's argument
    CollateDistinctTerm(s, ops, s->NextSig(distinct), s->PrevSig(s->Match(prev)), true, true, false,
                        engine);
    return;
  }
  if (!s->IsWord(prev, "select")) return;
  if (s->IsWord(s->NextSig(distinct), "top")) return;  // TOP is rewritten elsewhere
  FoldSelectItems(s, ops, s->NextSig(distinct), false, engine);
}

}  // namespace

void FoldSelectItems(EditableSql* s, const Operands& ops, size_t first, bool set_member,
                     Engine engine, std::vector<size_t>* named) {
  if (first == kNone) return;
  const int depth = s->Depth(first);
  for (size_t j = first; first != kNone; j = s->NextSig(j)) {
    // CASE ... END is one unit: its WHEN, THEN, ELSE end no item.
    if (j != kNone && s->IsWord(j, "case") && ops.CasePartner(j) != kNone) {
      j = ops.CasePartner(j);
      continue;
    }
    const bool end = j == kNone ||
                     (s->Depth(j) == depth && s->Kind(j) == TokenKind::kWord && ops.IsKeyword(j) &&
                      !s->IsWord(j, "as")) ||
                     (s->Depth(j) < depth) || s->IsPunct(j, ';');
    if (!end && !(s->IsPunct(j, ',') && s->Depth(j) == depth)) continue;
    const size_t last = j == kNone ? s->PrevSig(s->size()) : s->PrevSig(j);
    size_t x0 = first, x1 = last;
    bool aliased = true;
    const size_t eq = s->NextSig(first);
    if (eq != kNone && eq < last && s->IsPunct(eq, '=') && s->Dropped(eq)) {
      x0 = s->NextSig(eq);  // alias = expr, already written expr AS alias
    } else if (s->IsWord(s->PrevSig(last), "as")) {
      x1 = s->PrevSig(s->PrevSig(last));
    } else if (first != last &&
               (s->Kind(last) == TokenKind::kWord || s->Kind(last) == TokenKind::kQuoted ||
                s->Kind(last) == TokenKind::kBracket || s->Kind(last) == TokenKind::kString) &&
               !(s->IsWord(s->PrevSig(last), "n") && s->PrevSig(last) + 1 == last) &&
               !ops.IsKeyword(last) && !s->IsPunct(s->PrevSig(last), '.') &&
               !ops.IsCall(s->PrevSig(last)) &&
               (s->IsPunct(s->PrevSig(last), ')') ||
                s->Kind(s->PrevSig(last)) != TokenKind::kPunct)) {
      x1 = s->PrevSig(last);  // expr alias, expr 'alias'
    } else {
      aliased = false;
    }
    CollateDistinctTerm(s, ops, x0, x1, aliased, false, set_member, engine, named);
    if (end) return;
    first = s->NextSig(j);
  }
}

namespace {

// Table definitions keep their expressions as written: a default or check
// that called a tsql_* function would tie the file to this driver.
bool IsDdl(const EditableSql& s) {
  const size_t i = s.IsBlank(0) ? s.NextSig(0) : 0;
  return i != kNone && (s.IsWord(i, "create") || s.IsWord(i, "alter") || s.IsWord(i, "pragma"));
}

}  // namespace

void RewriteTsqlOperators(EditableSql* s, Engine engine) {
  if (s->size() == 0 || IsDdl(*s)) return;
  thread_local Operands ops;  // its buffers are reused, as EditableSql's are
  ops.Reset(*s);
  if (engine == Engine::SQLite) {
    RewriteProducts(s, ops);
    RewriteSums(s, ops);
  }
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    size_t last;
    char op;
    if (s->Kind(i) == TokenKind::kPunct && ComparisonAt(*s, i, &last, &op)) {
      RewriteComparison(s, ops, i, last, op, engine);
      i = last;
    } else if (s->IsWord(i, "between")) {
      RewriteBetween(s, ops, i, engine);
    } else if (s->IsWord(i, "distinct")) {
      RewriteDistinct(s, ops, i, engine);
    } else if (s->IsWord(i, "in")) {
      RewriteInList(s, ops, i, engine);
    } else if (engine == Engine::PostgreSQL && s->IsWord(i, "like")) {
      RewriteLike(s, ops, i);
    } else if ((s->IsWord(i, "min") || s->IsWord(i, "max")) && ops.IsCall(i)) {
      CollateExtremeArgument(s, ops, s->NextSig(i), engine);
    } else if (engine == Engine::SQLite && s->IsWord(i, "by") && i > 0 &&
               (s->IsWord(s->PrevSig(i), "order") || s->IsWord(s->PrevSig(i), "group"))) {
      RewriteOrderTerms(s, ops, i);
    }
  }
}

}  // namespace q6::dialect
