// Errors to kinds and exit codes.
#include "cli/error_kind.h"

#include <string_view>

namespace q6::cli {

namespace {

constexpr std::string_view kConflictStart = "当前记录已被";

// The text between `open` and the next `close` after it, from `pos` on.
std::string Between(const std::string& s, std::string_view open, std::string_view close) {
  size_t b = s.find(open);
  if (b == std::string::npos) return "";
  b += open.size();
  size_t e = s.find(close, b);
  return e == std::string::npos ? "" : s.substr(b, e - b);
}

}  // namespace

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
    case q6::ErrorKind::kConstraint:
    case q6::ErrorKind::kOther:
      break;
  }
  // The lock methods' own error: a conflict names its holder in the
  // component's fixed message; any other failure is reported as a
  // concurrency failure.
  if (e.hr() == Q6_E_LOCKED)
    return e.description().rfind(kConflictStart, 0) == 0 ? ErrorKind::kLockHeld : ErrorKind::kBusy;
  return ErrorKind::kError;
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
  if (Classify(e) != ErrorKind::kLockHeld) return std::nullopt;
  const std::string& d = e.description();
  LockHolder h;
  h.workstation = Between(d, "工作站[", "]上的");
  h.user = Between(d, "用户[", "]");
  h.module = Between(d, "于模块[", "]中");
  h.level = Between(d, "锁定(级别", ")");
  size_t r = d.find("原因如下:");
  if (r != std::string::npos) {
    h.reason = d.substr(r + std::string_view("原因如下:").size());
    size_t start = h.reason.find_first_not_of("\r\n\t");
    h.reason = start == std::string::npos ? "" : h.reason.substr(start);
  }
  return h;
}

}  // namespace q6::cli
