// The one transaction of a read-then-write step that must not interleave
// with the same step in another process: allocating an OID, taking a lock,
// saving metadata.
//
// It begins with Connection::BeginTrans, which on SQLite is BEGIN IMMEDIATE:
// the database's write lock is taken at once, so a second writer waits at its
// own begin (a deferred BEGIN that reads first could not upgrade later in WAL
// mode). The caller names the resource it must have to itself (the writers
// of a table, a name all steps of its kind share); the driver says what
// that takes on its engine (Driver::ExclusionStatements: nothing more on
// SQLite, a table or advisory lock on PostgreSQL), run right after the
// begin, in the same exchange with the server (Connection::BeginTransWith),
// and held until the transaction ends. Callers that lock the rows
// they read instead (kExecuteLockingRows) name none.
//
// Every wait is bounded by the data source's own timeout (BusyTimeout on
// SQLite, LockTimeout on PostgreSQL); running out raises the engine's error,
// which says what was waited for. Nothing is tried again.
//
// Joining the thread's own write transaction (Join::kThisThreadsWriter):
// when another connection of this thread already holds the write lock on
// the same database (a caller's BeginTrans on SQLite), waiting could only
// run out, so the step runs on that connection inside a savepoint instead.
// Its work then becomes part of the caller's transaction: committed with it,
// and undone with it when the caller rolls back.
//
// A scope left without Commit() (an exception on the way) rolls back, so a
// failed step writes nothing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/drivers/driver.h"

namespace q6 {

class Connection;

class ExclusiveTransaction {
 public:
  enum class Join { kNever, kThisThreadsWriter };

  // Begins the transaction on `con` (or, see above, a savepoint on the
  // connection of this thread that holds the write lock) and takes
  // `resource`. Raises what fails (0x8004D013 when a transaction is already
  // open on `con`, E_FAIL from the engine with kind busy or lock_timeout when
  // a wait ran out); nothing is left open then. `source` names the step in
  // the trace.
  // REQUIRES: `con` is open and outlives this object.
  ExclusiveTransaction(Connection& con, std::string source,
                       const std::optional<ExclusiveResource>& resource = std::nullopt,
                       Join join = Join::kNever);
  // Rolls back unless committed. A failing rollback is written to the
  // statement trace and otherwise ignored: the error that ended the scope is
  // the one the caller needs, and the connection pool rolls back again.
  ~ExclusiveTransaction();
  ExclusiveTransaction(const ExclusiveTransaction&) = delete;
  ExclusiveTransaction& operator=(const ExclusiveTransaction&) = delete;

  // The connection the step's statements must run on: `con`, or the
  // joined transaction's connection.
  Connection& connection() const { return *con_; }
  // Whether the step runs inside the thread's own write transaction.
  bool joined() const { return joined_; }

  // Commits (releases the savepoint when joined); raises the engine's error
  // (the destructor then rolls back what the engine still holds open).
  void Commit();
  // Runs the step's last `writes` (Connection::Batched for T-SQL) and
  // commits, sent to the engine together (one exchange on PostgreSQL);
  // raises as Commit, and the first failing write's error.
  void CommitAfter(const std::vector<Driver::Batched>& writes);

 private:
  void RollbackQuietly() noexcept;

  Connection* con_;
  std::string source_;
  bool open_ = false;
  bool joined_ = false;
};

}  // namespace q6
