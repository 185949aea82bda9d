// SQLite: GROUP BY ROLLUP (..), CUBE (..), GROUPING SETS (..) and
// GROUP BY .. WITH ROLLUP | WITH CUBE, which it has no syntax for, as a
// UNION ALL of one grouped select per grouping set:
//   SELECT TOP (n) dept, sum(sal) AS s, GROUPING(dept) AS g FROM emp
//   GROUP BY ROLLUP (dept) HAVING .. ORDER BY g, dept
//   -> SELECT TOP (n) * FROM (
//        SELECT dept AS dept, sum(sal) AS s, 0 AS g FROM emp GROUP BY dept HAVING ..
//        UNION ALL
//        SELECT NULL AS dept, sum(sal) AS s, 1 AS g FROM emp HAVING ..
//      ) AS q6_grp ORDER BY g COLLATE NOCASE, dept COLLATE NOCASE
// In each member a grouping column outside the set reads NULL outside the
// aggregates' arguments, and GROUPING(c) / GROUPING_ID(c, ..) are the
// constants of the set, in the select list and in HAVING. A plain column
// item gets its own name as alias, and an expression its text as written,
// so the results keep their names whichever member comes first. The
// member of the empty set is made an aggregate query (its first item as
// CASE WHEN count(*) >= 0 THEN item END) when its list has no aggregate,
// so that it gives its one row. The ORDER BY of the statement orders the
// union by the names of the items its terms stand for, under the case- and
// trailing-blank-insensitive default. The text is T-SQL again, translated
// by every other rule after; the FROM clause is written once per set, so
// the caller treats the whole text as read.
// Left to the refusal: DISTINCT, TOP .. PERCENT or WITH TIES, a `*` item, a
// subquery in the select list or HAVING (its names cannot be told from the
// grouped columns), a window function (OVER would see one set's rows), an
// ORDER BY term that stands for no item, GROUPING() of a column that is
// not grouped, and more than 64 sets or 63 columns.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {
namespace {

constexpr size_t kMaxSets = 64;
constexpr size_t kMaxColumns = 63;

using Mask = uint64_t;

// Tokens [first, last] (significant at both ends).
struct Span {
  size_t first = kNone, last = kNone;
};

constexpr WordSet kAggregates{"count", "sum",    "avg", "min",  "max",        "count_big",
                              "stdev", "stdevp", "var", "varp", "string_agg", "checksum_agg"};
constexpr WordSet kSetWords{"union", "except", "intersect", "all"};

// The statement's select with GROUP BY grouping sets, taken apart.
class GroupedSelect {
 public:
  GroupedSelect(EditableSql* s, const Operands& ops) : s_(*s), edit_(s), ops_(ops) {}

  // Rewrites the select at `select` whose GROUP BY is at `group`; false
  // (nothing edited) when it is left to the refusal.
  bool Rewrite(size_t select, size_t group);

 private:
  bool ReadClauses(size_t select, size_t group);
  bool ReadGroupBy();
  // The sets of the grouping element [first, last] (a column, (), ROLLUP,
  // CUBE, GROUPING SETS), appended to `out`.
  bool ElementSets(size_t first, size_t last, bool nested, std::vector<Mask>* out);
  // The units of ROLLUP / CUBE (..): a column, or a parenthesized list.
  bool Units(size_t open, std::vector<Mask>* units);
  bool ColumnsOf(size_t first, size_t last, Mask* mask);
  size_t ColumnIndex(Span expr);
  // The column whose occurrence starts at i, with its last token; kNone.
  size_t ColumnAt(size_t i, size_t end, size_t* last) const;
  // Tokens [first, last] as this set's member writes them.
  bool Write(size_t first, size_t last, Mask set, std::string* out) const;
  bool Grouping(size_t call, Mask set, std::string* out) const;
  bool Order(std::string* out) const;
  // The name item k comes back under: its alias, its column's name, or its
  // text as written.
  std::string NameOf(size_t k) const;

  const EditableSql& s_;
  EditableSql* edit_;
  const Operands& ops_;
  int depth_ = 0;
  size_t select_ = kNone, end_ = kNone;
  Span top_, from_, by_, having_, order_;
  std::vector<SelectItem> items_;
  std::vector<Span> columns_;
  std::vector<Mask> sets_;
};

bool GroupedSelect::ReadClauses(size_t select, size_t group) {
  select_ = select;
  depth_ = s_.Depth(select);
  size_t first = s_.NextSig(select);
  if (s_.IsWord(first, "distinct")) return false;
  if (s_.IsWord(first, "all")) first = s_.NextSig(first);
  if (s_.IsWord(first, "top")) {
    size_t n = s_.NextSig(first);
    if (s_.IsPunct(n, '(')) n = s_.Match(n);
    const size_t next = s_.NextSig(n);
    if (s_.IsWord(next, "percent") || s_.IsWord(next, "with")) return false;
    top_ = {first, n};
  }
  ListItems(s_, ops_, select, &items_);
  if (items_.empty()) return false;
  for (const SelectItem& item : items_)
    if (s_.IsPunct(item.last, '*')) return false;
  const bool last_member = s_.IsWordIn(s_.PrevSig(select), kSetWords);
  size_t* clause_end = nullptr;
  for (size_t j = s_.NextSig(select); j != kNone; j = s_.NextSig(j)) {
    if (s_.Depth(j) < depth_ || s_.IsPunct(j, ';')) break;
    if (s_.IsWordIn(j, kSetWords) && !s_.IsWord(j, "all")) break;
    if (s_.IsWord(j, "option") || s_.IsWord(j, "for") || s_.IsWord(j, "offset")) break;
    if (s_.IsWord(j, "order") && s_.IsWord(s_.NextSig(j), "by") && last_member) break;
    if (s_.IsWord(j, "from") && from_.first == kNone) {
      from_.first = j;
      clause_end = &from_.last;
    } else if (j == group) {
      by_.first = s_.NextSig(s_.NextSig(j));
      clause_end = &by_.last;
      j = s_.NextSig(j);
    } else if (s_.IsWord(j, "having") && j > group) {
      having_.first = s_.NextSig(j);
      clause_end = &having_.last;
    } else if (s_.IsWord(j, "order") && s_.IsWord(s_.NextSig(j), "by") && j > group) {
      order_.first = s_.NextSig(s_.NextSig(j));
      clause_end = &order_.last;
      j = s_.NextSig(j);
    } else {
      if (s_.IsPunct(j, '(')) j = s_.Match(j);
      if (clause_end != nullptr) *clause_end = j;
    }
    end_ = j;
  }
  return from_.last != kNone && by_.last != kNone && from_.last < group &&
         (having_.first == kNone || having_.last != kNone) &&
         (order_.first == kNone || order_.last != kNone);
}

size_t GroupedSelect::ColumnIndex(Span expr) {
  for (size_t k = 0; k < columns_.size(); ++k)
    if (SameTokens(s_, columns_[k].first, columns_[k].last, expr.first, expr.last)) return k;
  columns_.push_back(expr);
  return columns_.size() - 1;
}

bool GroupedSelect::ColumnsOf(size_t first, size_t last, Mask* mask) {
  // A list a, b (inside its parentheses), or one expression.
  size_t start = first;
  if (first == kNone || last == kNone || first > last) return false;
  for (size_t j = first;; j = s_.NextSig(j)) {
    if (j == kNone || j > last) return false;
    if (s_.IsPunct(j, '(')) j = s_.Match(j);
    const size_t next = j == last ? kNone : s_.NextSig(j);
    if (next != kNone && !s_.IsPunct(next, ',')) continue;
    if (s_.IsWord(start, "rollup") || s_.IsWord(start, "cube") || s_.IsWord(start, "grouping"))
      return false;
    const size_t k = ColumnIndex({start, j});
    if (k >= kMaxColumns) return false;
    *mask |= Mask{1} << k;
    if (next == kNone) return true;
    start = s_.NextSig(next);
    j = next;
  }
}

bool GroupedSelect::Units(size_t open, std::vector<Mask>* units) {
  const size_t close = s_.Match(open);
  if (s_.NextSig(open) == close) return false;
  size_t start = s_.NextSig(open);
  for (size_t j = start; j != close; j = s_.NextSig(j)) {
    if (s_.IsPunct(j, '(')) j = s_.Match(j);
    const size_t next = s_.NextSig(j);
    if (next != close && !s_.IsPunct(next, ',')) continue;
    Mask unit = 0;
    const bool list = s_.IsPunct(start, '(') && s_.Match(start) == j;
    if (list ? !ColumnsOf(s_.NextSig(start), s_.PrevSig(j), &unit) : !ColumnsOf(start, j, &unit))
      return false;
    units->push_back(unit);
    if (next == close) break;
    start = s_.NextSig(next);
    j = next;
  }
  return units->size() < kMaxColumns;
}

bool GroupedSelect::ElementSets(size_t first, size_t last, bool nested, std::vector<Mask>* out) {
  const size_t open = s_.NextSig(first);
  const bool rollup = s_.IsWord(first, "rollup"), cube = s_.IsWord(first, "cube");
  if ((rollup || cube) && s_.IsPunct(open, '(') && s_.Match(open) == last) {
    std::vector<Mask> units;
    if (!Units(open, &units)) return false;
    if (rollup) {
      for (size_t n = units.size() + 1; n-- > 0;) {
        Mask m = 0;
        for (size_t k = 0; k < n; ++k) m |= units[k];
        out->push_back(m);
      }
      return true;
    }
    if (units.size() > 6) return false;  // 2^n sets
    for (size_t pick = size_t{1} << units.size(); pick-- > 0;) {
      Mask m = 0;
      for (size_t k = 0; k < units.size(); ++k)
        if (pick >> (units.size() - 1 - k) & 1u) m |= units[k];
      out->push_back(m);
    }
    return true;
  }
  if (s_.IsWord(first, "grouping") && s_.IsWord(open, "sets")) {
    const size_t list = s_.NextSig(open);
    if (nested || !s_.IsPunct(list, '(') || s_.Match(list) != last || s_.NextSig(list) == last)
      return false;
    size_t start = s_.NextSig(list);
    for (size_t j = start; j != last; j = s_.NextSig(j)) {
      if (s_.IsPunct(j, '(')) j = s_.Match(j);
      const size_t next = s_.NextSig(j);
      if (next != last && !s_.IsPunct(next, ',')) continue;
      if (!ElementSets(start, j, true, out)) return false;
      if (next == last) break;
      start = s_.NextSig(next);
      j = next;
    }
    return true;
  }
  Mask m = 0;
  if (s_.IsPunct(first, '(') && s_.Match(first) == last) {
    // () is the empty set; (a, b) a set of its own inside GROUPING SETS.
    if (s_.NextSig(first) != last &&
        (!nested || !ColumnsOf(s_.NextSig(first), s_.PrevSig(last), &m)))
      return false;
  } else if (!ColumnsOf(first, last, &m)) {
    return false;
  }
  out->push_back(m);
  return true;
}

bool GroupedSelect::ReadGroupBy() {
  // Each element's sets; the statement's sets are their products.
  sets_.assign(1, 0);
  std::vector<Mask> element, product;
  size_t start = by_.first;
  size_t last = by_.last;
  std::vector<Mask> plain;  // the elements before WITH ROLLUP | CUBE
  if (s_.IsWord(by_.last, "rollup") || s_.IsWord(by_.last, "cube")) {
    const size_t w = s_.PrevSig(by_.last);
    if (!s_.IsWord(w, "with")) return false;
    last = s_.PrevSig(w);
  }
  if (last == kNone || start > last) return false;
  for (size_t j = start;; j = s_.NextSig(j)) {
    if (j == kNone || j > last) return false;
    if (s_.IsPunct(j, '(')) j = s_.Match(j);
    const size_t next = j == last ? kNone : s_.NextSig(j);
    if (next != kNone && !s_.IsPunct(next, ',')) {
      if (s_.IsWord(j, "grouping") && s_.IsWord(next, "sets")) j = next;
      continue;
    }
    element.clear();
    if (last != by_.last) {
      Mask m = 0;
      if (!ColumnsOf(start, j, &m)) return false;
      plain.push_back(m);
    } else {
      if (!ElementSets(start, j, false, &element)) return false;
      product.clear();
      for (Mask a : sets_)
        for (Mask b : element) product.push_back(a | b);
      sets_.swap(product);
      if (sets_.size() > kMaxSets) return false;
    }
    if (next == kNone) break;
    start = s_.NextSig(next);
    j = next;
  }
  if (last != by_.last) {  // WITH ROLLUP | WITH CUBE over the columns listed
    const bool cube = s_.IsWord(by_.last, "cube");
    sets_.clear();
    if (cube && plain.size() > 6) return false;
    const size_t n = plain.size();
    for (size_t pick = cube ? size_t{1} << n : n + 1; pick-- > 0;) {
      Mask m = 0;
      for (size_t k = 0; k < n; ++k)
        if (cube ? (pick >> (n - 1 - k) & 1u) : k < pick) m |= plain[k];
      sets_.push_back(m);
    }
  }
  return true;
}

size_t GroupedSelect::ColumnAt(size_t i, size_t end, size_t* last) const {
  // A plain column: q.name or name, matched by name and, when both are
  // qualified, by qualifier.
  const bool dotted = s_.IsPunct(s_.NextSig(i), '.') && s_.NextSig(s_.NextSig(i)) <= end;
  const size_t name = dotted ? s_.NextSig(s_.NextSig(i)) : i;
  const bool plain = IsColumnTerm(s_, ops_, i, name) && !s_.IsPunct(s_.PrevSig(i), '.') &&
                     !s_.IsPunct(s_.NextSig(name), '.') && !s_.IsPunct(s_.NextSig(name), '(');
  for (size_t k = 0; k < columns_.size(); ++k) {
    const Span c = columns_[k];
    const bool plain_column = IsColumnTerm(s_, ops_, c.first, c.last);
    if (plain_column != plain) continue;
    if (plain) {
      if (!SameName(s_, name, c.last)) continue;
      if (dotted && c.first != c.last && !SameName(s_, i, c.first)) continue;
      *last = name;
      return k;
    }
    size_t j = i;
    for (size_t t = c.first;; t = s_.NextSig(t), j = s_.NextSig(j)) {
      if (j == kNone || j > end || !SameTokens(s_, t, t, j, j)) break;
      if (t == c.last) {
        *last = j;
        return k;
      }
    }
  }
  return kNone;
}

bool GroupedSelect::Grouping(size_t call, Mask set, std::string* out) const {
  const size_t open = s_.NextSig(call), close = s_.Match(open);
  if (s_.NextSig(open) == close) return false;
  const bool id = !s_.IsWord(call, "grouping");
  uint64_t value = 0;
  size_t count = 0;
  for (size_t j = s_.NextSig(open); j != close;) {
    size_t last;
    const size_t k = ColumnAt(j, s_.PrevSig(close), &last);
    const size_t next = k == kNone ? kNone : s_.NextSig(last);
    if (k == kNone || (next != close && !s_.IsPunct(next, ','))) return false;
    value = value << 1 | ((set >> k & 1u) ? 0 : 1);
    if (++count > 1 && !id) return false;
    j = next == close ? close : s_.NextSig(next);
  }
  *out += std::to_string(value);
  return true;
}

bool GroupedSelect::Write(size_t first, size_t last, Mask set, std::string* out) const {
  for (size_t j = first; j <= last; ++j) {
    if (s_.IsBlank(j)) {
      s_.RenderRange(j, j + 1, out);
      continue;
    }
    // A window would number the rows of one set, not of the whole result.
    if (s_.IsWord(j, "select") || s_.IsWord(j, "over")) return false;
    if (s_.IsWordIn(j, kAggregates) && s_.IsPunct(s_.NextSig(j), '(')) {
      const size_t close = s_.Match(s_.NextSig(j));
      for (size_t t = j; t <= close; ++t)
        if (s_.IsWord(t, "select")) return false;
      s_.RenderRange(j, close + 1, out);
      j = close;
      continue;
    }
    if ((s_.IsWord(j, "grouping") || s_.IsWord(j, "grouping_id")) &&
        s_.IsPunct(s_.NextSig(j), '(')) {
      if (!Grouping(j, set, out)) return false;
      j = s_.Match(s_.NextSig(j));
      continue;
    }
    size_t end;
    const size_t k = ColumnAt(j, last, &end);
    if (k != kNone && !(set >> k & 1u)) {
      *out += "NULL";
      j = end;
      continue;
    }
    if (k != kNone) {
      s_.RenderRange(j, end + 1, out);
      j = end;
      continue;
    }
    s_.RenderRange(j, j + 1, out);
  }
  return true;
}

std::string GroupedSelect::NameOf(size_t k) const {
  const SelectItem& item = items_[k];
  if (item.alias != kNone) return std::string(s_.Text(item.alias));
  if (IsColumnTerm(s_, ops_, item.first, item.last)) return std::string(s_.Text(item.last));
  return WrittenName(s_, item.first, item.last);
}

bool GroupedSelect::Order(std::string* out) const {
  if (order_.first == kNone) return true;
  *out += " ORDER BY ";
  for (size_t start = order_.first; start != kNone;) {
    size_t end = ops_.EndAfter(s_.PrevSig(start), true);
    if (end == kNone || end > order_.last) return false;
    size_t k = items_.size();
    if (start == end && s_.Kind(start) == TokenKind::kNumber) {
      k = std::strtoul(std::string(s_.Text(start)).c_str(), nullptr, 10) - 1;
    } else {
      for (k = 0; k < items_.size(); ++k) {
        const SelectItem& item = items_[k];
        if (start == end && item.alias != kNone && SameName(s_, item.alias, start)) break;
        if (SameTokens(s_, start, end, item.first, item.last)) break;
        if (IsColumnTerm(s_, ops_, item.first, item.last) && IsColumnTerm(s_, ops_, start, end) &&
            SameName(s_, item.last, end) &&
            (start == end || item.first == item.last || SameName(s_, start, item.first)))
          break;
      }
    }
    if (k >= items_.size()) return false;
    // ('alias' names an item, but would be a string in ORDER BY.)
    const size_t alias = items_[k].alias;
    *out += alias != kNone && s_.Kind(alias) == TokenKind::kString ? std::to_string(k + 1)
                                                                   : NameOf(k) + " COLLATE NOCASE";
    size_t next = s_.NextSig(end);
    if (next != kNone && next <= order_.last &&
        (s_.IsWord(next, "asc") || s_.IsWord(next, "desc"))) {
      *out += ' ';
      *out += s_.Text(next);
      next = s_.NextSig(next);
    }
    if (next == kNone || next > order_.last) break;
    if (!s_.IsPunct(next, ',')) return false;
    *out += ", ";
    start = s_.NextSig(next);
  }
  return true;
}

bool GroupedSelect::Rewrite(size_t select, size_t group) {
  if (!ReadClauses(select, group) || !ReadGroupBy()) return false;
  std::string text = "SELECT ";
  if (top_.first != kNone) {
    s_.RenderRange(top_.first, top_.last + 1, &text);
    text += ' ';
  }
  text += "* FROM (";
  // The select of the empty set is an aggregate query only when something
  // in its list is an aggregate.
  bool aggregated = false;
  for (size_t j = items_.front().first; j <= items_.back().last && !aggregated; ++j)
    aggregated = s_.IsWordIn(j, kAggregates) && s_.IsPunct(s_.NextSig(j), '(');
  std::string member;
  for (size_t n = 0; n < sets_.size(); ++n) {
    const Mask set = sets_[n];
    member.clear();
    member += n == 0 ? "SELECT " : " UNION ALL SELECT ";
    for (size_t k = 0; k < items_.size(); ++k) {
      if (k > 0) member += ", ";
      const bool aggregate_made = k == 0 && set == 0 && !aggregated;
      if (aggregate_made) member += "CASE WHEN count(*) >= 0 THEN ";
      if (!Write(items_[k].first, items_[k].last, set, &member)) return false;
      if (aggregate_made) member += " END";
      member += " AS " + NameOf(k);
    }
    member += ' ';
    s_.RenderRange(from_.first, from_.last + 1, &member);
    std::string keys;
    for (size_t k = 0; k < columns_.size(); ++k) {
      if (!(set >> k & 1u)) continue;
      keys += keys.empty() ? " GROUP BY " : ", ";
      s_.RenderRange(columns_[k].first, columns_[k].last + 1, &keys);
    }
    member += keys;
    if (having_.first != kNone) {
      member += " HAVING ";
      if (!Write(having_.first, having_.last, set, &member)) return false;
    }
    text += member;
  }
  text += ") AS q6_grp";
  if (!Order(&text)) return false;
  for (size_t j = select; j <= end_; ++j) {
    TokenEdit& e = edit_->Edit(j);
    e = TokenEdit();
    e.drop = true;
  }
  edit_->Edit(select).before = std::move(text);
  return true;
}

bool SameTokenText(const EditableSql& s, size_t a, size_t b) {
  if (s.Kind(a) == TokenKind::kString || s.Kind(b) == TokenKind::kString)
    return s.Kind(a) == s.Kind(b) && s.Text(a) == s.Text(b);
  return SameName(s, a, b);
}

}  // namespace

bool SameTokens(const EditableSql& s, size_t first, size_t last, size_t first2, size_t last2) {
  size_t i = first, j = first2;
  for (;; i = s.NextSig(i), j = s.NextSig(j)) {
    if (!SameTokenText(s, i, j)) return false;
    if (i == last || j == last2) return i == last && j == last2;
  }
}

bool RewriteGroupingSets(EditableSql* s) {
  if (!s->HasWord("rollup") && !s->HasWord("cube") && !s->HasWord("sets")) return false;
  thread_local Operands ops;
  ops.Reset(*s);
  // The selects whose GROUP BY has grouping sets, the later first, so that
  // one nested in another is written before the one around it is copied.
  std::vector<std::pair<size_t, size_t>> grouped;  // select, group
  for (size_t g = s->FirstWord("group"); g != kNone; g = s->NextWord(g)) {
    if (!s->IsWord(s->NextSig(g), "by")) continue;
    const int depth = s->Depth(g);
    bool sets = false;
    for (size_t j = s->NextSig(s->NextSig(g)); j != kNone && s->Depth(j) >= depth;
         j = s->NextSig(j)) {
      if (s->Depth(j) == depth && (s->IsWord(j, "having") || s->IsWord(j, "order") ||
                                   s->IsWord(j, "union") || s->IsPunct(j, ';')))
        break;
      // ROLLUP ( / CUBE ( / WITH ROLLUP | CUBE / GROUPING SETS, not a
      // column of such a name.
      const size_t prev = s->PrevSig(j);
      if (s->Depth(j) == depth && (((s->IsWord(j, "rollup") || s->IsWord(j, "cube")) &&
                                    (s->IsPunct(s->NextSig(j), '(') || s->IsWord(prev, "with"))) ||
                                   (s->IsWord(j, "sets") && s->IsWord(prev, "grouping"))))
        sets = true;
    }
    if (!sets) continue;
    size_t select = kNone;
    for (size_t j = s->PrevSig(g); j != kNone && s->Depth(j) >= depth; j = s->PrevSig(j)) {
      if (s->IsPunct(j, ')')) j = s->Match(j);
      if (s->IsWord(j, "select")) {
        select = j;
        break;
      }
    }
    if (select != kNone) grouped.emplace_back(select, g);
  }
  bool edited = false;
  for (size_t n = grouped.size(); n-- > 0;) {
    GroupedSelect one(s, ops);
    edited = one.Rewrite(grouped[n].first, grouped[n].second) || edited;
  }
  return edited;
}

}  // namespace q6::dialect

namespace q6::dialect {

void RewriteGroupingIds(EditableSql* s, Engine engine) {
  if (engine != Engine::PostgreSQL || !s->HasWord("grouping_id")) return;
  for (size_t i = s->FirstWord("grouping_id"); i != kNone; i = s->NextWord(i))
    if (s->IsPunct(s->NextSig(i), '(')) Replace(s, i, "GROUPING");
}

}  // namespace q6::dialect
