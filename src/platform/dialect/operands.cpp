// Operand extents for the dialect rewrites.
//
// Scanning is unit by unit, at one parenthesis depth: groups, calls and
// CASE ... END are stepped over whole, so an operator inside them never ends
// or extends the operand. The keyword list errs on the side of ending an
// operand: a word it misses that is not a name makes "two units without an
// operator", which ends the operand as well.
#include "platform/dialect/operands.h"

namespace q6::dialect {
namespace {

// clang-format off
constexpr WordSet kKeywords{
    "all", "and", "any", "as", "asc", "between", "by", "case", "collate", "cross", "delete",
    "desc", "distinct", "else", "end", "escape", "except", "exists", "from", "full", "group",
    "having", "ilike", "in", "inner", "insert", "intersect", "into", "is", "join", "left",
    "like", "limit", "not", "offset", "on", "or", "order", "outer", "over", "percent",
    "returning", "right", "select", "set", "some", "then", "top", "union", "update", "using",
    "values", "when", "where", "with"};
// clang-format on

}  // namespace

void Operands::Reset(const EditableSql& sql) {
  sp_ = &sql;
  case_partner_.clear();
  if (!S().HasWord("case")) return;  // CasePartner is kNone throughout
  case_partner_.assign(S().size(), kNone);
  open_.clear();
  for (size_t i = S().NextSig(kNone); i != kNone; i = S().NextSig(i)) {
    if (S().IsWord(i, "case")) {
      open_.push_back(i);
    } else if (S().IsWord(i, "end") && !open_.empty() && S().Depth(open_.back()) == S().Depth(i)) {
      case_partner_[i] = open_.back();
      case_partner_[open_.back()] = i;
      open_.pop_back();
    }
  }
}

bool Operands::IsKeyword(size_t i) const {
  if (!S().IsWordIn(i, kKeywords)) return false;
  // left( and right( are calls; as bare words they belong to joins.
  return !((S().IsWord(i, "left") || S().IsWord(i, "right")) && S().IsPunct(S().NextSig(i), '('));
}

bool Operands::IsCall(size_t i) const {
  if (i >= S().size() || S().Kind(i) != TokenKind::kWord || IsKeyword(i)) return false;
  return S().IsPunct(S().NextSig(i), '(');
}

// A token that can be the last of a unit.
bool Operands::EndsOperand(size_t i) const {
  if (i == kNone) return false;
  switch (S().Kind(i)) {
    case TokenKind::kWord:
      return !IsKeyword(i) || (S().IsWord(i, "end") && CasePartner(i) != kNone);
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kQuoted:
    case TokenKind::kBracket:
      return true;
    case TokenKind::kPunct:
      return S().IsPunct(i, ')') || S().IsPunct(i, '?') || S().IsPunct(i, '*');
    default:
      return false;
  }
}

bool Operands::IsBinarySign(size_t i) const {
  if (!S().IsPunct(i, '+') && !S().IsPunct(i, '-')) return false;
  const size_t p = S().PrevSig(i);
  if (p == kNone) return false;
  if (S().IsPunct(p, '*')) {  // "count(*) + 1" against "a * -1"
    const size_t pp = S().PrevSig(p);
    return pp != kNone && (S().IsPunct(pp, '(') || S().IsPunct(pp, '.') || S().IsPunct(pp, ','));
  }
  return EndsOperand(p);
}

bool Operands::IsBinaryProduct(size_t i) const {
  if (!S().IsPunct(i, '*') && !S().IsPunct(i, '/') && !S().IsPunct(i, '%')) return false;
  const size_t p = S().PrevSig(i);
  if (p == kNone || S().IsPunct(p, '(') || S().IsPunct(p, '.') || S().IsPunct(p, ',')) return false;
  if (S().IsPunct(p, '*')) return false;  // "select * / .." is no product
  return EndsOperand(p) && UnitEnd(S().NextSig(i)) != kNone;
}

bool Operands::JoinsUnits(size_t i, bool additive) const {
  if (i == kNone || S().Kind(i) != TokenKind::kPunct) return false;
  const char c = S().Text(i)[0];
  if (c == '+' || c == '-') return additive && IsBinarySign(i);
  if (c == '*') return !S().IsPunct(S().PrevSig(i), '(') && !S().IsPunct(S().PrevSig(i), '.');
  return c == '/' || c == '%' || c == '|' || c == '&' || c == '^' || c == ':';
}

size_t Operands::UnitStart(size_t last) const {
  if (!EndsOperand(last)) return kNone;
  size_t first = last;
  if (S().IsPunct(last, ')')) {
    first = S().Match(last);
    size_t name = S().PrevSig(first);
    // A window: f(..) OVER (..) is one unit.
    if (S().IsWord(name, "over") && S().IsPunct(S().PrevSig(name), ')')) {
      first = S().Match(S().PrevSig(name));
      name = S().PrevSig(first);
    }
    if (IsCall(name)) first = name;
  } else if (S().IsWord(last, "end")) {
    first = CasePartner(last);
  } else if (S().Kind(last) == TokenKind::kString && last > 0 && S().IsWord(last - 1, "n")) {
    first = last - 1;
  }
  // Qualified names: a.b.c
  for (size_t dot = S().PrevSig(first); S().IsPunct(dot, '.');) {
    const size_t name = S().PrevSig(dot);
    if (name == kNone || !EndsOperand(name)) break;
    first = name;
    dot = S().PrevSig(first);
  }
  // Unary signs in front.
  for (size_t sign = S().PrevSig(first);
       (S().IsPunct(sign, '-') || S().IsPunct(sign, '+') || S().IsPunct(sign, '~')) &&
       !IsBinarySign(sign);
       sign = S().PrevSig(first)) {
    first = sign;
  }
  return first;
}

size_t Operands::UnitEnd(size_t first) const {
  size_t i = first;
  while (S().IsPunct(i, '-') || S().IsPunct(i, '+') || S().IsPunct(i, '~')) i = S().NextSig(i);
  if (i == kNone) return kNone;
  size_t last = kNone;
  if (S().IsPunct(i, '(')) {
    last = S().Match(i);
  } else if (IsCall(i)) {
    last = S().Match(S().NextSig(i));
    const size_t over = S().NextSig(last);  // a window: f(..) OVER (..)
    if (S().IsWord(over, "over") && S().IsPunct(S().NextSig(over), '('))
      last = S().Match(S().NextSig(over));
  } else if (S().IsWord(i, "case") && CasePartner(i) != kNone) {
    last = CasePartner(i);
  } else if (S().IsWord(i, "n") && i + 1 < S().size() && S().Kind(i + 1) == TokenKind::kString) {
    last = i + 1;
  } else if (EndsOperand(i) && !S().IsPunct(i, ')')) {
    last = i;
  } else {
    return kNone;
  }
  for (size_t dot = S().NextSig(last); S().IsPunct(dot, '.');) {
    const size_t name = S().NextSig(dot);
    if (name == kNone || !EndsOperand(name)) break;
    last = name;
    dot = S().NextSig(last);
  }
  return last;
}

size_t Operands::StartBefore(size_t op, bool additive) const {
  size_t first = UnitStart(S().PrevSig(op));
  while (first != kNone) {
    const size_t join = S().PrevSig(first);
    if (!JoinsUnits(join, additive)) break;
    size_t j = join;
    while (S().IsPunct(S().PrevSig(j), ':') || S().IsPunct(S().PrevSig(j), '|')) j = S().PrevSig(j);
    const size_t before = UnitStart(S().PrevSig(j));
    if (before == kNone) break;
    first = before;
  }
  return first;
}

size_t Operands::EndAfter(size_t op, bool additive) const {
  size_t last = UnitEnd(S().NextSig(op));
  while (last != kNone) {
    size_t join = S().NextSig(last);
    if (!JoinsUnits(join, additive)) break;
    while (S().IsPunct(S().NextSig(join), ':') || S().IsPunct(S().NextSig(join), '|'))
      join = S().NextSig(join);
    const size_t after = UnitEnd(S().NextSig(join));
    if (after == kNone) break;
    last = after;
  }
  return last;
}

}  // namespace q6::dialect
