// Which connections of this thread hold an open transaction that locks a
// whole database for writing (SQLite's BEGIN IMMEDIATE).
//
// A second connection of the same thread to the same database cannot get
// that lock until the first transaction ends, which only this thread can do:
// waiting would always run out. A step that needs the write lock asks here
// first and, when the thread already holds it, works inside that
// transaction instead (see ExclusiveTransaction).
//
// Connection keeps the list: BeginTrans adds, CommitTrans, RollbackTrans,
// Close and destruction remove. Engines whose transactions lock rows and
// tables only (Driver::WriteLockKey() == "") are never listed.
#pragma once

#include "runtime/internal_export.h"

namespace q6 {

class Connection;

Q6FD_INTERNAL void NoteWriteTransaction(Connection* con);
Q6FD_INTERNAL void ForgetWriteTransaction(Connection* con) noexcept;

// Another connection of this thread with a transaction open on the same
// database as `con` (same WriteLockKey), or nullptr.
// REQUIRES: `con` is open.
Q6FD_INTERNAL Connection* WriteTransactionHolder(const Connection& con);

}  // namespace q6
