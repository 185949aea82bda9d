// What shuts other lockers out while LockIt checks for a conflict and
// inserts its row.
//
// Two lockers that check at the same moment must not both find the table
// free, so the check and the insert run in one ExclusiveTransaction that
// excludes every other locker from its start until it ends:
//   - SQLite: BEGIN IMMEDIATE takes the database's write lock at once.
//   - PostgreSQL: LOCK TABLE on FD_Locks in SHARE ROW EXCLUSIVE mode, a mode
//     that conflicts with itself and with writers but not with readers; it
//     is held until the transaction ends.
#pragma once

#include <string>
#include <vector>

#include "platform/dialect/dialect.h"

namespace q6 {

// The statements that follow the begin on `engine` to shut other lockers
// out; none when the begin already does it (SQLite).
std::vector<std::string> LockerExclusion(Engine engine);

}  // namespace q6
