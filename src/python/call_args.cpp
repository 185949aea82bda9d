// CallArgs: Python arguments to Variants, and Refs written back.
#include "python/call_args.h"

#include <string>

#include "python/convert.h"
#include "python/python_types.h"

namespace q6::pymod {

CallArgs::CallArgs(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames)
    : positional(static_cast<size_t>(nargs)),
      total_(static_cast<size_t>(nargs + (kwnames ? PyTuple_GET_SIZE(kwnames) : 0))) {
  for (Py_ssize_t i = 0; i < nargs; ++i) positional[static_cast<size_t>(i)] = Arg(args[i]);
  if (!kwnames) return;
  for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(kwnames); ++i)
    named.push_back(
        {py::handle(PyTuple_GET_ITEM(kwnames, i)).cast<std::string>(), Arg(args[nargs + i])});
}

void CallArgs::WriteBack() {
  for (RefSlot& r : refs_)
    if (!(*r.slot == r.before)) r.ref.attr("value") = ToPython(*r.slot);
}

Variant CallArgs::Arg(PyObject* h) {
  // The usual arguments (an index, a name) are plain values, seen at once.
  if (PyLong_CheckExact(h) || PyUnicode_CheckExact(h)) return ToVariant(h);
  if (!PyType_IsSubtype(Py_TYPE(h), reinterpret_cast<PyTypeObject*>(RefType().ptr())))
    return ToVariant(h);
  // Room for every argument at the first Ref: the addresses stay put.
  slots_.reserve(total_);
  Variant& slot = slots_.emplace_back(ToVariant(py::handle(h).attr("value")));
  refs_.push_back({py::reinterpret_borrow<py::object>(h), slot, &slot});
  return Variant::Ref(&slot);
}

}  // namespace q6::pymod
