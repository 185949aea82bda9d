// DataManager.MoveTo: reads the first, previous, current, next or last record
// of an entity's type from the database into the entity, with its child
// records.
//
// One "top 1" statement per move; when it finds nothing, a second one either
// wraps around (Reversal) or reads the current record again. Child records
// that have children of their own are completed by a nested MoveTo on this
// same object, reading the child again by its key, to any depth. The method
// has no error handling: the first failure reaches the caller, and what was
// already copied into the entity stays.
#include <memory>

#include "component/frame/data_manager.h"
#include "component/records/entity_terms.h"
#include "component/records/record_statements.h"
#include "component/records/row_filling.h"
#include "component/support/record_arguments.h"

namespace q6 {

bool DataManager::MoveTo(ObjectRef& con, ObjectRef& EO, int32_t& MoveMode, bool& Reversal,
                         bool& GetChild) {
  const std::shared_ptr<Connection> connection = RequireConnection(con);
  const std::shared_ptr<EntityObject> eo = RequireEntity(EO);

  const RecordSource source = RecordSourceOf(*eo);
  const int32_t flag = ColumnListFlag(source.effective_bi_type);
  const std::string current = eo->OID()->Value();

  int32_t list_flag = flag;
  std::string columns = strBiToSqlByEO(EO, list_flag);
  std::shared_ptr<Recordset> rs =
      connection->Execute(MoveToStatement(source, columns, MoveMode, current));
  if (rs->EOF()) {
    list_flag = flag;
    columns = strBiToSqlByEO(EO, list_flag);
    rs = connection->Execute(MoveToRetryStatement(source, columns, MoveMode, Reversal, current));
  }
  if (rs->EOF()) return true;

  FillEntityFromRow(*eo, *rs);

  const std::shared_ptr<EntityObject> child = eo->ChildEOs()->ChildEO();
  if (!child || !GetChild) return true;
  child->ParentOID()->SetValue(rs->Field(eo->OIDSourceField()));
  const ChildSource child_source = ChildSourceOf(*child, eo->UseExpr());
  ObjectRef child_ref = child;
  int32_t child_flag = 0;
  const std::string child_columns = strBiToSqlByEO(child_ref, child_flag);
  const std::shared_ptr<Recordset> children =
      connection->Execute(ChildStatement(child_source, child_columns));
  for (; !children->EOF(); children->MoveNext()) {
    std::shared_ptr<EntityObject> record = NewChildRecord(*child, *children);
    if (record->ChildEOs()->ChildEO()) {
      ObjectRef record_ref = record;
      int32_t reread = enum_Current;
      bool no_reversal = false;
      bool with_children = true;
      MoveTo(con, record_ref, reread, no_reversal, with_children);
    }
    AddChildRecord(*eo, record);
  }
  return true;
}

}  // namespace q6
