// Filling entity objects from recordset rows, for GetData's recordsets
// (MoveToByRS) and for MoveTo's one-row statements alike.
#include "component/records/row_filling.h"

#include "outside/eso/entity_codes.h"

namespace q6 {
namespace {

// The current value of the recordset's column named `name`: what the entity
// library would read through the column's Field object, without making one.
Variant ColumnObject(Recordset& rs, const std::string& name) { return rs.Field(name); }

}  // namespace

void FillFieldsFromRow(EntityObject& eo, Recordset& rs) {
  for (const auto& field : *eo.Fields()) {
    if (field->JoinField().empty() && field->SourceField().empty()) continue;
    field->SetValue(ColumnObject(rs, field->Name()));
  }
}

void FillEntityFromRow(EntityObject& eo, Recordset& rs) {
  eo.SetOIDValue(ColumnObject(rs, eo.OIDSourceField()));
  FillFieldsFromRow(eo, rs);
  eo.SetEditState(Variant(int32_t{kEditStateLoaded}));
}

std::shared_ptr<EntityObject> NewChildRecord(const EntityObject& child_def, Recordset& rs) {
  std::shared_ptr<EntityObject> record = child_def.Clone(0);
  FillFieldsFromRow(*record, rs);
  record->SetEditState(Variant(int32_t{kEditStateLoaded}));
  record->SetOIDValue(record->Fields()->Item(record->OIDSourceField())->Value());
  return record;
}

void AddChildRecord(EntityObject& parent, const std::shared_ptr<EntityObject>& record) {
  parent.ChildEOs()->Add(record, "K" + record->OID()->Value());
}

}  // namespace q6
