// Who holds each lock, and whether that holder still exists.
//
// FD_Locks keeps its six columns for every program that reads it; beside it,
// FD_LockHolders holds the holder's identity (host name, machine id, boot
// id, PID namespace, process id and start tick), when the lock was taken,
// when the holder last renewed its lease (lock_lease.h) and whether an
// administrator took it, for the locks this component took:
//   - SQLite: one row per lock, with the lock row's rowid as its own and in
//     lock_xact, and the lock's six texts. A trigger on FD_Locks deletes a
//     lock's holder row with the lock, whoever deletes it, by rowid: a
//     release touches no index of FD_LockHolders.
//   - PostgreSQL: one row per transaction that inserted locks, naming them
//     by that transaction (lock_xact: the id the lock rows carry as their
//     xmin), so that a list of N locks writes one holder row, not N, and a
//     release deletes nothing but locks. A row whose locks are all gone is
//     dropped by the next lease round of any locking process
//     (DropReleasedTransactionHolders); until then it names no lock, since
//     no later lock row carries its transaction.
// Rows of earlier releases (one per lock, naming it by its texts, lock_xact
// null) are still read on both engines, and the triggers still delete them.
//
// How a holder is judged (in this order):
//   - taken by an administrator (`q6fd lock`): never stale;
//   - a row without a machine id was written by an earlier release: alive
//     when this process sees a process with its id and start on the same
//     host and boot, unknown otherwise (its PID namespace is not known, so
//     a missing process proves nothing);
//   - the same host name, machine id, boot id and PID namespace as this
//     process: the process is looked up by id. Gone when no process has the
//     id, when the process with the id started at another tick (the id was
//     reused) or when every one of its threads has ended; alive while any
//     of its threads runs (a leader that exited before its other threads
//     shows as a zombie and does not count); unknown when /proc cannot say;
//   - anything else (another machine, a clone of this one, a container with
//     its own PID namespace, this machine after a reboot): alive while its
//     lease runs, that is while its renewal is at most kLeaseSeconds old on
//     the database server's clock; gone after that.
// A server session is never asked: a pooled session ends and starts
// independently of the process that holds the lock.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/drivers/driver.h"
#include "runtime/internal_export.h"

namespace q6 {

class Connection;
class Recordset;

// The six texts of an FD_Locks row, in column order.
struct LockKey {
  std::string id, user, workstation, module, level, digest;
};

// A process as FD_LockHolders names it.
struct ProcessIdentity {
  std::string host;
  std::string machine_id;  // /etc/machine-id; "" when the machine has none
  std::string boot_id;     // the kernel's boot id
  std::string pid_ns;      // "pid:[inode]" of the process's PID namespace
  int64_t pid = 0;
  std::string start_tick;  // field 22 of /proc/<pid>/stat
};

// This process, read once per process (a forked child reads its own).
const ProcessIdentity& ThisProcess();

struct LockHolder {
  ProcessIdentity process;  // machine_id and pid_ns "" in rows of an earlier release
  std::string taken_at;     // "yyyy-mm-dd hh:mm:ss" UTC
  std::string renewed_at;   // the same, server time; "" when never renewed
  bool administrator = false;
  bool earlier_release = false;  // written without a machine id
  std::string malformed;         // why the row cannot be read; "" when it can
};

enum class HolderState { kAlive, kGone, kUnknown, kAdministrator };

// How often a holding process renews its lease, and how old a renewal may
// be before its holder counts as gone on other machines.
inline constexpr int kLeaseRenewSeconds = 20;
inline constexpr int kLeaseSeconds = 120;

// Makes sure FD_LockHolders, its added columns and its trigger exist where
// `con` points, once per process and data source, and drops holder rows
// whose lock no longer exists (left by a release trigger that was missing).
// False, with the cause in the statement trace, when they cannot be had (no
// right to create them): locks are then taken without holder rows.
// REQUIRES: `con` is open and has no transaction open.
bool LockHoldersReady(Connection& con);

// Whether FD_LockHolders exists where `con` points (nothing is created).
// REQUIRES: `con` has no transaction open.
bool LockHoldersPresent(Connection& con);

// Makes the holder rows this process writes administrators' locks (never
// stale) from now on: what `q6fd lock` does, whose process ends at once.
Q6FD_INTERNAL void TakeLocksAsAdministrator();
bool TakingLocksAsAdministrator();

// The database server's clock as "yyyy-mm-dd hh:mm:ss" UTC, in `engine`'s
// own SQL: what renewed_at is written with and judged against.
std::string UtcNowSql(Engine engine);

// Whether holder rows on `con`'s engine stand for the locks of a
// transaction (PostgreSQL) rather than name one lock each (SQLite).
bool HolderPerTransaction(const Connection& con);

// PostgreSQL: the statement that writes this process as the holder of
// every lock row the current transaction inserts, values bound; sent once
// per transaction, before its commit, after its lock rows.
Driver::Batched LockHolderTransactionRow(Connection& con);

// PostgreSQL: deletes the transaction holder rows whose locks are all gone
// (released, taken over); nothing on SQLite, whose trigger does it.
void DropReleasedTransactionHolders(Connection& con);

// The select of every FD_Locks row `l` (its six columns) with the columns of
// its holder row as ReadLockHolder reads them, nulls where it has none; a
// lock row with several holder rows comes once per row. `up_to_date`: the
// holder table has the columns added since its first release.
std::string LocksWithHoldersSql(const Connection& con, bool up_to_date);

// SQLite: the statement that writes this process as the holder of the
// lock rows the statement before it inserted (the last one, or every row of
// a list's insert), values bound, for the batch that inserts the locks. Each
// holder row takes its lock row's rowid (also in lock_xact) and texts.
enum class InsertedLocks { kOne, kList };
Driver::Batched LockHoldersOfInsert(Connection& con, InsertedLocks inserted);

// The holder columns of the current row of `rs` (host, pid, process_start,
// taken_at, machine_id, pid_ns, renewed_at, holder_kind); a row whose
// values cannot be read comes back with `malformed` set, never raises.
LockHolder ReadLockHolder(Recordset& rs);

// Judges holders for one observer: this process, or `observer` (tests
// stand in for a process on another machine). The server's clock is read
// once, on the first holder that needs it.
class HolderJudge {
 public:
  explicit HolderJudge(Connection& con, const ProcessIdentity& observer = ThisProcess());
  HolderState StateOf(const LockHolder& holder);

 private:
  std::optional<int64_t> ServerNow();
  Connection& con_;
  ProcessIdentity observer_;
  bool asked_ = false;
  std::optional<int64_t> now_;
};

// Whether every FD_Locks row equal to `key` has a holder row and every such
// holder is provably gone; `who` receives the holders, for the trace.
bool AllHoldersGone(HolderJudge& judge, Connection& con, const LockKey& key, std::string* who);

// Deletes the FD_Locks rows equal to `key`: on SQLite their holder rows go
// with them; on PostgreSQL DropReleasedTransactionHolders, once after a
// round of deletes, takes the holder rows that stood for nothing else.
void DeleteLockRows(Connection& con, const LockKey& key);

// "host h pid N", the lock's age and kind, for messages.
Q6FD_INTERNAL std::string Describe(const LockHolder& holder);

// `utc` ("yyyy-mm-dd hh:mm:ss" UTC) as seconds since the epoch; nullopt
// when it is not such a text.
std::optional<int64_t> SecondsSinceEpoch(const std::string& utc);

}  // namespace q6
