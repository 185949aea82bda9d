// What shuts other lockers out while LockIt checks for a conflict and
// inserts its row.
//
// Two lockers that check at the same moment must not both find the table
// free, so the check and the insert run in one ExclusiveTransaction that
// keeps the lock table's writers out from its start until it ends; readers
// go on. What that takes is the engine's affair (Driver::ExclusionStatements).
#pragma once

#include "platform/drivers/driver.h"

namespace q6 {

// The resource every LockIt holds while it checks and inserts.
inline ExclusiveResource LockerExclusion() {
  return {ExclusiveResource::Kind::kTableWriters, "FD_Locks"};
}

}  // namespace q6
