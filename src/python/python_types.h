// The Python-side types of the q6fdmgr module: ComError, Ref, Null, Empty.
//
// They are plain Python classes defined in the module's own namespace when
// it is imported (an exception class has to derive from Exception, and a
// slotted Python class is the simplest by-reference holder). The C++ side
// keeps one reference to each for the life of the process.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "runtime/com_error.h"

namespace q6::pymod {

namespace py = pybind11;

// An unknown member name met while looking an attribute up. Raised in Python
// as a ComError that is also an AttributeError, so that hasattr() and
// getattr(obj, name, default) behave as they do for any Python object.
class UnknownNameError : public ComError {
 public:
  using ComError::ComError;
};

// Defines ComError, Ref, NullType/Null and EmptyType/Empty in `m` and
// installs the translator that turns every q6::ComError reaching Python into
// q6fdmgr.ComError (hresult as a signed 32-bit int, description, source).
// Call once, from the module's initialisation.
void DefinePythonTypes(py::module_& m);

// The singletons and classes defined above. REQUIRES: DefinePythonTypes ran.
py::handle NullObject();
py::handle EmptyObject();
py::handle RefType();
// decimal.Decimal, datetime.datetime, datetime.date, datetime.timedelta.
py::handle DecimalType();
py::handle DateTimeType();
py::handle DateType();
py::handle TimeDeltaType();

// Text from the runtime for messages: invalid UTF-8 is replaced, never raised.
py::str MessageText(const std::string& s);

// Sets the Python error for the C++ exception being handled, the way bound
// functions report theirs (ComError as q6fdmgr.ComError, Python errors as
// themselves). For type slots written by hand; call only inside a catch
// block.
void SetPythonError();

}  // namespace q6::pymod
