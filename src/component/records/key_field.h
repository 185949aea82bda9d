// The key field of an entity as the record writers (Save, Delete) and the
// single field lookup name it: the field that Fields.Item returns for the
// entity's OIDSourceField. They use its SourceField alone, never JoinField.
#pragma once

#include <memory>
#include <string>

#include "outside/eso/entity_object.h"

namespace q6 {

// Fields.Item(OIDSourceField). Raises the collection's error 5 (Invalid
// procedure call or argument) when no field has that name.
std::shared_ptr<EntityField> KeyField(const EntityObject& eo);

// The text of a key value in a statement: "" for Null and Empty, else
// ValueText. Raises as ValueText for values without a text.
std::string KeyValueText(const Variant& value);

}  // namespace q6
