// EntityField: one field of an entity, its definition and its current value.
//
// Created by ProgID "Q6FDEso.EntityField" or NewEntityField(); an entity keeps
// its fields in its EntityFields collection.
//
// Definition members: one read-write property per column of the field
// metadata table, listed in Q6_ENTITY_FIELD_MEMBERS with their types. Each has
// a property get and put in the member table (dispatch ids from 0x60030001 in
// list order) and typed accessors: `Name()`, `SetName(v)`, ... Every put, by
// name or typed, converts its value to the member's type by the automation
// rules and raises Invalid use of Null (94) for Null, Overflow (6) for a value
// out of range (300 into a Byte member), Type mismatch (13) for text that is
// not a number; the old value stays then. An object (a column of a record
// set) gives its current value. DataType holds one of the codes of
// DataTypeEnum (entity_codes.h). The Variant members DefaultValue, Min and Max
// keep the value as it is, Null included. The typed getter of DefaultValue is
// `DefaultVal()`, because `DefaultValue()` is every object's default member.
//
// Record members:
//   Value    (Variant, get and put; the default member, dispatch id 0) the
//            field's value in the current record; Empty on a new field. A put
//            takes a plain value or an object's current value (Null
//            included); 91 for Nothing.
//   Changed  (Boolean, get and put) True once Value was put to a value that
//            differs from the one it held (same type and value count as
//            equal); cleared by putting the entity's EditState to 1, or by a
//            put of False. A put converts to Boolean (94 for Null).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "outside/eso/entity_codes.h"
#include "outside/eso/member_store.h"
#include "runtime/dispatch.h"
#include "runtime/export.h"

// X(accessor, automation name, type), in the order of the metadata table.
#define Q6_ENTITY_FIELD_MEMBERS(X)        \
  X(ID, ID, Long)                         \
  X(Name, Name, String)                   \
  X(Caption, Caption, String)             \
  X(EntityID, EntityID, Long)             \
  X(FieldOption, FieldOption, Long)       \
  X(HelpContextID, HelpContextID, String) \
  X(Persistent, Persistent, Boolean)      \
  X(ReferenceType, ReferenceType, Byte)   \
  X(RefFldSqc, RefFldSqc, Long)           \
  X(QryFldSqc, QryFldSqc, Long)           \
  X(IsUsed, IsUsed, Boolean)              \
  X(TaskID, TaskID, String)               \
  X(EditProp, EditProp, Long)             \
  X(DataType, DataType, Long)             \
  X(Length, Length, Byte)                 \
  X(Decimals, Decimals, Byte)             \
  X(AllowNull, AllowNull, Boolean)        \
  X(DefaultVal, DefaultValue, Variant)    \
  X(SourceField, SourceField, String)     \
  X(Row, Row, Long)                       \
  X(StartCol, StartCol, Long)             \
  X(EndCol, EndCol, Long)                 \
  X(InputCol, InputCol, Long)             \
  X(Left, Left, Double)                   \
  X(Width, Width, Double)                 \
  X(InputLeft, InputLeft, Double)         \
  X(InputWidth, InputWidth, Double)       \
  X(Top, Top, Double)                     \
  X(Height, Height, Double)               \
  X(Min, Min, Variant)                    \
  X(Max, Max, Variant)                    \
  X(Expr, Expr, String)                   \
  X(JoinField, JoinField, String)         \
  X(NeedCheck, NeedCheck, Boolean)

namespace q6 {

enum class FieldMember : size_t {
#define Q6_X(accessor, member, type) member,
  Q6_ENTITY_FIELD_MEMBERS(Q6_X)
#undef Q6_X
};

class Q6FD_API EntityField final : public Dispatchable {
 public:
  EntityField();

  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }
  // The default member: Value.
  Variant DefaultValue() override { return value_; }

  // The definition members, their names and types, in table order.
  static std::span<const MemberDef> MemberDefs();

#define Q6_X(accessor, member, type) Q6_STORED_MEMBER(FieldMember, accessor, member, type)
  Q6_ENTITY_FIELD_MEMBERS(Q6_X)
#undef Q6_X

  // A definition member by its enumerator (for code that walks all of them).
  const Variant& Member(FieldMember m) const { return members_.Get(static_cast<size_t>(m)); }
  void SetMember(FieldMember m, const Variant& value) {
    members_.Put(static_cast<size_t>(m), value);
  }

  // Changes whenever a definition member is put (MemberStore::stamp); Value
  // and Changed do not move it.
  uint64_t DefinitionStamp() const { return members_.stamp(); }

  const Variant& Value() const { return value_; }
  void SetValue(const Variant& value);
  bool Changed() const { return changed_; }
  void SetChanged(const Variant& value);
  void SetChanged(bool changed) { changed_ = changed; }

  // A new field with the same definition members, Value Empty, Changed False.
  std::shared_ptr<EntityField> CloneDefinition() const;

 private:
  static MemberStore& Store(Dispatchable& self);

  MemberStore members_;
  Variant value_;
  bool changed_ = false;
};

Q6FD_API std::shared_ptr<EntityField> NewEntityField();

}  // namespace q6
