// The metadata and lock tables: FD_Entities, FD_Fields and FD_Locks.
//
// Created where absent, never altered or dropped, so running it again is
// harmless. Text columns compare without regard to case, in comparisons and
// LIKE: COLLATE NOCASE on SQLite, the citext type on PostgreSQL (the
// extension is created when missing, which needs the right to create it).
// Flag columns are integers so that statements like "bisused = 1" work on
// both engines. FD_Locks has exactly six text columns, in the order rows are
// inserted without a column list, and no key.
#pragma once

#include <string>
#include <vector>

#include "platform/dialect/dialect.h"
#include "runtime/internal_export.h"

namespace q6 {

class Connection;
class Driver;

// FD_LockHolders records who holds each lock (see component/locks); a
// trigger on FD_Locks removes a lock's holder rows whenever the lock's row
// is deleted, by whatever program deletes it.

// The statements CreateSchema runs on `engine`, in order.
Q6FD_INTERNAL std::vector<std::string> SchemaStatements(Engine engine);

// The index and the trigger that keep FD_LockHolders in step with FD_Locks
// (CreateSchema runs them after UpgradeLockHolders: they name its columns).
Q6FD_INTERNAL std::vector<std::string> LockHolderCleanupStatements(Engine engine);

// Gives an FD_LockHolders created by an earlier release the columns added
// since (safe inside a transaction; raises the engine's error, no right to
// alter the table, say); LockHoldersUpToDate says whether it has them (it
// asks the engine: outside a transaction on PostgreSQL; never raises).
Q6FD_INTERNAL void UpgradeLockHolders(Driver& driver, Engine engine);
Q6FD_INTERNAL bool LockHoldersUpToDate(Driver& driver);
// Whether FD_Locks has its release trigger (never raises: false when the
// question fails).
Q6FD_INTERNAL bool LockReleaseTriggerPresent(Driver& driver, Engine engine);

// The three answers above at once: whether FD_LockHolders exists, has the
// columns added since and FD_Locks its release trigger (PostgreSQL: one
// question to the server). Never raises: false where a question fails.
struct LockHoldersState {
  bool present = false, up_to_date = false, trigger = false;
};
Q6FD_INTERNAL LockHoldersState LockHoldersStateOf(Driver& driver, Engine engine);

// Creates the tables (and their indexes) on `con` where absent, and on
// PostgreSQL the T-SQL compatibility schema where it is missing or of
// another version (drivers/postgres/tsql_compat.h). Raises
// E_FAIL with the engine's message when a statement fails (no right to
// create the citext extension, say).
Q6FD_INTERNAL void CreateSchema(Connection& con);

// Opens `data_source` (a name, "DSN=name" or a connection string), creates
// the tables and closes it: what `q6fd init <dsn>` runs. Raises as
// Connection::Open and CreateSchema.
Q6FD_INTERNAL void InitDataSource(const std::string& data_source);

// What `q6fd upgrade <dsn>` runs on a database made by an earlier version:
// creates what is missing, as InitDataSource; on PostgreSQL installs the
// T-SQL compatibility schema again (replacing its functions); on SQLite
// rebuilds the indexes of NOCASE columns under the driver's NOCASE. Running
// it twice changes nothing more. Raises as InitDataSource.
Q6FD_INTERNAL void UpgradeDataSource(const std::string& data_source);

}  // namespace q6
