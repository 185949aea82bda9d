// Who holds each lock, and whether that holder still exists.
//
// FD_Locks keeps its six columns for every program that reads it; beside it,
// FD_LockHolders holds one row per lock that this component took: the
// lock's six texts, the holder's host, process id and process start (boot id
// and start tick from /proc), its server session on PostgreSQL (backend pid
// and start), and when the lock was taken. A trigger on FD_Locks deletes a
// lock's holder rows with the lock, whoever deletes it.
//
// A holder is provably gone when:
//   - it ran on this host and its process no longer exists, or a process
//     with its id started at another moment (the id was reused), or the host
//     has restarted since (another boot id);
//   - it ran on another host, and its server session no longer exists on
//     the database server (PostgreSQL: pg_stat_activity has no session with
//     its backend pid and start).
// Anything else counts as alive: a holder on another host that cannot be
// checked (SQLite; a session the login may not see), a lock without a
// holder row (taken by another program), a lock row whose twin rows are not
// all provably gone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/drivers/driver.h"

namespace q6 {

class Connection;

// The six texts of an FD_Locks row, in column order.
struct LockKey {
  std::string id, user, workstation, module, level, digest;
};

struct LockHolder {
  std::string host;
  int64_t pid = 0;
  std::string process_start;  // "boot id/start tick"; "" when unknown
  int64_t backend_pid = 0;    // 0: no server session
  std::string backend_start;
  std::string taken_at;  // "yyyy-mm-dd hh:mm:ss" UTC
};

enum class HolderState { kAlive, kGone, kUnknown };

// Makes sure FD_LockHolders and its trigger exist where `con` points, once
// per process and data source. False, with the cause in the statement trace,
// when they cannot be had (no right to create them): locks are then taken
// without holder rows.
// REQUIRES: `con` is open and has no transaction open.
bool LockHoldersReady(Connection& con);

// Whether FD_LockHolders exists where `con` points (nothing is created).
// REQUIRES: `con` has no transaction open.
bool LockHoldersPresent(Connection& con);

// The statement that writes this process (and `con`'s server session) as
// the holder of `key`, values bound, for the batch that inserts the lock.
Driver::Batched LockHolderRow(Connection& con, const LockKey& key);

// The state of `holder` as this process can prove it (see the top).
HolderState StateOf(Connection& con, const LockHolder& holder);

// Whether every FD_Locks row equal to `key` has a holder row and every such
// holder is provably gone; `who` receives the holders, for the trace.
bool AllHoldersGone(Connection& con, const LockKey& key, std::string* who);

// Deletes the FD_Locks rows equal to `key` (their holder rows go with them).
void DeleteLockRows(Connection& con, const LockKey& key);

// "host pid N" and the session, for messages.
std::string Describe(const LockHolder& holder);

}  // namespace q6
