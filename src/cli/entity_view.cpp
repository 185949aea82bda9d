// Entity objects as tables.
#include "cli/entity_view.h"

#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "platform/drivers/driver.h"

namespace q6::cli {

namespace {

std::vector<ColumnInfo> FieldColumns(const EntityObject& eo) {
  std::vector<ColumnInfo> cols;
  for (const auto& f : *eo.Fields()) cols.push_back({f->Name(), f->Caption()});
  return cols;
}

std::vector<Variant> FieldValues(const EntityObject& eo) {
  std::vector<Variant> row;
  for (const auto& f : *eo.Fields()) row.push_back(f->Value());
  return row;
}

}  // namespace

ResultTable DefinitionTable(const EntityObject& eo) {
  auto t = ResultTable::Named({"row", "col", "name", "caption", "column", "type", "key"});
  for (const auto& f : *eo.Fields())
    t.Add({Variant(int32_t(f->Row())), Variant(int32_t(f->InputCol())), Variant(f->Name()),
           Variant(f->Caption()),
           Variant(f->JoinField().empty() ? f->SourceField() : f->JoinField()),
           Variant(int32_t(f->DataType())), Variant(f->Name() == eo.OIDSourceField())});
  return t;
}

ResultTable RecordTable(const EntityObject& eo) {
  ResultTable t(FieldColumns(eo));
  t.Add(FieldValues(eo));
  return t;
}

ResultTable LinesTable(const EntityObject& eo) {
  const auto& def = eo.ChildEOs()->ChildEO();
  ResultTable t(def ? FieldColumns(*def) : std::vector<ColumnInfo>{});
  for (const auto& line : eo.ChildEOs()->Items()) t.Add(FieldValues(*line));
  return t;
}

}  // namespace q6::cli
