// The generic invoker behind every late-bound call.
//
// A call goes: find the member by name (any case), lay the caller's
// positional and named arguments out in parameter order, fill omitted
// optional parameters, convert each argument to its declared type, run the
// member's thunk, then copy by-reference parameters back into the caller's
// slots. Conversion failures of arguments are reported with the dispatch
// error numbers, so a caller can tell a bad call from a failing method.
#include "runtime/dispatch.h"

#include <algorithm>
#include <sstream>

#include "runtime/value_utf8.h"

namespace q6 {

std::atomic<long> Dispatchable::live_{0};

std::string TypeDesc::Display() const { return name.empty() ? VarTypeName(vt) : name; }

std::string MemberInfo::Signature() const {
  std::ostringstream os;
  switch (kind) {
    case MemberKind::Method:
      os << (result.vt == VarType::Void ? "Sub " : "Function ");
      break;
    case MemberKind::PropertyGet:
      os << "Property Get ";
      break;
    case MemberKind::PropertyPut:
      os << "Property Let ";
      break;
    case MemberKind::PropertyPutRef:
      os << "Property Set ";
      break;
  }
  os << name << "(";
  for (size_t i = 0; i < params.size(); ++i) {
    const ParamInfo& p = params[i];
    if (i) os << ", ";
    if (p.optional) os << "[Optional] ";
    os << (p.by_ref ? "ByRef " : "ByVal ") << p.name << " As " << p.type.Display();
    if (p.optional && p.default_value && !p.default_value->IsMissing()) {
      const Variant& d = *p.default_value;
      if (d.type() == VarType::String)
        os << " = \"" << d.string() << "\"";
      else if (!d.IsObject())
        os << " = " << d.ToString();
    }
  }
  os << ")";
  if (result.vt != VarType::Void && kind != MemberKind::PropertyPut &&
      kind != MemberKind::PropertyPutRef)
    os << " As " << result.Display();
  char id[16];
  std::snprintf(id, sizeof id, "0x%08X", static_cast<uint32_t>(dispid));
  os << "  [id " << id << "]";
  return os.str();
}

namespace {
bool KindMatches(MemberKind have, MemberKind want) {
  bool have_put = have == MemberKind::PropertyPut || have == MemberKind::PropertyPutRef;
  bool want_put = want == MemberKind::PropertyPut || want == MemberKind::PropertyPutRef;
  return have_put == want_put;
}
}  // namespace

const MemberInfo* InterfaceInfo::Find(std::string_view n, MemberKind kind) const {
  // Called for every late-bound call. A name in ASCII, as every call from
  // code is, is compared with each member's folded key as it stands; any
  // other is folded once first.
  const bool ascii = std::all_of(n.begin(), n.end(), value::IsAsciiByte);
  const std::string wanted = ascii ? std::string() : ToLower(n);
  const auto is_key = [&](const std::string& key) {
    if (!ascii) return key == wanted;
    return key.size() == n.size() &&
           std::equal(key.begin(), key.end(), n.begin(),
                      [](char k, char c) { return k == value::AsciiLower(c); });
  };
  const MemberInfo* fallback = nullptr;
  for (const MemberInfo& m : members) {
    bool same = m.key.empty() ? EqualsNoCase(m.name, n) : is_key(m.key);
    if (!same || !KindMatches(m.kind, kind)) continue;
    if (m.kind == kind) return &m;
    if (!fallback) fallback = &m;
  }
  return fallback;
}

const MemberInfo* InterfaceInfo::FindById(DISPID id, MemberKind kind) const {
  const MemberInfo* fallback = nullptr;
  for (const MemberInfo& m : members) {
    if (m.dispid != id || !KindMatches(m.kind, kind)) continue;
    if (m.kind == kind) return &m;
    if (!fallback) fallback = &m;
  }
  return fallback;
}

Dispatchable::Dispatchable() : apartment_(std::this_thread::get_id()) { ++live_; }
Dispatchable::~Dispatchable() { --live_; }
long Dispatchable::LiveObjects() { return live_.load(); }

void Dispatchable::CheckApartment() const {
  if (std::this_thread::get_id() != apartment_)
    Throw(RPC_E_WRONG_THREAD,
          "The application called an interface that was marshalled for a different thread. (" +
              Interface().name + ")");
}

Variant Dispatchable::Invoke(std::string_view name, MemberKind kind, std::vector<Variant> args,
                             std::vector<NamedArg> named) {
  CheckApartment();
  const MemberInfo* m = Interface().Find(name, kind);
  if (!m) {
    // A property get with arguments on an object whose default member takes
    // them is how collections are indexed; other misses are unknown names.
    Throw(DISP_E_UNKNOWNNAME,
          "Unknown name: " + std::string(name) + " is not a member of " + Interface().name);
  }
  return InvokeMember(*this, *m, args, named, kind);
}

Variant Dispatchable::InvokeById(DISPID id, MemberKind kind, std::vector<Variant> args,
                                 std::vector<NamedArg> named) {
  CheckApartment();
  const MemberInfo* m = Interface().FindById(id, kind);
  if (!m) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(id));
    Throw(DISP_E_MEMBERNOTFOUND,
          "Member not found: dispatch id " + std::string(buf) + " of " + Interface().name);
  }
  return InvokeMember(*this, *m, args, named, kind);
}

Variant Dispatchable::DefaultValue() {
  const MemberInfo* m = Interface().FindById(DISPID_VALUE, MemberKind::PropertyGet);
  if (!m) Throw(DISP_E_MEMBERNOTFOUND, Interface().name + " has no default member");
  std::vector<Variant> args;
  std::vector<NamedArg> named;
  return InvokeMember(*this, *m, args, named, MemberKind::PropertyGet);
}

std::vector<Variant> Dispatchable::Enumerate() {
  Throw(DISP_E_MEMBERNOTFOUND, Interface().name + " is not a collection");
}

namespace {

Variant ConvertArg(const Variant& arg, const ParamInfo& p, const MemberInfo& m) {
  if (p.type.vt == VarType::Variant) return arg.Value();
  try {
    if (p.type.vt == VarType::Object) {
      const Variant& v = arg.Deref();
      if (v.IsObject()) return v;
      if (v.IsEmpty()) return Variant::Nothing();
      Throw(DISP_E_TYPEMISMATCH, "Type mismatch: parameter " + p.name + " of " + m.name +
                                     " needs an object, got " + v.Describe());
    }
    return arg.ChangeType(p.type.vt);
  } catch (const ComError& e) {
    if (e.hr() == DISP_E_TYPEMISMATCH) throw;
    HRESULT hr = e.hr() == VbHr(kVbOverflow) ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    Throw(hr, (hr == DISP_E_OVERFLOW ? "Overflow" : "Type mismatch") + std::string(": parameter ") +
                  p.name + " of " + m.name + " (" + e.description() + ")");
  }
}

}  // namespace

ArgBuffer::ArgBuffer(size_t n) : n_(n) {
  if (n > kInline) {
    heap_ = std::make_unique<Variant[]>(n);
    data_ = heap_.get();
    return;
  }
  data_ = reinterpret_cast<Variant*>(inline_);
  for (size_t i = 0; i < n; ++i) ::new (static_cast<void*>(data_ + i)) Variant();
}

ArgBuffer::~ArgBuffer() {
  if (!heap_)
    for (size_t i = 0; i < n_; ++i) data_[i].~Variant();
}

namespace {
// Whether `args` can go to `m` as they are: by position, each a plain value
// (no reference to write back to, none left out) for a parameter that takes
// any value, and every parameter after them optional without a default (it
// arrives Missing), so that there is nothing to convert or copy back. A
// parameter the member may change (ByRef) given a plain value changes only
// that copy, as it would in the slow path.
bool PassesAsGiven(const MemberInfo& m, Args args, const std::vector<NamedArg>& named,
                   MemberKind kind) {
  if (!named.empty() || args.size() > m.params.size() || kind == MemberKind::PropertyPut ||
      kind == MemberKind::PropertyPutRef)
    return false;
  for (size_t i = 0; i < m.params.size(); ++i) {
    const ParamInfo& p = m.params[i];
    if (p.type.vt != VarType::Variant) return false;
    if (i >= args.size() ? !p.optional || p.default_value.has_value()
                         : args[i].IsByRef() || args[i].IsMissing())
      return false;
  }
  return true;
}
}  // namespace

Variant InvokeMember(Dispatchable& self, const MemberInfo& m, Args args,
                     std::vector<NamedArg>& named, MemberKind kind) {
  // The common call (an index, a name) takes the caller's values as they
  // are: they are the caller's own copies (see the header).
  const size_t n = m.params.size();
  if (PassesAsGiven(m, args, named, kind)) {
    if (args.size() == n) return m.thunk(self, args);
    ArgBuffer all(n);
    for (size_t i = 0; i < n; ++i)
      all[i] = i < args.size() ? std::move(args[i]) : Variant::Missing();
    return m.thunk(self, all.args());
  }
  // Slot i holds the caller's argument for parameter i, if any. Members
  // have a handful of parameters: the slots live on the stack for those.
  // Only the first n slots are cleared: this runs for every call.
  constexpr size_t kInline = 16;
  const Variant* given_inline[kInline];
  Variant* ref_inline[kInline];
  std::vector<const Variant*> given_heap;
  std::vector<Variant*> ref_heap;
  if (n > kInline) {
    given_heap.resize(n);
    ref_heap.resize(n);
  }
  const Variant** given = n > kInline ? given_heap.data() : given_inline;
  Variant** ref_slot = n > kInline ? ref_heap.data() : ref_inline;
  std::fill_n(given, n, nullptr);
  std::fill_n(ref_slot, n, nullptr);
  size_t positional = args.size();
  bool is_put = kind == MemberKind::PropertyPut || kind == MemberKind::PropertyPutRef;
  if (is_put) {
    if (args.empty() || n == 0)
      Throw(DISP_E_BADPARAMCOUNT, "Invalid number of parameters: " + m.name + " needs a value");
    given[n - 1] = &args.back();
    --positional;
  }
  size_t limit = is_put ? n - 1 : n;
  if (positional > limit)
    Throw(DISP_E_BADPARAMCOUNT, "Invalid number of parameters: " + m.name + " takes " +
                                    std::to_string(limit) + ", got " + std::to_string(positional));
  for (size_t i = 0; i < positional; ++i) given[i] = &args[i];
  for (NamedArg& a : named) {
    size_t i = 0;
    while (i < limit && !EqualsNoCase(m.params[i].name, a.name)) ++i;
    if (i == limit)
      Throw(DISP_E_PARAMNOTFOUND, "Parameter not found: " + m.name + " has no parameter " + a.name);
    if (given[i])
      Throw(DISP_E_BADPARAMCOUNT, "Parameter " + a.name + " of " + m.name + " given twice");
    given[i] = &a.value;
  }

  ArgBuffer local(n);
  for (size_t i = 0; i < n; ++i) {
    const ParamInfo& p = m.params[i];
    const Variant* g = given[i];
    if (g && g->IsByRef()) ref_slot[i] = &const_cast<Variant*>(g)->Deref();
    if (!g || g->IsMissing()) {
      if (!p.optional) {
        Throw(DISP_E_BADPARAMCOUNT, "Invalid number of parameters: argument " + p.name + " of " +
                                        m.name + " is not optional");
      }
      local[i] = p.default_value ? p.default_value->ChangeType(
                                       p.type.vt == VarType::Object ? VarType::Variant : p.type.vt)
                                 : Variant::EmptyOf(p.type.vt);
      continue;
    }
    local[i] = ConvertArg(*g, p, m);
  }

  Variant result = m.thunk(self, local.args());

  for (size_t i = 0; i < n; ++i)
    if (m.params[i].by_ref && ref_slot[i]) *ref_slot[i] = std::move(local[i]);
  return result;
}

ObjectRef ObjectOf(const Variant& v) {
  const Variant& d = v.Deref();
  if (!d.IsObject()) ThrowVb(kVbObjectRequired);
  if (!d.object()) ThrowVb(91);
  return d.object();
}

}  // namespace q6
