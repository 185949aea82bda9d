// The declared types of a SQLite connection's columns, for the translator
// (dialect/column_types.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/dialect/column_types.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_file;

namespace q6::sqlite {

// Answers from the connection's own copy of the schema
// (sqlite3_table_column_metadata): no statement runs for an answer.
//
// That copy follows this connection's own changes at once, but another
// connection's only when this one next starts reading the file, which is
// after its next statement was translated. So the first answer after
// BeforeStatement first makes sure the copy is current:
// - With the WAL journal, the header of the WAL index (the shared memory
//   every connection to the file maps, a 48-byte record that changes with
//   each commit) is compared with the header seen at the last check. The
//   same header: nothing was committed since, the copy holds (no statement,
//   no lock, no system call).
// - Otherwise (a commit since, a file without the WAL journal, the first
//   check), one kept statement runs that reads the schema: the engine
//   compares the file's schema cookie with its copy's and loads the schema
//   again when they differ. A commit of this connection's own counts as a
//   commit too: its next type-reading statement pays for that read, which
//   inside a transaction is a read of a page already held.
// The header is noted only when the check ran outside a transaction (inside
// one, the copy follows the transaction's snapshot, which may be older);
// inside one, a check serves the rest of the transaction.
//
// Left: a change committed between this check and the start of the
// statement's own read (microseconds) is seen by the engine, which prepares
// the statement again, but not by its translation.
class SqliteColumnTypes final : public dialect::ColumnTypes {
 public:
  // REQUIRES: `db` outlives this object; made and used on the connection's
  // thread.
  explicit SqliteColumnTypes(sqlite3* db) : db_(db) {}
  ~SqliteColumnTypes() override;
  SqliteColumnTypes(const SqliteColumnTypes&) = delete;
  SqliteColumnTypes& operator=(const SqliteColumnTypes&) = delete;

  void BeforeStatement() override { current_ = false; }
  dialect::ColumnType TypeOf(std::string_view table, std::string_view column) override;

 private:
  // The WAL index header, as the 12 words of its first copy.
  struct WalHeader {
    uint32_t words[12] = {};
    friend bool operator==(const WalHeader&, const WalHeader&) = default;
  };
  // Makes the schema copy current (see above).
  void Follow();
  // The WAL index header as it is now; false when it cannot be read
  // without a statement (no WAL journal, the index not mapped).
  bool ReadWalHeader(WalHeader* out);
  // Runs the check statement; false when it failed.
  bool CheckSchema();
  // Once, after the first check: whether the file runs with the WAL journal
  // in the normal locking mode, and which file the WAL is.
  void LearnJournal();

  sqlite3* db_;
  bool current_ = false;           // checked since the last BeforeStatement
  sqlite3_stmt* check_ = nullptr;  // reads the schema; kept prepared
  bool journal_known_ = false;
  sqlite3_file* db_file_ = nullptr;   // the database file, when its WAL index may be read
  sqlite3_file* wal_file_ = nullptr;  // the WAL, open while it is the connection's journal
  bool seen_valid_ = false;
  WalHeader seen_;  // the header at the last check made outside a transaction
  // The last check was made inside a transaction that had read, when the
  // connection's data version was inside_version_.
  bool checked_inside_ = false;
  unsigned inside_version_ = 0;
};

}  // namespace q6::sqlite
