// The message box: the one place where the component tells a person
// something directly.
//
// The component runs inside hosts that may have no interactive user at all
// (a service, a test, a script), so it never draws anything itself. The host
// decides how a message is shown by setting a handler: the command line
// prints it on the terminal, the Python module hands it to a script's
// callback, a test records it. Without a handler the text is written to the
// statement trace (TraceNote) and to standard error, and the call answers OK
// at once: nothing ever waits for a person who may not be there.
//
// Styles and answers are the usual message-box numbers: style 64 is an
// information icon with a single OK button; the answer 1 is OK.
#pragma once

#include <functional>
#include <string>

#include "runtime/internal_export.h"

namespace q6 {

// Style bits and answers used by the component.
constexpr int kMbOkOnly = 0;
constexpr int kMbIconInformation = 64;
constexpr int kMbAnswerOk = 1;

// Shows `text` under `title` in `style`; returns the button chosen.
using MessageBoxHandler =
    std::function<int(const std::string& text, const std::string& title, int style)>;

// Makes `handler` the process's message box from now on; an empty handler
// restores the default (trace and standard error). Safe to call from any
// thread; a box being shown at that moment finishes with the old handler.
Q6FD_INTERNAL void SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a message through the current handler and returns its answer, or
// writes it to the trace and standard error and returns kMbAnswerOk when no
// handler is set. Raises whatever the handler raises; the default never
// raises.
Q6FD_INTERNAL int ShowMessageBox(const std::string& text, const std::string& title, int style);

}  // namespace q6
