// The SQLite driver: the sqlite3 C API on a database file.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/drivers/driver.h"
#include "platform/drivers/statement_cache.h"

struct sqlite3;
struct sqlite3_stmt;

namespace q6::sqlite {

class TsqlExtensions;
class SqliteColumnTypes;

class SqliteDriver : public Driver {
 public:
  // Opens (creating if needed) the database file `path` with the WAL
  // journal, a busy timeout of `busy_timeout_ms` and foreign keys on. A file
  // the process may not write opens for reading only, in the journal mode it
  // has; writes then fail with E_FAIL "attempt to write a readonly
  // database". Raises E_FAIL when the file cannot be opened, and when it has
  // more than one hard link: each name of the file would keep a journal of
  // its own, so writers through two names would not exclude each other.
  explicit SqliteDriver(const std::string& path, int busy_timeout_ms = kBusyTimeoutMs);
  ~SqliteDriver() override;

  Engine engine() const override { return Engine::SQLite; }
  std::string Placeholder(int n) const override { return "?" + std::to_string(n); }
  bool InTransaction() const override;
  // A prepared INSERT reused for every row (sqlite/bulk_load.cpp).
  std::unique_ptr<BulkLoad> OpenBulkLoad(const std::string& table,
                                         const std::vector<std::string>& columns) override;
  bool IsAlive() override { return db_ != nullptr; }
  // Made on first use (sqlite_column_types.h).
  dialect::ColumnTypes* column_types() override;
  // "device:inode" of the database file; "" for an in-memory database.
  std::string WriteLockKey() const override { return file_key_; }

  // How long a statement waits for another connection's lock before it
  // fails with SQLITE_BUSY when the data source does not say; tries are a
  // few milliseconds apart.
  static constexpr int kBusyTimeoutMs = 5000;

  // What the busy handler keeps: when the current wait began, how long it
  // may last.
  struct BusyWait {
    std::chrono::steady_clock::time_point since;
    std::chrono::milliseconds limit{kBusyTimeoutMs};
  };

 protected:
  ResultSet DoExecute(const std::string& native) override;
  ResultSet DoExecuteOne(const std::string& native) override;
  void DoCheckOne(const std::string& native) override;
  ResultSet DoExecuteParams(const std::string& native,
                            std::span<const Variant* const> params) override;
  std::vector<int32_t> DoParameterTypes(const std::string& native) override;
  std::optional<ResultSet> DoExecuteLiterals(const ParameterizedSql& sql) override;
  const char* BeginText() const override { return "BEGIN IMMEDIATE"; }
  std::string PrimaryKeyQuery() const override;

 private:
  // The first statement of `native`, prepared for one use (the caller
  // finalizes it; null for a text of blanks and comments). Raises the
  // engine's error, and E_FAIL when another statement follows.
  sqlite3_stmt* PrepareOne(const std::string& native);
  // A statement kept prepared for its text, with the columns of its
  // result as last read and the number of times the engine had prepared it
  // again by then: a statement's columns change only when it is prepared
  // again (its table changed), so they are read from the engine once and
  // shared by every result of it (ResultColumns), not read or copied at
  // every run. New columns go to a new list; results made before keep
  // theirs.
  struct KeptStatement {
    sqlite3_stmt* stmt = nullptr;
    int reprepared = -1;
    ResultColumns columns;
  };
  // The statement kept for `text`, prepared now if needed; nullptr when the
  // text holds no statement or more than one, and when the engine refuses
  // it and `quiet`; otherwise raises the prepare error. Valid until the
  // cache lets it go (the next statement kept may push it out).
  KeptStatement* Cached(const std::string& text, bool quiet);
  // Notes `kept` as the statement of `text` that Cached handed out last.
  KeptStatement* Remember(const std::string& text, KeptStatement* kept);
  // Steps the kept statement to its end into `out` (as Run does), its
  // columns read from the engine only when it was prepared again.
  void RunKept(KeptStatement& kept, ResultSet* out);
  // Registers every function and collation of ours not registered yet (a
  // bulk load's statements are prepared and stepped outside the driver's
  // own calls).
  void RequireExtensions();

  sqlite3* db_ = nullptr;
  std::unique_ptr<SqliteColumnTypes> column_types_;  // on db_; null until asked for
  // The functions and collations of ours registered on db_ as statements
  // name them.
  std::unique_ptr<TsqlExtensions> extensions_;
  // The statement Cached handed out last and its text (cleared when the
  // cache lets the statement go).
  KeptStatement* last_ = nullptr;
  std::string last_text_;
  // Prepared with sqlite3_prepare_v3, which prepares a statement again by
  // itself when the schema changed since (SQLITE_SCHEMA never reaches us).
  StatementCache<KeptStatement> statements_;
  BusyWait busy_;
  std::string busy_context_;  // what a statement that ran out of waiting says
  std::string file_key_;
};

}  // namespace q6::sqlite
