// What shuts other metadata savers out during a save.
//
// Saving an entity checks that no other document type has its caption, then
// writes the entity row and replaces its field rows. Two savers must not
// both pass the check for the same new caption, so the check runs inside the
// transaction, after every other saver of metadata has been shut out:
//   - SQLite: Connection::BeginTrans begins with BEGIN IMMEDIATE, which takes
//     the database's write lock at once; a second saver waits at its begin.
//   - PostgreSQL: BeginTrans, then a transaction-level advisory lock that
//     every metadata saver takes ("select pg_advisory_xact_lock(...)"); it
//     serialises the savers and nobody else (loads, OIDs, record work go on),
//     and the server drops it at commit or rollback, or when the session
//     dies. The wait is bounded by the data source's LockTimeout (the
//     session's lock_timeout), as SQLite's is by its BusyTimeout, so a saver
//     stuck behind another one fails instead of waiting for ever.
#pragma once

#include <string>
#include <vector>

#include "platform/dialect/dialect.h"

namespace q6 {

// The statements that follow BeginTrans on `engine` to shut other metadata
// savers out, in order; none when BeginTrans already does it (SQLite).
std::vector<std::string> MetadataSaverExclusion(Engine engine);

}  // namespace q6
