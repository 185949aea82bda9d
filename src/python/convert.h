// Values across the Python boundary: Python objects to Variants and back.
//
// Python to Variant:
//   None, q6fdmgr.Empty     Empty
//   q6fdmgr.Null            Null
//   bool                    Boolean
//   int                     Long when it fits 32 bits; else Decimal when the
//                           Decimal type holds it exactly (magnitude below
//                           2**96, 29 digits); else Double (beyond the Double
//                           range: Overflow, 0x800A0006)
//   float                   Double
//   decimal.Decimal         Decimal, exactly, through its text (NaN and
//                           infinities: Type mismatch; too many digits:
//                           Overflow)
//   datetime.datetime/date  Date, days since 1899-12-30 with the time of day
//                           as the fraction (tzinfo is ignored: the wall-clock
//                           time is taken); outside 0100-01-01..9999-12-31:
//                           Overflow
//   str                     String (escaped bytes, see below, as those bytes)
//   bytes, bytearray        byte array
//   list, tuple             array of Variants from 0: two dimensions when
//                           every item is a list or tuple of one length
//                           (seq[i][j] is element (i, j)), else one
//                           dimension (a ragged list: an array of arrays)
//   q6fdmgr.Dispatch        Object
//   q6fdmgr.Ref             its .value (by-reference passing is done by the
//                           caller of ToVariant, see proxy.cpp)
//   anything else           TypeError
//
// Variant to Python:
//   Empty, Missing, Nothing None;  Null q6fdmgr.Null;  Boolean bool;
//   Byte, Integer, Long int;  Double float;  Decimal decimal.Decimal;
//   Date datetime.datetime (rounded to the millisecond);  String str (bytes
//   that are not UTF-8 as surrogate escapes);  byte array bytes;
//   array of Variants nested lists, the outer one by the first subscript
//   (a recordset's GetRows gives rows[field][record]), lower bounds
//   dropped (the element at the lower bound is at index 0);
//   Object a new q6fdmgr.Dispatch proxy.
#pragma once

#include <pybind11/pybind11.h>

#include "runtime/variant.h"

namespace q6::pymod {

namespace py = pybind11;

// Raises ComError (Overflow, Type mismatch) or TypeError as listed above.
Variant ToVariant(py::handle h);

// Raises ComError Overflow for a Date the Python datetime cannot hold.
py::object ToPython(const Variant& v);

}  // namespace q6::pymod
