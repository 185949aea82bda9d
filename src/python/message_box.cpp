// q6fdmgr.SetMessageBoxHandler: lets a script answer the component's message
// box (the duplicate-caption notice of SaveEOMetaData) instead of standard
// error and the trace.
#include "platform/msgbox/message_box.h"

#include <pybind11/functional.h>
#include <pybind11/pybind11.h>

#include "python/message_box.h"

namespace q6::pymod {

namespace py = pybind11;

void BindMessageBox(py::module_& m) {
  m.def(
      "SetMessageBoxHandler",
      [](py::object handler) {
        if (handler.is_none()) {
          SetMessageBoxHandler(nullptr);
          return;
        }
        // The handler runs on the calling thread, which holds the GIL while
        // it is inside a call of the module.
        SetMessageBoxHandler(
            [handler](const std::string& text, const std::string& title, int style) {
              py::gil_scoped_acquire gil;
              py::object answer = handler(text, title, style);
              return answer.is_none() ? kMbAnswerOk : answer.cast<int>();
            });
      },
      py::arg("handler"),
      "Sets a callable(text, title, style) -> int answering the component's message box; "
      "None restores the default (standard error and the statement trace).");
}

}  // namespace q6::pymod
