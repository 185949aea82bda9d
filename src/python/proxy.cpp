// Dispatch proxies and bound members.
//
// Whether an attribute read runs the member or hands back something to call
// is decided from the interface's member table alone, so the same name behaves
// the same way on every object of a class: a property get that needs no
// arguments is read at once, everything else (methods, indexed properties)
// becomes a bound member. Arguments are converted once per call; a q6fdmgr.Ref
// argument becomes a by-reference slot that lives for the call and is copied
// back into the Ref afterwards.
//
// Reading values one by one (rs.Fields.Item(i).Value) is a chain of attribute
// reads and calls, so their fixed cost is kept small: attribute reads and
// calls of proxies and bound members are type slots of their own rather than
// bound Python methods; what a name means on an interface is looked up once
// per interface and spelling and kept (AttrIndex); a bound member holds its
// member table entry, so calling it runs the member without looking it up
// again.
#include "python/proxy.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "python/convert.h"
#include "python/member_doc.h"
#include "python/python_types.h"
#include "runtime/class_table.h"

namespace q6::pymod {

namespace {

// A member of `object`, ready to call. Member tables live as long as the
// process, so the entry stays valid.
struct BoundMember {
  ObjectRef object;
  const MemberInfo* member;
  MemberKind kind;
};

bool IsDunder(std::string_view name) {
  return name.size() > 4 && name.substr(0, 2) == "__" && name.substr(name.size() - 2) == "__";
}

bool HasRequiredParams(const MemberInfo& m) {
  return std::any_of(m.params.begin(), m.params.end(),
                     [](const ParamInfo& p) { return !p.optional; });
}

// What an attribute name means on one interface.
struct AttrEntry {
  const MemberInfo* get = nullptr;  // for reads and calls
  bool read_now = false;            // a property get without required parameters
};

// The meanings of the names used so far, per interface and spelling. Only
// names that are members are kept, so the index is bounded by the member
// tables. Used with the GIL held.
const AttrEntry& AttrIndex(const InterfaceInfo& info, std::string_view name) {
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  using Names = std::unordered_map<std::string, AttrEntry, Hash, std::equal_to<>>;
  static auto* index = new std::unordered_map<const InterfaceInfo*, Names>();
  Names& names = (*index)[&info];
  auto it = names.find(name);
  if (it != names.end()) return it->second;
  AttrEntry e;
  e.get = info.Find(name, MemberKind::PropertyGet);
  if (!e.get) {
    if (info.Find(name, MemberKind::PropertyPut))
      Throw(DISP_E_MEMBERNOTFOUND, std::string(name) + " of " + info.name + " can only be written");
    throw UnknownNameError(DISP_E_UNKNOWNNAME, "Unknown name: " + std::string(name) +
                                                   " is not a member of " + info.name);
  }
  e.read_now = e.get->kind == MemberKind::PropertyGet && !HasRequiredParams(*e.get);
  return names.emplace(std::string(name), e).first->second;
}

// Runs `m` on `o` with the caller's arguments, on `o`'s own thread only.
Variant Run(Dispatchable& o, const MemberInfo& m, MemberKind kind, std::vector<Variant>& args,
            std::vector<NamedArg>& named) {
  o.CheckApartment();
  return InvokeMember(o, m, args, named, kind);
}

// The arguments of one call. A Ref argument is given to the invoker as
// Variant::Ref to a slot owned here; after a successful call the slots that
// changed are copied back into their Refs. Plain values are passed as copies,
// so a by-reference parameter never touches the caller's Python object.
class CallArgs {
 public:
  // `kwargs` may be null.
  CallArgs(PyObject* args, PyObject* kwargs) {
    const Py_ssize_t n = PyTuple_GET_SIZE(args);
    slots_.reserve(static_cast<size_t>(n) + (kwargs ? PyDict_GET_SIZE(kwargs) : 0));
    positional.reserve(static_cast<size_t>(n));
    for (Py_ssize_t i = 0; i < n; ++i) positional.push_back(Arg(PyTuple_GET_ITEM(args, i)));
    if (!kwargs) return;
    PyObject *key = nullptr, *value = nullptr;
    for (Py_ssize_t pos = 0; PyDict_Next(kwargs, &pos, &key, &value);)
      named.push_back({py::handle(key).cast<std::string>(), Arg(value)});
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

  Variant Arg(PyObject* h) {
    if (Py_TYPE(h) != reinterpret_cast<PyTypeObject*>(RefType().ptr())) {
      int is_ref = PyObject_IsInstance(h, RefType().ptr());
      if (is_ref < 0) throw py::error_already_set();
      if (!is_ref) return ToVariant(h);
    }
    // Reserved for every argument up front: the addresses stay put.
    Variant& slot = slots_.emplace_back(ToVariant(py::handle(h).attr("value")));
    refs_.push_back({py::reinterpret_borrow<py::object>(h), slot, &slot});
    return Variant::Ref(&slot);
  }

  std::vector<Variant> slots_;  // the Refs' values, for Variant::Ref
  std::vector<RefSlot> refs_;
};

// Calls `m` of `o`; `kwargs` may be null.
py::object CallMember(const ObjectRef& o, const MemberInfo& m, MemberKind kind, PyObject* args,
                      PyObject* kwargs) {
  WarnDiscardedResults(m, args, kwargs);
  CallArgs call(args, kwargs);
  Variant result = Run(*o, m, kind, call.positional, call.named);
  call.WriteBack();
  return ToPython(result);
}

[[noreturn]] void UnknownName(const InterfaceInfo& info, const std::string& name) {
  throw UnknownNameError(DISP_E_UNKNOWNNAME,
                         "Unknown name: " + name + " is not a member of " + info.name);
}

py::object GetAttr(const Proxy& p, std::string_view name) {
  const AttrEntry& e = AttrIndex(p.object->Interface(), name);
  if (e.read_now) {
    std::vector<Variant> args;
    std::vector<NamedArg> named;
    return ToPython(Run(*p.object, *e.get, MemberKind::PropertyGet, args, named));
  }
  return py::cast(BoundMember{p.object, e.get, e.get->kind});
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

py::object CallDefault(const Proxy& p, PyObject* args, PyObject* kwargs) {
  const InterfaceInfo& info = p.object->Interface();
  const MemberInfo* m = info.FindById(DISPID_VALUE, MemberKind::PropertyGet);
  if (!m) {
    p.object->CheckApartment();
    Throw(DISP_E_MEMBERNOTFOUND, "Member not found: dispatch id 0x00000000 of " + info.name);
  }
  CallArgs call(args, kwargs);
  Variant result = Run(*p.object, *m, MemberKind::PropertyGet, call.positional, call.named);
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

const MemberInfo& InfoOf(const BoundMember& b) { return *b.member; }

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
  return "<q6fdmgr member " + b.object->Interface().name + "." + b.member->name + ": " +
         b.member->Signature() + ">";
}

// The C++ value of an instance of a bound type; TypeError for an instance
// whose value was never made (a subclass that skipped __init__).
template <class T>
T& ValueOf(PyObject* self) {
  auto* inst = reinterpret_cast<py::detail::instance*>(self);
  void* v = inst->get_value_and_holder().value_ptr();
  if (!v) throw py::type_error("q6fdmgr object without a value");
  return *static_cast<T*>(v);
}

// Type slots. Each one reports C++ errors as the bound functions do.
PyObject* ProxyGetAttro(PyObject* self, PyObject* name) {
  Py_ssize_t size = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name, &size);
  if (!text) return nullptr;
  const std::string_view attr(text, static_cast<size_t>(size));
  if (IsDunder(attr)) return PyObject_GenericGetAttr(self, name);
  try {
    return GetAttr(ValueOf<Proxy>(self), attr).release().ptr();
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
}

PyObject* ProxyCall(PyObject* self, PyObject* args, PyObject* kwargs) {
  try {
    return CallDefault(ValueOf<Proxy>(self), args, kwargs).release().ptr();
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
}

PyObject* BoundCall(PyObject* self, PyObject* args, PyObject* kwargs) {
  try {
    const BoundMember& b = ValueOf<BoundMember>(self);
    return CallMember(b.object, *b.member, b.kind, args, kwargs).release().ptr();
  } catch (...) {
    SetPythonError();
    return nullptr;
  }
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
  py::class_<BoundMember>(m, "_BoundMember", py::custom_type_setup([](PyHeapTypeObject* t) {
                            t->ht_type.tp_call = &BoundCall;
                          }))
      .def("__repr__", &MemberRepr)
      // A descriptor-like member reads as a routine to help() and inspect.
      .def("__get__", [](py::object self, py::handle, py::handle) { return self; })
      .def("__getattr__",
           [](const BoundMember& b, const std::string& attr) -> py::object {
             if (attr == "__name__") return py::str(b.member->name);
             if (attr == "__qualname__")
               return py::str(b.object->Interface().name + "." + b.member->name);
             throw py::attribute_error(attr);
           })
      .def_property_readonly(
          "__doc__",
          [](const BoundMember& b) { return MemberDoc(b.object->Interface(), InfoOf(b)); })
      .def_property_readonly("__signature__",
                             [](const BoundMember& b) { return MemberSignature(InfoOf(b)); });

  py::class_<Proxy>(m, "Dispatch",
                    "Dispatch(progid): creates the automation object registered under "
                    "`progid` (or a CLSID in braces) and calls it by name.",
                    py::custom_type_setup([](PyHeapTypeObject* t) {
                      t->ht_type.tp_getattro = &ProxyGetAttro;
                      t->ht_type.tp_call = &ProxyCall;
                    }))
      .def(py::init([](const std::string& progid) {
             ObjectRef o = CreateObject(progid);
             if (!o) Throw(E_FAIL, "Creating " + progid + " returned no object");
             return Proxy{std::move(o)};
           }),
           py::arg("progid"))
      .def("__setattr__", &SetAttr)
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
