// Writing an error the lock methods swallow to the statement trace.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace q6 {

// "0x80004005 <description>" for a ComError ("0x80004005 [busy 5]
// <description>" when it has a kind or an engine code), what() for anything
// else.
std::string SwallowedErrorText(const std::exception& e);

// TraceNote(source, SwallowedErrorText(e)); never raises.
void NoteSwallowedError(std::string_view source, const std::exception& e) noexcept;

}  // namespace q6
