// Conversion and storage of stored members.
//
// Every put of a stored member, by name or typed, ends in MemberStore::Put, so
// the two faces of a class cannot disagree about conversions or errors.
#include "outside/eso/member_store.h"

namespace q6 {

Variant ValueForMember(const Variant& v, VarType t) {
  Variant plain = v.Unwrapped();  // objects give their current value
  if (t == VarType::Variant) return plain;
  return plain.ChangeType(t);
}

Variant InitialValueOf(VarType t) {
  switch (t) {
    case VarType::Boolean:
      return Variant(false);
    case VarType::Byte:
      return Variant(uint8_t{0});
    case VarType::Integer:
      return Variant(int16_t{0});
    case VarType::Long:
      return Variant(int32_t{0});
    case VarType::Double:
      return Variant(0.0);
    case VarType::String:
      return Variant(std::string());
    default:
      return Variant();
  }
}

MemberStore::MemberStore(std::span<const MemberDef> defs) : defs_(defs) {
  values_.reserve(defs.size());
  for (const MemberDef& d : defs) values_.push_back(InitialValueOf(d.type));
}

void MemberStore::Put(size_t i, const Variant& v) {
  // A plain value of the member's own type is stored as it is: what
  // ValueForMember would return, without its two copies.
  const VarType t = defs_[i].type;
  if (!v.IsByRef()) {
    const VarType vt = v.type();
    if (vt == t || (t == VarType::Variant && vt != VarType::Object)) {
      values_[i] = v;
      return;
    }
  }
  values_[i] = ValueForMember(v, t);
}

void MemberStore::Put(size_t i, Variant&& v) {
  const VarType t = defs_[i].type;
  if (!v.IsByRef()) {
    const VarType vt = v.type();
    if (vt == t || (t == VarType::Variant && vt != VarType::Object)) {
      values_[i] = std::move(v);
      return;
    }
  }
  values_[i] = ValueForMember(v, t);
}

}  // namespace q6
