// The transaction in which LockIt checks for a conflict and inserts its row.
//
// Two lockers that check at the same moment must not both find the table
// free, so the check and the insert run in one transaction that excludes
// every other locker from its start until it ends:
//   - SQLite: Connection::BeginTrans starts with BEGIN IMMEDIATE, which takes
//     the database's write lock at once (a deferred BEGIN that reads first
//     could not upgrade later in WAL mode).
//   - PostgreSQL: BeginTrans, then LOCK TABLE on FD_Locks in SHARE ROW
//     EXCLUSIVE mode, a mode that conflicts with itself and with writers but
//     not with readers; it is held until the transaction ends.
#pragma once

#include <string>

#include "platform/dialect/dialect.h"

namespace q6 {

class Connection;

// The statement that follows BeginTrans on `engine` to shut other lockers
// out; "" when BeginTrans already does it (SQLite).
std::string LockerExclusionStatement(Engine engine);

class LockerTransaction {
 public:
  // Begins the transaction on `con` and shuts other lockers out; waits for
  // the one that holds the table now. Raises the data access layer's error
  // when either step fails (the transaction is then rolled back).
  // REQUIRES: `con` is open, has no transaction open and outlives this.
  explicit LockerTransaction(Connection& con);
  // Rolls back unless committed. A failing rollback is written to the
  // statement trace and otherwise ignored (the connection pool rolls back
  // again when the connection is given back).
  ~LockerTransaction();
  LockerTransaction(const LockerTransaction&) = delete;
  LockerTransaction& operator=(const LockerTransaction&) = delete;

  // Commits; raises the engine's error (the destructor then rolls back).
  void Commit();

 private:
  void RollbackQuietly() noexcept;

  Connection& con_;
  bool open_ = false;
};

}  // namespace q6
