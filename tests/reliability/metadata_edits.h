// Entity definitions the metadata race and fault tests save: a new document
// type made from a sample type, and an edit of an existing one with its
// lines.
#pragma once

#include <memory>
#include <string>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "reliability_fixture.h"

namespace q6::test {

// A new document type (EditState 2) with the bank account's fields (sample
// type 5), under `id` and `caption`; field ids id * 100 + 1, + 2, ...
inline std::shared_ptr<EntityObject> NewTypeLike(DataManager& dm, const std::string& source,
                                                 int32_t id, const std::string& caption) {
  std::shared_ptr<EntityObject> eo = LoadType(dm, source, 5)->Clone(0);
  eo->SetID(Variant(id));
  eo->SetBIType(Variant(id));
  eo->SetName(Variant("type" + std::to_string(id)));
  eo->SetCaption(Variant(caption));
  eo->SetSourceTable(Variant("fd_type" + std::to_string(id)));
  int32_t field_id = id * 100;
  for (const auto& f : *eo->Fields()) {
    f->SetID(Variant(++field_id));
    f->SetEntityID(Variant(id));
  }
  eo->SetEditState(Variant(int32_t{2}));
  return eo;
}

// The payment type (sample 53) and its lines (54) as loaded, then edited:
// a new caption and description, one field fewer on each, the others
// renamed in their captions.
inline std::shared_ptr<EntityObject> EditedPayment(DataManager& dm, const std::string& source,
                                                   const std::string& caption) {
  std::shared_ptr<EntityObject> eo = LoadType(dm, source, 53);
  eo->SetCaption(Variant(caption));
  eo->SetDescription(Variant("edited: " + caption));
  for (const std::shared_ptr<EntityObject>& e : {eo, eo->ChildEOs()->ChildEO()}) {
    e->Fields()->Remove(e->Fields()->Count());
    for (const auto& f : *e->Fields()) f->SetCaption(Variant(f->Caption() + " (edited)"));
  }
  return eo;
}

}  // namespace q6::test
