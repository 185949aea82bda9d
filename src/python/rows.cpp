// The row iterator of a recordset: a plain extension type whose next step
// builds the row's tuple straight from the recordset's cells, so that
// list(rs) of many rows costs the values' conversions and little else. What
// each column needs beyond the plain conversion is decided once, from the
// column's declared type, when the iterator is made.
#include "python/rows.h"

#include <new>
#include <vector>

#include "platform/adodb/record_data.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "python/convert.h"
#include "python/proxy.h"
#include "python/python_types.h"
#include "runtime/value_date.h"

namespace q6::pymod {
namespace {

// How a column's values are typed before they go to Python.
enum class Typing : uint8_t { kAsHeld, kDecimal, kDate, kBoolean };

Typing TypingOf(int32_t ado_type) {
  switch (ado_type) {
    case kAdDecimal:
    case kAdNumeric:
    case kAdCurrency:
      return Typing::kDecimal;
    case kAdDate:
    case kAdDBDate:
    case kAdDBTimeStamp:
      return Typing::kDate;
    case kAdBoolean:
      return Typing::kBoolean;
    default:
      return Typing::kAsHeld;
  }
}

// `v` in the type its column declares, when it is held in another form
// (SQLite keeps numerics as REAL or INTEGER, dates as text, booleans as
// integers); unchanged when it cannot be read as that type.
py::object Typed(const Variant& v, Typing typing) {
  switch (typing) {
    case Typing::kDecimal:
      if (v.type() == VarType::Double || v.type() == VarType::Long) return ToPython(v.ToDecimal());
      if (const std::string* s = v.get_if<std::string>()) {
        Decimal d;
        if (Decimal::TryParse(*s, &d)) return ToPython(Variant(d));
      }
      break;
    case Typing::kDate:
      if (const std::string* s = v.get_if<std::string>()) {
        double days = 0;
        if (value::ParseDate(*s, &days)) return ToPython(Variant(DateValue{days}));
      }
      break;
    case Typing::kBoolean:
      if (v.type() == VarType::Long || v.type() == VarType::Integer || v.type() == VarType::Byte)
        return py::bool_(v.ToLong() != 0);
      break;
    case Typing::kAsHeld:
      break;
  }
  return ToPython(v);
}

struct RowsObject {
  PyObject ob_base;
  std::shared_ptr<Recordset> rs;
  PyObject* null;               // what NULL becomes (a new reference)
  std::vector<Typing> typings;  // per column; empty until the first step
};

PyTypeObject* g_rows_type = nullptr;

void RowsDealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  auto* o = reinterpret_cast<RowsObject*>(self);
  Py_XDECREF(o->null);
  o->typings.~vector();
  o->rs.~shared_ptr();
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* RowsNext(PyObject* self) {
  try {
    auto* o = reinterpret_cast<RowsObject*>(self);
    Recordset& rs = *o->rs;
    rs.CheckApartment();
    if (rs.EOF()) return nullptr;  // the end, without an error set
    const RecordData& data = *rs.data();
    const size_t n = data.column_count();
    if (o->typings.size() != n) {
      o->typings.clear();
      for (size_t c = 0; c < n; ++c) o->typings.push_back(TypingOf(data.column(c).ado_type));
    }
    const size_t row = data.current();
    py::tuple out(static_cast<Py_ssize_t>(n));
    for (size_t c = 0; c < n; ++c) {
      const Variant& v = data.cell(row, c);
      PyObject* item = v.IsNull() ? Py_NewRef(o->null) : Typed(v, o->typings[c]).release().ptr();
      PyTuple_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(c), item);
    }
    rs.MoveNext();
    return out.release().ptr();
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
}

}  // namespace

py::object RowsOf(std::shared_ptr<Recordset> rs, py::handle null) {
  PyObject* self = g_rows_type->tp_alloc(g_rows_type, 0);
  if (!self) throw py::error_already_set();
  auto* o = reinterpret_cast<RowsObject*>(self);
  new (&o->rs) std::shared_ptr<Recordset>(std::move(rs));
  new (&o->typings) std::vector<Typing>();
  o->null = Py_NewRef(null ? null.ptr() : NullObject().ptr());
  return py::reinterpret_steal<py::object>(self);
}

void BindRows(py::module_& m) {
  static PyType_Slot slots[] = {
      {Py_tp_dealloc, reinterpret_cast<void*>(&RowsDealloc)},
      {Py_tp_iter, reinterpret_cast<void*>(&PyObject_SelfIter)},
      {Py_tp_iternext, reinterpret_cast<void*>(&RowsNext)},
      {Py_tp_doc, const_cast<char*>("The rows of a recordset from its current one on, as tuples.")},
      {0, nullptr}};
  static PyType_Spec spec = {"q6fdmgr._Rows", sizeof(RowsObject), 0, Py_TPFLAGS_DEFAULT, slots};
  PyObject* type = PyType_FromSpec(&spec);
  if (!type) throw py::error_already_set();
  g_rows_type = reinterpret_cast<PyTypeObject*>(type);  // kept for the life of the process
  m.attr("_Rows") = py::handle(type);
  m.def(
      "rows",
      [](py::handle recordset, py::handle null) {
        auto rs = As<Recordset>(UnwrapObject(recordset));
        if (!rs) throw py::type_error("q6fdmgr.rows takes an ADODB.Recordset");
        return RowsOf(std::move(rs), null);
      },
      py::arg("recordset"), py::arg("null") = NullObject(),
      "rows(recordset, null=q6fdmgr.Null): an iterator over the recordset's rows from its\n"
      "current one on, each a tuple of values typed by their columns, SQL NULL given as\n"
      "`null`; the recordset moves along (iter(recordset) is rows(recordset)).");
}

}  // namespace q6::pymod
