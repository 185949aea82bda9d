// Table-driven storage of typed members.
//
// The entity classes carry dozens of plain read-write properties, one per
// column of their metadata table. Instead of a field and a getter/setter pair
// each, a class lists its members once (accessor, automation name, type) in an
// X-macro list, keeps their values in a MemberStore, and generates both faces
// from that one list: the property get/put pairs of its member table
// (AppendStoredMembers in member_table.h) and the typed C++ accessors
// (Q6_STORED_MEMBER below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/export.h"
#include "runtime/variant.h"

namespace q6 {

// One stored member: its automation name and its type.
struct Q6FD_API MemberDef {
  const char* name;
  VarType type;  // Boolean, Byte, Integer, Long, Double, String or Variant
};

// The value a put stores into a member of type `t`:
//   - an object is replaced by its current value, read through its default
//     member (recursively), Null included; Nothing raises error 91;
//   - a Variant member keeps that value as it is;
//   - any other member gets it converted to `t` by the automation rules:
//     Invalid use of Null (94) for Null, Overflow (6) when out of range, Type
//     mismatch (13) for text that is not a number.
// Raises before anything is stored; `v` is never changed.
Q6FD_API Variant ValueForMember(const Variant& v, VarType t);

// The initial value of a member of type `t`: 0, False or "" for the typed
// members, Empty for a Variant member.
Q6FD_API Variant InitialValueOf(VarType t);

// A new definition stamp: a process-wide counter, so that every stamp handed
// out is larger than all before it. Thread-safe.
Q6FD_API uint64_t NextDefinitionStamp();

// The values of a fixed list of members. Each value always has its member's
// type (a Variant member holds any value but an object).
//
// stamp() tells whether the values changed: it is a fresh NextDefinitionStamp
// at construction, at every copy and at every Put (whether or not the value
// differs), so a reader that kept a stamp knows its copy of the values is
// stale once the stamp differs.
class Q6FD_API MemberStore {
 public:
  // `defs` must outlive the store; the classes pass static tables.
  explicit MemberStore(std::span<const MemberDef> defs);
  MemberStore(const MemberStore& other);
  MemberStore& operator=(const MemberStore& other);

  size_t size() const { return values_.size(); }
  // REQUIRES: i < size().
  const MemberDef& def(size_t i) const { return defs_[i]; }
  const Variant& Get(size_t i) const { return values_[i]; }
  // Stores ValueForMember(v, def(i).type); on an error the old value stays.
  void Put(size_t i, const Variant& v);
  void Put(size_t i, Variant&& v);

  uint64_t stamp() const { return stamp_; }

 private:
  std::span<const MemberDef> defs_;
  std::vector<Variant> values_;
  uint64_t stamp_;
};

// The C++ type a member of a given type reads as.
template <VarType T>
struct StoredType;
template <>
struct StoredType<VarType::Boolean> {
  using Ret = bool;
  static Ret Read(const Variant& v) { return v.ToBool(); }
};
template <>
struct StoredType<VarType::Byte> {
  using Ret = uint8_t;
  static Ret Read(const Variant& v) { return v.ToByte(); }
};
template <>
struct StoredType<VarType::Integer> {
  using Ret = int16_t;
  static Ret Read(const Variant& v) { return v.ToInteger(); }
};
template <>
struct StoredType<VarType::Long> {
  using Ret = int32_t;
  static Ret Read(const Variant& v) { return v.ToLong(); }
};
template <>
struct StoredType<VarType::Double> {
  using Ret = double;
  static Ret Read(const Variant& v) { return v.ToDouble(); }
};
template <>
struct StoredType<VarType::String> {
  using Ret = const std::string&;
  static Ret Read(const Variant& v) { return v.string(); }
};
template <>
struct StoredType<VarType::Variant> {
  using Ret = const Variant&;
  static Ret Read(const Variant& v) { return v; }
};

}  // namespace q6

// Declares the typed accessors of one stored member inside a class that keeps
// its values in `members_` (a MemberStore) indexed by the enumeration `Enum`:
//   accessor()            the value, typed (String and Variant members by
//                         reference, valid until the next put of the member);
//   Set<member>(value)    stores ValueForMember(value, type), raising 6, 13,
//                         91 or 94 as it does.
#define Q6_STORED_MEMBER(Enum, accessor, member, type)          \
  ::q6::StoredType<::q6::VarType::type>::Ret accessor() const { \
    return ::q6::StoredType<::q6::VarType::type>::Read(         \
        members_.Get(static_cast<size_t>(Enum::member)));       \
  }                                                             \
  void Set##member(const ::q6::Variant& value) {                \
    members_.Put(static_cast<size_t>(Enum::member), value);     \
  }
