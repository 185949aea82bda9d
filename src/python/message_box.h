// The message-box hook of the Python module.
#pragma once

#include <pybind11/pybind11.h>

namespace q6::pymod {

// Adds SetMessageBoxHandler(callable or None) to the module.
void BindMessageBox(pybind11::module_& m);

}  // namespace q6::pymod
