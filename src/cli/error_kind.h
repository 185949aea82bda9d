// What kind of failure ended a command, for exit codes and the "kind" of a
// JSON error. The kinds are the library's (q6::ErrorKind, named as the
// trace and the Python module name them: ErrorKindName), and two that only
// a command line has: "usage" (the command line itself is wrong, nothing
// ran) and "not_found" (what the command looks for is not there). Callers
// branch on the kind, never on message texts:
//
//   exit  kind
//   0     (success)
//   1     other, constraint
//   2     usage
//   3     lock_conflict   (a lock held by another user)
//   4     busy, lock_timeout, deadlock, serialization   (try again)
//   5     connection_lost (the data source cannot be reached or opened)
//   6     not_found
#pragma once

#include <optional>
#include <string>

#include "runtime/com_error.h"

namespace q6::cli {

inline constexpr const char* kUsageKind = "usage";
inline constexpr const char* kNotFoundKind = "not_found";
inline constexpr int kUsageExit = 2;
inline constexpr int kNotFoundExit = 6;

// The kind of `e`: the kind its driver (or the component) set; the lock
// methods' own error without a kind of its own is their concurrency
// failure, busy.
q6::ErrorKind KindOf(const ComError& e);

// The exit code of a failure of kind `k` (the table above).
int ExitCode(q6::ErrorKind k);

// The holder of the lock in the way, as a lock conflict carries it.
struct LockHolder {
  std::string user, workstation, module, reason;
  std::optional<int32_t> level;  // nullopt when the error carries no whole number
};

// The holder a lock conflict carries as its data (never read from the
// text); nullopt for errors of any other kind.
std::optional<LockHolder> HolderOf(const ComError& e);

}  // namespace q6::cli
