// One transaction on a connection the method holds itself, for one scope.
//
// Allocating an identifier reads a counter and writes it back; another
// allocator of the same type must not read the counter in between. The scope
// begins the transaction on construction with Connection::BeginTrans, which
// takes the engine's write lock at once on SQLite (BEGIN IMMEDIATE), so a
// second allocator waits at its own begin; on PostgreSQL the row lock of the
// counter's select (FOR UPDATE) does the same until commit.
//
// SQLite's waiters poll for the write lock and are not queued, so under a
// crowd of allocators one of them can run out its busy timeout at the begin.
// Nothing has been read or written at that point, so the begin is tried
// again, a few times, after a short random pause.
//
// Commit() ends it; a scope left without Commit() (an exception on the way)
// rolls back, so a failed allocation stores nothing.
#pragma once

#include "platform/adodb/connection.h"

namespace q6 {

class OwnTransaction {
 public:
  // Begins a transaction on `con`, which must outlive the scope, retrying up
  // to kBusyRetries times while the engine reports itself busy. Raises what
  // BeginTrans raises (0x8004D013 when one is already open, 3709 when the
  // connection is closed, E_FAIL when the engine refuses, the busy error
  // when the last try still found the write lock taken).
  explicit OwnTransaction(Connection& con);
  // Rolls back unless Commit() succeeded. A failing rollback is written to
  // the statement trace and otherwise ignored: the error that ended the
  // scope is the one the caller needs, and closing or pooling the
  // connection rolls back as well.
  ~OwnTransaction();
  OwnTransaction(const OwnTransaction&) = delete;
  OwnTransaction& operator=(const OwnTransaction&) = delete;

  // Commits. Raises what CommitTrans raises; the destructor then rolls back
  // whatever the engine still holds open.
  void Commit();

  static constexpr int kBusyRetries = 5;

 private:
  Connection& con_;
  bool done_ = false;
};

}  // namespace q6
