// EntityChildren: an entity's child definition and its loaded child records.
//
// Reached through EntityObject::ChildEOs(); not creatable by ProgID.
//
// Members (interface _EntityChildren):
//   Item(Index As Variant) As EntityObject       default member
//       Index is a key (any case) or a 1-based position; unknown key: error 5;
//       position outside 1..Count: error 9; Empty, Null, others: error 5.
//   ChildEO As EntityObject (get; put by reference, Nothing allowed)
//       The child entity's definition, or Nothing.
//   Add(item As EntityObject, [key As Variant])
//       Appends a child record under `key` (any case; none or "" for no key).
//       A key already present replaces that item in its place, so the count
//       does not grow. 91 for Nothing, 13 for an object that is not an
//       EntityObject.
//   Count As Long; Remove(Index As Variant) (errors as Item); Clear.
//   Enumeration yields the child records in insertion order.
//
// Ownership: the collection owns its definition and records; nothing in it
// points back at its entity with ownership. Setting ChildEO or adding a record
// that contains the owning entity (directly or through its own children)
// would make a cycle that is never freed: both raise error 5 and change
// nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "outside/eso/keyed_list.h"
#include "runtime/dispatch.h"
#include "runtime/export.h"

namespace q6 {

class EntityObject;

class Q6FD_API EntityChildren final : public Dispatchable {
 public:
  using EntityRef = std::shared_ptr<EntityObject>;

  // `owner` is the entity whose children these are (nullptr for none); it is
  // only compared against, never called, and is cleared by DetachOwner().
  explicit EntityChildren(const EntityObject* owner) : owner_(owner) {}

  static const InterfaceInfo& Info();
  const InterfaceInfo& Interface() const override { return Info(); }
  std::vector<Variant> Enumerate() override;

  const EntityRef& ChildEO() const { return child_eo_; }
  // `child` may be null (Nothing). Raises error 5 for a cycle.
  void SetChildEO(EntityRef child);

  // Raises as the Add member does; an empty `key` adds without a key.
  void Add(EntityRef item, std::string_view key = "");

  // By key (any case); error 5 when there is none.
  EntityRef Item(std::string_view key) const;
  // By 1-based position; error 9 outside 1..Count().
  EntityRef Item(int32_t position) const;
  // By an automation argument, as the Item member reads it.
  EntityRef ItemByKey(const Variant& index) const;
  // By key (any case); nullptr when there is none.
  EntityRef Find(std::string_view key) const;

  int32_t Count() const { return static_cast<int32_t>(list_.size()); }
  void Remove(std::string_view key);
  void Remove(int32_t position);
  void RemoveByKey(const Variant& index);
  // Removes the child records; ChildEO stays.
  void Clear() { list_.Clear(); }

  // The child records in insertion order; valid until the collection changes.
  const std::vector<EntityRef>& Items() const { return list_.items(); }
  auto begin() const { return list_.items().begin(); }
  auto end() const { return list_.items().end(); }

  // Called by the owning entity when it goes away.
  void DetachOwner() { owner_ = nullptr; }

 private:
  // Raises error 5 when `e` is the owner or contains it.
  void CheckNoCycle(const EntityObject* e) const;

  const EntityObject* owner_;
  EntityRef child_eo_;
  KeyedList<EntityRef> list_;
};

}  // namespace q6
