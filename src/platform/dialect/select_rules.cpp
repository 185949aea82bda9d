// TOP n to LIMIT n, and table hints removed or turned into FOR UPDATE.
//
// A select's extent is found on the token list: from its SELECT keyword to
// the token before whatever ends it at the same parenthesis depth (the
// closing parenthesis of a nested select, a semicolon, a set operator, or
// the end of the text). Parenthesized groups inside are skipped whole, so a
// subquery's ORDER BY never counts as the outer one's.
#include "platform/dialect/select_rules.h"

#include <string>
#include <string_view>
#include <vector>

namespace q6::dialect {
namespace {

struct SelectExtent {
  size_t start = kNone;   // the SELECT keyword
  size_t last = kNone;    // its last significant token
  bool compound = false;  // a member of UNION / EXCEPT / INTERSECT
  std::string tail;       // " LIMIT n" to append, when TOP was taken out
  bool update_lock = false;
};

bool IsSetOperator(const EditableSql& s, size_t i) {
  static constexpr WordSet kSetOperators{"union", "except", "intersect"};
  return s.IsWordIn(i, kSetOperators);
}

bool IsWholeNumber(std::string_view t) {
  for (char c : t) {
    if (c < '0' || c > '9') return false;
  }
  return !t.empty();
}

SelectExtent ExtentOf(const EditableSql& s, size_t start) {
  SelectExtent sel;
  sel.start = start;
  const int depth = s.Depth(start);
  size_t stop = s.size();
  for (size_t j = start + 1; j < s.size(); ++j) {
    if (s.Depth(j) < depth) {
      stop = j;
      break;
    }
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsPunct(j, ';')) {
      stop = j;
      break;
    }
    if (IsSetOperator(s, j)) {
      sel.compound = true;
      stop = j;
      break;
    }
  }
  sel.last = s.PrevSig(stop);
  size_t before = s.PrevSig(start);
  if (before != kNone && s.IsWord(before, "all")) before = s.PrevSig(before);
  if (before != kNone && IsSetOperator(s, before)) sel.compound = true;
  return sel;
}

void TakeTop(EditableSql* s, SelectExtent* sel) {
  size_t top = s->NextSig(sel->start);
  if (s->IsWord(top, "distinct") || s->IsWord(top, "all")) top = s->NextSig(top);
  if (top == kNone || !s->IsWord(top, "top")) return;
  const size_t arg = s->NextSig(top);
  if (arg == kNone) return;
  size_t last;
  std::string_view count;
  if (s->Kind(arg) == TokenKind::kNumber && IsWholeNumber(s->Text(arg))) {
    count = s->Text(arg);
    last = arg;
  } else if (s->IsPunct(arg, '(')) {
    const size_t inner = s->NextSig(arg);
    if (s->Kind(inner) != TokenKind::kNumber || !IsWholeNumber(s->Text(inner)) ||
        s->NextSig(inner) != s->Match(arg)) {
      return;
    }
    count = s->Text(inner);
    last = s->Match(arg);
  } else {
    return;
  }
  const size_t next = s->NextSig(last);
  if (next != kNone && (s->IsWord(next, "percent") ||
                        (s->IsWord(next, "with") && s->IsWord(s->NextSig(next), "ties")))) {
    return;
  }
  if (sel->compound) return;
  for (size_t j = top; j <= last; ++j) s->Edit(j).drop = true;
  // "select top 1 *" becomes "select *": one of the two blanks goes too.
  if (top > 0 && s->Kind(top - 1) == TokenKind::kSpace && last + 1 < s->size() &&
      s->Kind(last + 1) == TokenKind::kSpace) {
    s->Edit(last + 1).drop = true;
  }
  sel->tail = " LIMIT ";
  sel->tail += count;
}

// clang-format off
constexpr WordSet kHints{
    "nolock", "updlock", "rowlock", "holdlock", "readpast", "readcommitted",
    "readcommittedlock", "readuncommitted", "repeatableread", "serializable", "tablock",
    "tablockx", "paglock", "xlock", "nowait", "noexpand", "forceseek", "forcescan",
    "keepidentity", "keepdefaults", "ignore_constraints", "ignore_triggers", "snapshot"};
// clang-format on

bool IsHint(const EditableSql& s, size_t i) { return s.IsWordIn(i, kHints); }

// The closing parenthesis of a table hint whose WITH is at `w`, or kNone
// when what follows WITH is not a list of hint keywords.
size_t HintEnd(const EditableSql& s, size_t w, bool* update_lock) {
  const size_t open = s.NextSig(w);
  if (!s.IsPunct(open, '(')) return kNone;
  const size_t close = s.Match(open);
  bool want_word = true;
  bool locks = false;
  for (size_t j = s.NextSig(open); j != close; j = s.NextSig(j)) {
    if (want_word) {
      if (!IsHint(s, j)) return kNone;
      locks = locks || s.IsWord(j, "updlock") || s.IsWord(j, "xlock");
    } else if (!s.IsPunct(j, ',')) {
      return kNone;
    }
    want_word = !want_word;
  }
  if (want_word) return kNone;  // empty, or ends with a comma
  *update_lock = locks;
  return close;
}

void DropHint(EditableSql* s, size_t w, size_t close) {
  for (size_t j = w; j <= close; ++j) s->Edit(j).drop = true;
  const bool space_before = w > 0 && s->Kind(w - 1) == TokenKind::kSpace;
  const size_t next = close + 1;
  const bool at_edge = next >= s->size() || s->Kind(next) == TokenKind::kSpace ||
                       s->IsPunct(next, ')') || s->IsPunct(next, ';') || s->IsPunct(next, ',');
  if (space_before && at_edge) {
    s->Edit(w - 1).drop = true;
  } else if (!space_before && !at_edge && w > 0) {
    s->Edit(w).before = " ";  // "t with(nolock)where" must not glue t to where
  }
}

// Clauses after which a select takes no FOR UPDATE, and aggregates.
constexpr WordSet kNotLockable{"distinct", "group", "having", "join",    "apply",
                               "over",     "into",  "pivot",  "unpivot", "for"};
constexpr WordSet kAggregates{"count",      "count_big",    "sum",      "avg",        "min",
                              "max",        "stdev",        "stdevp",   "var",        "varp",
                              "string_agg", "checksum_agg", "grouping", "grouping_id"};

// Whether PostgreSQL takes FOR UPDATE at the end of this select.
bool Lockable(const EditableSql& s, const SelectExtent& sel) {
  if (sel.compound || s.Depth(sel.start) != 0 || sel.last == kNone) return false;
  size_t from = kNone;
  for (size_t j = sel.start + 1; j <= sel.last; ++j) {
    if (s.Kind(j) != TokenKind::kWord) continue;
    if (s.IsWordIn(j, kNotLockable)) return false;
    if (s.IsWordIn(j, kAggregates) && s.IsPunct(s.NextSig(j), '(')) {
      return false;
    }
    if (from == kNone && s.Depth(j) == 0 && s.IsWord(j, "from")) from = j;
  }
  if (from == kNone) return false;
  // The FROM clause must name a single table: a possibly qualified name and
  // an alias, nothing else (no comma, no derived table).
  bool named = false;
  for (size_t j = s.NextSig(from); j != kNone && j <= sel.last; j = s.NextSig(j)) {
    if (s.Dropped(j)) continue;
    if (s.IsWord(j, "where") || s.IsWord(j, "order") || s.IsWord(j, "option")) break;
    const TokenKind k = s.Kind(j);
    if (k == TokenKind::kWord || k == TokenKind::kQuoted || k == TokenKind::kBracket) {
      named = true;
    } else if (!s.IsPunct(j, '.')) {
      return false;
    }
  }
  return named;
}

SelectExtent* OwnerOf(std::vector<SelectExtent>* selects, const EditableSql& s, size_t i) {
  SelectExtent* owner = nullptr;
  for (SelectExtent& sel : *selects) {
    if (sel.start < i && sel.last != kNone && i <= sel.last && s.Depth(sel.start) == s.Depth(i)) {
      owner = &sel;
    }
  }
  return owner;
}

}  // namespace

void RewriteSelects(EditableSql* s, Engine engine) {
  if (!s->HasWord("select") && !s->HasWord("with")) return;
  std::vector<SelectExtent> selects;
  for (size_t i = s->FirstWord("select"); i != kNone; i = s->NextWord(i))
    selects.push_back(ExtentOf(*s, i));
  for (SelectExtent& sel : selects) TakeTop(s, &sel);
  size_t hint_end = 0;  // a WITH before it is inside the hint taken last
  for (size_t i = s->FirstWord("with"); i != kNone; i = s->NextWord(i)) {
    if (i < hint_end) continue;
    bool update_lock = false;
    const size_t close = HintEnd(*s, i, &update_lock);
    if (close == kNone) continue;
    DropHint(s, i, close);
    if (update_lock && engine == Engine::PostgreSQL) {
      if (SelectExtent* owner = OwnerOf(&selects, *s, i)) owner->update_lock = true;
    }
    hint_end = close + 1;
  }
  for (SelectExtent& sel : selects) {
    if (sel.update_lock && Lockable(*s, sel)) sel.tail += " FOR UPDATE";
    if (!sel.tail.empty() && sel.last != kNone) s->Edit(sel.last).tail += sel.tail;
  }
}

}  // namespace q6::dialect
