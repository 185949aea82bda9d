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
// begin and held until the transaction ends. Callers that lock the rows
// they read instead (kExecuteLockingRows) name none.
//
// A scope left without Commit() (an exception on the way) rolls back, so a
// failed step writes nothing.
#pragma once

#include <optional>
#include <string>

#include "platform/drivers/driver.h"

namespace q6 {

class Connection;

class ExclusiveTransaction {
 public:
  // Begins the transaction on `con` and takes `resource`. SQLite's waiters
  // poll for the write lock and are not queued, so under a crowd one of them
  // can run out its busy timeout at the begin; nothing has been read then,
  // and the begin is tried again up to `busy_retries` times after a short
  // random pause. Raises what fails (0x8004D013 when a transaction is already
  // open, E_FAIL from the engine); nothing is left open then. `source` names
  // the step in the trace notes.
  // REQUIRES: `con` is open and outlives this object.
  ExclusiveTransaction(Connection& con, std::string source,
                       const std::optional<ExclusiveResource>& resource = std::nullopt,
                       int busy_retries = 0);
  // Rolls back unless committed. A failing rollback is written to the
  // statement trace and otherwise ignored: the error that ended the scope is
  // the one the caller needs, and the connection pool rolls back again.
  ~ExclusiveTransaction();
  ExclusiveTransaction(const ExclusiveTransaction&) = delete;
  ExclusiveTransaction& operator=(const ExclusiveTransaction&) = delete;

  // Commits; raises the engine's error (the destructor then rolls back what
  // the engine still holds open).
  void Commit();

 private:
  void BeginRetryingWhileBusy(int busy_retries);
  void RollbackQuietly() noexcept;

  Connection& con_;
  std::string source_;
  bool open_ = false;
};

}  // namespace q6
