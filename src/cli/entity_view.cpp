// Entity objects as tables.
#include "cli/entity_view.h"

#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"

namespace q6::cli {

std::string Shown(const Variant& v) {
  const Variant& d = v.Deref();
  if (d.IsNull() || d.IsEmpty() || d.IsMissing()) return "";
  if (d.IsObject()) return d.object() ? "<" + d.object()->Interface().name + ">" : "Nothing";
  return d.ToString();
}

TextTable DefinitionTable(const EntityObject& eo) {
  TextTable t({"row", "col", "name", "caption", "column", "type", "key"});
  for (const auto& f : *eo.Fields())
    t.Add({std::to_string(f->Row()), std::to_string(f->InputCol()), f->Name(), f->Caption(),
           f->JoinField().empty() ? f->SourceField() : f->JoinField(),
           std::to_string(f->DataType()), f->Name() == eo.OIDSourceField() ? "*" : ""});
  return t;
}

TextTable RecordTable(const EntityObject& eo) {
  std::vector<std::string> header, row;
  for (const auto& f : *eo.Fields()) {
    header.push_back(f->Caption().empty() ? f->Name() : f->Caption());
    row.push_back(Shown(f->Value()));
  }
  TextTable t(header);
  t.Add(row);
  return t;
}

TextTable LinesTable(const EntityObject& eo) {
  std::vector<std::string> header;
  const auto& def = eo.ChildEOs()->ChildEO();
  if (def)
    for (const auto& f : *def->Fields())
      header.push_back(f->Caption().empty() ? f->Name() : f->Caption());
  TextTable t(header);
  for (const auto& line : eo.ChildEOs()->Items()) {
    std::vector<std::string> row;
    for (const auto& f : *line->Fields()) row.push_back(Shown(f->Value()));
    t.Add(row);
  }
  return t;
}

}  // namespace q6::cli
