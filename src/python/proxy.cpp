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
// reads and calls, so their fixed cost is kept small: proxies and bound
// members are plain extension types whose attribute reads and calls are type
// slots (calls as vector calls, without an argument tuple); what a name means
// on an interface is looked up once and kept (member_index.h); a bound member
// holds its member table entry, so calling it runs the member without looking
// it up again; and the proxies that property reads return are kept by the
// proxy that read them and handed out again (ChildCache), so a loop over a
// recordset's values makes no new Python object but the values.
#include "python/proxy.h"

#include <structmember.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/adodb/recordset.h"
#include "python/call_args.h"
#include "python/convert.h"
#include "python/member_doc.h"
#include "python/member_index.h"
#include "python/python_types.h"
#include "python/rows.h"
#include "runtime/array_fill.h"
#include "runtime/class_table.h"

namespace q6::pymod {

namespace {

// The proxies of objects that property reads returned lately, kept by the
// proxy or bound member that read them. A read that returns one of those
// objects again hands back the same Python object instead of a new one, so
// reading values one by one (rs.Fields.Item(i).Value) makes no proxy per
// value. Only property reads are kept: what they return belongs to the
// object read anyway (a recordset's Fields, a collection's items), so
// keeping it changes no lifetime a script can see; a method's result (a new
// recordset) is never kept. A cache holds only proxies made for it, which
// never hold the cache's owner, so it makes no reference cycle.
class ChildCache {
 public:
  ChildCache() = default;
  ChildCache(const ChildCache&) = delete;
  ChildCache& operator=(const ChildCache&) = delete;
  ~ChildCache() {
    for (PyObject* p : slots_) Py_XDECREF(p);
  }

  // The proxy of `o`: a kept one, or a new one that is kept.
  py::object Wrap(const ObjectRef& o);

 private:
  std::array<PyObject*, 32> slots_{};  // enough for the columns of most results
  size_t used_ = 0;                    // slots [0, used_) hold a proxy
  size_t next_ = 0;                    // the slot the next new proxy takes
  size_t last_ = 0;                    // the slot handed out last, looked at first
};

// What a Dispatch instance holds.
struct Proxy {
  ObjectRef object;  // never null
  ChildCache children;
  PyObject* bound = nullptr;  // the bound member read last, handed out again for the same member
  // The default member's get, found at the first call of the proxy (an
  // object's interface is its class's and never changes).
  const MemberInfo* default_get = nullptr;
  bool default_takes_one = false;  // default_get is TakesOneAsGiven
  ~Proxy() { Py_XDECREF(bound); }
};

// True when a call of `m` with one plain argument can go straight to its
// thunk: its only parameter takes any value, and nothing is put or handed
// back. InvokeMember would pass such an argument as given too; skipping it
// and the argument buffers matters for rs.Fields.Item(i) in a loop.
bool TakesOneAsGiven(const MemberInfo& m) {
  return m.params.size() == 1 && m.params[0].type.vt == VarType::Variant &&
         (m.kind == MemberKind::Method || m.kind == MemberKind::PropertyGet) && !HasResultParams(m);
}

// The argument of such a call when it is an int or a str (an index, a name):
// no Ref, nothing to write back.
bool IsPlainArg(Py_ssize_t nargs, PyObject* kwnames, PyObject* const* args) {
  return nargs == 1 && !kwnames && (PyLong_CheckExact(args[0]) || PyUnicode_CheckExact(args[0]));
}

// A member of `object`, ready to call. Member tables live as long as the
// process, so the entry stays valid.
struct BoundMember {
  ObjectRef object;
  const MemberInfo* member;
  MemberKind kind;
  ChildCache children;
  const ArrayFill* fill = ArrayFillOf(*member);   // for array results: lists without the array
  bool result_params = HasResultParams(*member);  // calls to check with WarnDiscardedResults
  bool takes_one = TakesOneAsGiven(*member);
};

// A call's result for Python; objects through `cache` when there is one.
py::object Result(const Variant& r, ChildCache* cache) {
  const Variant& v = r.Deref();
  if (cache && v.IsObject() && v.object()) return cache->Wrap(v.object());
  return ToPython(v);
}

// A property get without parameters (or one read in place with them all
// left out), read straight through its thunk: with no arguments to lay out,
// convert or write back, the invoker has nothing to do. A value the object
// holds is converted where it lies.
py::object ReadProperty(Dispatchable& o, const MemberInfo& m, ChildCache* cache) {
  o.CheckApartment();
  if (m.read_in_place) return Result(m.read_in_place(o), cache);
  return Result(m.thunk(o, Args()), cache);
}

// A new bound member (defined with the Python types below).
py::object MakeBoundMember(const ObjectRef& o, const MemberInfo& m);
BoundMember& BoundOf(PyObject* self);

// Runs `m` (TakesOneAsGiven) on `o` with the one plain argument.
py::object CallWithOne(Dispatchable& o, const MemberInfo& m, PyObject* arg, ChildCache* cache) {
  Variant v = ToVariant(arg);
  o.CheckApartment();
  return Result(m.thunk(o, Args(&v, 1)), cache);
}

// Runs `m` on `o` with the caller's arguments, on `o`'s own thread only.
Variant Run(Dispatchable& o, const MemberInfo& m, MemberKind kind, Args args,
            std::vector<NamedArg>& named) {
  o.CheckApartment();
  return InvokeMember(o, m, args, named, kind);
}

// Nested lists, outermost by the first subscript, filled as an array
// result's elements are handed out (array_fill.h): the same lists ToPython
// makes of the array, without the array.
class ListWriter : public ArrayWriter {
 public:
  void Start(const std::vector<VariantArray::Bound>& bounds) override {
    bounds_ = bounds;
    lists_ = Lists(0);
  }
  void Put(size_t index, const Variant& v) override {
    // The subscripts, from the first on, are the digits of `index` counted
    // in the dimensions' sizes.
    PyObject* list = lists_.ptr();
    size_t at = index;
    for (size_t d = 0; d + 1 < bounds_.size(); ++d) {
      list = PyList_GET_ITEM(list, static_cast<Py_ssize_t>(at % bounds_[d].count));
      at /= bounds_[d].count;
    }
    PyList_SET_ITEM(list, static_cast<Py_ssize_t>(at), ToPython(v).release().ptr());
  }
  py::object result() { return std::move(lists_); }

 private:
  py::object Lists(size_t dim) {
    py::list out(bounds_[dim].count);
    if (dim + 1 < bounds_.size())
      for (size_t i = 0; i < bounds_[dim].count; ++i)
        PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(i), Lists(dim + 1).release().ptr());
    return out;
  }
  std::vector<VariantArray::Bound> bounds_;
  py::object lists_;
};

// Calls a bound member with a vector call's arguments.
py::object CallMember(BoundMember& b, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  ChildCache* cache = b.kind == MemberKind::PropertyGet ? &b.children : nullptr;
  if (nargs == 0 && !kwnames && b.member->params.empty()) {
    if (b.kind == MemberKind::PropertyGet) return ReadProperty(*b.object, *b.member, cache);
    b.object->CheckApartment();
    return Result(b.member->thunk(*b.object, Args()), cache);
  }
  if (b.takes_one && IsPlainArg(nargs, kwnames, args))
    return CallWithOne(*b.object, *b.member, args[0], cache);
  if (b.result_params) WarnDiscardedResults(*b.member, args, nargs, kwnames);
  CallArgs call(args, nargs, kwnames);
  if (b.fill) {
    ListWriter lists;
    b.object->CheckApartment();
    InvokeFill(*b.object, *b.member, *b.fill, call.positional.args(), call.named, lists);
    call.WriteBack();
    return lists.result();
  }
  Variant result = Run(*b.object, *b.member, b.kind, call.positional.args(), call.named);
  call.WriteBack();
  return Result(result, cache);
}

[[noreturn]] void UnknownName(const InterfaceInfo& info, const std::string& name) {
  throw UnknownNameError(DISP_E_UNKNOWNNAME,
                         "Unknown name: " + name + " is not a member of " + info.name);
}

py::object GetAttr(Proxy& p, const AttrEntry& e) {
  if (e.read_now && (e.get->params.empty() || e.get->read_in_place))
    return ReadProperty(*p.object, *e.get, &p.children);
  if (e.read_now) {
    std::vector<NamedArg> named;
    return Result(Run(*p.object, *e.get, MemberKind::PropertyGet, Args(), named), &p.children);
  }
  if (p.bound && BoundOf(p.bound).member == e.get)
    return py::reinterpret_borrow<py::object>(p.bound);
  py::object made = MakeBoundMember(p.object, *e.get);
  PyObject* old = p.bound;
  p.bound = Py_NewRef(made.ptr());
  Py_XDECREF(old);
  return made;
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

py::object CallDefault(Proxy& p, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  if (!p.default_get) {
    p.default_get = p.object->Interface().FindById(DISPID_VALUE, MemberKind::PropertyGet);
    p.default_takes_one = p.default_get && TakesOneAsGiven(*p.default_get);
  }
  const MemberInfo* m = p.default_get;
  if (!m) {
    const InterfaceInfo& info = p.object->Interface();
    p.object->CheckApartment();
    Throw(DISP_E_MEMBERNOTFOUND, "Member not found: dispatch id 0x00000000 of " + info.name);
  }
  if (p.default_takes_one && IsPlainArg(nargs, kwnames, args))
    return CallWithOne(*p.object, *m, args[0], &p.children);
  CallArgs call(args, nargs, kwnames);
  Variant result = Run(*p.object, *m, MemberKind::PropertyGet, call.positional.args(), call.named);
  call.WriteBack();
  return Result(result, &p.children);
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
  if (auto rs = As<Recordset>(p.object)) return RowsOf(std::move(rs));
  py::list items;
  for (const Variant& v : p.object->Enumerate()) items.append(ToPython(v));
  return items.attr("__iter__")();
}

// with obj: ...: objects that can be closed (connections, recordsets) are
// closed when the block ends, unless closed already.
void CheckClosable(const Proxy& p) {
  const InterfaceInfo& info = p.object->Interface();
  if (!info.Find("Close", MemberKind::Method))
    throw py::type_error(info.name + " has no Close and cannot be used in a with statement");
}

void CloseOnExit(const Proxy& p) {
  p.object->CheckApartment();
  const InterfaceInfo& info = p.object->Interface();
  if (info.Find("State", MemberKind::PropertyGet) && p.object->Get("State").ToLong() == 0) return;
  p.object->Call("Close");
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

// The Python types. Proxies and bound members are made and dropped for
// nearly every value a script reads, so they are plain extension types: an
// object header and the C++ value, built in place, with no registry of
// instances behind them.
struct ProxyObject {
  PyObject ob_base;
  vectorcallfunc vectorcall;  // calls skip building an argument tuple
  Proxy value;
};
struct BoundObject {
  PyObject ob_base;
  vectorcallfunc vectorcall;
  BoundMember value;
};

PyTypeObject* g_proxy_type = nullptr;
PyTypeObject* g_bound_type = nullptr;

Proxy& ProxyOf(PyObject* self) { return reinterpret_cast<ProxyObject*>(self)->value; }
BoundMember& BoundOf(PyObject* self) { return reinterpret_cast<BoundObject*>(self)->value; }

PyObject* ProxyVectorCall(PyObject* self, PyObject* const* args, size_t nargsf, PyObject* kwnames);
PyObject* BoundVectorCall(PyObject* self, PyObject* const* args, size_t nargsf, PyObject* kwnames);

// A new instance of `type` whose value is built in place from `args`.
template <class Object, class... Args>
PyObject* Make(PyTypeObject* type, Args&&... args) {
  PyObject* self = type->tp_alloc(type, 0);
  if (!self) throw py::error_already_set();
  auto* o = reinterpret_cast<Object*>(self);
  o->vectorcall = std::is_same_v<Object, ProxyObject> ? &ProxyVectorCall : &BoundVectorCall;
  new (&o->value) decltype(o->value){std::forward<Args>(args)...};
  return self;
}

template <class Object, class Value>
void Dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  reinterpret_cast<Object*>(self)->value.~Value();
  type->tp_free(self);
  Py_DECREF(type);  // instances of heap types hold their type
}

// Runs `f`, turning a C++ error into the Python error and the failure value
// of the slot (null, or -1 for an int slot).
template <class F>
auto Guard(F f) -> decltype(f()) {
  try {
    return f();
  } catch (...) {
    SetPythonError();
    if constexpr (std::is_same_v<decltype(f()), int>)
      return -1;
    else
      return nullptr;
  }
}

PyObject* Release(py::object o) { return o.release().ptr(); }

PyObject* ProxyNew(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return Guard([&]() -> PyObject* {
    static const char* names[] = {"progid", nullptr};
    const char* progid = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "s:Dispatch", const_cast<char**>(names),
                                     &progid))
      return nullptr;
    ObjectRef o = CreateObject(progid);
    if (!o) Throw(E_FAIL, "Creating " + std::string(progid) + " returned no object");
    return Make<ProxyObject>(type, std::move(o));
  });
}

PyObject* ProxyGetAttro(PyObject* self, PyObject* name) {
  return Guard([&]() -> PyObject* {
    Proxy& p = ProxyOf(self);
    const AttrEntry e = AttrIndex(p.object->Interface(), name);
    if (e.dunder) return PyObject_GenericGetAttr(self, name);
    return Release(GetAttr(p, e));
  });
}

int ProxySetAttro(PyObject* self, PyObject* name, PyObject* value) {
  return Guard([&] {
    const std::string attr = py::handle(name).cast<std::string>();
    if (!value) throw py::attribute_error("cannot delete " + attr);
    SetAttr(ProxyOf(self), attr, value);
    return 0;
  });
}

PyObject* ProxyVectorCall(PyObject* self, PyObject* const* args, size_t nargsf, PyObject* kwnames) {
  return Guard([&] {
    return Release(CallDefault(ProxyOf(self), args, PyVectorcall_NARGS(nargsf), kwnames));
  });
}

PyObject* ProxyStr(PyObject* self) {
  return Guard([&] { return Release(Str(ProxyOf(self))); });
}

PyObject* ProxyRepr(PyObject* self) {
  return Guard([&] { return Release(py::str(Repr(ProxyOf(self)))); });
}

PyObject* ProxyIter(PyObject* self) {
  return Guard([&] { return Release(Iter(ProxyOf(self))); });
}

// proxy[key]: the default member with the one argument, as proxy(key)
// (Fields["name"], Fields[0], rs["name"]).
PyObject* ProxySubscript(PyObject* self, PyObject* key) {
  return Guard([&] { return Release(CallDefault(ProxyOf(self), &key, 1, nullptr)); });
}

PyObject* ProxyEnter(PyObject* self, PyObject*) {
  return Guard([&] {
    CheckClosable(ProxyOf(self));
    return Py_NewRef(self);
  });
}

PyObject* ProxyExit(PyObject* self, PyObject*) {
  return Guard([&] {
    CloseOnExit(ProxyOf(self));
    return Py_NewRef(Py_False);  // an exception of the block goes on
  });
}

PyObject* ProxyCompare(PyObject* self, PyObject* other, int op) {
  if (op != Py_EQ && op != Py_NE) Py_RETURN_NOTIMPLEMENTED;
  return Guard([&]() -> PyObject* {
    py::object eq = Equal(ProxyOf(self), other);
    if (op == Py_EQ || eq.ptr() == Py_NotImplemented) return Release(eq);
    const int truth = PyObject_IsTrue(eq.ptr());
    if (truth < 0) return nullptr;
    return Release(py::bool_(!truth));
  });
}

Py_hash_t ProxyHash(PyObject* self) {
  const auto h = static_cast<Py_hash_t>(std::hash<const void*>()(ProxyOf(self).object.get()));
  return h == -1 ? -2 : h;
}

PyObject* ProxyDir(PyObject* self, PyObject*) {
  return Guard([&] { return Release(Dir(ProxyOf(self))); });
}

PyObject* ProxyFormat(PyObject* self, PyObject* spec) {
  return Guard(
      [&] { return Release(Format(ProxyOf(self), py::reinterpret_borrow<py::str>(spec))); });
}

PyObject* ProxyDocGet(PyObject* self, void*) {
  return Guard([&] { return Release(py::str(ProxyDoc(ProxyOf(self)))); });
}

PyObject* BoundVectorCall(PyObject* self, PyObject* const* args, size_t nargsf, PyObject* kwnames) {
  return Guard([&] {
    return Release(CallMember(BoundOf(self), args, PyVectorcall_NARGS(nargsf), kwnames));
  });
}

PyObject* BoundRepr(PyObject* self) {
  return Guard([&] { return Release(py::str(MemberRepr(BoundOf(self)))); });
}

// A descriptor-like member reads as a routine to help() and inspect.
PyObject* BoundDescrGet(PyObject* self, PyObject*, PyObject*) { return Py_NewRef(self); }

PyObject* BoundName(PyObject* self, void*) {
  return Guard([&] { return Release(py::str(BoundOf(self).member->name)); });
}

PyObject* BoundQualName(PyObject* self, void*) {
  return Guard([&] {
    const BoundMember& b = BoundOf(self);
    return Release(py::str(b.object->Interface().name + "." + b.member->name));
  });
}

PyObject* BoundDoc(PyObject* self, void*) {
  return Guard([&] {
    const BoundMember& b = BoundOf(self);
    return Release(py::str(MemberDoc(b.object->Interface(), *b.member)));
  });
}

PyObject* BoundSignature(PyObject* self, void*) {
  return Guard([&] { return Release(MemberSignature(*BoundOf(self).member)); });
}

PyTypeObject* NewType(PyType_Spec* spec) {
  PyObject* t = PyType_FromSpec(spec);
  if (!t) throw py::error_already_set();
  return reinterpret_cast<PyTypeObject*>(t);  // kept for the life of the process
}

}  // namespace

py::object WrapObject(const ObjectRef& o) {
  if (!o) return py::none();
  return py::reinterpret_steal<py::object>(Make<ProxyObject>(g_proxy_type, o));
}

namespace {
py::object ChildCache::Wrap(const ObjectRef& o) {
  // Reads in a loop mostly return the object handed out last again (a
  // recordset's Fields) or the one kept after it (the next column, or the
  // first one after the last).
  for (size_t k = 0; k < used_; ++k) {
    size_t i = last_ + k;
    if (i >= used_) i -= used_;
    if (ProxyOf(slots_[i]).object == o) {
      last_ = i;
      return py::reinterpret_borrow<py::object>(slots_[i]);
    }
  }
  py::object made = WrapObject(o);
  PyObject* old = slots_[next_];
  slots_[next_] = Py_NewRef(made.ptr());
  last_ = next_;
  next_ = (next_ + 1) % slots_.size();
  used_ = std::max(used_, last_ + 1);
  Py_XDECREF(old);
  return made;
}
}  // namespace

ObjectRef UnwrapObject(py::handle h) {
  if (!g_proxy_type || !PyObject_TypeCheck(h.ptr(), g_proxy_type)) return nullptr;
  return ProxyOf(h.ptr()).object;
}

namespace {
py::object MakeBoundMember(const ObjectRef& o, const MemberInfo& m) {
  return py::reinterpret_steal<py::object>(Make<BoundObject>(g_bound_type, o, &m, m.kind));
}
}  // namespace

void BindProxy(py::module_& m) {
  static PyMethodDef proxy_methods[] = {{"__dir__", &ProxyDir, METH_NOARGS, nullptr},
                                        {"__format__", &ProxyFormat, METH_O, nullptr},
                                        {"__enter__", &ProxyEnter, METH_NOARGS, nullptr},
                                        {"__exit__", &ProxyExit, METH_VARARGS, nullptr},
                                        {nullptr, nullptr, 0, nullptr}};
  static PyGetSetDef proxy_getset[] = {{"__doc__", &ProxyDocGet, nullptr, nullptr, nullptr},
                                       {nullptr, nullptr, nullptr, nullptr, nullptr}};
  static PyMemberDef proxy_members[] = {
      {"__vectorcalloffset__", T_PYSSIZET, offsetof(ProxyObject, vectorcall), READONLY, nullptr},
      {nullptr, 0, 0, 0, nullptr}};
  static PyMemberDef bound_members[] = {
      {"__vectorcalloffset__", T_PYSSIZET, offsetof(BoundObject, vectorcall), READONLY, nullptr},
      {nullptr, 0, 0, 0, nullptr}};
  static PyType_Slot proxy_slots[] = {
      {Py_tp_new, reinterpret_cast<void*>(&ProxyNew)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&Dealloc<ProxyObject, Proxy>)},
      {Py_tp_getattro, reinterpret_cast<void*>(&ProxyGetAttro)},
      {Py_tp_setattro, reinterpret_cast<void*>(&ProxySetAttro)},
      {Py_tp_call, reinterpret_cast<void*>(&PyVectorcall_Call)},
      {Py_tp_str, reinterpret_cast<void*>(&ProxyStr)},
      {Py_tp_repr, reinterpret_cast<void*>(&ProxyRepr)},
      {Py_tp_iter, reinterpret_cast<void*>(&ProxyIter)},
      {Py_mp_subscript, reinterpret_cast<void*>(&ProxySubscript)},
      {Py_tp_richcompare, reinterpret_cast<void*>(&ProxyCompare)},
      {Py_tp_hash, reinterpret_cast<void*>(&ProxyHash)},
      {Py_tp_methods, proxy_methods},
      {Py_tp_getset, proxy_getset},
      {Py_tp_members, proxy_members},
      {0, nullptr}};
  static PyType_Spec proxy_spec = {"q6fdmgr.Dispatch", sizeof(ProxyObject), 0,
                                   Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL, proxy_slots};
  static PyGetSetDef bound_getset[] = {
      {"__name__", &BoundName, nullptr, nullptr, nullptr},
      {"__qualname__", &BoundQualName, nullptr, nullptr, nullptr},
      {"__doc__", &BoundDoc, nullptr, nullptr, nullptr},
      {"__signature__", &BoundSignature, nullptr, nullptr, nullptr},
      {nullptr, nullptr, nullptr, nullptr, nullptr}};
  static PyType_Slot bound_slots[] = {
      {Py_tp_dealloc, reinterpret_cast<void*>(&Dealloc<BoundObject, BoundMember>)},
      {Py_tp_call, reinterpret_cast<void*>(&PyVectorcall_Call)},
      {Py_tp_repr, reinterpret_cast<void*>(&BoundRepr)},
      {Py_tp_descr_get, reinterpret_cast<void*>(&BoundDescrGet)},
      {Py_tp_getset, bound_getset},
      {Py_tp_members, bound_members},
      {0, nullptr}};
  static PyType_Spec bound_spec = {"q6fdmgr._BoundMember", sizeof(BoundObject), 0,
                                   Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_VECTORCALL, bound_slots};
  g_proxy_type = NewType(&proxy_spec);
  g_bound_type = NewType(&bound_spec);
  m.attr("Dispatch") = py::handle(reinterpret_cast<PyObject*>(g_proxy_type));
  m.attr("_BoundMember") = py::handle(reinterpret_cast<PyObject*>(g_bound_type));
}

}  // namespace q6::pymod
