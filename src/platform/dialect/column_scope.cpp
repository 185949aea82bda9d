// Following a column name to what it names, on the token list.
//
// The query a name belongs to is the nearest SELECT, UPDATE or DELETE before
// it at its depth or an outer one (groups before it are stepped over whole).
// Its sources are read from its FROM clause (and, for UPDATE, the table it
// names): tables, derived tables `(select ...) alias [(columns)]`, and names
// of common table expressions, with their aliases. A qualified name takes
// the source of its qualifier; an unqualified one the only source that has
// the column; a name no source of its query has is looked for in the query
// around it (a correlated reference). An item of a derived table is found in
// the select list of its first member, by alias, by column list position or
// as a plain column, and is followed on when it is itself a plain column.
#include "platform/dialect/column_scope.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/exact_columns.h"
#include "platform/dialect/statement_rules.h"
#include "runtime/value_utf8.h"

namespace q6::dialect {
namespace {

constexpr int kMaxHops = 8;  // nesting followed before giving up

bool IsName(const EditableSql& s, const Operands& ops, size_t i) {
  if (i == kNone) return false;
  if (s.Kind(i) == TokenKind::kQuoted || s.Kind(i) == TokenKind::kBracket) return true;
  if (s.Kind(i) != TokenKind::kWord || ops.IsKeyword(i) || s.IsWord(i, "null")) return false;
  // Words that follow a FROM list without being an alias.
  static constexpr WordSet kNotAlias{"option", "for",     "limit", "offset", "fetch", "window",
                                     "pivot",  "unpivot", "cross", "outer",  "apply", "set"};
  return !s.IsWordIn(i, kNotAlias);
}

// Splits the reference [first, last] (name, or names joined by dots) into
// its qualifier (the name before the column's, "" when none) and column.
bool SplitReference(const EditableSql& s, const Operands& ops, size_t first, size_t last,
                    std::string* qualifier, std::string* column) {
  if (first == kNone || last == kNone || first > last || !IsName(s, ops, last)) return false;
  for (size_t j = first; j < last; j = s.NextSig(j)) {
    if (j == kNone) return false;
    const bool dot = s.IsPunct(j, '.');
    if (!dot && !IsName(s, ops, j)) return false;
    if (dot == s.IsPunct(s.NextSig(j), '.')) return false;  // names and dots alternate
  }
  *column = NameOf(s, last);
  const size_t dot = s.PrevSig(last);
  qualifier->clear();
  if (dot != kNone && dot >= first && s.IsPunct(dot, '.')) *qualifier = NameOf(s, s.PrevSig(dot));
  return true;
}

// The SELECT, UPDATE or DELETE of the query holding token i; kNone.
size_t QueryOf(const EditableSql& s, size_t i) {
  for (size_t j = s.PrevSig(i); j != kNone; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ')')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWord(j, "select") || s.IsWord(j, "update") || s.IsWord(j, "delete")) return j;
  }
  return kNone;
}

struct Source {
  std::string table;       // a table's or common table expression's name; "" for a group
  std::string alias;       // "" when none
  size_t group = kNone;    // the ( of a derived table
  size_t columns = kNone;  // the ( of its column list
  size_t named = kNone;    // the token that names it in the query: its alias, else its table
};

bool EndsFrom(const EditableSql& s, size_t i, int depth) {
  static constexpr WordSet kEnds{"where",     "group",  "order",  "having", "union",
                                 "intersect", "except", "option", "limit",  "for",
                                 "window",    "set",    "offset", "fetch"};
  return i == kNone || s.Depth(i) < depth || s.IsPunct(i, ';') ||
         (s.Depth(i) == depth && s.IsWordIn(i, kEnds));
}

bool IsJoinWord(const EditableSql& s, size_t i) {
  static constexpr WordSet kJoins{"join", "inner", "left",  "right",
                                  "full", "outer", "cross", "apply"};
  return s.IsWordIn(i, kJoins);
}

// The sources listed from token `j` on (the first token after FROM).
void ReadSources(const EditableSql& s, const Operands& ops, size_t j, std::vector<Source>* out) {
  if (j == kNone) return;
  const int depth = s.Depth(j);
  while (!EndsFrom(s, j, depth)) {
    while (s.IsPunct(j, ',') || IsJoinWord(s, j)) j = s.NextSig(j);
    if (EndsFrom(s, j, depth)) return;
    Source src;
    size_t after;
    if (s.IsPunct(j, '(')) {
      src.group = j;
      after = s.NextSig(s.Match(j));
    } else if (IsName(s, ops, j)) {
      size_t last = j;
      while (s.IsPunct(s.NextSig(last), '.') && IsName(s, ops, s.NextSig(s.NextSig(last))))
        last = s.NextSig(s.NextSig(last));
      src.table = NameOf(s, last);
      src.named = last;
      after = s.NextSig(last);
    } else {
      return;
    }
    if (s.IsWord(after, "as")) after = s.NextSig(after);
    if (IsName(s, ops, after)) {
      src.alias = NameOf(s, after);
      src.named = after;
      after = s.NextSig(after);
    }
    if (src.group != kNone && s.IsPunct(after, '(')) {
      src.columns = after;
      after = s.NextSig(s.Match(after));
    }
    if (s.IsWord(after, "with") && s.IsPunct(s.NextSig(after), '('))  // table hints
      after = s.NextSig(s.Match(s.NextSig(after)));
    out->push_back(std::move(src));
    j = after;
    if (s.IsWord(j, "on")) {
      while (!EndsFrom(s, j, depth) && !s.IsPunct(j, ',') && !IsJoinWord(s, j))
        j = s.IsPunct(j, '(') ? s.NextSig(s.Match(j)) : s.NextSig(j);
    }
    if (!s.IsPunct(j, ',') && !IsJoinWord(s, j)) return;
  }
}

// The FROM of the query at `query`, at its depth; kNone.
size_t FromOf(const EditableSql& s, size_t query) {
  const int depth = s.Depth(query);
  for (size_t j = s.NextSig(query); j != kNone; j = s.NextSig(j)) {
    if (s.Depth(j) < depth || s.IsPunct(j, ';')) return kNone;
    if (s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (s.IsWord(j, "from")) return j;
    if (s.IsWord(j, "where") || s.IsWord(j, "union") || s.IsWord(j, "except") ||
        s.IsWord(j, "intersect"))
      return kNone;
  }
  return kNone;
}

void SourcesOf(const EditableSql& s, const Operands& ops, size_t query, std::vector<Source>* out) {
  if (s.IsWord(query, "update")) ReadSources(s, ops, s.NextSig(query), out);
  if (const size_t from = FromOf(s, query); from != kNone)
    ReadSources(s, ops, s.NextSig(from), out);
}

// The common table expression named `name`: its body's ( and its column
// list's ( (kNone when none). False when there is none.
bool FindCte(const EditableSql& s, const Operands& ops, std::string_view name, size_t* body,
             size_t* columns) {
  for (size_t w = s.FirstWord("with"); w != kNone; w = s.NextWord(w)) {
    size_t j = s.NextSig(w);
    if (s.IsWord(j, "recursive")) j = s.NextSig(j);
    while (IsName(s, ops, j)) {
      const bool match = value::EqualsAsciiFolded(NameOf(s, j), name);
      size_t cols = kNone;
      j = s.NextSig(j);
      if (s.IsPunct(j, '(')) {
        cols = j;
        j = s.NextSig(s.Match(j));
      }
      if (!s.IsWord(j, "as") || !s.IsPunct(s.NextSig(j), '(')) break;
      const size_t open = s.NextSig(j);
      if (match) {
        *body = open;
        *columns = cols;
        return true;
      }
      j = s.NextSig(s.Match(open));
      if (!s.IsPunct(j, ',')) break;
      j = s.NextSig(j);
    }
  }
  return false;
}

// What a name was followed to.
struct Origin {
  enum Kind { kUnknown, kNoColumn, kTable, kItem } kind = kUnknown;
  std::string table;                   // kTable
  std::string column;                  // kTable
  size_t first = kNone, last = kNone;  // kItem: the item's expression
};

Origin Resolve(const EditableSql& s, const Operands& ops, size_t query,
               const std::string& qualifier, const std::string& column, bool need_type, int hops);

// The n-th name (0-based) of the column list at `open`; "" when none.
std::string ListedName(const EditableSql& s, size_t open, size_t n) {
  size_t k = 0;
  for (size_t j = s.NextSig(open); j != kNone && j < s.Match(open); j = s.NextSig(j)) {
    if (s.IsPunct(j, ',')) {
      ++k;
    } else if (k == n) {
      return NameOf(s, j);
    }
  }
  return "";
}

// `column` of the derived table whose body opens at `group`.
Origin ItemOf(const EditableSql& s, const Operands& ops, size_t group, size_t columns,
              const std::string& column, bool need_type, int hops) {
  const size_t select = s.NextSig(group);
  if (!s.IsWord(select, "select")) return {};
  const int depth = s.Depth(select);
  size_t first = s.NextSig(select);
  if (s.IsWord(first, "distinct") || s.IsWord(first, "all")) first = s.NextSig(first);
  if (s.IsWord(first, "top")) {
    first = s.NextSig(first);
    first = s.IsPunct(first, '(') ? s.NextSig(s.Match(first)) : s.NextSig(first);
  }
  size_t index = 0;
  for (size_t j = first; first != kNone; j = s.NextSig(j)) {
    if (j != kNone && s.IsPunct(j, '(')) {
      j = s.Match(j);
      continue;
    }
    if (j != kNone && s.IsWord(j, "case") && ops.CasePartner(j) != kNone) {
      j = ops.CasePartner(j);
      continue;
    }
    const bool end = j == kNone || s.Depth(j) < depth ||
                     (s.Depth(j) == depth && s.Kind(j) == TokenKind::kWord && ops.IsKeyword(j) &&
                      !s.IsWord(j, "as"));
    if (!end && !s.IsPunct(j, ',')) continue;
    const size_t last = s.PrevSig(j == kNone ? s.size() : j);
    // The item [first, last]: its name and expression.
    size_t x0 = first, x1 = last;
    std::string name;
    if (s.IsPunct(s.NextSig(first), '=') && s.NextSig(first) < last && IsName(s, ops, first)) {
      name = NameOf(s, first);  // name = expression
      x0 = s.NextSig(s.NextSig(first));
    } else if (s.IsWord(s.PrevSig(last), "as")) {
      name = NameOf(s, last);
      x1 = s.PrevSig(s.PrevSig(last));
    } else if (first != last && (IsName(s, ops, last) || s.Kind(last) == TokenKind::kString) &&
               !s.IsPunct(s.PrevSig(last), '.') &&
               (s.IsPunct(s.PrevSig(last), ')') || s.Kind(s.PrevSig(last)) != TokenKind::kPunct)) {
      name = NameOf(s, last);  // expression alias
      x1 = s.PrevSig(last);
    } else if (IsName(s, ops, last)) {
      name = NameOf(s, last);  // a plain column keeps its name
    } else if (s.IsPunct(last, '*')) {
      return {};  // the columns of a star are not followed
    }
    if (columns != kNone) name = ListedName(s, columns, index);
    if (value::EqualsAsciiFolded(name, column)) {
      std::string q, c;
      if (SplitReference(s, ops, x0, x1, &q, &c))
        return Resolve(s, ops, select, q, c, need_type, hops + 1);
      Origin o;
      o.kind = Origin::kItem;
      o.first = x0;
      o.last = x1;
      return o;
    }
    if (end) break;
    ++index;
    first = s.NextSig(j);
  }
  Origin none;
  none.kind = Origin::kNoColumn;
  return none;
}

Origin FromSource(const EditableSql& s, const Operands& ops, const Source& src,
                  const std::string& column, bool need_type, int hops) {
  if (src.group != kNone) return ItemOf(s, ops, src.group, src.columns, column, need_type, hops);
  size_t body, columns;
  if (FindCte(s, ops, src.table, &body, &columns))
    return ItemOf(s, ops, body, columns, column, need_type, hops);
  Origin o;
  o.kind = Origin::kTable;
  o.table = src.table;
  o.column = column;
  if (need_type) {
    const ColumnType t = s.ReadType(src.table, column);
    if (t.kind == ColumnType::kNoColumn) o.kind = Origin::kNoColumn;
    if (t.kind == ColumnType::kUnknown) o.kind = Origin::kUnknown;
  }
  return o;
}

Origin Resolve(const EditableSql& s, const Operands& ops, size_t query,
               const std::string& qualifier, const std::string& column, bool need_type, int hops) {
  if (query == kNone || hops > kMaxHops) return {};
  std::vector<Source> sources;
  SourcesOf(s, ops, query, &sources);
  Origin found;
  int matches = 0;
  bool unknown = false;
  for (const Source& src : sources) {
    if (!qualifier.empty()) {
      if (value::EqualsAsciiFolded(src.alias.empty() ? src.table : src.alias, qualifier))
        return FromSource(s, ops, src, column, need_type, hops);
      continue;
    }
    // Without types, a name among tables only is a table's column whichever
    // it is; with them each source is asked.
    Origin o = FromSource(s, ops, src, column, need_type || sources.size() > 1, hops);
    if (o.kind == Origin::kNoColumn) continue;
    if (o.kind == Origin::kUnknown) unknown = true;
    if (matches++ == 0) found = std::move(o);
  }
  if (unknown || matches > 1) return {};
  if (matches == 1) return found;
  return Resolve(s, ops, QueryOf(s, query), qualifier, column, need_type, hops + 1);
}

Origin OriginOf(const EditableSql& s, const Operands& ops, size_t first, size_t last,
                bool need_type) {
  std::string qualifier, column;
  if (!SplitReference(s, ops, first, last, &qualifier, &column)) return {};
  return Resolve(s, ops, QueryOf(s, first), qualifier, column, need_type, 0);
}

// The type of a derived table's item [first, last] that is no plain column.
ColumnType ExpressionType(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  if (s.Kind(last) == TokenKind::kString && (first == last || s.IsWord(first, "n")))
    return {ColumnType::kText};
  if (first == last && s.Kind(first) == TokenKind::kNumber) return {ColumnType::kNumber};
  if (!ops.IsCall(first) || s.Match(s.NextSig(first)) != last) return {};
  if (s.IsWord(first, "getdate") || s.IsWord(first, "getutcdate")) return {ColumnType::kDate, 1, 0};
  if (s.IsWord(first, "sysdatetime") || s.IsWord(first, "sysutcdatetime"))
    return {ColumnType::kDate, 3, 7};
  if (s.IsWord(first, "min") || s.IsWord(first, "max")) {
    const size_t a0 = s.NextSig(s.NextSig(first));
    const size_t a1 = s.PrevSig(last);
    const ColumnType t = ColumnTypeAt(s, ops, a0, a1);
    return t.kind == ColumnType::kUnknown ? ExpressionType(s, ops, a0, a1) : t;
  }
  return {};
}

}  // namespace

ColumnType ColumnTypeAt(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  const Origin o = OriginOf(s, ops, first, last, true);
  if (o.kind == Origin::kTable) return s.ReadType(o.table, o.column);
  if (o.kind == Origin::kItem) return ExpressionType(s, ops, o.first, o.last);
  return {};
}

bool IsExpressionColumn(const EditableSql& s, const Operands& ops, size_t first, size_t last) {
  // Without a group or a WITH there is no derived table to follow.
  const size_t select = s.FirstWord("select");
  if (!s.HasWord("with") && (select == kNone || s.NextWord(select) == kNone)) return false;
  return OriginOf(s, ops, first, last, false).kind == Origin::kItem;
}

namespace {

bool ExpandStar(const EditableSql& s, const Operands& ops, size_t star,
                std::vector<StarColumn>* out, int hops);

// The result columns of the select at `select` (a derived table's or common
// table expression's first member) into `out`, named by the column list at
// `columns` when there is one (kNone).
bool SelectColumns(const EditableSql& s, const Operands& ops, size_t select, size_t columns,
                   std::vector<StarColumn>* out, int hops) {
  if (!s.IsWord(select, "select")) return false;
  std::vector<SelectItem> items;
  ListItems(s, ops, select, &items);
  const size_t from = out->size();
  for (const SelectItem& item : items) {
    if (s.IsPunct(item.last, '*')) {
      if (!ExpandStar(s, ops, item.last, out, hops + 1)) return false;
      continue;
    }
    StarColumn c;
    size_t x0 = item.first;
    if (item.alias != kNone) {
      c.name = PostgresNameOf(s, item.alias);
    } else if (IsName(s, ops, item.first) && s.IsPunct(s.NextSig(item.first), '=') &&
               s.NextSig(item.first) < item.last) {
      c.name = PostgresNameOf(s, item.first);  // name = expression
      x0 = s.NextSig(s.NextSig(item.first));
    } else if (IsName(s, ops, item.last)) {
      c.name = PostgresNameOf(s, item.last);
    }
    std::string q, col;
    c.expression = !SplitReference(s, ops, x0, item.last, &q, &col) ||
                   IsExpressionColumn(s, ops, x0, item.last);
    out->push_back(std::move(c));
  }
  if (columns != kNone) {
    size_t k = from;
    for (size_t j = s.NextSig(columns); j != kNone && j < s.Match(columns); j = s.NextSig(j)) {
      if (s.IsPunct(j, ',')) continue;
      if (k == out->size()) return false;
      (*out)[k++].name = PostgresNameOf(s, j);
    }
    if (k != out->size()) return false;
  }
  for (size_t k = from; k < out->size(); ++k)
    if ((*out)[k].name.empty()) return false;
  return true;
}

bool ExpandStar(const EditableSql& s, const Operands& ops, size_t star,
                std::vector<StarColumn>* out, int hops) {
  if (hops > kMaxHops) return false;
  const size_t query = QueryOf(s, star);
  if (!s.IsWord(query, "select")) return false;
  std::string qualifier;
  if (const size_t dot = s.PrevSig(star); s.IsPunct(dot, '.'))
    qualifier = NameOf(s, s.PrevSig(dot));
  // Joined USING or NATURAL, PostgreSQL gives the shared columns once.
  if (const size_t from = FromOf(s, query); from != kNone) {
    const int depth = s.Depth(from);
    for (size_t j = s.NextSig(from); !EndsFrom(s, j, depth); j = s.NextSig(j)) {
      if (s.IsWord(j, "using") || s.IsWord(j, "natural")) return false;
      if (s.IsPunct(j, '(')) j = s.Match(j);
    }
  }
  std::vector<Source> sources;
  SourcesOf(s, ops, query, &sources);
  bool any = false;
  std::vector<std::string> names;
  for (const Source& src : sources) {
    if (!qualifier.empty() &&
        !value::EqualsAsciiFolded(src.alias.empty() ? src.table : src.alias, qualifier))
      continue;
    any = true;
    const size_t from = out->size();
    size_t body = src.group, columns = src.columns;
    if (body != kNone || FindCte(s, ops, src.table, &body, &columns)) {
      size_t select = s.NextSig(body);
      while (s.IsPunct(select, '(')) select = s.NextSig(select);
      if (!SelectColumns(s, ops, select, columns, out, hops)) return false;
    } else {
      if (!s.ReadColumnNames(src.table, &names)) return false;
      for (std::string& n : names) out->push_back({std::move(n), false, {}});
    }
    const std::string source = src.named == kNone ? "" : PostgresNameOf(s, src.named);
    for (size_t k = from; k < out->size(); ++k) (*out)[k].source = source;
  }
  return any;
}

}  // namespace

bool StarColumns(const EditableSql& s, const Operands& ops, size_t star,
                 std::vector<StarColumn>* out) {
  return ExpandStar(s, ops, star, out, 0);
}

}  // namespace q6::dialect
