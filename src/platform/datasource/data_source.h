// Data sources: what a connection opens.
//
// A data-source name is looked up in an ini file in the style of odbc.ini:
// the file named by Q6FD_DSN_FILE, else ./q6fd.ini, else
// ~/.config/q6fd/q6fd.ini (only the first of these that applies is read). A
// section per name, keys matched without regard to case:
//
//   [demo]                      [shared]
//   Driver=sqlite               Driver=postgresql
//   Database=var/demo.db        Server=127.0.0.1   (host, address or socket folder)
//                               Port=5432
//                               Database=fund
//                               UID=fund
//                               PWD=secret
//
// A SQLite file path or a postgresql:// URI is taken as such
// (source_text.h). A text that contains '=' is a connection string in the same keys
// ("Driver=sqlite;Database=x.db"); "DSN=name" names a section, and further
// keys in the same text override the section's. A relative SQLite path is
// relative to the ini file's folder (to the working folder for a connection
// string). The key Schema (PostgreSQL only) puts a schema first on the search
// path. Passwords never appear in messages.
//
// Waits, in milliseconds (default 5000 each, 0 = do not wait):
//   BusyTimeout   SQLite: how long a statement waits for another connection's
//                 write lock on the database file.
//   LockTimeout   PostgreSQL: how long a statement waits for a row, table or
//                 advisory lock (the session's lock_timeout).
// Either key is taken by either engine when its own is not given.
//   IdleInTransactionTimeout  PostgreSQL (default 60000, 0 = none): a session
//                 left idle inside a transaction that long (a frozen or cut-off
//                 client) is ended by the server, which frees its locks.
//   StatementTimeout  PostgreSQL (default 0 = none): longest statement.
//   ReclaimStaleLocks=1  LockIt takes over a lock whose holder is provably
//                 gone instead of refusing it (see component/locks).
//
// Many clients on one PostgreSQL (PostgreSQL only):
//   Pooler=transaction  the server is a connection pooler that hands each
//                 transaction any of its server sessions: the driver keeps
//                 nothing in a session past a transaction (statements are not
//                 kept prepared; the search path and the waits above are given
//                 again with each transaction's first statement). Pooler=none
//                 (the default) is a session of one's own.
//   Server=h1,h2  several servers, tried in order (with Port=p1,p2, or one
//                 port for all): a connection goes to the one that takes
//                 writes, so that after a replica is promoted the next
//                 connection reaches the new primary.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/datasource/engine.h"
#include "runtime/export.h"

namespace q6 {

struct Q6FD_API DataSource {
  std::string name;  // the section name; "" for a plain connection string
  Engine engine = Engine::SQLite;
  std::string database;  // SQLite: file path (or ":memory:"); PostgreSQL: database
  std::string server;    // PostgreSQL host, address or socket folder
  std::string port;
  std::string uid;
  std::string pwd;
  std::string schema;        // PostgreSQL: searched first; "" for the default path
  std::string origin;        // the ini file it came from, or "connection string"
  int busy_timeout_ms = -1;  // -1: not given
  int lock_timeout_ms = -1;  // -1: not given
  int idle_in_transaction_timeout_ms = 60000;
  int statement_timeout_ms = 0;
  bool reclaim_stale_locks = false;
  bool pooled = false;  // Pooler=transaction

  static constexpr int kDefaultWaitMs = 5000;
  // The wait each engine applies (see the keys above).
  int SqliteBusyTimeoutMs() const;
  int PostgresLockTimeoutMs() const;

  // The data source as a connection string without the password, for
  // messages: "Driver=postgresql;Server=/tmp/pg;Port=5433;Database=q6;UID=u".
  std::string Describe() const;
};

// Resolves a data-source name, "DSN=name[;key=value...]" or a connection
// string. Raises ComError E_FAIL (0x80004005) when the name is not defined
// (the message names it and the file searched), when the ini file named by
// Q6FD_DSN_FILE does not exist, and when Driver is missing or unknown.
// The ini file is read on first use and read again when it changes.
Q6FD_API DataSource ResolveDataSource(std::string_view text);

// The ini file names are looked up in: Q6FD_DSN_FILE if set, else ./q6fd.ini
// if it exists, else ~/.config/q6fd/q6fd.ini. The path may not exist.
Q6FD_API std::string DataSourceFilePath();

// The file a new data-source section belongs in, so that names are looked
// up in it from then on: DataSourceFilePath() when Q6FD_DSN_FILE names it or
// the file exists, else ./q6fd.ini (absolute), which once created is
// searched before the file in the home folder. The path may not exist.
Q6FD_API std::string DataSourceFileForNewSections();

// Splits "k=v;k2={v;2}" into pairs in order; keys keep their case, values
// are trimmed of blanks, a value in braces may contain ';'. Empty items are
// skipped.
Q6FD_API std::vector<std::pair<std::string, std::string>> ParseConnectionString(
    std::string_view text);

}  // namespace q6
