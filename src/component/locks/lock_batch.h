// Taking several locks in one transaction: what LockIt does for one lock
// and LockItEx for each item of its list; releasing several, for UnlockIt
// and UnLockItEx.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "component/locks/lock_holders.h"
#include "component/locks/lock_statements.h"
#include "runtime/com_error.h"
#include "runtime/variant.h"

namespace q6 {

// One lock ready to take: its normalised arguments, its level and its row.
struct PreparedLock {
  LockTarget target;
  int32_t level = 0;
  LockKey key;
};

// Normalises the arguments as LockIt does (writing them back) and builds
// the lock's statements; nullopt when the level builds nothing, or, with
// `*refusal` set, when a text is not valid UTF-8. Raises what the
// normalisation raises.
std::optional<PreparedLock> PrepareLock(Variant& vID, std::string& UserName,
                                        std::string& WorkStation, std::string& ModName,
                                        int32_t level, const std::string& sDigest,
                                        std::optional<ComError>* refusal);

// Takes `items` in order in one transaction on a connection of `dsn`.
// Returns the refusal of the first item that cannot be taken (the items
// before it stay taken), nullopt when all were. Raises the engine's error.
std::optional<ComError> TakeLocks(const Variant& dsn, std::span<const PreparedLock> items);

// Normalises the arguments as UnlockIt does (Null to "", lower case;
// ModName is compared as given) and writes them back.
LockTarget PrepareRelease(Variant& vID, std::string& UserName, std::string& WorkStation,
                          const std::string& ModName);

// Releases the locks of `level` named by each of `targets` (those the level
// applies to) on one connection of `dsn`, without a transaction: record and
// class locks in statements of many identifiers each, the other levels one
// statement per target, sent together (one exchange on PostgreSQL). Raises
// the engine's error; what was released before it stays released.
void ReleaseLocks(const Variant& dsn, int32_t level, std::span<const LockTarget> targets);

}  // namespace q6
