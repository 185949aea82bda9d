// Builders for the member tables of the entity classes.
#include "outside/eso/member_table.h"

namespace q6 {

TypeDesc ConvertedInMember(VarType t) {
  return TypeDesc{VarType::Variant, t == VarType::Variant ? "" : VarTypeName(t)};
}

ParamInfo ByValParam(std::string name, TypeDesc type) {
  ParamInfo p;
  p.name = std::move(name);
  p.type = std::move(type);
  return p;
}

ParamInfo OptionalParam(std::string name, TypeDesc type, Variant def) {
  ParamInfo p = ByValParam(std::move(name), std::move(type));
  p.optional = true;
  p.default_value = std::move(def);
  return p;
}

MemberInfo MethodMember(std::string name, DISPID id, std::vector<ParamInfo> params, TypeDesc result,
                        Thunk thunk) {
  MemberInfo m;
  m.name = std::move(name);
  m.key = ToLower(m.name);
  m.dispid = id;
  m.kind = MemberKind::Method;
  m.params = std::move(params);
  m.result = std::move(result);
  m.thunk = std::move(thunk);
  return m;
}

MemberInfo GetMember(std::string name, DISPID id, TypeDesc result, Thunk thunk,
                     std::vector<ParamInfo> params) {
  MemberInfo m =
      MethodMember(std::move(name), id, std::move(params), std::move(result), std::move(thunk));
  m.kind = MemberKind::PropertyGet;
  return m;
}

MemberInfo PutMember(std::string name, DISPID id, TypeDesc value, Thunk thunk, MemberKind kind) {
  MemberInfo m = MethodMember(std::move(name), id, {ByValParam("value", std::move(value))},
                              TypeDesc{VarType::Void, ""}, std::move(thunk));
  m.kind = kind;
  return m;
}

void AppendStoredMembers(std::vector<MemberInfo>* out, std::span<const MemberDef> defs,
                         DISPID first_id, StoreOf store) {
  for (size_t i = 0; i < defs.size(); ++i) {
    const MemberDef& d = defs[i];
    DISPID id = first_id + static_cast<DISPID>(i);
    out->push_back(GetMember(d.name, id, TypeDesc{d.type, ""},
                             [store, i](Dispatchable& self, Args) { return store(self).Get(i); }));
    out->push_back(
        PutMember(d.name, id, ConvertedInMember(d.type), [store, i](Dispatchable& self, Args args) {
          store(self).Put(i, args[0]);
          return Variant();
        }));
  }
}

}  // namespace q6
