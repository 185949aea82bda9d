// The arguments of one call from Python, converted for the invoker.
//
// A q6fdmgr.Ref argument is given to the invoker as Variant::Ref to a slot
// owned here; after a successful call the slots that changed are copied back
// into their Refs (WriteBack). Plain values are passed as copies, so a
// by-reference parameter never touches the caller's Python object.
#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "runtime/dispatch.h"

namespace q6::pymod {

namespace py = pybind11;

class CallArgs {
 public:
  // A vector call's arguments: `nargs` positional ones, then one per name in
  // `kwnames` (which may be null). Raises as ToVariant does.
  CallArgs(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

  // Copies changed by-reference results back into their Refs.
  void WriteBack();

  ArgBuffer positional;
  std::vector<NamedArg> named;

 private:
  struct RefSlot {
    py::object ref;
    Variant before;
    Variant* slot;
  };

  Variant Arg(PyObject* h);

  size_t total_;                // arguments in all
  std::vector<Variant> slots_;  // the Refs' values, for Variant::Ref
  std::vector<RefSlot> refs_;
};

}  // namespace q6::pymod
