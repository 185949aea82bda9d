// Select-list forms of T-SQL (`alias = expr`, `expr 'alias'`), dbo. prefixes,
// and the TOP forms that cannot be given their meaning.
#include <string>
#include <string_view>

#include "platform/dialect/operands.h"
#include "platform/dialect/tsql_rules.h"

namespace q6::dialect {
namespace {

std::string QuotedAlias(const EditableSql& s, size_t i) {
  std::string name;
  if (s.Kind(i) == TokenKind::kWord)
    name = s.Text(i);
  else
    AppendUnquoted(s.Text(i), &name);
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

bool EndsList(const EditableSql& s, size_t i) {
  static constexpr WordSet kEnds{"from",   "into",  "where",  "group",     "order",
                                 "having", "union", "except", "intersect", "option"};
  return s.IsPunct(i, ';') || s.IsWordIn(i, kEnds);
}

void RewriteItem(EditableSql* s, size_t first, size_t last) {
  const size_t eq = s->NextSig(first);
  const TokenKind k = s->Kind(first);
  const bool name = (k == TokenKind::kWord && s->Text(first)[0] != '@') ||
                    k == TokenKind::kBracket || k == TokenKind::kQuoted || k == TokenKind::kString;
  if (name && eq != kNone && eq < last && s->IsPunct(eq, '=') && !s->IsPunct(eq + 1, '=')) {
    const std::string alias = QuotedAlias(*s, first);
    for (size_t j = first; j <= eq; ++j) s->Edit(j).drop = true;
    if (s->Kind(eq + 1) == TokenKind::kSpace) s->Edit(eq + 1).drop = true;
    s->Edit(last).after += " AS " + alias;
    return;
  }
  if (last == first || s->Kind(last) != TokenKind::kString) return;
  const size_t prev = s->PrevSig(last);
  if (prev == last - 1 && s->IsWord(prev, "n")) return;  // N'text'
  if (s->IsWord(prev, "as")) return;
  const TokenKind pk = s->Kind(prev);
  if (pk == TokenKind::kWord || pk == TokenKind::kNumber || pk == TokenKind::kQuoted ||
      pk == TokenKind::kBracket || s->IsPunct(prev, ')') || pk == TokenKind::kString) {
    TokenEdit& e = s->Edit(last);
    e.replace = true;
    e.replacement = "AS " + QuotedAlias(*s, last);
  }
}

// The select list of the SELECT at `select`, item by item.
void RewriteList(EditableSql* s, size_t select) {
  size_t i = s->NextSig(select);
  if (s->IsWord(i, "distinct") || s->IsWord(i, "all")) i = s->NextSig(i);
  if (s->IsWord(i, "top")) {
    i = s->NextSig(i);
    if (s->IsPunct(i, '(')) i = s->Match(i);
    i = s->NextSig(i);
    if (s->IsWord(i, "percent")) i = s->NextSig(i);
  }
  const int depth = s->Depth(select);
  size_t first = i;
  for (size_t j = i; j != kNone; j = s->NextSig(j)) {
    if (s->Depth(j) < depth || (s->Depth(j) == depth && EndsList(*s, j))) {
      if (first != j) RewriteItem(s, first, s->PrevSig(j));
      return;
    }
    if (s->IsPunct(j, '(')) {
      j = s->Match(j);
      if (s->NextSig(j) == kNone) return RewriteItem(s, first, j);
      continue;
    }
    if (s->IsPunct(j, ',')) {
      if (first != j) RewriteItem(s, first, s->PrevSig(j));
      first = s->NextSig(j);
      if (first == kNone) return;
      j = s->PrevSig(first);
      continue;
    }
    if (s->NextSig(j) == kNone) RewriteItem(s, first, j);
  }
}

bool IsDbo(const EditableSql& s, size_t i) {
  if (s.Kind(i) == TokenKind::kWord) return s.IsWord(i, "dbo");
  if (s.Kind(i) != TokenKind::kBracket) return false;
  std::string name;
  AppendUnquoted(s.Text(i), &name);
  return name.size() == 3 && (name[0] | 0x20) == 'd' && (name[1] | 0x20) == 'b' &&
         (name[2] | 0x20) == 'o';
}

}  // namespace

const char* RefusedConstruct(const EditableSql& s) {
  for (size_t i = s.FirstWord("top"); i != kNone; i = s.NextWord(i)) {
    size_t n = s.NextSig(i);
    if (s.IsPunct(n, '(')) n = s.Match(n);
    const size_t after = n == kNone ? kNone : s.NextSig(n);
    if (s.IsWord(after, "percent")) return "TOP n PERCENT";
  }
  return nullptr;
}

void RewriteTsqlSelectLists(EditableSql* s, Engine) {
  if (!s->HasWord("select") && !s->HasWord("dbo") && !s->HasKind(TokenKind::kBracket)) return;
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    if (s->IsWord(i, "select")) {
      RewriteList(s, i);
    } else if (IsDbo(*s, i) && i + 1 < s->size() && s->IsPunct(i + 1, '.') &&
               (i == 0 || !s->IsPunct(i - 1, '.'))) {
      s->Edit(i).drop = true;
      s->Edit(i + 1).drop = true;
    }
  }
}

}  // namespace q6::dialect
