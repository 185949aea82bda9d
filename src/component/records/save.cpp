// DataManager.Save: writes the record an entity object holds by its
// EditState, then its loaded child records, on the caller's connection and
// without a transaction of its own.
//
//   2        INSERT, then the child records
//   3, 5, 6  UPDATE, then the child records
//   4        Delete on this object, whose result is the result
//   others   nothing; True
//
// The record's statement runs before any child is visited, so a new parent
// row exists before its children are inserted. Every child record then gets
// the parent's OID in its link field (the child definition's ParentField)
// and as its ParentOID, and is saved by a call of Save on this object, by
// its own EditState. The link fields are looked up before the parent's
// statement runs, so a child definition naming no field fails before
// anything is written.
#include <vector>

#include "component/frame/data_manager.h"
#include "component/records/save_statements.h"
#include "component/support/record_arguments.h"
#include "outside/eso/entity_codes.h"

namespace q6 {
namespace {

enum class SaveAction { kInsert, kUpdate, kDelete, kNothing };

SaveAction ActionOf(int32_t edit_state) {
  switch (edit_state) {
    case kEditStateNew:
      return SaveAction::kInsert;
    case kEditStateChanged:
    case kEditStateOtherSave5:
    case kEditStateOtherSave6:
      return SaveAction::kUpdate;
    case kEditStateDeleted:
      return SaveAction::kDelete;
    default:
      return SaveAction::kNothing;
  }
}

// The link field of every loaded child record, in enumeration order; empty
// without a child definition. Raises the collection's error 5 for a record
// without a field named by the child definition's ParentField.
std::vector<std::shared_ptr<EntityField>> LinkFields(const EntityObject& eo) {
  std::vector<std::shared_ptr<EntityField>> links;
  const auto& definition = eo.ChildEOs()->ChildEO();
  if (!definition) return links;
  for (const auto& record : *eo.ChildEOs()) {
    links.push_back(record->Fields()->Item(definition->ParentField()));
  }
  return links;
}

}  // namespace

bool DataManager::Save(ObjectRef& con, ObjectRef& EO) {
  const std::shared_ptr<EntityObject> eo = RequireEntity(EO);
  const SaveAction action = ActionOf(eo->EditState());
  if (action == SaveAction::kDelete) return this->Delete(con, EO);
  if (action == SaveAction::kNothing) return true;

  const std::string sql =
      action == SaveAction::kInsert ? InsertStatement(*eo) : UpdateStatement(*eo);
  const std::vector<std::shared_ptr<EntityField>> links = LinkFields(*eo);
  RequireConnection(con)->Execute(sql);
  eo->SetEditState(Variant(int32_t{kEditStateLoaded}));

  const std::shared_ptr<EntityObject> definition = eo->ChildEOs()->ChildEO();
  if (!definition) return true;
  const Variant oid(eo->OID()->Value());
  definition->ParentOID()->SetValue(oid);
  // A copy: the records' own saves must not see the list change under them.
  const std::vector<std::shared_ptr<EntityObject>> records = eo->ChildEOs()->Items();
  for (size_t i = 0; i < records.size(); ++i) {
    links[i]->SetValue(oid);
    records[i]->ParentOID()->SetValue(oid);
    ObjectRef child = records[i];
    this->Save(con, child);
  }
  return true;
}

}  // namespace q6
