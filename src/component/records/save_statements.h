// The INSERT and UPDATE statements of Save, built from an entity object's
// definition and current values, exactly as the component has always sent
// them, blanks included:
//
//   "Insert Into " T " (" c1, c2 ") Values (" v1, v2 ");"
//   "Update " T " Set " c1 = v1, c2 = v2 " Where " K " = '" OID "'"
//
// Values take the form of their field's DataType (save_values.h); every
// quoted value has its quotes doubled. The builders read the entity only.
#pragma once

#include <string>

#include "outside/eso/entity_object.h"

namespace q6 {

// The INSERT of the record `eo` holds. Fields take part in enumeration order
// when Persistent, and then when their Value is Null or Empty (written as
// NULL, whatever the DataType) or their DataType has a form.
// Raises 5 (Invalid procedure call or argument) when no field takes part;
// the value conversions' errors (BooleanByte, BareText, ValueText).
std::string InsertStatement(const EntityObject& eo);

// The UPDATE of the record `eo` holds. Fields take part in enumeration order
// when Persistent and Changed and their DataType has a form. Quoted and bare
// fields write NULL when their Value is Null or Empty; Boolean fields write
// the Boolean form of their Value, or of their DefaultValue when the Value
// is Null or Empty. The row is named by the key field's SourceField and
// eo.OID.
// Raises 5 when no field takes part (before the key field is looked up);
// then the collection's error 5 when OIDSourceField names no field; the
// value conversions' errors.
std::string UpdateStatement(const EntityObject& eo);

}  // namespace q6
