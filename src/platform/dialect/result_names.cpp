// Names as written: the result columns of the outermost select on
// PostgreSQL (which folds unquoted names to lower case), and names that are
// keywords of one engine only.
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

bool HasUpper(std::string_view t) {
  for (char c : t) {
    if (c >= 'A' && c <= 'Z') return true;
  }
  return false;
}

// The outermost SELECT that names the result: the first one at depth 0 of
// a statement that returns rows (a WITH's main select included).
size_t ResultSelect(const EditableSql& s) {
  const size_t first = s.NextSig(kNone);
  if (first == kNone || !(s.IsWord(first, "select") || s.IsWord(first, "with"))) return kNone;
  for (size_t i = s.FirstWord("select"); i != kNone; i = s.NextWord(i)) {
    if (s.Depth(i) == 0) return i;
  }
  return kNone;
}

// The text of tokens [first, last] as written, blanks and comments between
// them one blank, cut to the 63 bytes PostgreSQL keeps of a name (at a
// character's start, on both engines alike).
std::string WrittenText(const EditableSql& s, size_t first, size_t last) {
  std::string text;
  for (size_t k = first; k <= last; ++k) {
    if (s.IsBlank(k)) {
      if (!text.empty() && text.back() != ' ') text += ' ';
      continue;
    }
    text += s.Text(k);
  }
  constexpr size_t kMaxName = 63;
  if (text.size() > kMaxName) {
    size_t cut = kMaxName;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return text;
}

// Whether `item` of a result list has no name of its own: no alias (AS x,
// a name behind it, or one a rule wrote), and it is no column, no `*` and
// no variable assignment.
bool Unnamed(EditableSql* s, const Operands& ops, const SelectItem& item) {
  if (item.alias != kNone || s->IsPunct(item.last, '*') || s->Dropped(item.first) ||
      s->Text(item.first).starts_with("@") || IsColumnTerm(*s, ops, item.first, item.last))
    return false;
  // The refusal the dialect writes in place of a statement stays as it is.
  const size_t call =
      s->IsWord(item.first, "q6tsql") ? s->NextSig(s->NextSig(item.first)) : item.first;
  if (s->IsWord(call, "tsql_unsupported")) return false;
  const TokenEdit& e = s->Edit(item.last);
  return e.after.find(" AS ") == std::string::npos &&
         !(e.replace && e.replacement.starts_with("AS "));
}

// Items named by an unquoted name get that name quoted: a column (whose
// name both engines would give as the table declares it), and on PostgreSQL
// an alias (which it would fold to lower case). The names given, for ORDER BY.
void NameItems(EditableSql* s, const Operands& ops, size_t select, bool postgres,
               std::vector<size_t>* named) {
  static constexpr WordSet kEnds{"from",  "where", "group",     "having", "order",
                                 "union", "into",  "intersect", "except", "option"};
  size_t first = s->NextSig(select);
  if (s->IsWord(first, "distinct") || s->IsWord(first, "all")) first = s->NextSig(first);
  if (s->IsWord(first, "top")) {
    first = s->NextSig(first);
    if (s->IsPunct(first, '(')) first = s->Match(first);
    first = s->NextSig(first);
    if (s->IsWord(first, "percent")) first = s->NextSig(first);
    if (s->IsWord(first, "with")) first = s->NextSig(s->NextSig(first));
  }
  for (size_t j = first; j != kNone; j = s->NextSig(j)) {
    if (s->IsPunct(j, '(')) {
      j = s->Match(j);
      if (s->NextSig(j) != kNone) continue;
    }
    const size_t next = s->NextSig(j);
    const bool end = next == kNone || s->Depth(next) > 0 || s->IsPunct(next, ',') ||
                     s->IsPunct(next, ';') || s->IsWordIn(next, kEnds);
    if (!end) continue;
    // The item [first, j].
    const size_t prev = s->PrevSig(j);
    if (s->Kind(j) == TokenKind::kWord && (!ops.IsKeyword(j) || s->IsWord(prev, "as")) &&
        HasUpper(s->Text(j)) && !s->Dropped(j) && (postgres || !s->IsWord(prev, "as"))) {
      const TokenKind pk = s->Kind(prev);
      const bool unit_before =
          s->IsPunct(prev, ')') || pk == TokenKind::kNumber || pk == TokenKind::kString ||
          pk == TokenKind::kQuoted || pk == TokenKind::kBracket ||
          (pk == TokenKind::kWord && (!ops.IsKeyword(prev) || s->IsWord(prev, "end")));
      if (j != first && (s->IsWord(prev, "as") || unit_before)) {  // an alias
        if (postgres && !s->Edit(j).replace) {
          Replace(s, j, QuotedIdentifier(s->Text(j)));
          named->push_back(j);
        }
      } else if ((j == first || s->IsPunct(prev, '.')) && s->Edit(j).after.empty() &&
                 !s->Edit(j).replace) {
        s->Edit(j).after += " AS " + QuotedIdentifier(s->Text(j));
        named->push_back(j);
      }
    } else if (postgres && j != first && s->IsWord(prev, "as") &&
               (s->Kind(j) == TokenKind::kBracket || s->Kind(j) == TokenKind::kQuoted)) {
      std::string name;  // AS [Name], AS "Name": quoted as written already
      AppendUnquoted(s->Text(j), &name);
      if (HasUpper(name)) named->push_back(j);
    } else if (s->Kind(j) == TokenKind::kBracket &&
               (j == first || s->IsPunct(s->PrevSig(j), '.')) && s->Edit(j).after.empty()) {
      std::string name;
      AppendUnquoted(s->Text(j), &name);
      if (HasUpper(name)) {
        s->Edit(j).after += " AS " + QuotedIdentifier(name);
        named->push_back(j);
      }
    }
    if (next == kNone || !s->IsPunct(next, ',')) return;
    first = s->NextSig(next);
    j = next;
  }
}

}  // namespace

std::string WrittenName(const EditableSql& s, size_t first, size_t last) {
  return QuotedIdentifier(WrittenText(s, first, last));
}

void QuoteOrderTerms(EditableSql* s, const std::vector<size_t>& named) {
  for (size_t by = s->FirstWord("by"); by != kNone; by = s->NextWord(by)) {
    if (s->Depth(by) != 0 || !s->IsWord(s->PrevSig(by), "order")) continue;
    for (size_t j = s->NextSig(by); j != kNone && s->Depth(j) == 0; j = s->NextSig(j)) {
      // (Not a column inside a call an order rule wrote: a name there is
      // the table's column.)
      // (A bracketed term too: PostgreSQL would take it in lower case.)
      const TokenKind kind = s->Kind(j);
      if ((kind != TokenKind::kWord && kind != TokenKind::kBracket) ||
          s->IsPunct(s->PrevSig(j), '.') || s->IsPunct(s->NextSig(j), '.') ||
          s->IsPunct(s->NextSig(j), '(') || s->HasTextBefore(j))
        continue;
      std::string term;
      if (kind == TokenKind::kBracket)
        AppendUnquoted(s->Text(j), &term);
      else
        term = s->Text(j);
      for (size_t n : named) {
        std::string name;
        if (s->Kind(n) == TokenKind::kBracket || s->Kind(n) == TokenKind::kQuoted)
          AppendUnquoted(s->Text(n), &name);
        else
          name = s->Text(n);
        const std::string_view t = term;
        bool same = t.size() == name.size();
        for (size_t k = 0; same && k < t.size(); ++k) same = (t[k] | 0x20) == (name[k] | 0x20);
        if (same) {
          Replace(s, j, QuotedIdentifier(name));
          break;
        }
      }
    }
  }
}

namespace {

// Words that are names in T-SQL but keywords of an engine.
// (Not LEADING, TRAILING, BOTH, ONLY or LATERAL: PostgreSQL's own syntax
// puts them where names stand, as in trim(leading 'x' from s).)
constexpr WordSet kPostgresKeywords{"limit",      "offset",    "analyse",   "analyze",
                                    "asymmetric", "do",        "initially", "placing",
                                    "returning",  "symmetric", "variadic",  "window"};
constexpr WordSet kSqliteKeywords{"limit", "raise", "isnull", "notnull", "returning", "nothing"};

// Whether the word at i stands where a name does: after SELECT, a comma, a
// dot, an opening parenthesis, BY, SET, WHERE, AND, OR, ON; or before a
// comma, a closing parenthesis, a comparison, a dot, FROM or AS.
bool NamePosition(const EditableSql& s, const Operands& ops, size_t i) {
  if (s.IsPunct(s.NextSig(i), '(')) return false;
  static constexpr WordSet kBefore{"select", "by",   "set",  "where", "and",     "or",
                                   "on",     "when", "then", "else",  "distinct"};
  static constexpr WordSet kAfter{"from", "as"};
  const size_t prev = s.PrevSig(i);
  const size_t next = s.NextSig(i);
  if (prev != kNone && (s.IsWordIn(prev, kBefore) || s.IsPunct(prev, ',') || s.IsPunct(prev, '.') ||
                        s.IsPunct(prev, '(')))
    return true;
  (void)ops;
  return next == kNone || s.IsWordIn(next, kAfter) || s.IsPunct(next, ',') ||
         s.IsPunct(next, ')') || s.IsPunct(next, '=') || s.IsPunct(next, '<') ||
         s.IsPunct(next, '>') || s.IsPunct(next, '.') || s.IsPunct(next, ';');
}

void QuoteKeywordNames(EditableSql* s, const Operands& ops, Engine engine) {
  const WordSet& words = engine == Engine::PostgreSQL ? kPostgresKeywords : kSqliteKeywords;
  for (size_t i = s->NextSig(kNone); i != kNone; i = s->NextSig(i)) {
    if (!s->IsWordIn(i, words) || s->Edit(i).drop || s->Edit(i).replace ||
        !NamePosition(*s, ops, i))
      continue;
    std::string name;
    if (engine == Engine::PostgreSQL)
      AppendAsciiLower(s->Text(i), &name);
    else
      name = s->Text(i);
    Replace(s, i, QuotedIdentifier(name));
  }
}

}  // namespace

void RewriteResultNames(EditableSql* s, Engine engine) {
  thread_local Operands ops;
  bool reset = false;
  if (s->HasWord("select")) {
    const size_t select = ResultSelect(*s);
    if (select != kNone) {
      ops.Reset(*s);
      reset = true;
      thread_local std::vector<size_t> named;
      named.clear();
      NameItems(s, ops, select, engine == Engine::PostgreSQL, &named);
      // An expression without a name is named by its text as written, on
      // both engines alike: SQLite names it so itself unless a rule changed
      // it (it would show the translation), PostgreSQL by the function's
      // name or ?column?.
      thread_local std::vector<SelectItem> items;
      ListItems(*s, ops, select, &items);
      for (const SelectItem& item : items) {
        if (!Unnamed(s, ops, item)) continue;
        bool changed = engine == Engine::PostgreSQL;
        for (size_t k = item.first; !changed && k <= item.last; ++k) changed = s->Changed(k);
        if (changed) s->Edit(item.last).after += " AS " + WrittenName(*s, item.first, item.last);
      }
      if (!named.empty() && s->HasWord("order")) QuoteOrderTerms(s, named);
    }
  }
  const WordSet& words = engine == Engine::PostgreSQL ? kPostgresKeywords : kSqliteKeywords;
  if (!s->HasAnyWord(words)) return;
  if (!reset) ops.Reset(*s);
  QuoteKeywordNames(s, ops, engine);
}

}  // namespace q6::dialect
