// CREATE INDEX as T-SQL writes it, and on PostgreSQL an index of the keys
// beside it.
//
// x IN (subquery) compares tsql_key(x) with the keys of the subquery's rows
// (quantified_subqueries.cpp): exact under the default collation, but an
// index of x itself cannot serve it. So behind CREATE INDEX the dialect
// calls q6tsql.tsql_key_index, which adds an index of tsql_key(column) when
// the new index begins with a citext column (the engine knows the type; the
// key of any other column is the column, which the index already serves).
// CLUSTERED and NONCLUSTERED go on both engines, which know neither (the
// engines' tables are heaps or ordered by their row id either way).
#include <string>

#include "platform/dialect/statement_rules.h"
#include "platform/dialect/tsql_schema.h"

namespace q6::dialect {

void RewriteIndexDefinitions(EditableSql* s, Engine engine) {
  if (!s->HasWord("index") || !s->HasWord("create")) return;
  const size_t verb = s->NextSig(kNone);
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
  size_t last = s->size();
  while (last > 0 && (s->IsBlank(last - 1) || s->IsPunct(last - 1, ';'))) --last;
  if (last == 0 || last <= name) return;
  for (size_t k = name; k < last; ++k)
    if (s->IsWord(k, "tsql_key_index")) return;  // translated before
  // Qualified here: the count of bytes appended must not change after.
  std::string call = ";\nCALL " + std::string(kTsqlSchema) + ".tsql_key_index('";
  for (char c : Rendered(*s, name, name)) {
    call += c;
    if (c == '\'') call += '\'';
  }
  call += "')";
  s->Edit(last - 1).after += call;
  // The dialect's own statement, not a second one of the caller's
  // (Translation::appended).
  size_t appended = call.size();
  for (size_t k = last; k < s->size(); ++k) appended += s->UnwatchedText(k).size();
  s->SetAppended(appended);
}

}  // namespace q6::dialect
