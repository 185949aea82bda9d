// Text columns of the tables users create through the data access layer get
// the case-insensitive default of a new SQL Server database, so that they
// compare, sort, group and take DISTINCT as the component's own tables do.
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialect/binary_values.h"
#include "platform/dialect/exact_columns.h"
#include "platform/dialect/tsql_rules.h"
#include "runtime/value_utf8.h"

namespace q6::dialect {
namespace {

bool IsTextType(const EditableSql& s, size_t i) {
  static constexpr std::string_view kTypes[] = {"char", "varchar", "nchar",    "nvarchar",
                                                "text", "ntext",   "character"};
  for (std::string_view t : kTypes)
    if (s.IsWord(i, t)) return true;
  return false;
}

bool IsConstraint(const EditableSql& s, size_t i) {
  static constexpr std::string_view kWords[] = {"constraint", "primary", "unique", "check",
                                                "foreign",    "key",     "index"};
  for (std::string_view w : kWords)
    if (s.IsWord(i, w)) return true;
  return s.Kind(i) != TokenKind::kWord && s.Kind(i) != TokenKind::kQuoted &&
         s.Kind(i) != TokenKind::kBracket;
}

// The column definition [first, last]: name, type, the rest.
void RewriteColumn(EditableSql* s, size_t first, size_t last, Engine engine,
                   std::vector<ExactColumn>* exact) {
  if (first == kNone || first >= last || IsConstraint(*s, first)) return;
  const size_t type = s->NextSig(first);
  if (ExactColumn c;
      RewriteExactType(s, first, type, engine, &c) || RewriteDateType(s, first, type, engine, &c)) {
    exact->push_back(std::move(c));
    return;
  }
  if (RewriteBinaryType(s, type, engine)) return;
  if (!IsTextType(*s, type)) return;
  for (size_t j = type; j != kNone && j <= last; j = s->NextSig(j))
    if (s->IsWord(j, "collate") && s->Depth(j) == s->Depth(first)) return;  // chosen by the user
  size_t end = type;
  if (s->IsWord(s->NextSig(end), "varying")) end = s->NextSig(end);
  std::string length;
  if (s->IsPunct(s->NextSig(end), '(')) {
    const size_t open = s->NextSig(end);
    const size_t n = s->NextSig(open);
    if (s->Kind(n) == TokenKind::kNumber && s->NextSig(n) == s->Match(open))
      length = std::string(s->Text(n));
    if (engine == Engine::SQLite && s->IsWord(n, "max"))  // which SQLite does not parse
      for (size_t j = end + 1; j <= s->Match(open); ++j) s->Edit(j).drop = true;
    end = s->Match(open);
  }
  // A length given is checked, as SQL Server refuses longer values (SQLite
  // would keep them, PostgreSQL's citext takes no length).
  std::string check;
  if (!length.empty()) {
    std::string name;
    if (s->Kind(first) == TokenKind::kBracket) {
      // As the name itself is sent: [Name] is "name" on PostgreSQL.
      name = "\"";
      std::string inner;
      AppendUnquoted(s->Text(first), &inner);
      for (char c : inner) {
        if (engine == Engine::PostgreSQL) c = value::AsciiLower(c);
        name += c;
        if (c == '"') name += '"';
      }
      name += '"';
    } else {
      name = s->Text(first);
    }
    check = " CHECK (length(" + name + ") <= " + length + ")";
  }
  if (engine == Engine::SQLite) {
    s->Edit(end).after += " COLLATE NOCASE" + check;
    return;
  }
  for (size_t j = type; j <= end; ++j) s->Edit(j).drop = true;
  s->Edit(type).before += "citext" + check;
}

// The definitions between `from` and `to` (both exclusive), split at commas
// outside parentheses.
void RewriteColumns(EditableSql* s, size_t from, size_t to, Engine engine,
                    std::vector<ExactColumn>* exact) {
  size_t first = s->NextSig(from);
  if (first == kNone || first >= to) return;
  const int depth = s->Depth(first);
  for (size_t j = first;; j = s->NextSig(j)) {
    const bool end = j == kNone || j >= to;
    if (!end && !(s->IsPunct(j, ',') && s->Depth(j) == depth)) continue;
    RewriteColumn(s, first, s->PrevSig(end ? to : j), engine, exact);
    if (end) return;
    first = s->NextSig(j);
    if (s->IsWord(first, "add")) first = s->NextSig(first);  // ALTER TABLE t ADD a .., ADD b ..
    if (s->IsWord(first, "column")) first = s->NextSig(first);
    if (first == kNone || first >= to) return;
  }
}

}  // namespace

namespace {

// The statements that keep the columns' stored forms (SQLite) or round
// and record the date columns (PostgreSQL) go behind the statement.
void AddExactTriggers(EditableSql* s, size_t name, const std::vector<ExactColumn>& exact,
                      Engine engine) {
  if (exact.empty() || name == kNone) return;
  size_t last = s->size();
  while (last > 0 && (s->IsBlank(last - 1) || s->IsPunct(last - 1, ';'))) --last;
  if (last == 0) return;
  // A schema written before the name (dbo. is dropped by then).
  const size_t dot = s->PrevSig(name);
  const size_t schema = s->IsPunct(dot, '.') && !s->Dropped(dot) ? s->PrevSig(dot) : kNone;
  const std::string triggers =
      engine == Engine::SQLite
          ? ExactColumnTriggers(NameOf(*s, name), exact)
          : PostgresDateStatements(PostgresNameOf(*s, name), exact,
                                   schema == kNone ? "" : PostgresNameOf(*s, schema));
  if (triggers.empty()) return;
  AppendOwnStatements(s, last, triggers);
}

}  // namespace

void RewriteTsqlTableDefinitions(EditableSql* s, Engine engine) {
  const size_t verb = s->size() > 0 && s->IsBlank(0) ? s->NextSig(0) : 0;
  const size_t table = s->size() > 0 ? s->NextSig(verb) : kNone;
  if (verb == kNone || !s->IsWord(table, "table")) return;
  std::vector<ExactColumn> exact;
  if (s->IsWord(verb, "create")) {
    for (size_t j = s->NextSig(table); j != kNone; j = s->NextSig(j)) {
      if (s->IsWord(j, "as")) return;  // CREATE TABLE .. AS SELECT
      if (s->IsPunct(j, '(')) {
        RewriteColumns(s, j, s->Match(j), engine, &exact);
        AddExactTriggers(s, s->PrevSig(j), exact, engine);
        return;
      }
    }
  } else if (s->IsWord(verb, "alter")) {
    for (size_t j = s->NextSig(table); j != kNone; j = s->NextSig(j)) {
      if (!s->IsWord(j, "add")) continue;
      size_t from = j;
      if (s->IsWord(s->NextSig(from), "column")) from = s->NextSig(from);
      size_t end = s->size();
      while (end > 0 && (s->IsBlank(end - 1) || s->IsPunct(end - 1, ';'))) --end;
      RewriteColumns(s, from, end, engine, &exact);
      AddExactTriggers(s, s->PrevSig(j), exact, engine);
      return;
    }
  }
}

}  // namespace q6::dialect
