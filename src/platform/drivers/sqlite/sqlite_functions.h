// SQL Server's meaning of T-SQL operators and functions on SQLite: the
// functions and the collations every SQLite connection gets.
//
// The dialect layer rewrites T-SQL constructs into calls of functions named
// tsql_* (tsql_add for `+`, tsql_dateadd for DATEADD, ...); this is where
// those names get SQL Server's semantics: every function of the registry of
// T-SQL functions (platform/tsql/functions.h) is registered with its C
// implementation. The built-in NOCASE collation, upper(), lower() and like()
// are replaced as well:
// - NOCASE compares with Unicode case folding (Cyrillic, Greek, accented
//   Latin letters, not only A-Z) and ignores trailing blanks, as SQL Server's
//   default collation does. Indexes built under the old NOCASE on text with
//   non-ASCII letters need a REINDEX, which `q6fd upgrade` runs.
// - upper() and lower() map every letter, not only A-Z.
// - like() takes [abc], [a-c], [^a] classes and [%] / [_] escapes, ignores
//   case for every letter and has no escape character unless ESCAPE names one.
// A value a function cannot convert ends the statement with SQL Server's
// message ("Conversion failed when converting ...").
#pragma once

struct sqlite3;

namespace q6::tsql {
struct Function;
}

namespace q6::sqlite {

// Registers every function and collation of ours on `db` at once. Returns
// the SQLite result code of the first registration that failed, SQLITE_OK
// otherwise. The driver's connections register the replacements when they
// open and the rest as statements name them (sqlite_extensions.h).
int RegisterTsqlFunctions(sqlite3* db);

// What a connection needs before its first statement: the NOCASE collation
// and the functions that take the place of SQLite's own (upper, lower,
// like). Without them a statement would still run, with SQLite's meaning.
int RegisterReplacements(sqlite3* db);

// Registers the function `f` of the registry on `db` under its engine name,
// once per argument count, with `data` as its user data. SQLite's result
// code.
int RegisterFunction(sqlite3* db, const tsql::Function& f, void* data);

// The NOCASE collation alone; called by RegisterReplacements.
int RegisterNoCase(sqlite3* db);

}  // namespace q6::sqlite
