// DataManager.Delete: removes the record an entity object holds, child rows
// first, on the caller's connection and without a transaction of its own.
//
// Child rows go by one statement on the child table by its ParentField,
// unless the child definition has a child definition of its own: then each
// loaded child record is deleted by a call of Delete on this object, so that
// its own children go first. The key field is looked up before anything
// runs, so an entity without one fails without touching the database. The
// entity object is never changed.
#include "component/frame/data_manager.h"
#include "component/records/delete_statements.h"
#include "component/records/key_field.h"
#include "component/support/record_arguments.h"

namespace q6 {

bool DataManager::Delete(ObjectRef& con, ObjectRef& EO) {
  const std::shared_ptr<EntityObject> eo = RequireEntity(EO);
  const std::shared_ptr<EntityField> key = KeyField(*eo);
  const std::string key_text = KeyValueText(key->Value());
  const std::shared_ptr<Connection> connection = RequireConnection(con);

  if (const auto& child = eo->ChildEOs()->ChildEO()) {
    if (child->ChildEOs()->ChildEO()) {
      // A copy: a recursive call must not see the list change under it.
      const std::vector<std::shared_ptr<EntityObject>> records = eo->ChildEOs()->Items();
      for (const auto& record : records) {
        ObjectRef child_ref = record;
        this->Delete(con, child_ref);
      }
    } else {
      connection->Execute(DeleteStatement(child->SourceTable(), child->ParentField(), key_text));
    }
  }
  connection->Execute(DeleteStatement(eo->SourceTable(), key->SourceField(), key_text));
  return true;
}

}  // namespace q6
