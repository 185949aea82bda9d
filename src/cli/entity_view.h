// Entity objects as result tables: a type's definition, the record an
// entity holds and its lines. Columns are field names with their captions.
#pragma once

#include "cli/result_table.h"

namespace q6 {
class EntityObject;
}

namespace q6::cli {

// The fields of a type in load (layout) order.
ResultTable DefinitionTable(const EntityObject& eo);
// The record `eo` holds: one row of its field values.
ResultTable RecordTable(const EntityObject& eo);
// The child records `eo` holds, one row each.
ResultTable LinesTable(const EntityObject& eo);

}  // namespace q6::cli
