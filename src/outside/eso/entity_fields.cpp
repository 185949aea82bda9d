// EntityFields: a KeyedList of fields keyed by their Name at the time of Add.
#include "outside/eso/entity_fields.h"

#include <algorithm>

#include "outside/eso/member_table.h"

namespace q6 {

EntityFields::FieldRef EntityFields::Add(FieldRef field) {
  if (!field) ThrowVb(91);
  std::string key = ToLower(field->Name());  // lower-cased once for the check and the index
  if (list_.FindLowered(key) != list_.npos) ThrowVb(kVbDuplicateKey);
  list_.AppendLowered(std::move(key), field);
  stamp_ = NextDefinitionStamp();
  return field;
}

EntityFields::FieldRef EntityFields::Item(std::string_view name) const {
  size_t i = list_.Find(name);
  if (i == list_.npos) ThrowVb(kVbInvalidProcedureCall);
  return list_.at(i);
}

EntityFields::FieldRef EntityFields::Item(int32_t position) const {
  return list_.at(list_.Position(position));
}

EntityFields::FieldRef EntityFields::ItemByKey(const Variant& index) const {
  return list_.at(list_.Resolve(index));
}

EntityFields::FieldRef EntityFields::Find(std::string_view name) const {
  size_t i = list_.Find(name);
  return i == list_.npos ? nullptr : list_.at(i);
}

void EntityFields::Remove(std::string_view name) {
  size_t i = list_.Find(name);
  if (i == list_.npos) ThrowVb(kVbInvalidProcedureCall);
  list_.Erase(i);
  stamp_ = NextDefinitionStamp();
}

void EntityFields::Remove(int32_t position) {
  list_.Erase(list_.Position(position));
  stamp_ = NextDefinitionStamp();
}

void EntityFields::RemoveByKey(const Variant& index) {
  list_.Erase(list_.Resolve(index));
  stamp_ = NextDefinitionStamp();
}

uint64_t EntityFields::DefinitionStamp() const {
  uint64_t stamp = stamp_;
  for (const FieldRef& f : list_.items()) stamp = std::max(stamp, f->DefinitionStamp());
  return stamp;
}

void EntityFields::CopyDefinitionsFrom(const EntityFields& other) {
  list_ = other.list_.Transformed([](const FieldRef& f) { return f->CloneDefinition(); });
  stamp_ = NextDefinitionStamp();
}

std::vector<Variant> EntityFields::Enumerate() {
  return std::vector<Variant>(list_.items().begin(), list_.items().end());
}

const InterfaceInfo& EntityFields::Info() {
  using Self = EntityFields;
  static const InterfaceInfo info{
      "_EntityFields",
      Guid::Of("{35E48839-8204-4E8E-9B11-3045ADF7F12C}"),
      {
          GetMember("Item", DISPID_VALUE, TypeDesc{VarType::Object, "EntityField"},
                    [](Dispatchable& self, Args args) {
                      return Variant(SelfAs<Self>(self).ItemByKey(args[0]));
                    },
                    {ByValParam("Index", TypeDesc{VarType::Variant, ""}),
                     OptionalParam("Mode", TypeDesc{VarType::Long, ""}, Variant(int32_t{0}))}),
          MethodMember("Add", 0x60030001, {ByValParam("field", {VarType::Object, "EntityField"})},
                       TypeDesc{VarType::Object, "EntityField"},
                       [](Dispatchable& self, Args args) {
                         const ObjectRef& o = args[0].object();
                         if (!o) ThrowVb(91);
                         auto field = As<EntityField>(o);
                         if (!field) ThrowVb(kVbTypeMismatch);
                         return Variant(SelfAs<Self>(self).Add(field));
                       }),
          GetMember("Count", 0x60030002, TypeDesc{VarType::Long, ""},
                    [](Dispatchable& self, Args) { return Variant(SelfAs<Self>(self).Count()); }),
          MethodMember("Remove", 0x60030003, {ByValParam("Index", {VarType::Variant, ""})},
                       TypeDesc{VarType::Void, ""},
                       [](Dispatchable& self, Args args) {
                         SelfAs<Self>(self).RemoveByKey(args[0]);
                         return Variant();
                       }),
          MethodMember("Clear", 0x60030004, {}, TypeDesc{VarType::Void, ""},
                       [](Dispatchable& self, Args) {
                         SelfAs<Self>(self).Clear();
                         return Variant();
                       }),
      }};
  return info;
}

}  // namespace q6
