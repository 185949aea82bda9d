// Dispatch proxies: Python objects that stand for automation objects.
//
// q6fdmgr.Dispatch(progid) creates an object with q6::CreateObject; every
// object that comes back from a call is wrapped the same way. A proxy shares
// ownership of its object (ObjectRef) and calls it late-bound, by name:
//
//   proxy.Name            a property get without required parameters returns
//                         its value; a method (any), or a property get that
//                         needs arguments, returns a bound member to call
//   proxy.Name = v        property put; an object value uses the property's
//                         put-by-reference member when the interface has one
//   proxy.M(a, b, X=1)    positional and named arguments (names in any case);
//                         q6fdmgr.Ref arguments receive by-reference results
//   proxy(args)           the default member (dispatch id 0)
//   iter(proxy)           the items of a collection, in its order; a
//                         recordset's rows as tuples (rows.h)
//   proxy[key]            the default member with one argument, as proxy(key)
//                         (rs.Fields["name"], rs.Fields[0])
//   with proxy: ...       an object with a Close member is closed when the
//                         block ends, unless it is closed already (a
//                         connection rolls back a transaction left open)
//   str(proxy)            the default member's value as text, by the automation
//                         text conversion (Null raises Invalid use of Null);
//                         objects without a default member, or whose default
//                         member needs arguments, show their repr
//   proxy == other        the same underlying object
//   dir(proxy)            the member names of its interface
//
// A property read that returns the same object as an earlier read of the
// same proxy returns the same proxy (rs.Fields is rs.Fields); a method's
// result is always a new proxy. Dispatch cannot be subclassed.
//
// Errors: every failure of the object or of the call is a q6fdmgr.ComError;
// an unknown attribute name raises DISP_E_UNKNOWNNAME (0x80020006) as a
// ComError that is also an AttributeError. A proxy used from a thread other
// than the one that created its object raises RPC_E_WRONG_THREAD
// (0x8001010E); the GIL stays held during calls.
#pragma once

#include <pybind11/pybind11.h>

#include "runtime/dispatch.h"

namespace q6::pymod {

namespace py = pybind11;

// Registers q6fdmgr.Dispatch and its bound-member type in `m`.
void BindProxy(py::module_& m);

// A new proxy for `o`; None when `o` is Nothing.
py::object WrapObject(const ObjectRef& o);

// The object a proxy stands for; nullptr when `h` is not a proxy.
ObjectRef UnwrapObject(py::handle h);

}  // namespace q6::pymod
