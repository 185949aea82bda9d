// What MoveTo works out from an entity's definition before it runs a
// statement, kept so that a walk through the records works it out once.
//
// A plan holds the record source, the column list (strBiToSqlByEO's), and
// for the modes that compare with the current OID the statement built around
// a placeholder and translated for the engine, so that each step only binds
// the OID. It also holds which result column fills each field, found once on
// the first row read with the plan.
//
// Plans are kept per thread (entities belong to one apartment) for the last
// few (entity, definition stamp, engine, mode); the definition stamp
// (EntityObject::DefinitionStamp) changes with any change of the entity's
// definition or its fields', so an entity changed or loaded again by
// LoadEOMetaData after a SaveEOMetaData gets a plan built afresh, never a
// stale one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "component/records/record_statements.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/recordset.h"
#include "platform/adodb/typed_translation.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "runtime/function_ref.h"

namespace q6 {

struct MovePlan {
  RecordSource source;
  int32_t flag = 0;     // the lFlag of the column list
  std::string columns;  // strBiToSqlByEO's list
  // Modes 1 to 3, when the OID's place could be found: the statement as
  // built before and after the quoted OID, and its translation with one
  // placeholder where the OID goes (params holds one value, set per step),
  // made afresh when the column types it was made with no longer hold.
  bool bound = false;
  std::string head, tail;
  KeptTranslation statement;
  // Filled by FillFromRow on the first row: the result column of the OID
  // and of each field (-1: the field keeps its value).
  std::vector<int> field_columns;
  int oid_column = -1;
  size_t result_columns = 0;
};

// The plan of `eo` for `mode` on `engine`; `build` makes one (columns,
// statement) when none is kept, and it is kept unless its column list is "*"
// (an error the column list notes in the trace each time it is asked).
MovePlan& MovePlanOf(const EntityObject& eo, Engine engine, int32_t mode,
                     FunctionRef<MovePlan()> build);

// Fills `eo` from the current row of `rs` as FillEntityFromRow does, the
// columns looked up by name on the plan's first row and by position after.
void FillFromRow(MovePlan& plan, EntityObject& eo, Recordset& rs);

// The same from the first row of `result` (REQUIRES: it has one), without a
// Recordset around it. False, `eo` untouched, when a column the plan needs
// is missing: FillFromRow on a Recordset of the result then raises as
// FillEntityFromRow does.
bool FillFromResult(MovePlan& plan, EntityObject& eo, const ResultSet& result);

}  // namespace q6
