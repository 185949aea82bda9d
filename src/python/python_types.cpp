// ComError, Ref, Null and Empty, and the exception translator.
//
// The classes are written in Python and run in the module's namespace, so
// their __module__ is "q6fdmgr" and they behave like any Python class
// (pickling of ComError through its args, repr, comparison by identity for
// the singletons). References to them are kept in plain handles that are
// never released: the module lives until the interpreter ends, and a static
// py::object would be destroyed after the interpreter is gone.
#include "python/python_types.h"

#include <pybind11/eval.h>

#include <exception>
#include <new>

namespace q6::pymod {

namespace {

constexpr const char* kPrelude = R"PY(
class ComError(Exception):
    """An automation error.

    hresult      the error number, a signed 32-bit int as the platform gives it
                 (hex(e.hresult & 0xffffffff) shows the usual form)
    description  the error text
    source       who raised it, often empty
    kind         what kind of failure it was: "busy", "lock_timeout",
                 "deadlock", "serialization", "constraint", "connection_lost"
                 from the database, "lock_conflict" when another holder's
                 lock is in the way (LockIt), or "other"
    native       the database's own code ("5" from SQLite, the SQLSTATE
                 "40P01" from PostgreSQL), "" when there is none
    data         a dict of named values the error carries; for a
                 "lock_conflict" the holder of the lock in the way: "user",
                 "workstation", "module", "level" and "reason"
    """

    def __init__(self, hresult=0, description="", source="", kind="other", native="",
                 data=None):
        super().__init__(hresult, description, source, kind, native, data)
        self.hresult = hresult
        self.description = description
        self.source = source
        self.kind = kind
        self.native = native
        self.data = dict(data or {})

    def __str__(self):
        text = "0x%08X: %s" % (self.hresult & 0xFFFFFFFF, self.description)
        return text + (" (%s)" % self.source if self.source else "")


class _UnknownNameError(ComError, AttributeError):
    """An attribute that is not a member of the object's interface."""


class Ref:
    """A by-reference argument: the method receives .value and may change it;
    after the call .value holds what the method wrote."""

    __slots__ = ("value",)

    def __init__(self, value=None):
        self.value = value

    def __repr__(self):
        return "q6fdmgr.Ref(%r)" % (self.value,)


class NullType:
    """The automation Null: a value that is known to be missing."""

    __slots__ = ()
    _instance = None

    def __new__(cls):
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self):
        return "q6fdmgr.Null"

    def __bool__(self):
        return False

    def __reduce__(self):
        return "Null"


class EmptyType:
    """The automation Empty: an uninitialised value; comes back as None."""

    __slots__ = ()
    _instance = None

    def __new__(cls):
        if cls._instance is None:
            cls._instance = super().__new__(cls)
        return cls._instance

    def __repr__(self):
        return "q6fdmgr.Empty"

    def __bool__(self):
        return False

    def __reduce__(self):
        return "Empty"


Null = NullType()
Empty = EmptyType()
)PY";

PyObject* g_com_error = nullptr;
PyObject* g_unknown_name = nullptr;
PyObject* g_ref = nullptr;
PyObject* g_null = nullptr;
PyObject* g_empty = nullptr;
PyObject* g_decimal = nullptr;
PyObject* g_datetime = nullptr;
PyObject* g_date = nullptr;
PyObject* g_timedelta = nullptr;

PyObject* Keep(py::object o) { return o.release().ptr(); }

// Sets the Python error for `e`; never throws.
void SetComError(PyObject* type, const ComError& e) {
  try {
    py::dict data;
    for (const auto& [name, value] : e.data()) data[MessageText(name)] = MessageText(value);
    py::object inst = py::reinterpret_borrow<py::object>(type)(
        e.hr(), MessageText(e.description()), MessageText(e.source()), ErrorKindName(e.kind()),
        MessageText(e.native_code()), data);
    PyErr_SetObject(type, inst.ptr());
  } catch (py::error_already_set& err) {
    err.restore();
  }
}

}  // namespace

py::str MessageText(const std::string& s) {
  PyObject* o = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace");
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

void DefinePythonTypes(py::module_& m) {
  py::exec(kPrelude, m.attr("__dict__"));
  g_com_error = Keep(m.attr("ComError"));
  g_unknown_name = Keep(m.attr("_UnknownNameError"));
  g_ref = Keep(m.attr("Ref"));
  g_null = Keep(m.attr("Null"));
  g_empty = Keep(m.attr("Empty"));
  py::module_ decimal = py::module_::import("decimal");
  py::module_ datetime = py::module_::import("datetime");
  g_decimal = Keep(decimal.attr("Decimal"));
  g_datetime = Keep(datetime.attr("datetime"));
  g_date = Keep(datetime.attr("date"));
  g_timedelta = Keep(datetime.attr("timedelta"));

  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const py::builtin_exception&) {
      throw;  // TypeError and its kin, raised on purpose
    } catch (const py::error_already_set&) {
      throw;  // a Python exception, from a handler the script installed
    } catch (const std::bad_alloc&) {
      throw;  // MemoryError
    } catch (...) {
      SetPythonError();
    }
  });
}

void SetPythonError() {
  try {
    throw;
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (const py::builtin_exception& e) {
    e.set_error();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const UnknownNameError& e) {
    SetComError(g_unknown_name, e);
  } catch (const ComError& e) {
    SetComError(g_com_error, e);
  } catch (const std::exception& e) {
    // Every other failure of the runtime is an automation error too.
    SetComError(g_com_error, ComError(E_FAIL, e.what()));
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "unknown C++ exception");
  }
}

py::handle NullObject() { return g_null; }
py::handle EmptyObject() { return g_empty; }
py::handle RefType() { return g_ref; }
py::handle DecimalType() { return g_decimal; }
py::handle DateTimeType() { return g_datetime; }
py::handle DateType() { return g_date; }
py::handle TimeDeltaType() { return g_timedelta; }

}  // namespace q6::pymod
