// Writing an error the lock methods swallow to the statement trace.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace q6 {

// "0x80004005 <description>" for a ComError, what() for anything else.
std::string SwallowedErrorText(const std::exception& e);

// TraceNote(source, SwallowedErrorText(e)); never raises.
void NoteSwallowedError(std::string_view source, const std::exception& e) noexcept;

}  // namespace q6
