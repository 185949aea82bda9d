// Copying the current row of a recordset into entity objects.
//
// The recordset's columns are named by the fields' Name, as the column list
// of strBiToSqlByEO aliases them. Each field is handed the column object
// itself (the recordset's Field); the entity library takes the column's
// current value from it, Null included.
#pragma once

#include <memory>

#include "outside/eso/entity_object.h"
#include "platform/adodb/recordset.h"

namespace q6 {

// Fills `eo` (the entity a caller passed) from the current row of `rs`:
//   1. OID.Value = the text of the column named by OIDSourceField;
//   2. FillFieldsFromRow;
//   3. EditState = 1.
// Raises 3021 without a current row, 3265 for a missing column, 94 for a
// Null key; what was copied before the error stays.
void FillEntityFromRow(EntityObject& eo, Recordset& rs);

// Every field with a JoinField or a SourceField gets its Value from the
// column named by its Name; fields with neither keep their value. Raises as
// FillEntityFromRow.
void FillFieldsFromRow(EntityObject& eo, Recordset& rs);

// A child record of `child_def` (the parent's ChildEOs.ChildEO) filled from
// the current row of `rs`: Clone(0) of the definition, its fields filled,
// EditState 1, then OID.Value = the text of its key field's Value. The
// caller owns the result. Raises as FillFieldsFromRow, 5 when no field is
// named OIDSourceField, 94 when the key value is Null.
std::shared_ptr<EntityObject> NewChildRecord(const EntityObject& child_def, Recordset& rs);

// Adds `record` to `parent`'s ChildEOs under "K" followed by its OID.
void AddChildRecord(EntityObject& parent, const std::shared_ptr<EntityObject>& record);

}  // namespace q6
