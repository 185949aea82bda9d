// SQL Server's meaning of T-SQL operators and functions on SQLite: the
// functions and the collation every SQLite connection gets when it opens.
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

namespace q6::sqlite {

// Registers the functions and the collation on `db`. Returns the SQLite
// result code of the first registration that failed, SQLITE_OK otherwise.
int RegisterTsqlFunctions(sqlite3* db);

// The NOCASE collation alone; called by RegisterTsqlFunctions.
int RegisterNoCase(sqlite3* db);

}  // namespace q6::sqlite
