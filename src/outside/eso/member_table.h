// Builders for the member tables of the entity classes.
//
// The entity classes write their thunks by hand (a lambda per member) rather
// than binding member functions: most members are stored members generated
// from a list, and the rest are short. These helpers keep each table entry to
// one readable line.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "outside/eso/member_store.h"
#include "runtime/dispatch.h"

namespace q6 {

// The object a thunk runs on, as its class. REQUIRES: `d` is a `C`.
template <class C>
C& SelfAs(Dispatchable& d) {
  return static_cast<C&>(d);
}

// The declared type of a put's value that the member converts itself: the
// invoker passes the caller's value through untouched (so the member raises
// the run-time errors 6, 13 and 94 as a typed put does), while the type
// information still shows the member's own type.
TypeDesc ConvertedInMember(VarType t);

// A by-value parameter; `optional` with `def` as its default when given.
ParamInfo ByValParam(std::string name, TypeDesc type);
ParamInfo OptionalParam(std::string name, TypeDesc type, Variant def);

MemberInfo GetMember(std::string name, DISPID id, TypeDesc result, Thunk thunk,
                     std::vector<ParamInfo> params = {});
// A put (or, with `kind`, a put by reference) whose one parameter is the value.
MemberInfo PutMember(std::string name, DISPID id, TypeDesc value, Thunk thunk,
                     MemberKind kind = MemberKind::PropertyPut);
MemberInfo MethodMember(std::string name, DISPID id, std::vector<ParamInfo> params, TypeDesc result,
                        Thunk thunk);

// Appends a property get and a property put for every stored member, in list
// order, with dispatch ids first_id, first_id + 1, ... `store` reaches the
// MemberStore of an object of the class.
using StoreOf = MemberStore& (*)(Dispatchable&);
void AppendStoredMembers(std::vector<MemberInfo>* out, std::span<const MemberDef> defs,
                         DISPID first_id, StoreOf store);

}  // namespace q6
