// EntityChildren: the child definition plus a KeyedList of child records.
//
// The cycle check walks the entity graph below the object being attached
// (its child definition and child records, recursively). Because every
// attachment is checked, the graph stays a forest and the walk ends.
#include "outside/eso/entity_children.h"

#include <unordered_set>

#include "outside/eso/entity_object.h"
#include "outside/eso/member_table.h"

namespace q6 {

namespace {

// Whether `target` is `from` or lies below it.
bool Contains(const EntityObject* from, const EntityObject* target,
              std::unordered_set<const EntityObject*>* seen) {
  if (!from) return false;
  if (from == target) return true;
  if (!seen->insert(from).second) return false;
  const EntityChildren& c = *from->ChildEOs();
  if (Contains(c.ChildEO().get(), target, seen)) return true;
  for (const auto& item : c)
    if (Contains(item.get(), target, seen)) return true;
  return false;
}

}  // namespace

void EntityChildren::CheckNoCycle(const EntityObject* e) const {
  std::unordered_set<const EntityObject*> seen;
  if (owner_ && Contains(e, owner_, &seen)) ThrowVb(kVbInvalidProcedureCall);
}

void EntityChildren::SetChildEO(EntityRef child) {
  CheckNoCycle(child.get());
  child_eo_ = std::move(child);
}

void EntityChildren::Add(EntityRef item, std::string_view key) {
  if (!item) ThrowVb(91);
  CheckNoCycle(item.get());
  if (key.empty()) {
    list_.Append(std::nullopt, std::move(item));
  } else if (size_t i = list_.Find(key); i != list_.npos) {
    list_.Replace(i, std::move(item));
  } else {
    list_.Append(key, std::move(item));
  }
}

EntityChildren::EntityRef EntityChildren::Item(std::string_view key) const {
  size_t i = list_.Find(key);
  if (i == list_.npos) ThrowVb(kVbInvalidProcedureCall);
  return list_.at(i);
}

EntityChildren::EntityRef EntityChildren::Item(int32_t position) const {
  return list_.at(list_.Position(position));
}

EntityChildren::EntityRef EntityChildren::ItemByKey(const Variant& index) const {
  return list_.at(list_.Resolve(index));
}

EntityChildren::EntityRef EntityChildren::Find(std::string_view key) const {
  size_t i = list_.Find(key);
  return i == list_.npos ? nullptr : list_.at(i);
}

void EntityChildren::Remove(std::string_view key) {
  size_t i = list_.Find(key);
  if (i == list_.npos) ThrowVb(kVbInvalidProcedureCall);
  list_.Erase(i);
}

void EntityChildren::Remove(int32_t position) { list_.Erase(list_.Position(position)); }

void EntityChildren::RemoveByKey(const Variant& index) { list_.Erase(list_.Resolve(index)); }

std::vector<Variant> EntityChildren::Enumerate() {
  return std::vector<Variant>(list_.items().begin(), list_.items().end());
}

namespace {

// The EntityObject an argument holds, or null for Nothing; 13 for another
// kind of object.
EntityChildren::EntityRef EntityArg(const Variant& v) {
  const ObjectRef& o = v.object();
  if (!o) return nullptr;
  auto e = As<EntityObject>(o);
  if (!e) ThrowVb(kVbTypeMismatch);
  return e;
}

}  // namespace

const InterfaceInfo& EntityChildren::Info() {
  using Self = EntityChildren;
  const TypeDesc entity{VarType::Object, "EntityObject"};
  static const InterfaceInfo info{
      "_EntityChildren",
      Guid::Of("{EED20CAA-4A4F-4408-A99C-7E5C35C51EEE}"),
      {
          GetMember("Item", DISPID_VALUE, entity,
                    [](Dispatchable& self, Args args) {
                      return Variant(SelfAs<Self>(self).ItemByKey(args[0]));
                    },
                    {ByValParam("Index", TypeDesc{VarType::Variant, ""})}),
          GetMember("ChildEO", 0x60030001, entity,
                    [](Dispatchable& self, Args) { return Variant(SelfAs<Self>(self).ChildEO()); }),
          PutMember(
              "ChildEO", 0x60030001, entity,
              [](Dispatchable& self, Args args) {
                SelfAs<Self>(self).SetChildEO(EntityArg(args[0]));
                return Variant();
              },
              MemberKind::PropertyPutRef),
          MethodMember("Add", 0x60030002,
                       {ByValParam("item", entity),
                        OptionalParam("key", TypeDesc{VarType::Variant, ""}, Variant::Missing())},
                       TypeDesc{VarType::Void, ""},
                       [](Dispatchable& self, Args args) {
                         EntityRef item = EntityArg(args[0]);
                         if (!item) ThrowVb(91);
                         const Variant& key = args[1];
                         bool no_key = key.IsMissing() || key.IsEmpty();
                         SelfAs<Self>(self).Add(std::move(item),
                                                no_key ? std::string() : key.ToString());
                         return Variant();
                       }),
          GetMember("Count", 0x60030003, TypeDesc{VarType::Long, ""},
                    [](Dispatchable& self, Args) { return Variant(SelfAs<Self>(self).Count()); }),
          MethodMember("Remove", 0x60030004, {ByValParam("Index", {VarType::Variant, ""})},
                       TypeDesc{VarType::Void, ""},
                       [](Dispatchable& self, Args args) {
                         SelfAs<Self>(self).RemoveByKey(args[0]);
                         return Variant();
                       }),
          MethodMember("Clear", 0x60030005, {}, TypeDesc{VarType::Void, ""},
                       [](Dispatchable& self, Args) {
                         SelfAs<Self>(self).Clear();
                         return Variant();
                       }),
      }};
  return info;
}

}  // namespace q6
