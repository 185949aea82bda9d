// Conversion and storage of stored members.
//
// Every put of a stored member, by name or typed, ends in MemberStore::Put, so
// the two faces of a class cannot disagree about conversions or errors.
#include "outside/eso/member_store.h"

#include <atomic>

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

namespace {

// The initial values of the table `defs`, built once per thread and table
// and copied into every new store: the classes pass static tables, and a
// copy of ready values costs less than making each one again.
const std::vector<Variant>& InitialValues(std::span<const MemberDef> defs) {
  thread_local std::vector<std::pair<const MemberDef*, std::vector<Variant>>> built;
  for (const auto& [table, values] : built)
    if (table == defs.data() && values.size() == defs.size()) return values;
  std::vector<Variant> values;
  values.reserve(defs.size());
  for (const MemberDef& d : defs) values.push_back(InitialValueOf(d.type));
  built.emplace_back(defs.data(), std::move(values));
  return built.back().second;
}

}  // namespace

uint64_t NextDefinitionStamp() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

MemberStore::MemberStore(std::span<const MemberDef> defs)
    : defs_(defs), values_(InitialValues(defs)), stamp_(NextDefinitionStamp()) {}

MemberStore::MemberStore(const MemberStore& other)
    : defs_(other.defs_), values_(other.values_), stamp_(NextDefinitionStamp()) {}

MemberStore& MemberStore::operator=(const MemberStore& other) {
  defs_ = other.defs_;
  values_ = other.values_;
  stamp_ = NextDefinitionStamp();
  return *this;
}

// A plain value skips ValueForMember's copy of it: one of the member's own
// type (or any value for a Variant member) is stored as it is, any other is
// converted once. Objects take the long way, through their default member.
void MemberStore::Put(size_t i, const Variant& v) {
  stamp_ = NextDefinitionStamp();
  const VarType t = defs_[i].type;
  const VarType vt = v.type();
  if (vt == VarType::Object)
    values_[i] = ValueForMember(v, t);
  else if (vt == t || t == VarType::Variant)
    values_[i] = v.Deref();
  else
    values_[i] = v.ChangeType(t);
}

void MemberStore::Put(size_t i, Variant&& v) {
  const VarType t = defs_[i].type;
  if (!v.IsByRef() && v.type() != VarType::Object && (v.type() == t || t == VarType::Variant)) {
    stamp_ = NextDefinitionStamp();
    values_[i] = std::move(v);
  } else
    Put(i, static_cast<const Variant&>(v));
}

}  // namespace q6
