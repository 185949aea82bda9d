// Iterating a recordset from Python: `for row in rs`, list(rs), and
// q6fdmgr.rows(rs, null=...).
//
// The iterator hands out the rows from the recordset's current one to its
// end (the rows its Filter leaves), each a tuple of the row's values in
// column order, and moves the recordset along as it goes: after the loop
// the recordset is at EOF, as a database cursor is after its rows were
// fetched. Values are typed by their column's declared type, the same way
// on both engines (an embedded database keeps some of them in another form):
// a decimal or numeric column gives decimal.Decimal, a date or timestamp
// column datetime.datetime, a boolean or bit column bool; other values
// convert as every value does (convert.h). SQL NULL is q6fdmgr.Null, or the
// object given as `null`. A closed recordset raises ComError 3704 at the
// first step; a recordset used from another thread raises
// RPC_E_WRONG_THREAD.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>

namespace q6 {
class Recordset;
}

namespace q6::pymod {

namespace py = pybind11;

// Registers the iterator type (q6fdmgr._Rows) and q6fdmgr.rows in `m`.
void BindRows(py::module_& m);

// A new iterator over the rows of `rs`, NULL given as `null` (q6fdmgr.Null
// when it is a null handle). REQUIRES: BindRows ran.
py::object RowsOf(std::shared_ptr<Recordset> rs, py::handle null = py::handle());

}  // namespace q6::pymod
