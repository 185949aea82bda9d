// Locks as the lock pages show them: the lock table with holder, age and
// holder state, one builder for the list, the confirmations and the results
// so that all of them show a lock alike.
#pragma once

#include <string>
#include <vector>

#include "component/locks/lock_admin.h"
#include "console/html.h"

namespace q6::console {

// A table of `locks`; with `release_ds` >= 0 (and a console that may
// change things) each lock that has an identifier gets a link to release
// it.
std::string LocksTable(const std::vector<LockView>& locks, int release_ds);

// The locks of source `dsn` (ListLocks on a connection of the pool).
std::vector<LockView> CurrentLocks(const std::string& dsn);

}  // namespace q6::console
