// Errors to kinds and exit codes.
#include "cli/error_kind.h"

#include "component/frame/lock_manager.h"

namespace q6::cli {

ErrorKind Classify(const ComError& e) {
  // The kind the driver (or the command) set where the failure happened.
  switch (e.kind()) {
    case q6::ErrorKind::kBusy:
    case q6::ErrorKind::kLockTimeout:
    case q6::ErrorKind::kDeadlock:
    case q6::ErrorKind::kSerialization:
      return ErrorKind::kBusy;
    case q6::ErrorKind::kConnectionLost:
      return ErrorKind::kConnect;
    case q6::ErrorKind::kLockConflict:
      return ErrorKind::kLockHeld;
    case q6::ErrorKind::kConstraint:
    case q6::ErrorKind::kOther:
      break;
  }
  // The lock methods' own error without a kind of its own is their
  // concurrency failure.
  return e.hr() == Q6_E_LOCKED ? ErrorKind::kBusy : ErrorKind::kError;
}

int ExitCode(ErrorKind k) {
  switch (k) {
    case ErrorKind::kError:
      return 1;
    case ErrorKind::kUsage:
      return 2;
    case ErrorKind::kLockHeld:
      return 3;
    case ErrorKind::kBusy:
      return 4;
    case ErrorKind::kConnect:
      return 5;
  }
  return 1;
}

const char* KindName(ErrorKind k) {
  switch (k) {
    case ErrorKind::kError:
      return "error";
    case ErrorKind::kUsage:
      return "usage";
    case ErrorKind::kLockHeld:
      return "lock";
    case ErrorKind::kBusy:
      return "busy";
    case ErrorKind::kConnect:
      return "connect";
  }
  return "error";
}

std::optional<LockHolder> HolderOf(const ComError& e) {
  if (e.kind() != q6::ErrorKind::kLockConflict) return std::nullopt;
  auto value = [&e](const char* key) {
    const std::string* v = e.Find(key);
    return v ? *v : std::string();
  };
  return LockHolder{value(kConflictUser), value(kConflictWorkstation), value(kConflictModule),
                    value(kConflictLevel), value(kConflictReason)};
}

}  // namespace q6::cli
