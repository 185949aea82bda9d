// Dispatch proxies and bound members.
//
// Whether an attribute read runs the member or hands back something to call
// is decided from the interface's member table alone, so the same name behaves
// the same way on every object of a class: a property get that needs no
// arguments is read at once, everything else (methods, indexed properties)
// becomes a bound member. Arguments are converted once per call; a q6fdmgr.Ref
// argument becomes a by-reference slot that lives for the call and is copied
// back into the Ref afterwards.
#include "python/proxy.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "python/convert.h"
#include "python/member_doc.h"
#include "python/python_types.h"
#include "runtime/class_table.h"

namespace q6::pymod {

namespace {

// The member of `object` named `name`, ready to call by name.
struct BoundMember {
  ObjectRef object;
  std::string name;  // as the member table spells it
  MemberKind kind;
};

bool IsDunder(const std::string& name) {
  return name.size() > 4 && name.compare(0, 2, "__") == 0 &&
         name.compare(name.size() - 2, 2, "__") == 0;
}

bool HasRequiredParams(const MemberInfo& m) {
  return std::any_of(m.params.begin(), m.params.end(),
                     [](const ParamInfo& p) { return !p.optional; });
}

// The arguments of one call. A Ref argument is given to the invoker as
// Variant::Ref to a slot owned here; after a successful call the slots that
// changed are copied back into their Refs. Plain values are passed as copies,
// so a by-reference parameter never touches the caller's Python object.
class CallArgs {
 public:
  CallArgs(const py::args& args, const py::kwargs& kwargs) {
    positional.reserve(args.size());
    for (py::handle a : args) positional.push_back(Arg(a));
    for (auto item : kwargs) named.push_back({item.first.cast<std::string>(), Arg(item.second)});
  }

  void WriteBack() {
    for (RefSlot& r : refs_)
      if (!(*r.slot == r.before)) r.ref.attr("value") = ToPython(*r.slot);
  }

  std::vector<Variant> positional;
  std::vector<NamedArg> named;

 private:
  struct RefSlot {
    py::object ref;
    Variant before;
    Variant* slot;
  };

  Variant Arg(py::handle h) {
    int is_ref = PyObject_IsInstance(h.ptr(), RefType().ptr());
    if (is_ref < 0) throw py::error_already_set();
    if (!is_ref) return ToVariant(h);
    Variant& slot = slots_.emplace_back(ToVariant(h.attr("value")));
    refs_.push_back({py::reinterpret_borrow<py::object>(h), slot, &slot});
    return Variant::Ref(&slot);
  }

  std::deque<Variant> slots_;  // stable addresses for Variant::Ref
  std::vector<RefSlot> refs_;
};

py::object CallMember(const ObjectRef& o, const std::string& name, MemberKind kind,
                      const py::args& args, const py::kwargs& kwargs) {
  if (const MemberInfo* m = o->Interface().Find(name, kind)) WarnDiscardedResults(*m, args, kwargs);
  CallArgs call(args, kwargs);
  Variant result = o->Invoke(name, kind, std::move(call.positional), std::move(call.named));
  call.WriteBack();
  return ToPython(result);
}

[[noreturn]] void UnknownName(const InterfaceInfo& info, const std::string& name) {
  throw UnknownNameError(DISP_E_UNKNOWNNAME,
                         "Unknown name: " + name + " is not a member of " + info.name);
}

py::object GetAttr(const Proxy& p, const std::string& name) {
  if (IsDunder(name)) throw py::attribute_error(name);
  const InterfaceInfo& info = p.object->Interface();
  const MemberInfo* m = info.Find(name, MemberKind::PropertyGet);
  if (!m) {
    if (info.Find(name, MemberKind::PropertyPut))
      Throw(DISP_E_MEMBERNOTFOUND, name + " of " + info.name + " can only be written");
    UnknownName(info, name);
  }
  if (m->kind == MemberKind::PropertyGet && !HasRequiredParams(*m))
    return ToPython(p.object->Invoke(m->name, MemberKind::PropertyGet, {}));
  return py::cast(BoundMember{p.object, m->name, m->kind});
}

void SetAttr(const Proxy& p, const std::string& name, py::handle value) {
  if (IsDunder(name)) throw py::attribute_error("cannot set " + name);
  const InterfaceInfo& info = p.object->Interface();
  if (!info.Find(name, MemberKind::PropertyPut)) {
    if (info.Find(name, MemberKind::PropertyGet))
      Throw(DISP_E_MEMBERNOTFOUND, name + " of " + info.name + " is read-only");
    UnknownName(info, name);
  }
  Variant v = ToVariant(value);
  // Objects are set by reference where the interface distinguishes the two
  // puts; Find falls back to the other put when only one exists.
  MemberKind kind =
      v.IsObject() && !v.IsNothing() ? MemberKind::PropertyPutRef : MemberKind::PropertyPut;
  p.object->Invoke(name, kind, {std::move(v)});
}

py::object CallDefault(const Proxy& p, const py::args& args, const py::kwargs& kwargs) {
  CallArgs call(args, kwargs);
  Variant result = p.object->InvokeById(DISPID_VALUE, MemberKind::PropertyGet,
                                        std::move(call.positional), std::move(call.named));
  call.WriteBack();
  return ToPython(result);
}

std::string Repr(const Proxy& p) {
  char addr[32];
  std::snprintf(addr, sizeof addr, "%p", static_cast<const void*>(p.object.get()));
  return "<q6fdmgr.Dispatch " + p.object->Interface().name + " at " + addr + ">";
}

// True when the object's default member is a property read without
// arguments (an OIDObject's or a field's Value), so that the object stands
// for that value where a plain value is wanted. A collection's Item needs an
// index and does not count.
bool HasValueDefault(const Proxy& p) {
  const MemberInfo* m = p.object->Interface().FindById(DISPID_VALUE, MemberKind::PropertyGet);
  return m && !HasRequiredParams(*m);
}

py::object DefaultValue(const Proxy& p) {
  p.object->CheckApartment();
  return ToPython(p.object->DefaultValue().Unwrapped());
}

py::object Str(const Proxy& p) {
  if (!HasValueDefault(p)) return py::str(Repr(p));
  p.object->CheckApartment();
  return ToPython(Variant(p.object->DefaultValue().Unwrapped().ToString()));
}

// A new reference from the C API, or the Python error it set.
py::object Checked(PyObject* result) {
  if (!result) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(result);
}

// Two proxies are equal when they hold the same object; a proxy and a plain
// value compare through the proxy's default value.
py::object Equal(const Proxy& p, py::handle other) {
  if (ObjectRef o = UnwrapObject(other)) return py::bool_(o == p.object);
  if (!HasValueDefault(p)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
  return Checked(PyObject_RichCompare(DefaultValue(p).ptr(), other.ptr(), Py_EQ));
}

// Formats the default value (f"{eo.OID:>20}", f"{field:.2f}"); the text of
// str() for objects without one.
py::object Format(const Proxy& p, const py::str& spec) {
  py::object value = HasValueDefault(p) ? DefaultValue(p) : Str(p);
  return Checked(PyObject_Format(value.ptr(), spec.ptr()));
}

py::object Iter(const Proxy& p) {
  p.object->CheckApartment();
  py::list items;
  for (const Variant& v : p.object->Enumerate()) items.append(ToPython(v));
  return items.attr("__iter__")();
}

py::list Dir(const Proxy& p) {
  std::vector<std::string> names;
  for (const MemberInfo& m : p.object->Interface().members)
    if (!m.hidden && std::find(names.begin(), names.end(), m.name) == names.end())
      names.push_back(m.name);
  std::sort(names.begin(), names.end());
  py::list out;
  for (const std::string& n : names) out.append(py::str(n));
  return out;
}

const MemberInfo& InfoOf(const BoundMember& b) {
  const MemberInfo* m = b.object->Interface().Find(b.name, b.kind);
  if (!m) UnknownName(b.object->Interface(), b.name);
  return *m;
}

// help(proxy): the interface and every member's signature.
std::string ProxyDoc(const Proxy& p) {
  const InterfaceInfo& info = p.object->Interface();
  std::string doc = "Automation object " + info.name +
                    ", called by name. Members (help(obj.Member) explains one):\n";
  for (const MemberInfo& m : info.members)
    if (!m.hidden) doc += "  " + m.Signature() + "\n";
  return doc;
}

std::string MemberRepr(const BoundMember& b) {
  const MemberInfo* m = b.object->Interface().Find(b.name, b.kind);
  std::string sig = m ? m->Signature() : b.name;
  return "<q6fdmgr member " + b.object->Interface().name + "." + b.name + ": " + sig + ">";
}

}  // namespace

py::object WrapObject(const ObjectRef& o) {
  if (!o) return py::none();
  return py::cast(Proxy{o});
}

ObjectRef UnwrapObject(py::handle h) {
  if (!py::isinstance<Proxy>(h)) return nullptr;
  return h.cast<const Proxy&>().object;
}

void BindProxy(py::module_& m) {
  py::class_<BoundMember>(m, "_BoundMember")
      .def("__call__",
           [](const BoundMember& b, const py::args& args, const py::kwargs& kwargs) {
             return CallMember(b.object, b.name, b.kind, args, kwargs);
           })
      .def("__repr__", &MemberRepr)
      // A descriptor-like member reads as a routine to help() and inspect.
      .def("__get__", [](py::object self, py::handle, py::handle) { return self; })
      .def("__getattr__",
           [](const BoundMember& b, const std::string& attr) -> py::object {
             if (attr == "__name__") return py::str(b.name);
             if (attr == "__qualname__") return py::str(b.object->Interface().name + "." + b.name);
             throw py::attribute_error(attr);
           })
      .def_property_readonly(
          "__doc__",
          [](const BoundMember& b) { return MemberDoc(b.object->Interface(), InfoOf(b)); })
      .def_property_readonly("__signature__",
                             [](const BoundMember& b) { return MemberSignature(InfoOf(b)); });

  py::class_<Proxy>(m, "Dispatch",
                    "Dispatch(progid): creates the automation object registered under "
                    "`progid` (or a CLSID in braces) and calls it by name.")
      .def(py::init([](const std::string& progid) {
             ObjectRef o = CreateObject(progid);
             if (!o) Throw(E_FAIL, "Creating " + progid + " returned no object");
             return Proxy{std::move(o)};
           }),
           py::arg("progid"))
      .def("__getattr__", &GetAttr)
      .def("__setattr__", &SetAttr)
      .def("__call__", &CallDefault)
      .def("__str__", &Str)
      .def("__repr__", &Repr)
      .def("__iter__", &Iter)
      .def("__dir__", &Dir)
      .def_property_readonly("__doc__", &ProxyDoc)
      .def("__eq__", &Equal)
      .def("__format__", &Format)
      .def("__hash__", [](const Proxy& p) { return std::hash<const void*>()(p.object.get()); });
}

}  // namespace q6::pymod
