// Helpers of the record writer tests (Save, Delete, vFieldValue): entity
// objects built in memory, the HRESULT a call raises, and a DataManager
// called the way clients call it.
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "runtime/com_error.h"

namespace q6 {

inline void PrintTo(const Variant& v, std::ostream* os) { *os << v.Describe(); }

namespace write_test {

// One field as a test declares it. The value is put through SetValue and
// Changed is then set as asked.
struct FieldDef {
  std::string name;
  std::string source;
  int32_t data_type = 1;
  Variant value;
  bool persistent = true;
  bool changed = false;
  Variant default_value;
};

inline std::shared_ptr<EntityField> MakeField(const FieldDef& d) {
  auto f = NewEntityField();
  f->SetName(Variant(d.name));
  f->SetSourceField(Variant(d.source));
  f->SetDataType(Variant(d.data_type));
  f->SetPersistent(Variant(d.persistent));
  f->SetDefaultValue(d.default_value);
  f->SetValue(d.value);
  f->SetChanged(Variant(d.changed));
  return f;
}

// An entity on `table` whose key field is the field named `key_name`, with
// the OID `oid` and the EditState `state`.
inline std::shared_ptr<EntityObject> MakeEntity(const std::string& table,
                                                const std::string& key_name,
                                                const std::vector<FieldDef>& fields,
                                                const std::string& oid = "", int32_t state = 0) {
  auto eo = NewEntityObject();
  eo->SetSourceTable(Variant(table));
  eo->SetOIDSourceField(Variant(key_name));
  for (const FieldDef& d : fields) eo->Fields()->Add(MakeField(d));
  eo->SetOIDValue(Variant(oid));
  eo->SetEditState(Variant(state));
  return eo;
}

// A child record of `definition`: a clone (which carries the definition's own
// child definition) with `values` put into its fields by name, Changed as
// given by `changed` (names), the OID and the EditState.
inline std::shared_ptr<EntityObject> MakeRecord(
    const EntityObject& definition, const std::vector<std::pair<std::string, Variant>>& values,
    const std::string& oid, int32_t state, const std::vector<std::string>& changed = {}) {
  auto r = definition.Clone();
  for (const auto& [name, value] : values) r->Fields()->Item(name)->SetValue(value);
  for (const auto& f : *r->Fields()) f->SetChanged(Variant(false));
  for (const auto& name : changed) r->Fields()->Item(name)->SetChanged(Variant(true));
  r->SetOIDValue(Variant(oid));
  r->SetEditState(Variant(state));
  return r;
}

// Adds `record` to `parent`'s child records under "K" + its OID.
inline void AddRecord(EntityObject& parent, const std::shared_ptr<EntityObject>& record) {
  parent.ChildEOs()->Add(record, "K" + record->OID()->Value());
}

// The HRESULT `f` raises as a ComError, or S_OK when it returns.
inline HRESULT HrOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ComError& e) {
    return e.hr();
  }
  return S_OK;
}

// The typed calls with the objects in ObjectRefs, as a client passes them.
inline bool Save(DataManager& dm, const std::shared_ptr<Dispatchable>& con,
                 const std::shared_ptr<EntityObject>& eo) {
  ObjectRef c = con;
  ObjectRef e = eo;
  return dm.Save(c, e);
}
inline bool Delete(DataManager& dm, const std::shared_ptr<Dispatchable>& con,
                   const std::shared_ptr<EntityObject>& eo) {
  ObjectRef c = con;
  ObjectRef e = eo;
  return dm.Delete(c, e);
}

}  // namespace write_test
}  // namespace q6
