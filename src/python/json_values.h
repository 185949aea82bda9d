// q6fdmgr.json_default: the values the module hands out, written as JSON.
#pragma once

#include <pybind11/pybind11.h>

namespace q6::pymod {

namespace py = pybind11;

// Defines json_default in `m`. REQUIRES: DefinePythonTypes and BindProxy ran
// (it refers to Null, Empty, Dispatch and ComError).
void DefineJsonDefault(py::module_& m);

}  // namespace q6::pymod
