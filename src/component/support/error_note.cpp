// Swallowed errors keep their number in the trace, so a user who only saw
// the lock methods' own message can still learn the cause.
#include "component/support/error_note.h"

#include "platform/trace/trace.h"
#include "runtime/com_error.h"

namespace q6 {

std::string SwallowedErrorText(const std::exception& e) {
  if (const auto* ce = dynamic_cast<const ComError*>(&e)) {
    std::string text = HrToString(ce->hr()) + " ";
    if (ce->kind() != ErrorKind::kOther || !ce->native_code().empty()) {
      text += std::string("[") + ErrorKindName(ce->kind());
      if (!ce->native_code().empty()) text += " " + ce->native_code();
      text += "] ";
    }
    return text + ce->description();
  }
  return e.what();
}

void NoteSwallowedError(std::string_view source, const std::exception& e) noexcept {
  try {
    TraceNote(source, SwallowedErrorText(e));
  } catch (...) {
    // The trace is best effort; nothing may escape an error path.
  }
}

}  // namespace q6
