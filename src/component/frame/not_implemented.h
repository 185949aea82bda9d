// Members whose work has not landed yet fail loudly instead of pretending.
#pragma once

#include <string>

#include "runtime/com_error.h"

namespace q6 {

[[noreturn]] inline void NotImplemented(const std::string& member) {
  Throw(E_NOTIMPL, member + " is not implemented yet");
}

}  // namespace q6
