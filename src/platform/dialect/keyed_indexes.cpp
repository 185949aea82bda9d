// CREATE INDEX as T-SQL writes it, and on PostgreSQL an index of the keys
// beside it and beside the keys of a new table.
//
// x IN (subquery) compares tsql_key(x) with the keys of the subquery's rows
// (quantified_subqueries.cpp), and a join of two text columns compares their
// blank-free values: exact under the default collation, but an index of x
// itself cannot serve either. So behind CREATE INDEX the dialect calls
// q6tsql.tsql_key_index, which adds an index of tsql_key(column) when the
// new index has a citext column (the engine knows the type; the key of any
// other column is the column, which the index already serves). Behind
// CREATE TABLE and ALTER TABLE .. ADD with a PRIMARY KEY or UNIQUE, it calls
// q6tsql.tsql_key_constraints, which does the same for each unique index of
// the table: those key indexes are unique too, so that 'a' and 'A  ' are one
// key, as SQL Server's padding rule has it (citext alone takes them as two).
// CLUSTERED and NONCLUSTERED go on both engines, which know neither (the
// engines' tables are heaps or ordered by their row id either way).
//
// DROP INDEX names the index with its table (ix ON t, or t.ix); both
// engines name an index alone, and on PostgreSQL the index of the keys goes
// with it.
#include <string>

#include "platform/dialect/exact_columns.h"
#include "platform/dialect/statement_rules.h"
#include "platform/dialect/tsql_schema.h"

namespace q6::dialect {

namespace {

// The name tsql_key_index gives the index of the keys beside index `name`
// (as PostgreSQL stores it): its first 59 characters and "_key", quoted.
std::string KeyIndexName(const std::string& name) {
  size_t end = 0;
  for (int chars = 0; end < name.size() && chars < 59; ++chars) {
    ++end;
    while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) ++end;
  }
  std::string out = "\"";
  for (char c : name.substr(0, end) + "_key") {
    out += c;
    if (c == '"') out += '"';
  }
  return out += '"';
}

// The last token of the statement, ahead of blanks and a closing ';'.
size_t StatementEnd(const EditableSql& s) {
  size_t last = s.size();
  while (last > 0 && (s.IsBlank(last - 1) || s.IsPunct(last - 1, ';'))) --last;
  return last;
}

// DROP INDEX [IF EXISTS] ix ON t / DROP INDEX t.ix -> DROP INDEX [IF
// EXISTS] ix; a list of several indexes is left to the engine.
void RewriteIndexDrop(EditableSql* s, size_t index, Engine engine) {
  size_t name = s->NextSig(index);
  if (s->IsWord(name, "if") && s->IsWord(s->NextSig(name), "exists"))
    name = s->NextSig(s->NextSig(name));
  const size_t last = StatementEnd(*s);
  if (name == kNone || name >= last) return;
  const size_t after = s->NextSig(name);
  if (s->IsPunct(after, '.') && s->NextSig(after) != kNone && s->NextSig(after) + 1 == last) {
    s->Edit(name).drop = true;  // t.ix: the table goes
    s->Edit(after).drop = true;
    name = s->NextSig(after);
  } else if (s->IsWord(after, "on")) {
    for (size_t k = name + 1; k < last; ++k) s->Edit(k).drop = true;
  } else if (after != kNone && after < last) {
    return;  // a list, or something else
  }
  if (engine != Engine::PostgreSQL) return;
  const std::string call = ";\nDROP INDEX IF EXISTS " + KeyIndexName(PostgresNameOf(*s, name));
  AppendOwnStatements(s, last, call);
}

// Appends `CALL q6tsql.<procedure>('<tokens [first, last] as rendered>')`.
void AppendKeyCall(EditableSql* s, WordRef procedure, size_t first, size_t last_name, size_t last) {
  for (size_t k = first; k < last; ++k)
    if (s->IsWord(k, procedure)) return;  // translated before
  // Qualified here: the count of bytes appended must not change after.
  std::string call =
      ";\nCALL " + std::string(kTsqlSchema) + "." + std::string(procedure.text()) + "('";
  for (char c : Rendered(*s, first, last_name)) {
    call += c;
    if (c == '\'') call += '\'';
  }
  call += "')";
  AppendOwnStatements(s, last, call);
}

// PostgreSQL: CREATE TABLE t (..) / ALTER TABLE t ADD .. with a PRIMARY KEY
// or UNIQUE: the key indexes of t's unique indexes follow.
void KeyTableConstraints(EditableSql* s, size_t verb) {
  if (!s->HasWord("primary") && !s->HasWord("unique")) return;
  const size_t table = s->NextSig(verb);
  const size_t name = s->NextSig(table);
  const size_t last = StatementEnd(*s);
  if (name == kNone || last == 0 || last <= name || s->Depth(name) != 0) return;
  size_t name_end = name;
  while (s->IsPunct(s->NextSig(name_end), '.') && s->NextSig(s->NextSig(name_end)) != kNone)
    name_end = s->NextSig(s->NextSig(name_end));
  const size_t next = s->NextSig(name_end);
  if (s->IsWord(verb, "create") ? !s->IsPunct(next, '(') : !s->IsWord(next, "add")) return;
  AppendKeyCall(s, "tsql_key_constraints", name, name_end, last);
}

}  // namespace

void RewriteIndexDefinitions(EditableSql* s, Engine engine) {
  const size_t verb = s->NextSig(kNone);
  if (engine == Engine::PostgreSQL && (s->IsWord(verb, "create") || s->IsWord(verb, "alter")) &&
      s->IsWord(s->NextSig(verb), "table"))
    return KeyTableConstraints(s, verb);
  if (!s->HasWord("index")) return;
  if (s->IsWord(verb, "drop") && s->IsWord(s->NextSig(verb), "index"))
    return RewriteIndexDrop(s, s->NextSig(verb), engine);
  if (!s->IsWord(verb, "create")) return;
  size_t j = s->NextSig(verb);
  if (s->IsWord(j, "unique")) j = s->NextSig(j);
  if (s->IsWord(j, "clustered") || s->IsWord(j, "nonclustered")) {
    s->Edit(j).drop = true;
    if (j + 1 < s->size() && s->IsBlank(j + 1)) s->Edit(j + 1).drop = true;
    j = s->NextSig(j);
  }
  if (!s->IsWord(j, "index") || engine != Engine::PostgreSQL) return;
  const size_t name = s->NextSig(j);
  if (name == kNone || s->IsWord(name, "if") || !s->IsWord(s->NextSig(name), "on")) return;
  const size_t last = StatementEnd(*s);
  if (last == 0 || last <= name) return;
  AppendKeyCall(s, "tsql_key_index", name, name, last);
}

}  // namespace q6::dialect
