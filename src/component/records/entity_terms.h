// What the record readers work out from an entity's definition before they
// build a statement: its effective BI type, its key column, its type prefix
// and the flag they ask the column list with.
//
// All functions read the entity object only; none touches a database.
#pragma once

#include <cstdint>
#include <string>

#include "outside/eso/entity_object.h"

namespace q6 {

// DeriveBIType when it is not 0, else BIType.
int32_t EffectiveBIType(const EntityObject& eo);

// The lFlag the record readers pass to strBiToSqlByEO: 10 (expressions from
// GetFieldExpr) for the effective BI type 63, else 0.
int32_t ColumnListFlag(int32_t effective_bi_type);

// The key column of an entity: the JoinField of Fields.Item(OIDSourceField)
// when it is not empty, else that field's SourceField.
// Raises 5 (Invalid procedure call) when no field is named OIDSourceField.
std::string KeyColumn(const EntityObject& eo);

// The key column of a child definition in the child statement: the JoinField
// of its key field when not empty, else the OIDSourceField text itself (the
// key field's name, which is also its alias in the child's column list).
// Raises 5 when no field is named OIDSourceField.
std::string ChildKeyColumn(const EntityObject& child);

// The last two characters of "0" followed by the decimal text of the entity's
// own BIType (not the effective one): 5 gives "05", 51 "51", 123 "23".
std::string TypePrefix(const EntityObject& eo);

// The same from a BIType number.
std::string TypePrefixOf(int32_t bi_type);

}  // namespace q6
