// EntityObject: one entity, its definition and, once loaded, one record.
//
// Created by ProgID "Q6FDEso.EntityObject" or NewEntityObject(). The caller
// owns the object; the object owns its fields, its child definition and its
// child records. Nothing below an entity refers back to it with ownership (a
// child record knows its parent only by ParentOID text), so dropping the last
// reference frees the whole tree.
//
// Definition members: one read-write property per column of the entity
// metadata table, listed in Q6_ENTITY_OBJECT_MEMBERS with their types. Each
// has a property get and put in the member table (dispatch ids from
// 0x60030001 in list order) and typed accessors: `SourceTable()`,
// `SetSourceTable(v)`, ... Every put, by name or typed, converts its value to
// the member's type by the automation rules and raises Invalid use of Null
// (94) for Null, Overflow (6) for a value out of range, Type mismatch (13)
// for text that is not a number; the old value stays then. An object (a
// column of a record set) gives its current value.
//
// Other members (interface _EntityObject):
//   Fields As EntityFields       (get) the fields, in load order.
//   ChildEOs As EntityChildren   (get) child definition and child records.
//   OID As OIDObject             (get) the identifier of the loaded record;
//                                put by reference replaces the held object
//                                (Nothing: a new empty one); a plain put
//                                stores the value as the identifier's text
//                                (94 for Null).
//   ParentOID As OIDObject       (get) on a child definition and on a child
//                                record, the identifier of the parent record.
//                                The object is this entity's own, so
//                                `ParentOID.Value = "x"` changes it; its
//                                default member Value gives the text. Puts
//                                as for OID.
//   EditState As Long            (get, put) 0 after a metadata load, 1 after a
//                                record was loaded or saved, 2 new, 4 to be
//                                deleted (EditStateEnum, entity_codes.h).
//                                Putting 1 clears Changed on every field. A
//                                put converts to Long (6, 13, 94).
//   Clone([Mode As Long = 0]) As EntityObject
//                                a new entity of the same definition without a
//                                record (see Clone below).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "outside/eso/entity_children.h"
#include "outside/eso/entity_codes.h"
#include "outside/eso/entity_fields.h"
#include "outside/eso/member_store.h"
#include "outside/eso/oid_object.h"
#include "runtime/dispatch.h"
#include "runtime/export.h"

// X(accessor, automation name, type), in the order of the metadata table.
#define Q6_ENTITY_OBJECT_MEMBERS(X)         \
  X(ID, ID, Long)                           \
  X(Name, Name, String)                     \
  X(Caption, Caption, String)               \
  X(BIType, BIType, Long)                   \
  X(OIDSourceField, OIDSourceField, String) \
  X(SourceTable, SourceTable, String)       \
  X(ParentField, ParentField, String)       \
  X(TaskID, TaskID, String)                 \
  X(HelpContextID, HelpContextID, String)   \
  X(Description, Description, String)       \
  X(Sheet, Sheet, Long)                     \
  X(Rows, Rows, Long)                       \
  X(Cols, Cols, Long)                       \
  X(IsUsed, IsUsed, Boolean)                \
  X(PzSign, PzSign, String)                 \
  X(VchType, VchType, Integer)              \
  X(DeriveBIType, DeriveBIType, Integer)    \
  X(Width, Width, Double)                   \
  X(Height, Height, Double)                 \
  X(IsAutoAlarm, IsAutoAlarm, Boolean)      \
  X(AlarmDays, AlarmDays, Integer)          \
  X(UseExpr, UseExpr, Boolean)              \
  X(QryJoin, QryJoin, String)               \
  X(SubjectCode, SubjectCode, String)       \
  X(CheckOver, CheckOver, Boolean)

namespace q6 {

enum class EntityMember : size_t {
#define Q6_X(accessor, member, type) member,
  Q6_ENTITY_OBJECT_MEMBERS(Q6_X)
#undef Q6_X
};

class Q6FD_API EntityObject final : public Dispatchable {
 public:
  EntityObject();
  ~EntityObject() override;

  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }

  // The definition members, their names and types, in table order.
  static std::span<const MemberDef> MemberDefs();

#define Q6_X(accessor, member, type) Q6_STORED_MEMBER(EntityMember, accessor, member, type)
  Q6_ENTITY_OBJECT_MEMBERS(Q6_X)
#undef Q6_X

  // A definition member by its enumerator (for code that walks all of them).
  const Variant& Member(EntityMember m) const { return members_.Get(static_cast<size_t>(m)); }
  void SetMember(EntityMember m, const Variant& value) {
    members_.Put(static_cast<size_t>(m), value);
  }

  // A number that changes whenever the definition changes: a definition
  // member of the entity put, a field added or removed, a definition member
  // of one of its fields put (EntityFields::DefinitionStamp). An entity made
  // later never repeats an earlier one's number, so (address, stamp) names
  // one state of one entity's definition. Records (OID, field values,
  // EditState) and the child definition do not move it.
  uint64_t DefinitionStamp() const {
    return std::max(members_.stamp(), fields_->DefinitionStamp());
  }

  // Never null; shared with whoever else holds them.
  const std::shared_ptr<EntityFields>& Fields() const { return fields_; }
  const std::shared_ptr<EntityChildren>& ChildEOs() const { return children_; }
  const std::shared_ptr<OIDObject>& OID() const { return oid_; }

  // Holds `oid` from now on; null holds a new empty OIDObject.
  void SetOID(std::shared_ptr<OIDObject> oid);
  // Sets the text of the held OIDObject (94 for Null).
  void SetOIDValue(const Variant& value) { oid_->SetValue(value); }

  // Never null. Write the text through ParentOID()->SetValue().
  const std::shared_ptr<OIDObject>& ParentOID() const { return parent_oid_; }
  // Holds `oid` from now on; null holds a new empty OIDObject.
  void SetParentOID(std::shared_ptr<OIDObject> oid);

  int32_t EditState() const { return edit_state_; }
  // Converts to Long (6, 13, 94); 1 clears Changed on every field.
  void SetEditState(const Variant& value);

  // A new entity with the same definition: the definition members; a copy
  // of each field's definition (Value Empty, Changed False) in the same
  // order; a clone of the child definition, so that filling the copy's child
  // never touches this entity's. No record: no child records, OID and
  // ParentOID empty, EditState 0. `mode` is accepted and ignored (callers
  // pass 0).
  std::shared_ptr<EntityObject> Clone(int32_t mode = 0) const;

 private:
  static MemberStore& Store(Dispatchable& self);

  MemberStore members_;
  std::shared_ptr<EntityFields> fields_;
  std::shared_ptr<EntityChildren> children_;
  std::shared_ptr<OIDObject> oid_;
  std::shared_ptr<OIDObject> parent_oid_;
  int32_t edit_state_ = kEditStateDefinition;
};

Q6FD_API std::shared_ptr<EntityObject> NewEntityObject();

}  // namespace q6
