// Function, alias and bracketed-name rewrites, token by token.
#include "platform/dialect/expression_rules.h"

#include <string>
#include <string_view>

namespace q6::dialect {
namespace {

struct Call {
  size_t name;
  size_t open;
  size_t close;
  size_t comma = kNone;  // the separating comma of a two-argument call
  int commas = 0;        // top-level commas between the parentheses
};

Call CallAt(const EditableSql& s, size_t name, size_t open) {
  Call c{name, open, s.Match(open)};
  for (size_t j = open + 1; j < c.close; ++j) {
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
    } else if (s.IsPunct(j, ',')) {
      if (c.commas++ == 0) c.comma = j;
    }
  }
  return c;
}

void Rename(EditableSql* s, size_t i, std::string_view name) {
  TokenEdit& e = s->Edit(i);
  e.replace = true;
  e.replacement.assign(name);
}

// Whether the tokens between `from` and `to` (both excluded) are a whole
// number, possibly with a minus sign; sets its first and last token.
bool IsWholeNumberArg(const EditableSql& s, size_t from, size_t to, size_t* first, size_t* last) {
  size_t a = s.NextSig(from);
  if (a >= to) return false;
  size_t n = s.IsPunct(a, '-') ? s.NextSig(a) : a;
  if (n >= to || s.Kind(n) != TokenKind::kNumber || s.NextSig(n) != to) return false;
  for (char c : s.Text(n)) {
    if (c < '0' || c > '9') return false;
  }
  *first = a;
  *last = n;
  return true;
}

// Whether the tokens between `from` and `to` are one literal or NULL.
bool IsLiteralArg(const EditableSql& s, size_t from, size_t to) {
  const size_t a = s.NextSig(from);
  if (a >= to || s.NextSig(a) != to) return false;
  return s.Kind(a) == TokenKind::kString || s.Kind(a) == TokenKind::kNumber || s.IsWord(a, "null");
}

void RewriteCall(EditableSql* s, size_t name, size_t open, Engine engine) {
  const bool sqlite = engine == Engine::SQLite;
  if (s->IsWord(name, "len")) {
    const Call c = CallAt(*s, name, open);
    Rename(s, name, "length(rtrim");
    s->Edit(c.close).after += ")";
  } else if (s->IsWord(name, "left")) {
    const Call c = CallAt(*s, name, open);
    if (!sqlite || c.commas != 1) return;
    Rename(s, name, "substr");
    s->Edit(c.comma).before += ",1";
  } else if (s->IsWord(name, "right")) {
    const Call c = CallAt(*s, name, open);
    if (!sqlite || c.commas != 1) return;
    Rename(s, name, "substr");
    s->Edit(c.comma).after += "-(";
    TokenEdit& close = s->Edit(c.close);
    close.before += "),";
    close.repeat_from = c.comma + 1;
    close.repeat_to = c.close;
  } else if (s->IsWord(name, "isnull")) {
    Rename(s, name, sqlite ? "ifnull" : "coalesce");
    if (sqlite) return;
    const Call c = CallAt(*s, name, open);
    size_t first, last;
    if (c.commas == 1 && !IsLiteralArg(*s, c.open, c.comma) &&
        IsWholeNumberArg(*s, c.comma, c.close, &first, &last)) {
      s->Edit(first).before += "'";
      s->Edit(last).after += "'";
    }
  } else if (s->IsWord(name, "getdate") || s->IsWord(name, "sysdatetime") ||
             s->IsWord(name, "getutcdate") || s->IsWord(name, "sysutcdatetime")) {
    const size_t close = s->Match(open);
    if (s->NextSig(open) != close) return;
    const bool utc = s->IsWord(name, "getutcdate") || s->IsWord(name, "sysutcdatetime");
    if (sqlite)
      Rename(s, name, utc ? "tsql_now(1)" : "tsql_now(0)");
    else
      Rename(s, name, utc ? "(now() AT TIME ZONE 'UTC')::timestamp(3)" : "localtimestamp");
    for (size_t j = open; j <= close; ++j) s->Edit(j).drop = true;
  }
}

// "name" with a double quote inside doubled; `lower` folds ASCII letters.
std::string QuotedName(std::string_view token_text, bool lower) {
  std::string name;
  AppendUnquoted(token_text, &name);
  std::string out;
  out.reserve(name.size() + 2);
  out.push_back('"');
  for (char c : name) {
    if (lower && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out.push_back(c);
    if (c == '"') out.push_back('"');
  }
  out.push_back('"');
  return out;
}

// PostgreSQL's own brackets: ARRAY[1,2], a subscript (x)[2] or a[1:2], an
// array type int[]. A T-SQL bracketed name is never empty, never follows
// a name or a parenthesis without a blank, and does not hold list or slice
// punctuation.
bool IsArraySyntax(const EditableSql& s, size_t i) {
  const std::string_view body = s.Text(i).substr(1, s.Text(i).size() - 2);
  if (body.empty() || body.find_first_of("[,:") != std::string_view::npos) return true;
  const size_t prev = s.PrevSig(i);
  if (prev != kNone && s.IsWord(prev, "array")) return true;
  if (i == 0) return false;
  const TokenKind k = s.Kind(i - 1);
  return k == TokenKind::kWord || k == TokenKind::kBracket || k == TokenKind::kQuoted ||
         s.IsPunct(i - 1, ')') || s.IsPunct(i - 1, ']');
}

bool IsFunctionName(const EditableSql& s, size_t i) {
  return s.IsWord(i, "left") || s.IsWord(i, "right") || s.IsWord(i, "len") ||
         s.IsWord(i, "isnull") || s.IsWord(i, "getdate") || s.IsWord(i, "sysdatetime") ||
         s.IsWord(i, "getutcdate") || s.IsWord(i, "sysutcdatetime");
}

}  // namespace

void RewriteExpressions(EditableSql* s, Engine engine) {
  static constexpr WordSet kTriggers{
      "as",     "n",       "left",        "right",      "len",
      "isnull", "getdate", "sysdatetime", "getutcdate", "sysutcdatetime"};
  if (!s->HasKind(TokenKind::kBracket) && !s->HasAnyWord(kTriggers)) return;
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    const TokenKind kind = s->Kind(i);
    if (kind == TokenKind::kBracket) {
      if (engine == Engine::PostgreSQL && IsArraySyntax(*s, i)) continue;
      const size_t prev = s->PrevSig(i);
      const bool alias = prev != kNone && s->IsWord(prev, "as");
      TokenEdit& e = s->Edit(i);
      e.replace = true;
      e.replacement = QuotedName(s->Text(i), engine == Engine::PostgreSQL && !alias);
      continue;
    }
    if (kind != TokenKind::kWord || s->Dropped(i)) continue;
    if (s->IsWord(i, "as")) {
      const size_t next = s->NextSig(i);
      if (next != kNone && s->Kind(next) == TokenKind::kString) {
        TokenEdit& e = s->Edit(next);
        e.replace = true;
        e.replacement = QuotedName(s->Text(next), false);
      }
      continue;
    }
    if (s->IsWord(i, "n") && i + 1 < s->size() && s->Kind(i + 1) == TokenKind::kString) {
      s->Edit(i).drop = true;
      continue;
    }
    if (!IsFunctionName(*s, i)) continue;
    const size_t open = s->NextSig(i);
    const size_t prev = s->PrevSig(i);
    if (!s->IsPunct(open, '(') || (prev != kNone && s->IsPunct(prev, '.'))) continue;
    RewriteCall(s, i, open, engine);
  }
}

}  // namespace q6::dialect
