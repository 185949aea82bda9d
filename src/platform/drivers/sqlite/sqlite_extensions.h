// The T-SQL functions and collations of one SQLite connection, registered
// as its statements first name them.
//
// The functions that take the place of SQLite's own (upper, lower, like)
// and the NOCASE collation are registered when the connection opens
// (RegisterReplacements): without them a statement would still run, with
// SQLite's meaning. The rest, the tsql_* functions and the collations
// tsql_decimal and tsql_date, are only ever named by tsql_* words in a
// statement's text, or by a view, trigger or index of the schema, which
// SQLite then refuses ("no such function: tsql_add"). So a text is scanned
// for those words before it is prepared and what it names is registered
// then; a statement refused for a name of the schema's is prepared again
// once that name is registered. Opening a connection costs no registration
// for the functions its statements never call.
#pragma once

#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_stmt;

namespace q6::sqlite {

class TsqlExtensions {
 public:
  // For the connection `db`, which must outlive this object; nothing is
  // registered yet. The object must not move while `db` is open: the
  // functions registered keep its address (Of).
  explicit TsqlExtensions(sqlite3* db);
  TsqlExtensions(const TsqlExtensions&) = delete;
  TsqlExtensions& operator=(const TsqlExtensions&) = delete;

  // Registers the functions and collations of ours that `text` names
  // (tsql_* words, wherever they stand) and that are not registered yet.
  // Returns the SQLite result code of the first registration that failed.
  int RegisterNamedIn(std::string_view text);
  // sqlite3_prepare_v3 of `bytes` bytes at `text` (whose names the caller
  // registered); when SQLite refuses it for a function or collation of ours
  // that the schema names, that one is registered and the text prepared
  // again. Returns SQLite's result code.
  int Prepare(const char* text, int bytes, unsigned flags, sqlite3_stmt** stmt, const char** tail);
  // After SQLite refused a statement (its last error): registers the
  // function or collation of ours that the error names, when it is not
  // registered yet. Returns whether it registered one (the statement is
  // then worth preparing again).
  bool RegisterRefused();
  // Registers every function and collation not registered yet. Returns the
  // SQLite result code of the first registration that failed.
  int RegisterAll();

  // The extensions of the connection that runs `ctx`, a function
  // registered by one: nullptr for a function registered otherwise
  // (RegisterTsqlFunctions).
  static TsqlExtensions* Of(sqlite3_context* ctx);

 private:
  // Registers entry `entry` (a function of the registry by its index, or
  // one of the collations after them) unless it is. SQLite's result code.
  int Register(size_t entry);

  sqlite3* db_;
  std::vector<bool> registered_;
};

}  // namespace q6::sqlite
