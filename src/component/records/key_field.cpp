// The key field of the record writers and its value as statement text.
#include "component/records/key_field.h"

#include "component/records/save_values.h"

namespace q6 {

std::shared_ptr<EntityField> KeyField(const EntityObject& eo) {
  return eo.Fields()->Item(eo.OIDSourceField());
}

std::string KeyValueText(const Variant& value) {
  return IsNullValue(value) ? std::string() : ValueText(value);
}

}  // namespace q6
