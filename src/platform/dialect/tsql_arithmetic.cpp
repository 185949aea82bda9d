// Arithmetic on SQLite, where + and - only ever add numbers and * / % know
// no exact decimals: chains of them become calls that decide on the values
// (between addition, concatenation and date arithmetic; integers, exact
// decimals and floats).
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/column_scope.h"
#include "platform/dialect/operator_rules.h"
#include "platform/tsql/functions.h"

namespace q6::dialect {
namespace {

// Whether the term [first, last] is integer arithmetic whatever the data:
// an integer literal of int's range (a larger one is a decimal in T-SQL),
// possibly signed, a column declared int, smallint or tinyint, or such
// operands with + - * / % in parentheses. `bytes`, when given, is set to
// the widest operand's width (4 for a literal, an int), which is the
// result's type: SQL Server computes in the operands' type of higher
// precedence, so smallint with smallint is smallint.
bool IsIntTerm(const EditableSql& s, const Operands& ops, size_t first, size_t last,
               int* bytes = nullptr) {
  if (first == kNone || last == kNone) return false;
  int widest = 1;
  for (size_t j = first; j != kNone && j <= last; j = s.NextSig(j)) {
    if (s.Kind(j) == TokenKind::kWord || s.Kind(j) == TokenKind::kQuoted ||
        s.Kind(j) == TokenKind::kBracket) {
      if (ops.IsKeyword(j) || ops.IsCall(j)) return false;
      size_t end = j;  // a qualified name: a.b
      while (s.IsPunct(s.NextSig(end), '.') && s.NextSig(s.NextSig(end)) != kNone)
        end = s.NextSig(s.NextSig(end));
      if (end > last) return false;
      const ColumnType t = ColumnTypeAt(s, ops, j, end);
      if (t.kind != ColumnType::kInt) return false;
      widest = std::max<int>(widest, t.int_bytes == 0 ? 4 : t.int_bytes);
      j = end;
      continue;
    }
    if (s.Kind(j) == TokenKind::kNumber) {
      const std::string_view t = s.Text(j);
      for (char c : t)
        if (c < '0' || c > '9') return false;
      if (t.size() > 10 || (t.size() == 10 && t > "2147483647")) return false;
      widest = 4;
      continue;
    }
    if (s.Kind(j) != TokenKind::kPunct) return false;
    const char c = s.Text(j)[0];
    if (c != '+' && c != '-' && c != '*' && c != '/' && c != '%' && c != '(' && c != ')')
      return false;
  }
  if (bytes) *bytes = widest;
  return true;
}

// The type name a step of integer arithmetic of `bytes` is checked as.
const char* IntTypeName(int bytes) {
  return bytes == 1 ? "tinyint" : bytes == 2 ? "smallint" : "int";
}

// The text that closes a step of integer arithmetic, ahead of an alias the
// select-list rule wrote behind the operand: the result is checked against
// the range of `type` (error 8115), as SQL Server computes int with int in
// int and smallint with smallint in smallint.
void CloseIntStep(EditableSql* s, size_t last, const char* type) {
  std::string& after = s->Edit(last).after;
  const size_t alias = after.find(" AS ");
  after.insert(alias == std::string::npos ? after.size() : alias, std::string(", '") + type + "')");
}

// The type of each step of the chain that starts at `start` and whose
// steps end at `ends`: the widest operand up to that step's end.
std::vector<const char*> StepTypes(const EditableSql& s, const Operands& ops, size_t start,
                                   const std::vector<size_t>& ends) {
  std::vector<const char*> out;
  for (size_t end : ends) {
    int bytes = 4;
    IsIntTerm(s, ops, start, end, &bytes);
    out.push_back(IntTypeName(bytes));
  }
  return out;
}

// SQLite: t0 + t1 - t2 -> tsql_sub(tsql_add(t0 , t1) , t2). A sum of terms
// that are all numbers whatever the data keeps SQLite's own operators.
void RewriteSum(EditableSql* s, const Operands& ops, size_t first_op, std::vector<bool>* done) {
  const size_t start = ops.StartBefore(first_op, false);
  if (start == kNone) return;
  std::vector<size_t> signs, ends;
  bool numbers = IsSurelyNumber(*s, ops, start, s->PrevSig(first_op));
  for (size_t op = first_op;;) {
    const size_t end = ops.EndAfter(op, false);
    if (end == kNone) return;
    signs.push_back(op);
    ends.push_back(end);
    numbers = numbers && IsSurelyNumber(*s, ops, s->NextSig(op), end);
    (*done)[op] = true;
    const size_t next = s->NextSig(end);
    if (next == kNone || !ops.IsBinarySign(next)) break;
    op = next;
  }
  if (IsIntTerm(*s, ops, start, ends.back())) {
    // Int arithmetic: native + and -, each step checked (once: a sum
    // checked before, translated again, stays).
    const size_t open = s->PrevSig(start);
    if (s->IsPunct(open, '(') && s->IsWord(s->PrevSig(open), "tsql_int")) return;
    std::string checks;
    for (size_t k = 0; k < signs.size(); ++k) checks += "tsql_int(";
    s->Edit(start).before.insert(0, checks);
    const std::vector<const char*> types = StepTypes(*s, ops, start, ends);
    for (size_t k = 0; k < ends.size(); ++k) CloseIntStep(s, ends[k], types[k]);
    return;
  }
  if (numbers) return;
  std::string prefix;
  for (size_t k = signs.size(); k-- > 0;)
    prefix += s->IsPunct(signs[k], '+') ? "tsql_add(" : "tsql_sub(";
  s->Edit(start).before.insert(0, prefix);
  for (size_t k = 0; k < signs.size(); ++k) {
    Replace(s, signs[k], ",");
    CloseCall(s, ends[k]);
    (*done)[signs[k]] = true;
  }
}

// SQLite: t0 * t1 / t2 -> tsql_div(tsql_mul(t0 , t1) , t2), for every
// chain of * / and %: they give SQL Server's exact decimals, integer
// division and its errors (divide by zero). Runs before RewriteSums, whose
// calls then wrap these.
void RewriteProduct(EditableSql* s, const Operands& ops, size_t first_op, std::vector<bool>* done) {
  const size_t start = ops.UnitStart(s->PrevSig(first_op));
  if (start == kNone) return;
  std::vector<size_t> signs, ends;
  for (size_t op = first_op;;) {
    const size_t end = ops.UnitEnd(s->NextSig(op));
    if (end == kNone) break;
    signs.push_back(op);
    ends.push_back(end);
    (*done)[op] = true;
    const size_t next = s->NextSig(end);
    if (next == kNone || !ops.IsBinaryProduct(next)) break;
    op = next;
  }
  if (signs.empty()) return;
  const bool ints = IsIntTerm(*s, ops, start, ends.back());
  std::string prefix;
  for (size_t k = signs.size(); k-- > 0;) {
    if (ints) prefix += "tsql_int(";
    prefix += s->IsPunct(signs[k], '*')   ? "tsql_mul("
              : s->IsPunct(signs[k], '/') ? "tsql_div("
                                          : "tsql_mod(";
  }
  s->Edit(start).before.insert(0, prefix);
  const std::vector<const char*> types =
      ints ? StepTypes(*s, ops, start, ends) : std::vector<const char*>();
  for (size_t k = 0; k < signs.size(); ++k) {
    Replace(s, signs[k], ",");
    CloseCall(s, ends[k]);
    if (ints) CloseIntStep(s, ends[k], types[k]);
  }
}

}  // namespace

void RewriteProducts(EditableSql* s, const Operands& ops) {
  if (!s->HasPunct('*') && !s->HasPunct('/') && !s->HasPunct('%')) return;
  std::vector<bool> done(s->size(), false);
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i))
    if (!done[i] && ops.IsBinaryProduct(i)) RewriteProduct(s, ops, i, &done);
}

bool IsSurelyNumber(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  static constexpr WordSet kNumberFns =
      FunctionsReturning(tsql::Result::kInteger, {"len", "length", "count", "abs"});
  while (first < last && (s.IsPunct(first, '-') || s.IsPunct(first, '+'))) first = s.NextSig(first);
  if (first == last) return s.Kind(first) == TokenKind::kNumber;
  if (!ops.IsCall(first) || s.Match(s.NextSig(first)) != last) return false;
  return s.IsWordIn(first, kNumberFns);
}

void RewriteSums(EditableSql* s, const Operands& ops) {
  if (!s->HasPunct('+') && !s->HasPunct('-')) return;
  std::vector<bool> done(s->size(), false);
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i))
    if (!done[i] && ops.IsBinarySign(i)) RewriteSum(s, ops, i, &done);
}

}  // namespace q6::dialect
