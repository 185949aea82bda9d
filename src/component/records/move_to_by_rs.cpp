// DataManager.MoveToByRS: a move within the recordsets GetData handed out,
// without any statement.
//
// Moves backward, to the current record and forward are filters on the key
// column (K < 'C', K = 'C', K > 'C') that stay on the recordset afterwards;
// a later MoveFirst or MoveLast moves within that view. The recordset layer
// answers a single comparison on a column in order with a range found by
// binary search, so stepping through n records costs O(n log n), not O(n^2).
// Any failure becomes the result False (and a note in the statement trace);
// what was already copied into the entity stays.
#include <memory>

#include "component/frame/data_manager.h"
#include "component/records/entity_terms.h"
#include "component/records/record_statements.h"
#include "component/records/row_filling.h"
#include "component/support/record_arguments.h"

namespace q6 {

bool DataManager::MoveToByRS(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, ObjectRef& pRS,
                             ObjectRef& cRS, bool& GetChild) {
  (void)con;  // part of the interface; the move runs no statement
  return FalseOnError("DataManager.MoveToByRS", [&] {
    const std::shared_ptr<EntityObject> eo = RequireEntity(EO);
    const std::string key = KeyColumn(*eo);
    const std::shared_ptr<Recordset> master = RequireRecordset(pRS);
    const std::string current = eo->OID()->Value();

    if (auto filter = RecordsetMoveFilter(MoveMode, key, current))
      master->PutFilter(Variant(*filter));
    if (MoveMode == enum_First) master->MoveFirst();
    if (MoveMode == enum_Previous || MoveMode == enum_Last) master->MoveLast();
    if (master->EOF()) return true;

    FillEntityFromRow(*eo, *master);

    const std::shared_ptr<EntityObject> child = eo->ChildEOs()->ChildEO();
    if (!child || !GetChild) return true;
    child->ParentOID()->SetValue(master->Field(eo->OIDSourceField()));
    const std::shared_ptr<Recordset> children = RequireRecordset(cRS);
    children->PutFilter(
        Variant(ChildRecordsetFilter(child->ParentField(), child->ParentOID()->Value())));
    for (; !children->EOF(); children->MoveNext())
      AddChildRecord(*eo, NewChildRecord(*child, *children));
    return true;
  });
}

}  // namespace q6
