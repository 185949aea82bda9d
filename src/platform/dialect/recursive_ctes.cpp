// Common table expressions: WITH RECURSIVE where a CTE refers to itself
// (PostgreSQL needs the word; SQLite takes it), and SQL Server's limit on
// recursion, which neither engine has.
//
// A recursive CTE counts its levels in a column of its own; the CTE under
// its name gives the other columns only:
//   WITH n (i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5) ...
// becomes
//   WITH RECURSIVE q6_n (i, q6_level) AS (SELECT 1, 0 UNION ALL
//     SELECT i + 1, tsql_recursion(q6_level + 1, 100) FROM q6_n WHERE i < 5),
//   n (i) AS (SELECT i FROM q6_n) ...
// tsql_recursion raises error 530 on a row past the limit: 100, or the n of
// OPTION (MAXRECURSION n), 0 for none. The OPTION clause goes.
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

constexpr int kDefaultLimit = 100;

// The limit of OPTION (MAXRECURSION n) at depth 0, dropping the clause;
// kDefaultLimit when there is none, -1 when it cannot be read (the clause
// then stays, for the engine to refuse).
long TakeOption(EditableSql* s) {
  long limit = kDefaultLimit;
  for (size_t i = s->FirstWord("option"); i != kNone; i = s->NextWord(i)) {
    const size_t open = s->NextSig(i);
    if (s->Depth(i) != 0 || !s->IsPunct(open, '(')) continue;
    const size_t close = s->Match(open);
    for (size_t j = open; j <= close; j = s->NextSig(j)) {
      if (!s->IsWord(j, "maxrecursion")) continue;
      const size_t n = s->NextSig(j);
      // 0 to 32767, as SQL Server takes it; anything else is not read.
      const std::string_view t = s->Kind(n) == TokenKind::kNumber ? s->Text(n) : "";
      if (t.empty() || t.size() > 5) return -1;
      limit = 0;
      for (char ch : t) {
        if (ch < '0' || ch > '9') return -1;
        limit = limit * 10 + (ch - '0');
      }
    }
    EraseRange(s, i, close);
  }
  return limit;
}

struct Cte {
  size_t name = kNone;
  size_t columns = kNone;  // the ( of its column list, or kNone
  size_t body = kNone;     // the ( of its body
};

// The select-list item ends of the member whose SELECT is at `select`: the
// last token of each item.
std::vector<size_t> ItemEnds(const EditableSql& s, size_t select) {
  static constexpr WordSet kEnds{"from",  "where", "group",     "having", "order",
                                 "union", "into",  "intersect", "except", "option"};
  std::vector<size_t> ends;
  const int depth = s.Depth(select);
  size_t j = s.NextSig(select);
  for (; j != kNone && s.Depth(j) >= depth; j = s.NextSig(j)) {
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (s.Depth(j) != depth) continue;
    if (s.IsPunct(j, ',')) ends.push_back(s.PrevSig(j));
    if (s.IsWordIn(j, kEnds) || s.IsPunct(j, ';')) break;
  }
  ends.push_back(j == kNone ? s.PrevSig(s.size()) : s.PrevSig(j));
  return ends;
}

// The name the item ending at `last` gives its column, as the engine is to
// read it; empty when it has none that can be told.
std::string ItemName(const EditableSql& s, const Operands& ops, size_t last) {
  const size_t prev = s.PrevSig(last);
  const TokenKind k = s.Kind(last);
  const bool name = (k == TokenKind::kWord && !ops.IsKeyword(last)) || k == TokenKind::kQuoted ||
                    k == TokenKind::kBracket || (k == TokenKind::kString && s.Dropped(last));
  std::string out = Rendered(s, last, last);
  const size_t as = out.rfind(" AS \"");
  if (as != std::string::npos) return out.substr(as + 4);  // alias = expr, 'alias'
  if (!name) return {};
  if (s.IsWord(prev, "as") || s.IsPunct(prev, '.') || s.IsWord(prev, "select") ||
      s.IsPunct(prev, ',') || s.IsPunct(prev, ')') || s.Kind(prev) != TokenKind::kPunct)
    return out;
  return {};
}

// Counts the levels of the recursive CTE `c`.
bool LimitRecursion(EditableSql* s, const Operands& ops, const Cte& c, long limit) {
  const size_t close = s->Match(c.body);
  const int depth = s->Depth(c.body) + 1;
  std::vector<size_t> anchors, recursive;
  for (size_t j = s->NextSig(c.body); j != kNone && j < close; j = s->NextSig(j)) {
    if (s->Depth(j) == depth && s->IsWord(j, "select")) {
      size_t end = j;
      while (end != kNone && end < close &&
             !(s->Depth(end) == depth && end != j &&
               (s->IsWord(end, "union") || s->IsWord(end, "select"))))
        end = s->NextSig(end);
      bool refers = false;
      for (size_t k = j; k < end; k = s->NextSig(k)) refers = refers || SameName(*s, k, c.name);
      (refers ? recursive : anchors).push_back(j);
    }
  }
  if (anchors.empty() || recursive.empty()) return false;
  std::string names;
  if (c.columns != kNone) {
    names = Rendered(*s, c.columns + 1, s->Match(c.columns) - 1);
  } else {
    for (size_t end : ItemEnds(*s, anchors[0])) {
      const std::string n = ItemName(*s, ops, end);
      if (n.empty()) return false;
      names += (names.empty() ? "" : ", ") + n;
    }
  }
  const std::string name = Rendered(*s, c.name, c.name);
  std::string inner = "q6_";
  for (char ch : name) {
    if (ch != '"' && ch != '[' && ch != ']' && ch != '`') inner += ch;
  }
  // References in the recursive members, and the definition, take the inner name.
  for (size_t m : recursive) {
    for (size_t k = m; k < close; k = s->NextSig(k)) {
      if (SameName(*s, k, c.name) && !s->IsPunct(s->PrevSig(k), '.')) Replace(s, k, inner);
    }
  }
  Replace(s, c.name, inner);
  if (c.columns != kNone)
    s->Edit(s->Match(c.columns)).before += ", q6_level";
  else
    s->Edit(c.name).after += " (" + names + ", q6_level)";
  for (size_t m : anchors) s->Edit(ItemEnds(*s, m).back()).after += ", CAST(0 AS bigint)";
  const std::string level = ", tsql_recursion(q6_level + 1, " + std::to_string(limit) + ")";
  for (size_t m : recursive) s->Edit(ItemEnds(*s, m).back()).after += level;
  s->Edit(close).after +=
      ", " + name + " (" + names + ") AS (SELECT " + names + " FROM " + inner + ")";
  return true;
}

}  // namespace

void RewriteCommonTableExpressions(EditableSql* s, Engine) {
  if (!s->HasWord("with") && !s->HasWord("option")) return;
  long limit = kDefaultLimit;
  if (s->HasWord("option")) limit = TakeOption(s);
  // ";WITH ..." as T-SQL writes it after another statement: no empty
  // statement ahead of it.
  const size_t first = s->NextSig(kNone);
  if (s->IsPunct(first, ';') && s->IsWord(s->NextSig(first), "with")) s->Edit(first).drop = true;
  thread_local Operands ops;
  bool reset = false;
  for (size_t w = s->FirstWord("with"); w != kNone; w = s->NextWord(w)) {
    if (s->Dropped(w)) continue;  // a table hint
    size_t j = s->NextSig(w);
    const bool said = s->IsWord(j, "recursive");
    if (said) j = s->NextSig(j);
    std::vector<Cte> ctes;
    while (j != kNone) {
      Cte c;
      c.name = j;
      const TokenKind k = s->Kind(j);
      if (k != TokenKind::kWord && k != TokenKind::kQuoted && k != TokenKind::kBracket) break;
      j = s->NextSig(j);
      if (s->IsPunct(j, '(')) {
        c.columns = j;
        j = s->NextSig(s->Match(j));
      }
      if (!s->IsWord(j, "as")) break;
      j = s->NextSig(j);
      if (!s->IsPunct(j, '(')) break;
      c.body = j;
      ctes.push_back(c);
      j = s->NextSig(s->Match(j));
      if (!s->IsPunct(j, ',')) break;
      j = s->NextSig(j);
    }
    bool any = false;
    for (const Cte& c : ctes) {
      bool refers = false;
      for (size_t k = c.body; k < s->Match(c.body) && !refers; ++k)
        refers = SameName(*s, k, c.name);
      if (!refers) continue;
      any = true;
      if (limit < 0) continue;
      if (!reset) {
        ops.Reset(*s);
        reset = true;
      }
      LimitRecursion(s, ops, c, limit);
    }
    if (any && !said) s->Edit(w).after += " RECURSIVE";
  }
}

}  // namespace q6::dialect
