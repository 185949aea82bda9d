// Errors to kinds and exit codes.
#include "cli/error_kind.h"

#include "cli/command.h"
#include "component/frame/lock_manager.h"

namespace q6::cli {

q6::ErrorKind KindOf(const ComError& e) {
  if (e.kind() == q6::ErrorKind::kOther && e.hr() == Q6_E_LOCKED) return q6::ErrorKind::kBusy;
  return e.kind();
}

int ExitCode(q6::ErrorKind k) {
  switch (k) {
    case q6::ErrorKind::kBusy:
    case q6::ErrorKind::kLockTimeout:
    case q6::ErrorKind::kDeadlock:
    case q6::ErrorKind::kSerialization:
      return 4;
    case q6::ErrorKind::kConnectionLost:
      return 5;
    case q6::ErrorKind::kLockConflict:
      return 3;
    case q6::ErrorKind::kConstraint:
    case q6::ErrorKind::kOther:
      break;
  }
  return 1;
}

std::optional<LockHolder> HolderOf(const ComError& e) {
  if (e.kind() != q6::ErrorKind::kLockConflict) return std::nullopt;
  auto value = [&e](const char* key) {
    const std::string* v = e.Find(key);
    return v ? *v : std::string();
  };
  LockHolder h{value(kConflictUser), value(kConflictWorkstation), value(kConflictModule),
               value(kConflictReason), std::nullopt};
  h.level = WholeNumber(value(kConflictLevel));
  return h;
}

}  // namespace q6::cli
