// ComError and the built-in texts of the run-time error numbers.
#include "runtime/com_error.h"

#include <cstdio>

namespace q6 {

std::string VbErrorText(int number) {
  switch (number) {
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 9:
      return "Subscript out of range";
    case 11:
      return "Division by zero";
    case 13:
      return "Type mismatch";
    case 91:
      return "Object variable or With block variable not set";
    case 94:
      return "Invalid use of Null";
    case 424:
      return "Object required";
    case 438:
      return "Object doesn't support this property or method";
    case 457:
      return "This key is already associated with an element of this collection";
    case 3021:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case 3265:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    default:
      return "Application-defined or object-defined error";
  }
}

const char* ErrorKindName(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kBusy:
      return "busy";
    case ErrorKind::kLockTimeout:
      return "lock_timeout";
    case ErrorKind::kDeadlock:
      return "deadlock";
    case ErrorKind::kSerialization:
      return "serialization";
    case ErrorKind::kConstraint:
      return "constraint";
    case ErrorKind::kConnectionLost:
      return "connection_lost";
    case ErrorKind::kLockConflict:
      return "lock_conflict";
    case ErrorKind::kOther:
      break;
  }
  return "other";
}

bool IsTransient(ErrorKind kind) {
  return kind == ErrorKind::kBusy || kind == ErrorKind::kLockTimeout ||
         kind == ErrorKind::kDeadlock || kind == ErrorKind::kSerialization;
}

ComError::ComError(HRESULT hr, std::string description, std::string source)
    : ComError(hr, std::move(description), std::move(source), ErrorKind::kOther, "") {}

ComError::ComError(HRESULT hr, std::string description, std::string source, ErrorKind kind,
                   std::string native_code, ErrorData data)
    : std::runtime_error(description.empty() ? HrToString(hr) : description),
      hr_(hr),
      description_(std::move(description)),
      source_(std::move(source)),
      kind_(kind),
      native_code_(std::move(native_code)),
      data_(std::move(data)) {}

const std::string* ComError::Find(std::string_view key) const {
  for (const auto& [name, value] : data_)
    if (name == key) return &value;
  return nullptr;
}

int32_t ComError::Number() const {
  uint32_t u = static_cast<uint32_t>(hr_);
  if ((u & 0xFFFF0000u) == 0x800A0000u) return static_cast<int32_t>(u & 0xFFFFu);
  return hr_;
}

void ThrowVb(int number, const std::string& text) {
  throw ComError(VbHr(number), text.empty() ? VbErrorText(number) : text);
}

void Throw(HRESULT hr, const std::string& description, const std::string& source) {
  throw ComError(hr, description, source);
}

void ThrowWithCauseOf(HRESULT hr, const std::string& description, const std::exception& cause) {
  if (const auto* e = dynamic_cast<const ComError*>(&cause))
    throw ComError(hr, description, "", e->kind(), e->native_code(), e->data());
  throw ComError(hr, description);
}

std::string HrToString(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(hr));
  return buf;
}

}  // namespace q6
