// EntityFields: the fields of an entity, keyed by name, in insertion order.
//
// Reached through EntityObject::Fields(); not creatable by ProgID. The
// collection shares its fields with whoever else holds them.
//
// Members (interface _EntityFields):
//   Item(Index As Variant, [Mode As Long = 0]) As EntityField   default member
//       Index is a field's Name (any case) or a 1-based position. Unknown
//       name: error 5 "Invalid procedure call or argument"; position outside
//       1..Count: error 9 "Subscript out of range"; Empty, Null or other
//       values: error 5. Mode is accepted and ignored.
//   Add(field As EntityField) As EntityField
//       Appends `field` under the Name it has now (a later rename does not
//       move it); returns the field. Error 457 when a field of that name (any
//       case) is already there, 91 for Nothing, 13 for an object that is not
//       an EntityField.
//   Count As Long; Remove(Index As Variant) (Index as for Item, same errors);
//   Clear. Enumeration yields each field once, in insertion order.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "outside/eso/entity_field.h"
#include "outside/eso/keyed_list.h"
#include "runtime/dispatch.h"
#include "runtime/export.h"

namespace q6 {

class Q6FD_API EntityFields final : public Dispatchable {
 public:
  using FieldRef = std::shared_ptr<EntityField>;

  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }
  std::vector<Variant> Enumerate() override;

  // Raises as the Add member does.
  FieldRef Add(FieldRef field);

  // By name (any case); error 5 when there is none.
  FieldRef Item(std::string_view name) const;
  // By 1-based position; error 9 outside 1..Count().
  FieldRef Item(int32_t position) const;
  // By an automation argument, as the Item member reads it.
  FieldRef ItemByKey(const Variant& index) const;
  // By name (any case); nullptr when there is none.
  FieldRef Find(std::string_view name) const;

  int32_t Count() const { return static_cast<int32_t>(list_.size()); }
  // Raise as the Item overloads do.
  void Remove(std::string_view name);
  void Remove(int32_t position);
  void RemoveByKey(const Variant& index);
  void Clear() {
    list_.Clear();
    stamp_ = NextDefinitionStamp();
  }

  // Replaces the contents with a copy of each field's definition in `other`
  // (EntityField::CloneDefinition), under the same keys and in the same order.
  void CopyDefinitionsFrom(const EntityFields& other);

  // The largest definition stamp of the collection and its fields: changes
  // when a field is added or removed and when a definition member of a field
  // is put, and a collection made later never repeats an earlier one's.
  uint64_t DefinitionStamp() const;

  // The fields in insertion order; valid until the collection changes.
  const std::vector<FieldRef>& Items() const { return list_.items(); }
  auto begin() const { return list_.items().begin(); }
  auto end() const { return list_.items().end(); }

 private:
  KeyedList<FieldRef> list_;
  uint64_t stamp_ = NextDefinitionStamp();  // of the list itself
};

}  // namespace q6
