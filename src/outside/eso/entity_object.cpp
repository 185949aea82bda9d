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

using HeldOID = const std::shared_ptr<OIDObject>& (EntityObject::*)() const;
using ReplaceOID = void (EntityObject::*)(std::shared_ptr<OIDObject>);

// The members of an identifier property (OID, ParentOID): the get returns the
// held OIDObject itself, a plain put writes its text, a put by reference
// replaces it (Nothing: a new empty one; any other class: 13).
void AppendOIDMembers(std::vector<MemberInfo>* m, const char* name, DISPID id, HeldOID held,
                      ReplaceOID replace) {
  m->push_back(GetMember(
      name, id, {VarType::Object, "OIDObject"},
      [held](Dispatchable& self, Args) { return Variant((SelfAs<EntityObject>(self).*held)()); }));
  m->push_back(PutMember(name, id, ConvertedInMember(VarType::String),
                         [held](Dispatchable& self, Args args) {
                           (SelfAs<EntityObject>(self).*held)()->SetValue(args[0]);
                           return Variant();
                         }));
  m->push_back(PutMember(
      name, id, {VarType::Object, "OIDObject"},
      [replace](Dispatchable& self, Args args) {
        const ObjectRef& o = args[0].object();
        auto oid = As<OIDObject>(o);
        if (o && !oid) ThrowVb(kVbTypeMismatch);
        (SelfAs<EntityObject>(self).*replace)(std::move(oid));
        return Variant();
      },
      MemberKind::PropertyPutRef));
}

}  // namespace

EntityObject::EntityObject()
    : members_(kEntityMembers),
      fields_(std::make_shared<EntityFields>()),
      children_(std::make_shared<EntityChildren>(this)),
      oid_(NewOIDObject()),
      parent_oid_(NewOIDObject()) {}

// The children collection may outlive this object when a caller still holds
// it; it must not keep comparing against a dead owner.
EntityObject::~EntityObject() { children_->DetachOwner(); }

std::span<const MemberDef> EntityObject::MemberDefs() { return kEntityMembers; }

MemberStore& EntityObject::Store(Dispatchable& self) { return SelfAs<EntityObject>(self).members_; }

void EntityObject::SetOID(std::shared_ptr<OIDObject> oid) {
  oid_ = oid ? std::move(oid) : NewOIDObject();
}

void EntityObject::SetParentOID(std::shared_ptr<OIDObject> oid) {
  parent_oid_ = oid ? std::move(oid) : NewOIDObject();
}

void EntityObject::SetEditState(const Variant& value) {
  // A Long (what the readers put after a load) needs no conversion.
  edit_state_ = value.type() == VarType::Long ? value.ToLong()
                                              : ValueForMember(value, VarType::Long).ToLong();
  if (edit_state_ == kEditStateLoaded)
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
    m.push_back(
        GetMember("Fields", kFieldsId, {VarType::Object, "EntityFields"},
                  [](Dispatchable& self, Args) { return Variant(SelfAs<Self>(self).Fields()); }));
    m.push_back(
        GetMember("ChildEOs", kChildEOsId, {VarType::Object, "EntityChildren"},
                  [](Dispatchable& self, Args) { return Variant(SelfAs<Self>(self).ChildEOs()); }));
    AppendOIDMembers(&m, "OID", kOIDId, &Self::OID, &Self::SetOID);
    AppendOIDMembers(&m, "ParentOID", kParentOIDId, &Self::ParentOID, &Self::SetParentOID);
    m.push_back(GetMember(
        "EditState", kEditStateId, {VarType::Long, ""},
        [](Dispatchable& self, Args) { return Variant(SelfAs<Self>(self).EditState()); }));
    m.push_back(PutMember("EditState", kEditStateId, ConvertedInMember(VarType::Long),
                          [](Dispatchable& self, Args args) {
                            SelfAs<Self>(self).SetEditState(args[0]);
                            return Variant();
                          }));
    m.push_back(MethodMember("Clone", kCloneId,
                             {OptionalParam("Mode", {VarType::Long, ""}, Variant(int32_t{0}))},
                             {VarType::Object, "EntityObject"}, [](Dispatchable& self, Args args) {
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
