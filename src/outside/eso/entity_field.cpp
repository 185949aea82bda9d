// EntityField: stored definition members plus the record's value.
//
// The member table is the generated get/put pairs of the definition members
// followed by Value (the default member) and Changed.
#include "outside/eso/entity_field.h"

#include "outside/eso/member_table.h"
#include "runtime/class_table.h"

namespace q6 {

namespace {

constexpr MemberDef kFieldMembers[] = {
#define Q6_X(accessor, member, type) {#member, VarType::type},
    Q6_ENTITY_FIELD_MEMBERS(Q6_X)
#undef Q6_X
};

constexpr DISPID kFirstMemberId = 0x60030001;
constexpr DISPID kChangedId = 0x60030100;

}  // namespace

EntityField::EntityField() : members_(kFieldMembers) {}

std::span<const MemberDef> EntityField::MemberDefs() { return kFieldMembers; }

MemberStore& EntityField::Store(Dispatchable& self) { return SelfAs<EntityField>(self).members_; }

void EntityField::SetValue(const Variant& value) {
  // A plain value (a row's cell) is its own value: compared where it is and
  // copied into place, which reuses the storage of the text it replaces.
  if (!value.IsByRef() && !value.IsObject()) {
    if (!(value == value_)) changed_ = true;
    value_ = value;
    return;
  }
  Variant v = ValueForMember(value, VarType::Variant);
  if (!(v == value_)) changed_ = true;
  value_ = std::move(v);
}

void EntityField::SetChanged(const Variant& value) {
  // A Boolean (what EditState 1 puts on every field) needs no conversion.
  changed_ = value.type() == VarType::Boolean ? value.ToBool()
                                              : ValueForMember(value, VarType::Boolean).ToBool();
}

std::shared_ptr<EntityField> EntityField::CloneDefinition() const {
  auto copy = std::make_shared<EntityField>();
  copy->members_ = members_;
  return copy;
}

const InterfaceInfo& EntityField::Info() {
  static const InterfaceInfo info = [] {
    InterfaceInfo i{"_EntityField", Guid::Of("{2B8621FD-3F72-495C-9213-B75C7FDF5AD5}"), {}};
    i.members.push_back(
        GetMember("Value", DISPID_VALUE, TypeDesc{VarType::Variant, ""},
                  [](Dispatchable& self, Args) { return SelfAs<EntityField>(self).Value(); }));
    i.members.push_back(PutMember("Value", DISPID_VALUE, TypeDesc{VarType::Variant, ""},
                                  [](Dispatchable& self, Args args) {
                                    SelfAs<EntityField>(self).SetValue(args[0]);
                                    return Variant();
                                  }));
    AppendStoredMembers(&i.members, kFieldMembers, kFirstMemberId, &EntityField::Store);
    i.members.push_back(GetMember(
        "Changed", kChangedId, TypeDesc{VarType::Boolean, ""},
        [](Dispatchable& self, Args) { return Variant(SelfAs<EntityField>(self).Changed()); }));
    i.members.push_back(PutMember("Changed", kChangedId, ConvertedInMember(VarType::Boolean),
                                  [](Dispatchable& self, Args args) {
                                    SelfAs<EntityField>(self).SetChanged(args[0]);
                                    return Variant();
                                  }));
    return i;
  }();
  return info;
}

std::shared_ptr<EntityField> NewEntityField() { return std::make_shared<EntityField>(); }

namespace {
const ClassRegistrar kRegisterEntityField([] {
  ClassInfo c;
  c.prog_id = "Q6FDEso.EntityField";
  c.class_name = "EntityField";
  c.clsid = Guid::Of("{A56DAE76-7A0E-40D2-A64E-70968CA1A59E}");
  c.interface_info = &EntityField::Info;
  c.create = [] { return ObjectRef(NewEntityField()); };
  return c;
}());
}  // namespace

}  // namespace q6
