// EntityObject: stored definition members, the fields, the children, the
// record's identifier and its edit state.
#include "outside/eso/entity_object.h"

#include "outside/eso/member_table.h"
#include "runtime/class_table.h"

namespace q6 {

namespace {

constexpr MemberDef kEntityMembers[] = {
#define Q6_X(accessor, member, type) {#member, VarType::type},
    Q6_ENTITY_OBJECT_MEMBERS(Q6_X)
#undef Q6_X
};

constexpr DISPID kFirstMemberId = 0x60030001;
constexpr DISPID kFieldsId = 0x60030100;
constexpr DISPID kChildEOsId = 0x60030101;
constexpr DISPID kOIDId = 0x60030102;
constexpr DISPID kParentOIDId = 0x60030103;
constexpr DISPID kEditStateId = 0x60030104;
constexpr DISPID kCloneId = 0x60030105;

}  // namespace

EntityObject::EntityObject()
    : members_(kEntityMembers),
      fields_(std::make_shared<EntityFields>()),
      children_(std::make_shared<EntityChildren>(this)),
      oid_(NewOIDObject()) {}

// The children collection may outlive this object when a caller still holds
// it; it must not keep comparing against a dead owner.
EntityObject::~EntityObject() { children_->DetachOwner(); }

std::span<const MemberDef> EntityObject::MemberDefs() { return kEntityMembers; }

MemberStore& EntityObject::Store(Dispatchable& self) { return SelfAs<EntityObject>(self).members_; }

void EntityObject::SetOID(std::shared_ptr<OIDObject> oid) {
  oid_ = oid ? std::move(oid) : NewOIDObject();
}

void EntityObject::SetParentOID(const Variant& value) {
  parent_oid_ = ValueForMember(value, VarType::String).string();
}

void EntityObject::SetEditState(const Variant& value) {
  edit_state_ = ValueForMember(value, VarType::Long).ToLong();
  if (edit_state_ == 1)
    for (const auto& f : *fields_) f->SetChanged(false);
}

std::shared_ptr<EntityObject> EntityObject::Clone(int32_t) const {
  auto copy = std::make_shared<EntityObject>();
  copy->members_ = members_;
  copy->fields_->CopyDefinitionsFrom(*fields_);
  if (const auto& child = children_->ChildEO()) copy->children_->SetChildEO(child->Clone(0));
  return copy;
}

const InterfaceInfo& EntityObject::Info() {
  using Self = EntityObject;
  static const InterfaceInfo info = [] {
    InterfaceInfo i{"_EntityObject", Guid::Of("{A1916398-9B3D-49D7-BBC7-2F3DF33CFE93}"), {}};
    AppendStoredMembers(&i.members, kEntityMembers, kFirstMemberId, &Self::Store);
    auto& m = i.members;
    m.push_back(GetMember("Fields", kFieldsId, {VarType::Object, "EntityFields"},
                          [](Dispatchable& self, std::vector<Variant>&) {
                            return Variant(SelfAs<Self>(self).Fields());
                          }));
    m.push_back(GetMember("ChildEOs", kChildEOsId, {VarType::Object, "EntityChildren"},
                          [](Dispatchable& self, std::vector<Variant>&) {
                            return Variant(SelfAs<Self>(self).ChildEOs());
                          }));
    m.push_back(GetMember("OID", kOIDId, {VarType::Object, "OIDObject"},
                          [](Dispatchable& self, std::vector<Variant>&) {
                            return Variant(SelfAs<Self>(self).OID());
                          }));
    m.push_back(PutMember("OID", kOIDId, ConvertedInMember(VarType::String),
                          [](Dispatchable& self, std::vector<Variant>& args) {
                            SelfAs<Self>(self).SetOIDValue(args[0]);
                            return Variant();
                          }));
    m.push_back(PutMember(
        "OID", kOIDId, {VarType::Object, "OIDObject"},
        [](Dispatchable& self, std::vector<Variant>& args) {
          const ObjectRef& o = args[0].object();
          auto oid = As<OIDObject>(o);
          if (o && !oid) ThrowVb(kVbTypeMismatch);
          SelfAs<Self>(self).SetOID(std::move(oid));
          return Variant();
        },
        MemberKind::PropertyPutRef));
    m.push_back(GetMember("ParentOID", kParentOIDId, {VarType::String, ""},
                          [](Dispatchable& self, std::vector<Variant>&) {
                            return Variant(SelfAs<Self>(self).ParentOID());
                          }));
    m.push_back(PutMember("ParentOID", kParentOIDId, ConvertedInMember(VarType::String),
                          [](Dispatchable& self, std::vector<Variant>& args) {
                            SelfAs<Self>(self).SetParentOID(args[0]);
                            return Variant();
                          }));
    m.push_back(GetMember("EditState", kEditStateId, {VarType::Long, ""},
                          [](Dispatchable& self, std::vector<Variant>&) {
                            return Variant(SelfAs<Self>(self).EditState());
                          }));
    m.push_back(PutMember("EditState", kEditStateId, ConvertedInMember(VarType::Long),
                          [](Dispatchable& self, std::vector<Variant>& args) {
                            SelfAs<Self>(self).SetEditState(args[0]);
                            return Variant();
                          }));
    m.push_back(MethodMember(
        "Clone", kCloneId, {OptionalParam("Mode", {VarType::Long, ""}, Variant(int32_t{0}))},
        {VarType::Object, "EntityObject"}, [](Dispatchable& self, std::vector<Variant>& args) {
          return Variant(SelfAs<Self>(self).Clone(args[0].ToLong()));
        }));
    return i;
  }();
  return info;
}

std::shared_ptr<EntityObject> NewEntityObject() { return std::make_shared<EntityObject>(); }

namespace {
const ClassRegistrar kRegisterEntityObject([] {
  ClassInfo c;
  c.prog_id = "Q6FDEso.EntityObject";
  c.class_name = "EntityObject";
  c.clsid = Guid::Of("{05C4864E-9092-4E3F-94FF-0A1C82A0BA9F}");
  c.interface_info = &EntityObject::Info;
  c.create = [] { return ObjectRef(NewEntityObject()); };
  return c;
}());
}  // namespace

}  // namespace q6
