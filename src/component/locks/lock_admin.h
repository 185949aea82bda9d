// The lock table as an administrator sees it: every lock with its holder
// and whether the holder is alive, and the release of the locks whose
// holders are provably gone (`q6fd locks`, `q6fd unlock --stale`).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "component/locks/lock_holders.h"
#include "runtime/internal_export.h"

namespace q6 {

struct Q6FD_INTERNAL LockView {
  LockKey key;
  std::optional<LockHolder> holder;  // none: taken by another program
  HolderState state = HolderState::kUnknown;
};

// Every lock, in locks_id order, with its holder's state (unknown for all
// where the holder table is missing; nothing is created). Raises the
// engine's error.
// REQUIRES: `con` has no transaction open.
Q6FD_INTERNAL std::vector<LockView> ListLocks(Connection& con);

// Deletes, in one transaction that shuts lockers out, every lock whose
// holders are all provably gone; returns them. Raises the engine's error
// (nothing is deleted then).
// REQUIRES: `con` has no transaction open.
Q6FD_INTERNAL std::vector<LockView> ReleaseStaleLocks(Connection& con);

// Seconds since `taken_at` ("yyyy-mm-dd hh:mm:ss" UTC); nullopt when it is
// not such a text.
Q6FD_INTERNAL std::optional<int64_t> AgeSeconds(const std::string& taken_at);

// "alive", "gone", "unknown" or "administrator".
Q6FD_INTERNAL const char* StateName(HolderState state);

}  // namespace q6
