// What an attribute name means on an interface, for the proxies.
//
// A name is a member to read at once (a property get without required
// parameters), a member to hand back for calling (a method, an indexed
// property), or a Python special name (__class__, __doc__), which the type
// itself answers. Attribute names written in a script are interned strings,
// the same object at every use, so the index is keyed by the interface and
// the name object itself (and keeps that object alive); it only keeps
// interned names, so its size is bounded by the scripts' text. Other names
// are looked up in the member table each time. Used with the GIL held.
#pragma once

#include <pybind11/pybind11.h>

#include <string_view>

#include "runtime/dispatch.h"

namespace q6::pymod {

struct AttrEntry {
  const MemberInfo* get = nullptr;  // for reads and calls
  bool read_now = false;            // a property get without required parameters
  bool dunder = false;              // a Python special name, left to the type
};

// The meaning of `name` (a str) on `info`. Raises UnknownNameError
// (DISP_E_UNKNOWNNAME, also an AttributeError) for a name that is no member,
// ComError DISP_E_MEMBERNOTFOUND for a member that can only be written.
AttrEntry AttrIndex(const InterfaceInfo& info, PyObject* name);

// Whether `name` is a Python special name ("__x__").
bool IsDunder(std::string_view name);
// Whether calling `m` needs arguments.
bool HasRequiredParams(const MemberInfo& m);

}  // namespace q6::pymod
