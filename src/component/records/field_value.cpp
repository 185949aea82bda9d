// DataManager.vFieldValue: one or more columns of an entity's record table,
// of the current record or of the rows a condition selects, read through
// the apartment's PublicService.GetFieldValue.
//
// The method only builds the tail of the statement; GetFieldValue runs it.
// Several columns (with no vVal to fall back on) come back as the rows, an
// object; anything else as a plain value.
#include "component/frame/data_manager.h"
#include "component/records/field_lookup.h"
#include "component/support/record_arguments.h"
#include "outside/services/public_service.h"

namespace q6 {

Variant DataManager::vFieldValue(Variant& strDsn, std::string& sName, ObjectRef& EO,
                                 Variant& sWhere, Variant& vVal, Variant& strError) {
  sName = TrimSpaces(sName);
  strError.Deref() = Variant(std::string());
  if (!EO) return Variant();
  const std::shared_ptr<EntityObject> eo = RequireEntity(EO);

  Variant tail(FieldLookupTail(*eo, sWhere));
  Variant columns(sName);
  Variant answer =
      ApartmentPublicService()->GetFieldValue(columns, vVal, tail, strDsn, strError).Value();
  if (!vVal.Deref().IsMissing() || !NamesSeveralColumns(sName)) return answer;
  // The rows are wanted as an object; anything else cannot be held as one.
  if (!answer.IsObject()) ThrowVb(kVbObjectRequired);
  return answer;
}

}  // namespace q6
