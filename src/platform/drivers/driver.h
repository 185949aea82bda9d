// The one small interface every database engine is reached through.
//
// A Driver is one open connection to one engine. It runs statement text that
// is already in the engine's own dialect and hands back the whole result at
// once (column names, declared types, rows of Variants, rows affected); it
// runs parameterised statements for the rows an updatable recordset writes;
// and it keeps transactions: Begin, Commit and Rollback check the state
// themselves, so a Commit or Rollback with no transaction open fails the same
// way on every engine.
//
// Every statement a driver sends is timed and written to the statement trace
// (trace.h) with the text the caller built and the text sent.
//
// Single statements (SELECT, INSERT, UPDATE, DELETE) run as prepared
// statements kept per connection (StatementCache, a few dozen): literals after
// comparisons or in VALUES rows become parameters (literal_params.h): texts
// that differ only in those values share one prepared statement, and
// ExecuteParams prepares each text once. The trace still shows the text with
// its values. A statement prepared before a table changed is prepared again
// by the engine (SQLite) or by the driver (PostgreSQL), so it sees the table
// as it is now.
//
// Errors: every engine error is a ComError E_FAIL (0x80004005) carrying the
// engine's message (and SQLSTATE on PostgreSQL), the kind of failure
// (ErrorKind) and the engine's own code; each driver maps its errors in its
// error.cpp. A Driver belongs to one thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datasource/data_source.h"
#include "platform/dialect/column_types.h"
#include "platform/dialect/dialect.h"
#include "platform/dialect/literal_params.h"
#include "platform/drivers/ado_type.h"
#include "platform/drivers/cell_store.h"
#include "platform/drivers/result_columns.h"
#include "runtime/internal_export.h"
#include "runtime/variant.h"

namespace q6 {

class BulkLoad;

// The complete result of one statement.
struct Q6FD_INTERNAL ResultSet {
  bool has_rows = false;  // the statement returns rows (possibly none)
  ResultColumns columns;  // empty unless has_rows; shared with the statement that made it
  CellStore cells;        // row-major: row r, column c at r * columns.size() + c
  size_t row_count = 0;
  int64_t rows_affected = -1;  // rows changed by an insert, update or delete; else -1
};

// What a read-then-write step keeps to itself for the length of its
// transaction (Driver::ExclusionStatements).
struct Q6FD_INTERNAL ExclusiveResource {
  enum class Kind {
    kTableWriters,  // the table `name` against every other writer; readers go on
    kName,          // the name `name` against every transaction that asks for it
  };
  Kind kind = Kind::kName;
  std::string name;
  // The longest wait for the resource in milliseconds; 0: the connection's
  // own limit.
  int max_wait_ms = 0;
};

// HRESULTs of transaction misuse.
constexpr HRESULT kXactNoTransaction = MakeHr(0x8004D00Eu);
constexpr HRESULT kXactOnlyOneTransaction = MakeHr(0x8004D013u);

// One statement of a batch: a translation holding one statement, with
// its params bound to the placeholders as ExecuteParams binds them (none:
// the text runs as Execute runs it, its literals bound from its shape
// where it has one); `built` is the text for the trace ("" when it is
// the native text).
struct Q6FD_INTERNAL BatchedStatement {
  Translation sql;
  std::string built;
};

class Q6FD_INTERNAL Driver {
 public:
  virtual ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  virtual Engine engine() const = 0;
  // Unique in the process; the "conn" of trace lines.
  int64_t id() const { return id_; }

  // Runs `sql` (the engine's dialect; its params, when it has any, bound
  // as ExecuteParams binds them). `built` is the text the caller built it
  // from, for the trace ("" when it is the same text). SQLite runs every
  // statement of a multi-statement text and returns the first result that
  // has rows (or the last one); PostgreSQL returns the last result. Raises
  // E_FAIL with the engine's message, and E_FAIL without sending anything
  // when the text holds a NUL character.
  ResultSet Execute(const Translation& sql, std::string_view built = {});

  // Runs `sql` when it holds exactly one statement (blanks, comments and
  // a closing ';' may follow it), as the engine itself splits the text, so
  // a condition or column list taken from a caller cannot carry a second
  // statement along. Raises E_FAIL, running nothing, when more follows;
  // otherwise as Execute. Statements the dialect added behind the one
  // written (Translation::appended) run with it.
  ResultSet ExecuteOne(const Translation& sql, std::string_view built = {});

  // Runs `native`, one statement, with `params` bound to its placeholders
  // (Placeholder(i)). Null and Empty bind as NULL, Booleans as 1/0, numbers
  // as numbers, Dates as "yyyy-mm-dd hh:mm:ss" text, Strings as text, byte
  // arrays as bytes. Raises as Execute, E_FAIL for a text value holding a
  // NUL character, and E_FAIL, running nothing, for a text holding more
  // than one statement (values are bound to one statement).
  ResultSet ExecuteParams(const std::string& native, const std::vector<Variant>& params,
                          std::string_view built = {});
  // The same with the values left where they are: `params` point at them
  // (none is null), for a caller that holds them already (a recordset's
  // row), so that nothing is copied on the way to the engine.
  ResultSet ExecuteParams(const std::string& native, std::span<const Variant* const> params,
                          std::string_view built = {});

  using Batched = BatchedStatement;

  // Runs `batch` in order and returns one result per statement. Engines
  // that can send several statements before reading any answer
  // (PostgreSQL's pipeline) send the batch in one exchange; the others run
  // one statement after the other. The first statement that fails raises
  // its error and the ones after it do not run; what ran before it stands
  // (inside a transaction, until the caller rolls back). Every statement
  // that was run is traced; statements that went in one exchange show the
  // time of the whole exchange.
  std::vector<ResultSet> ExecuteBatch(std::span<const Batched> batch);
  // Whether ExecuteBatch sends a batch in one exchange, so that a caller
  // gains by gathering statements first. Baseline: false.
  virtual bool SendsBatchesTogether() const { return false; }

  // The declared types of this connection's columns, for the translator
  // (TranslateSql); null when the engine gives none (the baseline). Owned by
  // the driver, valid while it is; used on the driver's thread.
  virtual dialect::ColumnTypes* column_types() { return nullptr; }

  // The placeholder for the 1-based parameter `n`: "?1" or "$1".
  virtual std::string Placeholder(int n) const = 0;

  // The data types (DataTypeEnum) of the parameters of `native`, one
  // statement with placeholders (Placeholder), in parameter order, as the
  // engine reads them from where they stand; kAdVariant for each one whose
  // type the engine does not tell (SQLite tells none, only how many there
  // are). Nothing runs. Raises E_FAIL with the engine's message when it
  // refuses the text, and as Execute on a connection of a forked process.
  std::vector<int32_t> ParameterTypes(const std::string& native);

  // Names of the primary key columns of `table`, in key order; empty when the
  // table has no primary key (or does not exist).
  std::vector<std::string> PrimaryKey(const std::string& table);

  // Transactions. Begin raises kXactOnlyOneTransaction when one is open;
  // Commit and Rollback raise kXactNoTransaction when none is. Engine errors
  // raise E_FAIL. SQLite begins with BEGIN IMMEDIATE (the write lock is
  // taken at once, so a read-then-write never fails half way).
  void Begin();
  void Commit();
  void Rollback();
  // Begin followed by `natives` (statements whose results nobody reads),
  // and `writes` followed by Commit, each sent as one batch (ExecuteBatch).
  // They refuse as Begin and Commit do, sending nothing; a failure in the
  // batch raises its error and leaves an open transaction open.
  void BeginWith(const std::vector<std::string>& natives);
  void CommitAfter(const std::vector<Batched>& writes);
  // Whether the engine has a transaction open (an explicit one).
  virtual bool InTransaction() const = 0;

  // Engine differences, asked for by purpose. Each has one baseline here,
  // overridden by the engines that need more, so that no caller has to ask
  // which engine it talks to.
  //
  // The statements that, run right after Begin, keep `resource` to this
  // transaction until it ends; waiters wait for that. Baseline: none, for
  // an engine whose Begin already shuts every other writer out (SQLite's
  // BEGIN IMMEDIATE takes the database's write lock).
  virtual std::vector<std::string> ExclusionStatements(const ExclusiveResource& resource) const;
  // `select`, the native text of one SELECT, changed so that it also locks
  // the rows it reads until the transaction ends. Baseline: unchanged, for
  // the same reason. A select the engine cannot lock rows for (an
  // aggregate, say) then fails instead of reading without the lock.
  virtual std::string WithRowLock(std::string select) const;
  // The longest text, in bytes, that the engine's indexes take as one key;
  // SIZE_MAX (the baseline) when there is no such limit.
  virtual size_t MaxIndexedTextBytes() const;

  // Opens a bulk load (bulk_load.h) of `columns` of `table`, names as
  // written in the engine's SQL (quoted by the caller where needed).
  // REQUIRES: a transaction is open and stays open until the load finishes
  // or is dropped. Raises E_FAIL with the engine's message (an unknown
  // table or column).
  virtual std::unique_ptr<BulkLoad> OpenBulkLoad(const std::string& table,
                                                 const std::vector<std::string>& columns) = 0;

  // False when the connection no longer works (a server that went away);
  // sends a trivial round trip on client/server engines. Never raises.
  virtual bool IsAlive() = 0;
  // IsAlive for a connection handed out again by a pool: engines that can
  // tell without a round trip do (PostgreSQL trusts a connection that
  // answered in the last two seconds and has nothing waiting on its socket:
  // a server that ends a session says so there first). Baseline: IsAlive.
  virtual bool StillAlive() { return IsAlive(); }

  // The data source this driver was opened for, as trace lines name it:
  // its name from the data-source file, or its description without password.
  const std::string& source() const { return source_; }
  void set_source(std::string s) { source_ = std::move(s); }

  // A key naming what a write transaction of this engine locks as a whole
  // (SQLite: the database file), so that two connections with the same key
  // know they exclude each other; "" for engines whose transactions lock
  // rows and tables only (PostgreSQL) and for in-memory databases.
  virtual std::string WriteLockKey() const { return ""; }

  // This session's identity on a database server (the server's process id
  // for it and when that process started); pid 0 for embedded engines.
  struct ServerSession {
    int64_t pid = 0;
    std::string started;
  };
  virtual ServerSession ThisServerSession() { return {}; }
  // Whether the server session `s` (perhaps another client's) still exists:
  // false when the server no longer has it, true when it does, nullopt when
  // the engine has no server sessions or cannot tell. Raises E_FAIL when
  // the question itself fails.
  virtual std::optional<bool> ServerSessionExists(const ServerSession&) { return std::nullopt; }

  // True in a process forked after this driver was opened. Such a driver
  // shares its engine state (a server session's socket, a database handle)
  // with the parent: every statement on it is refused without sending
  // anything, and destroying it lets go of the memory without ending the
  // parent's session or touching its file locks.
  bool InheritedAcrossFork() const;

  // The text of the last error this driver raised; "" when none yet.
  const std::string& last_error() const { return last_error_; }

 protected:
  Driver();
  // Engine parts; errors are raised as ComError E_FAIL.
  virtual ResultSet DoExecute(const std::string& native) = 0;
  // The first statement of `native`; raises E_FAIL when another follows.
  virtual ResultSet DoExecuteOne(const std::string& native) = 0;
  // Raises E_FAIL, running nothing, unless `native` is one statement (as
  // DoExecuteOne takes it); may raise the engine's error for that one.
  virtual void DoCheckOne(const std::string& native) = 0;
  virtual ResultSet DoExecuteParams(const std::string& native,
                                    std::span<const Variant* const> params) = 0;
  virtual std::vector<int32_t> DoParameterTypes(const std::string& native) = 0;
  // Runs one statement with its literals bound (kept prepared for its
  // text); nullopt, running nothing, when the engine does not see exactly
  // one statement in `sql.text`.
  virtual std::optional<ResultSet> DoExecuteLiterals(const ParameterizedSql& sql) = 0;
  // Sends `batch` in one exchange, appending to `done` the result of each
  // statement that succeeded, in order, and raising the error of the
  // first one that failed. Only called on engines whose
  // SendsBatchesTogether() is true; the baseline raises.
  virtual void DoExecuteBatch(std::span<const Batched> batch, std::vector<ResultSet>* done);
  virtual const char* BeginText() const = 0;
  // A query listing the key column names of the table given as parameter 1.
  virtual std::string PrimaryKeyQuery() const = 0;

 private:
  // `sql` through DoExecuteLiterals when it can go that way, else
  // through `fallback`.
  template <class F>
  ResultSet Prepared(const Translation& sql, F&& fallback);
  template <class F>
  ResultSet Traced(const std::string& native, std::string_view built, F&& run);

  int64_t id_;
  std::string source_;
  uint64_t fork_generation_;  // the process's fork count when opened
  std::string last_error_;
};

// Opens a connection to `ds`. Raises E_FAIL with the engine's message when it
// cannot (an unreachable server, a database file that cannot be opened).
Q6FD_INTERNAL std::unique_ptr<Driver> OpenDriver(const DataSource& ds);

}  // namespace q6
