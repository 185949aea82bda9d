// Grouping, APPLY, derived tables with column lists, ANY / ALL, the UPDATE
// and DELETE forms with a FROM of their own, and the constructs an engine
// cannot be given SQL Server's meaning for.
#include <string>
#include <string_view>

#include "platform/dialect/operands.h"
#include "platform/dialect/statement_rules.h"

namespace q6::dialect {

int ComparisonBefore(const EditableSql& s, size_t i, size_t* first) {
  if (i == kNone || s.Kind(i) != TokenKind::kPunct) return 0;
  *first = i;
  if (s.IsPunct(i, '=')) {
    if (i > 0 && (s.IsPunct(i - 1, '<') || s.IsPunct(i - 1, '>'))) {
      *first = i - 1;
      return 3;
    }
    if (i > 0 && s.IsPunct(i - 1, '!')) {
      *first = i - 1;
      return 2;
    }
    return 1;
  }
  if (s.IsPunct(i, '>')) {
    if (i > 0 && s.IsPunct(i - 1, '<')) {
      *first = i - 1;
      return 2;
    }
    return 3;
  }
  return s.IsPunct(i, '<') ? 3 : 0;
}

namespace {

// GROUP BY a, b WITH ROLLUP|CUBE -> GROUP BY ROLLUP|CUBE (a, b).
void GroupWith(EditableSql* s, size_t with) {
  const size_t kind = s->NextSig(with);
  const int depth = s->Depth(with);
  size_t by = kNone;
  for (size_t j = s->PrevSig(with); j != kNone && s->Depth(j) >= depth; j = s->PrevSig(j)) {
    if (s->IsPunct(j, ')')) j = s->Match(j);
    if (s->Depth(j) == depth && s->IsWord(j, "by")) {
      by = j;
      break;
    }
  }
  if (by == kNone || !s->IsWord(s->PrevSig(by), "group")) return;
  // Ahead of what the grouping rule put before the first key (tsql_key().
  s->Edit(s->NextSig(by)).before.insert(0, s->IsWord(kind, "rollup") ? "ROLLUP (" : "CUBE (");
  s->Edit(s->PrevSig(with)).after += ")";
  EraseRange(s, with, kind);
  if (s->IsBlank(with - 1)) s->Edit(with - 1).drop = true;
}

// PostgreSQL: CROSS APPLY -> CROSS JOIN LATERAL; OUTER APPLY x a -> LEFT
// JOIN LATERAL x a ON true.
void Apply(EditableSql* s, size_t apply) {
  const size_t kind = s->PrevSig(apply);
  if (s->IsWord(kind, "cross")) {
    Replace(s, apply, "JOIN LATERAL");
    return;
  }
  Replace(s, kind, "LEFT");
  Replace(s, apply, "JOIN LATERAL");
  // ON true behind the applied table and its alias (and column list).
  size_t j = s->NextSig(apply);
  if (j == kNone) return;
  if (!s->IsPunct(j, '(')) j = s->NextSig(j);  // a function's name
  if (!s->IsPunct(j, '(')) return;
  size_t last = s->Match(j);
  size_t next = s->NextSig(last);
  if (s->IsWord(next, "as")) next = s->NextSig(next);
  if (next != kNone && (s->Kind(next) == TokenKind::kWord || s->Kind(next) == TokenKind::kQuoted ||
                        s->Kind(next) == TokenKind::kBracket)) {
    last = next;
    if (s->IsPunct(s->NextSig(last), '(')) last = s->Match(s->NextSig(last));
  }
  s->Edit(last).after += " ON true";
}

// SQLite: (select ..) [AS] t (a, b) -> (WITH t (a, b) AS (select ..) SELECT
// * FROM t) AS t, also for (VALUES ..).
void DerivedColumns(EditableSql* s, size_t open) {
  const size_t first = s->NextSig(open);
  if (!s->IsWord(first, "select") && !s->IsWord(first, "values")) return;
  const size_t close = s->Match(open);
  size_t name = s->NextSig(close);
  if (s->IsWord(name, "as")) name = s->NextSig(name);
  if (name == kNone || !(s->Kind(name) == TokenKind::kWord || s->Kind(name) == TokenKind::kQuoted ||
                         s->Kind(name) == TokenKind::kBracket))
    return;
  const size_t cols = s->NextSig(name);
  if (!s->IsPunct(cols, '(')) return;
  const std::string alias = Rendered(*s, name, name);
  const std::string list = Rendered(*s, cols, s->Match(cols));
  s->Edit(open).after += "WITH " + alias + " " + list + " AS (";
  s->Edit(close).before += ") SELECT * FROM " + alias;
  EraseRange(s, cols, s->Match(cols));
  if (s->IsBlank(cols - 1)) s->Edit(cols - 1).drop = true;
}

// SQLite: x = ANY|SOME (subquery) -> x IN (..); x <> ALL (..) -> x NOT IN (..).
void QuantifiedComparison(EditableSql* s, size_t word) {
  size_t op_first;
  const int op = ComparisonBefore(*s, s->PrevSig(word), &op_first);
  const bool all = s->IsWord(word, "all");
  if ((op == 1 && !all) || (op == 2 && all)) {
    EraseRange(s, op_first, s->PrevSig(word));
    Replace(s, word, op == 1 ? "IN" : "NOT IN");
  }
}

constexpr WordSet kClauseEnds{"where", "group", "having", "order", "option"};

// The last token of the statement (before a closing semicolon).
size_t StatementEnd(const EditableSql& s) {
  size_t last = s.PrevSig(s.size());
  if (s.IsPunct(last, ';')) last = s.PrevSig(last);
  return last;
}

// The first token at depth 0 from `from` on that is one of `words`, or kNone.
size_t NextAtTop(const EditableSql& s, size_t from, const WordSet& words) {
  for (size_t j = from; j != kNone; j = s.NextSig(j)) {
    if (s.Depth(j) == 0 && s.IsWordIn(j, words)) return j;
  }
  return kNone;
}

// The FROM clause of an UPDATE or DELETE that starts with the target table
// `t [AS] a` joined to the others: [first, last] the target, `join` the JOIN
// keywords' first token, `on` the ON, `cond_last` the end of its condition,
// `where` the WHERE or kNone, `end` the statement's last token.
struct JoinedFrom {
  size_t first = kNone, last = kNone, join = kNone, join_last = kNone, on = kNone,
         cond_last = kNone, where = kNone, end = kNone;
};

bool ReadJoinedFrom(const EditableSql& s, size_t from, JoinedFrom* f) {
  f->first = s.NextSig(from);
  if (f->first == kNone) return false;
  size_t j = s.NextSig(f->first);
  while (s.IsPunct(j, '.')) j = s.NextSig(s.NextSig(j));  // schema.table
  f->last = s.PrevSig(j);
  if (s.IsWord(j, "as")) j = s.NextSig(j);
  if (j != kNone && !s.IsWord(j, "inner") && !s.IsWord(j, "join") &&
      s.Kind(j) != TokenKind::kPunct) {
    f->last = j;
    j = s.NextSig(j);
  }
  f->join = j;
  if (s.IsWord(j, "inner")) j = s.NextSig(j);
  if (!s.IsWord(j, "join")) return false;
  f->join_last = j;
  static constexpr WordSet kOn{"on"};
  f->on = NextAtTop(s, j, kOn);
  if (f->on == kNone) return false;
  static constexpr WordSet kAfterOn{"join",  "inner", "left",  "right", "full",
                                    "cross", "outer", "where", "option"};
  const size_t after = NextAtTop(s, s.NextSig(f->on), kAfterOn);
  f->end = StatementEnd(s);
  f->cond_last = after == kNone ? f->end : s.PrevSig(after);
  static constexpr WordSet kWhere{"where"};
  f->where = NextAtTop(s, s.NextSig(f->on), kWhere);
  return true;
}

// Whether the FROM's target [first, last] is the table named at `target`:
// its alias or its name.
bool IsTarget(const EditableSql& s, const JoinedFrom& f, size_t target) {
  const std::string_view want = s.Text(target);
  auto same = [&](size_t i) {
    const std::string_view t = s.Text(i);
    if (t.size() != want.size()) return false;
    for (size_t k = 0; k < t.size(); ++k)
      if ((t[k] | 0x20) != (want[k] | 0x20)) return false;
    return true;
  };
  return same(f.last) || same(f.first);
}

// The WHERE of the rewritten statement: the ON condition and the old WHERE.
std::string Condition(const EditableSql& s, const JoinedFrom& f) {
  std::string out = "(" + Rendered(s, s.NextSig(f.on), f.cond_last) + ")";
  if (f.where != kNone) out += " AND (" + Rendered(s, s.NextSig(f.where), f.end) + ")";
  return out;
}

// The tables after the target, as the joins wrote them, minus the first ON.
std::string OtherTables(const EditableSql& s, const JoinedFrom& f) {
  std::string out = Rendered(s, s.NextSig(f.join_last), s.PrevSig(f.on));
  if (f.cond_last != f.end && (f.where == kNone || s.NextSig(f.cond_last) != f.where)) {
    out += " " + Rendered(s, s.NextSig(f.cond_last), f.where == kNone ? f.end : s.PrevSig(f.where));
  }
  return out;
}

void Rebuild(EditableSql* s, std::string text) {
  const size_t first = s->NextSig(kNone);
  const size_t end = StatementEnd(*s);
  EraseRange(s, first, end);
  s->Edit(first).after = std::move(text);
}

// UPDATE a SET a.c = .. FROM t a JOIN u b ON cond [WHERE w] ->
// UPDATE t AS a SET c = .. FROM u b WHERE (cond) [AND (w)].
void UpdateFrom(EditableSql* s, size_t update) {
  const size_t target = s->NextSig(update);
  const size_t set = s->NextSig(target);
  if (!s->IsWord(set, "set")) return;
  static constexpr WordSet kFrom{"from"};
  const size_t from = NextAtTop(*s, set, kFrom);
  JoinedFrom f;
  if (from == kNone || !ReadJoinedFrom(*s, from, &f) || !IsTarget(*s, f, target)) return;
  // SET a.c = .. -> SET c = ..
  for (size_t j = s->NextSig(set); j != kNone && j < from; j = s->NextSig(j)) {
    const size_t prev = s->PrevSig(j);
    if (s->Depth(j) == 0 && s->IsPunct(s->NextSig(j), '.') &&
        (prev == set || s->IsPunct(prev, ',')))
      EraseRange(s, j, s->NextSig(j));
  }
  std::string sql = "UPDATE " + Rendered(*s, f.first, f.first);
  if (f.last != f.first) sql += " AS " + Rendered(*s, f.last, f.last);
  sql += " SET " + Rendered(*s, s->NextSig(set), s->PrevSig(from));
  sql += " FROM " + OtherTables(*s, f) + " WHERE " + Condition(*s, f);
  Rebuild(s, std::move(sql));
}

// DELETE [FROM] a FROM t a JOIN u b ON cond [WHERE w] ->
// DELETE FROM t AS a WHERE EXISTS (SELECT 1 FROM u b WHERE (cond) [AND (w)]).
void DeleteFrom(EditableSql* s, size_t del) {
  size_t target = s->NextSig(del);
  if (s->IsWord(target, "from")) target = s->NextSig(target);
  const size_t from = s->NextSig(target);
  JoinedFrom f;
  if (!s->IsWord(from, "from") || !ReadJoinedFrom(*s, from, &f) || !IsTarget(*s, f, target)) return;
  std::string sql = "DELETE FROM " + Rendered(*s, f.first, f.first);
  if (f.last != f.first) sql += " AS " + Rendered(*s, f.last, f.last);
  sql += " WHERE EXISTS (SELECT 1 FROM " + OtherTables(*s, f) + " WHERE " + Condition(*s, f) + ")";
  Rebuild(s, std::move(sql));
}

// The FROM clause of an UPDATE or DELETE that names the target table `t
// [AS] a` with no JOIN: [first, table_last] the table, `alias` its alias,
// [others, others_last] the tables listed after a comma (kNone when none),
// `where` the WHERE or kNone, `end` the statement's last token.
struct ListedFrom {
  size_t first = kNone, table_last = kNone, alias = kNone, others = kNone, others_last = kNone,
         where = kNone, end = kNone;
};

bool ReadListedFrom(const EditableSql& s, size_t from, ListedFrom* f) {
  f->first = s.NextSig(from);
  if (f->first == kNone || s.Kind(f->first) == TokenKind::kPunct) return false;
  size_t j = s.NextSig(f->first);
  while (s.IsPunct(j, '.')) j = s.NextSig(s.NextSig(j));  // schema.table
  f->table_last = s.PrevSig(j);
  if (s.IsWord(j, "as")) j = s.NextSig(j);
  if (j == kNone || s.Kind(j) == TokenKind::kPunct || s.IsWord(j, "where")) return false;
  f->alias = j;
  j = s.NextSig(j);
  f->end = StatementEnd(s);
  static constexpr WordSet kWhere{"where"};
  f->where = NextAtTop(s, j, kWhere);
  if (s.IsPunct(j, ',')) {
    f->others = s.NextSig(j);
    f->others_last = f->where == kNone ? f->end : s.PrevSig(f->where);
    static constexpr WordSet kJoins{"join", "apply"};
    if (f->others == kNone || f->others > f->others_last ||
        NextAtTop(s, f->others, kJoins) != kNone)
      return false;
    return true;
  }
  return j == kNone || j > f->end || j == f->where;
}

// UPDATE a SET a.c = .. FROM t a [, u b] [WHERE w] ->
// UPDATE t AS a SET c = .. [FROM u b] [WHERE w];
// DELETE a FROM t a [, u b] [WHERE w] ->
// DELETE FROM t AS a [WHERE EXISTS (SELECT 1 FROM u b WHERE w) | WHERE w].
// The alias must name the target: `UPDATE t .. FROM t` is SQL Server's
// plain form, which both engines would read as a second t.
void ChangeFromListed(EditableSql* s, size_t target, size_t set, size_t from) {
  ListedFrom f;
  if (!ReadListedFrom(*s, from, &f) || !SameName(*s, f.alias, target)) return;
  const bool update = set != kNone;
  if (update) {
    for (size_t j = s->NextSig(set); j != kNone && j < from; j = s->NextSig(j)) {
      const size_t prev = s->PrevSig(j);
      if (s->Depth(j) == 0 && s->IsPunct(s->NextSig(j), '.') &&
          (prev == set || s->IsPunct(prev, ',')))
        EraseRange(s, j, s->NextSig(j));
    }
  }
  const std::string table = Rendered(*s, f.first, f.table_last);
  const std::string alias = Rendered(*s, f.alias, f.alias);
  const std::string where = f.where == kNone ? "" : Rendered(*s, s->NextSig(f.where), f.end);
  const std::string others = f.others == kNone ? "" : Rendered(*s, f.others, f.others_last);
  std::string sql;
  if (update) {
    sql = "UPDATE " + table + " AS " + alias + " SET " +
          Rendered(*s, s->NextSig(set), s->PrevSig(from));
    if (!others.empty()) sql += " FROM " + others;
    if (!where.empty()) sql += " WHERE " + where;
  } else {
    sql = "DELETE FROM " + table + " AS " + alias;
    if (!others.empty())
      sql +=
          " WHERE EXISTS (SELECT 1 FROM " + others + (where.empty() ? "" : " WHERE " + where) + ")";
    else if (!where.empty())
      sql += " WHERE " + where;
  }
  Rebuild(s, std::move(sql));
}

// UPDATE TOP (n) t SET .. [WHERE w] / DELETE TOP (n) [FROM] t [WHERE w]:
// the parts of the plain forms, which can be limited through the row's
// own key. False for any other form (a FROM of its own, OUTPUT, an alias).
struct TopChange {
  size_t count_open = kNone;  // the ( of TOP (n)
  size_t table = kNone;       // the table's first token
  size_t table_last = kNone;
  size_t set = kNone;    // SET of an UPDATE
  size_t where = kNone;  // WHERE or kNone
  size_t end = kNone;
};

bool ReadTopChange(const EditableSql& s, size_t top, TopChange* t) {
  const bool update = s.IsWord(s.PrevSig(top), "update");
  t->count_open = s.NextSig(top);
  if (!s.IsPunct(t->count_open, '(')) return false;
  size_t j = s.NextSig(s.Match(t->count_open));
  if (!update && s.IsWord(j, "from")) j = s.NextSig(j);
  t->table = j;
  if (j == kNone || !(s.Kind(j) == TokenKind::kWord || s.Kind(j) == TokenKind::kQuoted ||
                      s.Kind(j) == TokenKind::kBracket))
    return false;
  j = s.NextSig(j);
  while (s.IsPunct(j, '.')) j = s.NextSig(s.NextSig(j));
  t->table_last = s.PrevSig(j);
  t->end = StatementEnd(s);
  if (update) {
    if (!s.IsWord(j, "set")) return false;
    t->set = j;
  } else if (j != kNone && j <= t->end && !s.IsWord(j, "where")) {
    return false;
  }
  static constexpr WordSet kOther{"from", "option"};
  static constexpr WordSet kWhere{"where"};
  const size_t after = s.NextSig(update ? t->set : t->table_last);
  if (NextAtTop(s, after, kOther) != kNone) return false;
  for (size_t k = after; k != kNone; k = s.NextSig(k)) {
    if (s.IsWord(k, "output")) return false;
  }
  t->where = NextAtTop(s, j, kWhere);
  return true;
}

// -> UPDATE t SET .. WHERE key IN (SELECT key FROM t [WHERE w] LIMIT (n)),
// the key being SQLite's rowid or PostgreSQL's ctid.
void LimitChange(EditableSql* s, size_t top, Engine engine) {
  TopChange t;
  if (!ReadTopChange(*s, top, &t)) return;
  const std::string key = engine == Engine::SQLite ? "rowid" : "ctid";
  const std::string table = Rendered(*s, t.table, t.table_last);
  std::string sql =
      s->IsWord(s->PrevSig(top), "update")
          ? "UPDATE " + table + " SET " +
                Rendered(*s, s->NextSig(t.set), t.where == kNone ? t.end : s->PrevSig(t.where))
          : "DELETE FROM " + table;
  sql += " WHERE " + key + " IN (SELECT " + key + " FROM " + table;
  if (t.where != kNone) sql += " WHERE " + Rendered(*s, s->NextSig(t.where), t.end);
  sql += " LIMIT " + Rendered(*s, t.count_open, s->Match(t.count_open)) + ")";
  Rebuild(s, std::move(sql));
}

}  // namespace

std::string Rendered(const EditableSql& s, size_t first, size_t last) {
  std::string out;
  if (first != kNone && last != kNone && first <= last) s.RenderRange(first, last + 1, &out);
  return out;
}

void EraseRange(EditableSql* s, size_t first, size_t last) {
  for (size_t j = first; j <= last; ++j) {
    TokenEdit& e = s->Edit(j);
    e = TokenEdit();
    e.drop = true;
  }
}

namespace {

// Whether the TOP at `top` belongs to a select that is a member of a set
// operation: a UNION, EXCEPT or INTERSECT at its depth before or after it.
// The engines take a row limit only behind the whole set operation.
bool InSetMember(const EditableSql& s, size_t top) {
  static constexpr WordSet kSetOperators{"union", "except", "intersect"};
  const int depth = s.Depth(top);
  for (size_t j = s.NextSig(top); j != kNone && s.Depth(j) >= depth; j = s.NextSig(j)) {
    if (s.IsPunct(j, ';')) break;
    if (s.Depth(j) == depth && s.IsWordIn(j, kSetOperators)) return true;
  }
  for (size_t j = s.PrevSig(top); j != kNone && s.Depth(j) >= depth; j = s.PrevSig(j)) {
    if (s.IsPunct(j, ';')) break;
    if (s.Depth(j) == depth && s.IsWordIn(j, kSetOperators)) return true;
  }
  return false;
}

}  // namespace

const char* RefusedOnEngine(const EditableSql& s, Engine engine) {
  for (size_t i = s.FirstWord("top"); i != kNone; i = s.NextWord(i)) {
    const size_t prev = s.PrevSig(i);
    TopChange t;
    if (s.IsWord(prev, "update") && !ReadTopChange(s, i, &t)) return "UPDATE TOP (n) with FROM";
    if (s.IsWord(prev, "delete") && !ReadTopChange(s, i, &t)) return "DELETE TOP (n) with FROM";
    size_t n = s.NextSig(i);
    if (s.IsPunct(n, '(')) n = s.Match(n);
    const size_t after = n == kNone ? kNone : s.NextSig(n);
    if (engine == Engine::SQLite && s.IsWord(after, "with") && s.IsWord(s.NextSig(after), "ties"))
      return "TOP n WITH TIES";
    if (InSetMember(s, i)) return "TOP n in a member of UNION, EXCEPT or INTERSECT";
    // SELECT TOP (expression): the engines' LIMIT takes one, but the
    // expression would have to move behind the statement with the edits of
    // every rule.
    if (s.IsPunct(s.NextSig(i), '(') && !s.IsWord(prev, "update") && !s.IsWord(prev, "delete")) {
      const size_t inner = s.NextSig(s.NextSig(i));
      if (s.Kind(inner) != TokenKind::kNumber || s.NextSig(inner) != s.Match(s.NextSig(i)))
        return "TOP (expression)";
    }
  }
  if (s.HasWord("pivot")) return "PIVOT";
  if (s.HasWord("unpivot")) return "UNPIVOT";
  if (engine != Engine::SQLite) return nullptr;
  for (size_t i = s.FirstWord("apply"); i != kNone; i = s.NextWord(i)) {
    if (s.IsWord(s.PrevSig(i), "cross")) return "CROSS APPLY";
    if (s.IsWord(s.PrevSig(i), "outer")) return "OUTER APPLY";
  }
  if (s.HasWord("rollup")) return "GROUP BY ROLLUP";
  if (s.HasWord("cube")) return "GROUP BY CUBE";
  if (s.HasWord("sets") && s.HasWord("grouping")) return "GROUPING SETS";
  for (const KnownWord w : {KnownWord("any"), KnownWord("some"), KnownWord("all")}) {
    for (size_t i = s.FirstWord(w); i != kNone; i = s.NextWord(i)) {
      if (!s.IsPunct(s.NextSig(i), '(')) continue;
      size_t first;
      const int op = ComparisonBefore(s, s.PrevSig(i), &first);
      const bool all = s.IsWord(i, "all");
      if (op == 3 || (op == 2 && !all) || (op == 1 && all))
        return "a comparison with ANY, SOME or ALL";
    }
  }
  return nullptr;
}

void RewriteStatementForms(EditableSql* s, Engine engine) {
  const bool pg = engine == Engine::PostgreSQL;
  if (pg && s->HasWord("with") && (s->HasWord("rollup") || s->HasWord("cube"))) {
    for (size_t i = s->FirstWord("with"); i != kNone; i = s->NextWord(i)) {
      const size_t kind = s->NextSig(i);
      if (!s->Dropped(i) && (s->IsWord(kind, "rollup") || s->IsWord(kind, "cube"))) GroupWith(s, i);
    }
  }
  if (pg && s->HasWord("apply")) {
    for (size_t i = s->FirstWord("apply"); i != kNone; i = s->NextWord(i)) {
      if (s->IsWord(s->PrevSig(i), "cross") || s->IsWord(s->PrevSig(i), "outer")) Apply(s, i);
    }
  }
  if (!pg) {
    for (size_t i = s->FirstWord("select"); i != kNone; i = s->NextWord(i)) {
      if (s->IsPunct(s->PrevSig(i), '(')) DerivedColumns(s, s->PrevSig(i));
    }
    for (size_t i = s->FirstWord("values"); i != kNone; i = s->NextWord(i)) {
      if (s->IsPunct(s->PrevSig(i), '(')) DerivedColumns(s, s->PrevSig(i));
    }
    for (const KnownWord w : {KnownWord("any"), KnownWord("some"), KnownWord("all")}) {
      for (size_t i = s->FirstWord(w); i != kNone; i = s->NextWord(i)) {
        if (s->IsPunct(s->NextSig(i), '(')) QuantifiedComparison(s, i);
      }
    }
  }
  const size_t first = s->NextSig(kNone);
  const size_t second = s->NextSig(first);
  // INSERT t .. : INTO is optional in T-SQL only.
  if (s->IsWord(first, "insert") && second != kNone && !s->IsWord(second, "into") &&
      s->Kind(second) != TokenKind::kPunct)
    s->Edit(first).after += " INTO";
  if ((s->IsWord(first, "update") || s->IsWord(first, "delete")) && s->IsWord(second, "top")) {
    LimitChange(s, second, engine);
    return;
  }
  if (s->HasWord("from") && s->HasWord("join")) {
    if (s->IsWord(first, "update")) UpdateFrom(s, first);
    if (s->IsWord(first, "delete")) DeleteFrom(s, first);
  }
  if (s->IsWord(first, "update") && s->IsWord(s->NextSig(second), "set") && !s->Dropped(first)) {
    static constexpr WordSet kFrom{"from"};
    const size_t from = NextAtTop(*s, s->NextSig(second), kFrom);
    if (from != kNone) ChangeFromListed(s, second, s->NextSig(second), from);
  } else if (s->IsWord(first, "delete") && !s->Dropped(first)) {
    const size_t target = s->IsWord(second, "from") ? s->NextSig(second) : second;
    if (s->IsWord(s->NextSig(target), "from"))
      ChangeFromListed(s, target, kNone, s->NextSig(target));
  }
}

}  // namespace q6::dialect
