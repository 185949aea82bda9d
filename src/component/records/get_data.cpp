// DataManager.GetData: every record of an entity's type, in key order, into
// one recordset, and the child records of the first of them into another.
//
// The recordsets are handed back only at the end, so a failure in any step
// leaves the caller's pRS and cRS as they were; the failure itself becomes
// the result False (and a note in the statement trace). The column lists
// come from strBiToSqlByEO of this same object, as an outside caller would
// ask for them.
#include <memory>

#include "component/frame/data_manager.h"
#include "component/records/entity_terms.h"
#include "component/records/record_statements.h"
#include "component/support/record_arguments.h"

namespace q6 {

bool DataManager::GetData(ObjectRef& con, ObjectRef& EO, ObjectRef& pRS, ObjectRef& cRS,
                          bool& GetChild) {
  return FalseOnError("DataManager.GetData", [&] {
    const std::shared_ptr<Connection> connection = RequireConnection(con);
    const std::shared_ptr<EntityObject> eo = RequireEntity(EO);

    int32_t flag = ColumnListFlag(EffectiveBIType(*eo));
    const std::string columns = strBiToSqlByEO(EO, flag);
    const RecordSource source = RecordSourceOf(*eo);
    std::shared_ptr<Recordset> master = connection->Execute(GetDataStatement(source, columns));

    std::shared_ptr<Recordset> children;
    const std::shared_ptr<EntityObject> child = eo->ChildEOs()->ChildEO();
    if (!master->EOF() && child && GetChild) {
      // The first master record's key, under the alias of the key field.
      child->ParentOID()->SetValue(master->Field(eo->OIDSourceField()));
      const ChildSource child_source = ChildSourceOf(*child, eo->UseExpr());
      ObjectRef child_ref = child;
      int32_t child_flag = 0;
      const std::string child_columns = strBiToSqlByEO(child_ref, child_flag);
      children = connection->Execute(ChildStatement(child_source, child_columns));
    }

    pRS = master;
    if (GetChild) cRS = children;  // Nothing when no child statement ran
    return true;
  });
}

}  // namespace q6
