// Operand extents for the dialect rewrites.
//
// Scanning is unit by unit, at one parenthesis depth: groups, calls and
// CASE ... END are stepped over whole, so an operator inside them never ends
// or extends the operand. The keyword list errs on the side of ending an
// operand: a word it misses that is not a name makes "two units without an
// operator", which ends the operand as well.
#include "platform/dialect/operands.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace q6::dialect {
namespace {

// clang-format off
constexpr std::string_view kKeywords[] = {
    "all", "and", "any", "as", "asc", "between", "by", "case", "collate", "cross", "delete",
    "desc", "distinct", "else", "end", "escape", "except", "exists", "from", "full", "group",
    "having", "ilike", "in", "inner", "insert", "intersect", "into", "is", "join", "left",
    "like", "limit", "not", "offset", "on", "or", "order", "outer", "over", "percent",
    "returning", "right", "select", "set", "some", "then", "top", "union", "update", "using",
    "values", "when", "where", "with"};
// clang-format on

// Whether `word` is in kKeywords (sorted), in any case.
bool InKeywords(std::string_view word) {
  char buf[16];
  if (word.size() > sizeof buf) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    const char c = word[k];
    buf[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
  }
  return std::binary_search(std::begin(kKeywords), std::end(kKeywords),
                            std::string_view(buf, word.size()));
}

}  // namespace

Operands::Operands(const EditableSql& sql) : s_(sql) {
  case_partner_.assign(s_.size(), kNone);
  keyword_.assign(s_.size(), false);
  std::vector<size_t> open;
  for (size_t i = 0; i < s_.size(); ++i) {
    if (s_.Kind(i) != TokenKind::kWord) continue;
    keyword_[i] = InKeywords(s_.Text(i));
    if (s_.IsWord(i, "case")) {
      open.push_back(i);
    } else if (s_.IsWord(i, "end") && !open.empty() && s_.Depth(open.back()) == s_.Depth(i)) {
      case_partner_[i] = open.back();
      case_partner_[open.back()] = i;
      open.pop_back();
    }
  }
}

bool Operands::IsKeyword(size_t i) const {
  if (i >= s_.size() || !keyword_[i]) return false;
  // left( and right( are calls; as bare words they belong to joins.
  return !((s_.IsWord(i, "left") || s_.IsWord(i, "right")) && s_.IsPunct(s_.NextSig(i), '('));
}

bool Operands::IsCall(size_t i) const {
  if (i >= s_.size() || s_.Kind(i) != TokenKind::kWord || IsKeyword(i)) return false;
  return s_.IsPunct(s_.NextSig(i), '(');
}

// A token that can be the last of a unit.
bool Operands::EndsOperand(size_t i) const {
  if (i == kNone) return false;
  switch (s_.Kind(i)) {
    case TokenKind::kWord:
      return !IsKeyword(i) || (s_.IsWord(i, "end") && CasePartner(i) != kNone);
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kQuoted:
    case TokenKind::kBracket:
      return true;
    case TokenKind::kPunct:
      return s_.IsPunct(i, ')') || s_.IsPunct(i, '?') || s_.IsPunct(i, '*');
    default:
      return false;
  }
}

bool Operands::IsBinarySign(size_t i) const {
  if (!s_.IsPunct(i, '+') && !s_.IsPunct(i, '-')) return false;
  const size_t p = s_.PrevSig(i);
  if (p == kNone) return false;
  if (s_.IsPunct(p, '*')) {  // "count(*) + 1" against "a * -1"
    const size_t pp = s_.PrevSig(p);
    return pp != kNone && (s_.IsPunct(pp, '(') || s_.IsPunct(pp, '.') || s_.IsPunct(pp, ','));
  }
  return EndsOperand(p);
}

bool Operands::JoinsUnits(size_t i, bool additive) const {
  if (i == kNone || s_.Kind(i) != TokenKind::kPunct) return false;
  const char c = s_.Text(i)[0];
  if (c == '+' || c == '-') return additive && IsBinarySign(i);
  if (c == '*') return !s_.IsPunct(s_.PrevSig(i), '(') && !s_.IsPunct(s_.PrevSig(i), '.');
  return c == '/' || c == '%' || c == '|' || c == '&' || c == '^' || c == ':';
}

size_t Operands::UnitStart(size_t last) const {
  if (!EndsOperand(last)) return kNone;
  size_t first = last;
  if (s_.IsPunct(last, ')')) {
    first = s_.Match(last);
    const size_t name = s_.PrevSig(first);
    if (IsCall(name)) first = name;
  } else if (s_.IsWord(last, "end")) {
    first = CasePartner(last);
  } else if (s_.Kind(last) == TokenKind::kString && last > 0 && s_.IsWord(last - 1, "n")) {
    first = last - 1;
  }
  // Qualified names: a.b.c
  for (size_t dot = s_.PrevSig(first); s_.IsPunct(dot, '.');) {
    const size_t name = s_.PrevSig(dot);
    if (name == kNone || !EndsOperand(name)) break;
    first = name;
    dot = s_.PrevSig(first);
  }
  // Unary signs in front.
  for (size_t sign = s_.PrevSig(first);
       (s_.IsPunct(sign, '-') || s_.IsPunct(sign, '+') || s_.IsPunct(sign, '~')) &&
       !IsBinarySign(sign);
       sign = s_.PrevSig(first)) {
    first = sign;
  }
  return first;
}

size_t Operands::UnitEnd(size_t first) const {
  size_t i = first;
  while (s_.IsPunct(i, '-') || s_.IsPunct(i, '+') || s_.IsPunct(i, '~')) i = s_.NextSig(i);
  if (i == kNone) return kNone;
  size_t last = kNone;
  if (s_.IsPunct(i, '(')) {
    last = s_.Match(i);
  } else if (IsCall(i)) {
    last = s_.Match(s_.NextSig(i));
  } else if (s_.IsWord(i, "case") && CasePartner(i) != kNone) {
    last = CasePartner(i);
  } else if (s_.IsWord(i, "n") && i + 1 < s_.size() && s_.Kind(i + 1) == TokenKind::kString) {
    last = i + 1;
  } else if (EndsOperand(i) && !s_.IsPunct(i, ')')) {
    last = i;
  } else {
    return kNone;
  }
  for (size_t dot = s_.NextSig(last); s_.IsPunct(dot, '.');) {
    const size_t name = s_.NextSig(dot);
    if (name == kNone || !EndsOperand(name)) break;
    last = name;
    dot = s_.NextSig(last);
  }
  return last;
}

size_t Operands::StartBefore(size_t op, bool additive) const {
  size_t first = UnitStart(s_.PrevSig(op));
  while (first != kNone) {
    const size_t join = s_.PrevSig(first);
    if (!JoinsUnits(join, additive)) break;
    size_t j = join;
    while (s_.IsPunct(s_.PrevSig(j), ':') || s_.IsPunct(s_.PrevSig(j), '|')) j = s_.PrevSig(j);
    const size_t before = UnitStart(s_.PrevSig(j));
    if (before == kNone) break;
    first = before;
  }
  return first;
}

size_t Operands::EndAfter(size_t op, bool additive) const {
  size_t last = UnitEnd(s_.NextSig(op));
  while (last != kNone) {
    size_t join = s_.NextSig(last);
    if (!JoinsUnits(join, additive)) break;
    while (s_.IsPunct(s_.NextSig(join), ':') || s_.IsPunct(s_.NextSig(join), '|'))
      join = s_.NextSig(join);
    const size_t after = UnitEnd(s_.NextSig(join));
    if (after == kNone) break;
    last = after;
  }
  return last;
}

}  // namespace q6::dialect
