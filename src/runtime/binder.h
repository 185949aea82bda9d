// Binds typed C++ member functions into member tables.
//
// A typed method such as
//     bool LockIt(Variant& DataSourceName, Variant& vID, std::string& UserName, ...)
// becomes a MemberInfo with
//     Method<LockManager>("LockIt", 0x60030001, &LockManager::LockIt,
//                         {Req("DataSourceName"), Opt("vID", ""), OptNone("UserName"), ...})
// Parameter types and passing are read off the signature: a non-const lvalue
// reference is by reference, anything else by value. The C++ types map to
// automation types as follows: bool Boolean, uint8_t Byte, int16_t Integer,
// int32_t Long, double Double, Decimal Decimal, DateValue Date, std::string
// String, ObjectRef Object, VariantArray Variant(), Variant Variant. The
// invoker converts every argument to that type before the method runs, so the
// thunk only takes references into the argument vector.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "runtime/dispatch.h"

namespace q6 {

template <class T>
struct ArgTraits;

#define Q6_ARG_TRAITS(T, VT, ACCESS)                 \
  template <>                                        \
  struct ArgTraits<T> {                              \
    static constexpr VarType vt = VarType::VT;       \
    static T& Get(Variant& v) { return v.ACCESS(); } \
  };
Q6_ARG_TRAITS(bool, Boolean, bool_ref)
Q6_ARG_TRAITS(uint8_t, Byte, byte_ref)
Q6_ARG_TRAITS(int16_t, Integer, integer_ref)
Q6_ARG_TRAITS(int32_t, Long, long_ref)
Q6_ARG_TRAITS(double, Double, double_ref)
Q6_ARG_TRAITS(Decimal, Decimal, decimal_ref)
Q6_ARG_TRAITS(DateValue, Date, date_ref)
Q6_ARG_TRAITS(std::string, String, string_ref)
Q6_ARG_TRAITS(ObjectRef, Object, object_ref)
Q6_ARG_TRAITS(VariantArray, Array, array_ref)
#undef Q6_ARG_TRAITS

template <>
struct ArgTraits<Variant> {
  static constexpr VarType vt = VarType::Variant;
  static Variant& Get(Variant& v) { return v; }
};

template <class R>
struct ResultTraits {
  static constexpr VarType vt = ArgTraits<std::decay_t<R>>::vt;
};
template <>
struct ResultTraits<void> {
  static constexpr VarType vt = VarType::Void;
};
template <class T>
struct ResultTraits<std::shared_ptr<T>> {
  static constexpr VarType vt = VarType::Object;
};

// How a parameter is declared in a table; type and passing come from the
// bound signature.
struct ParamSpec {
  std::string name;
  bool optional = false;
  std::optional<Variant> default_value;
  std::string type_name;  // for objects and enumerations: "Connection", "LockModeEnum"
};

// A required parameter.
inline ParamSpec Req(std::string name, std::string type_name = "") {
  return {std::move(name), false, std::nullopt, std::move(type_name)};
}
// An optional parameter with a default.
inline ParamSpec Opt(std::string name, Variant def, std::string type_name = "") {
  return {std::move(name), true, std::move(def), std::move(type_name)};
}
// An optional parameter without a default: it arrives as its type's empty value.
inline ParamSpec OptNone(std::string name, std::string type_name = "") {
  return {std::move(name), true, std::nullopt, std::move(type_name)};
}

namespace binder_detail {

[[noreturn]] inline void TableError(const std::string& member) {
  std::fprintf(stderr, "member table of %s does not match its signature\n", member.c_str());
  std::abort();
}

template <class... A>
std::vector<ParamInfo> MakeParams(const std::string& member, std::vector<ParamSpec> specs) {
  if (specs.size() != sizeof...(A)) TableError(member);
  std::vector<ParamInfo> out;
  constexpr VarType vts[] = {ArgTraits<std::decay_t<A>>::vt..., VarType::Empty};
  constexpr bool refs[] = {
      (std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>)..., false};
  for (size_t i = 0; i < specs.size(); ++i) {
    ParamInfo p;
    p.name = std::move(specs[i].name);
    p.type = TypeDesc{vts[i], std::move(specs[i].type_name)};
    p.by_ref = refs[i];
    p.optional = specs[i].optional;
    p.default_value = std::move(specs[i].default_value);
    out.push_back(std::move(p));
  }
  return out;
}

template <class C, class R, class... A, size_t... I>
Variant Call(C& obj, R (C::*f)(A...), Args args, std::index_sequence<I...>) {
  if constexpr (std::is_void_v<R>) {
    (obj.*f)(ArgTraits<std::decay_t<A>>::Get(args[I])...);
    return Variant();
  } else {
    return Variant((obj.*f)(ArgTraits<std::decay_t<A>>::Get(args[I])...));
  }
}

template <class C>
C& Self(Dispatchable& d) {
  return static_cast<C&>(d);
}

}  // namespace binder_detail

// A method bound to a typed member function.
template <class C, class R, class... A>
MemberInfo Method(std::string name, DISPID id, R (C::*f)(A...), std::vector<ParamSpec> params,
                  std::string result_type = "") {
  MemberInfo m;
  m.params = binder_detail::MakeParams<A...>(name, std::move(params));
  m.name = std::move(name);
  m.key = ToLower(m.name);
  m.dispid = id;
  m.kind = MemberKind::Method;
  m.result = TypeDesc{ResultTraits<R>::vt, std::move(result_type)};
  m.thunk = [f](Dispatchable& self, Args args) {
    return binder_detail::Call(binder_detail::Self<C>(self), f, args,
                               std::index_sequence_for<A...>{});
  };
  return m;
}

// A property get (optionally with index parameters). A get without
// parameters that returns const Variant& can also be read in place
// (MemberInfo::read_in_place).
template <class C, class R, class... A>
MemberInfo PropGet(std::string name, DISPID id, R (C::*f)(A...), std::vector<ParamSpec> params = {},
                   std::string result_type = "") {
  MemberInfo m = Method(std::move(name), id, f, std::move(params), std::move(result_type));
  m.kind = MemberKind::PropertyGet;
  if constexpr (sizeof...(A) == 0 && std::is_same_v<R, const Variant&>)
    m.read_in_place = [f](Dispatchable& self) -> const Variant& {
      return (binder_detail::Self<C>(self).*f)();
    };
  return m;
}

// `m`, a property get whose parameters are all optional, read in place
// with every parameter left out through `f` (MemberInfo::read_in_place).
template <class C>
MemberInfo ReadInPlace(MemberInfo m, const Variant& (C::*f)()) {
  m.read_in_place = [f](Dispatchable& self) -> const Variant& {
    return (binder_detail::Self<C>(self).*f)();
  };
  return m;
}

// A property put: the last parameter of `f` receives the value.
template <class C, class... A>
MemberInfo PropPut(std::string name, DISPID id, void (C::*f)(A...), std::vector<ParamSpec> params,
                   MemberKind kind = MemberKind::PropertyPut) {
  MemberInfo m = Method(std::move(name), id, f, std::move(params));
  m.kind = kind;
  return m;
}

}  // namespace q6
