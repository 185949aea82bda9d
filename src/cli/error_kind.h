// What kind of failure ended a command, for exit codes and the "kind" of a
// JSON error. One mapping from errors to kinds, so callers branch on the
// kind and never on message texts:
//
//   0 ok   1 error   2 usage   3 lock held by another user
//   4 busy or timed out   5 cannot connect
#pragma once

#include <optional>
#include <string>

#include "runtime/com_error.h"

namespace q6::cli {

enum class ErrorKind { kError, kUsage, kLockHeld, kBusy, kConnect };

// The kind of `e`, from the kind its driver set (ComError::kind): a busy or
// timed-out engine (busy, lock timeout, deadlock, serialization failure,
// and the lock methods' concurrency error), a data source that cannot be
// reached or opened (connection lost), a lock conflict (kind lock_conflict),
// or any other error.
ErrorKind Classify(const ComError& e);

// The exit code of a kind: 1, 2, 3, 4, 5 in the order above.
int ExitCode(ErrorKind k);

// "error", "usage", "lock", "busy", "connect": the JSON "kind" member.
const char* KindName(ErrorKind k);

// The holder of the lock in the way, as a lock conflict carries it.
struct LockHolder {
  std::string user, workstation, module, level, reason;
};

// The holder a lock conflict carries as its data (never read from the
// text); nullopt for errors of any other kind.
std::optional<LockHolder> HolderOf(const ComError& e);

}  // namespace q6::cli
