// What help() and inspect.signature show for a member of an automation
// object, and the warning for results a call would throw away. All of it is
// built from the interface's member table (names, types, optional
// parameters, defaults, by-reference marks), so it cannot drift from what a
// call accepts.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "runtime/dispatch.h"

namespace q6::pymod {

namespace py = pybind11;

// An inspect.Signature of `m`: one parameter per declared parameter, in
// order, each positional-or-keyword; optional ones carry their default (a
// marker that shows as <omitted> when there is none); the annotation is the
// declared type with "ByRef " in front of by-reference ones; the return
// annotation is the result type (none for a Sub).
py::object MemberSignature(const MemberInfo& m);

// The member's documentation: its full signature line, a one-line
// description, and for members with by-reference parameters how to receive
// what they write (q6fdmgr.Ref).
std::string MemberDoc(const InterfaceInfo& itf, const MemberInfo& m);

// Warns (q6fdmgr.ResultDiscardedWarning, a UserWarning) when a by-reference
// parameter of object type, into which the method writes its result, is given
// None or a plain value instead of a q6fdmgr.Ref: the result would be lost.
// The arguments are those of a vector call.
void WarnDiscardedResults(const MemberInfo& m, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames);
// Whether `m` has such a parameter at all (WarnDiscardedResults has nothing
// to check otherwise).
bool HasResultParams(const MemberInfo& m);

// Defines ResultDiscardedWarning and the enumeration constants in `m`.
void DefineMemberDocs(py::module_& m);

}  // namespace q6::pymod
