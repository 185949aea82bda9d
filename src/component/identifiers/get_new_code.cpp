// OIDManager.GetNewCode: the next (or, Locked False, the current) document
// code of a type, from the largest code in the type's own source table.
//
// The entity's metadata names the code column (the field keyed
// "transactions_code"), the table and the OID column; the type's records are
// those whose OID begins with the type number. The largest code is read as an
// exact decimal of any length, so codes longer than any machine integer keep
// every digit. Nothing is reserved or written: two calls before a record
// carrying the first code is saved give the same code.
#include "component/frame/data_manager.h"
#include "component/frame/oid_manager.h"
#include "component/frame/sql_text.h"
#include "component/identifiers/identifier_value.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_fields.h"
#include "outside/eso/entity_object.h"
#include "outside/eso/oid_object.h"
#include "outside/services/public_service.h"

namespace q6 {

ObjectRef OIDManager::GetNewCode(Variant DataSourceName, int32_t& BIStyle, bool& Locked) {
  auto data = std::make_shared<DataManager>();
  bool only_eo = false;
  int32_t only_used = 0;
  bool get_child = true;
  auto eo = As<EntityObject>(
      data->LoadEOMetaData(DataSourceName, BIStyle, only_eo, only_used, get_child));
  if (!eo) ThrowVb(91);
  auto oid = NewOIDObject();

  const std::string column = eo->Fields()->Item("transactions_code")->SourceField();
  const std::string table = eo->SourceTable();
  const std::string oid_column = eo->OIDSourceField();
  Variant sql("select max(" + column + ") from " + table + " with(updlock) where " + oid_column +
              " like '" + SqlEscaped(SqlNumber(BIStyle)) + "%'");
  Variant sql_ref = Variant::Ref(&sql);
  int32_t n1 = 1, n2 = 0, n3 = 1, n4 = 0;
  Variant result = ApartmentPublicService()->ExecuteSQL(sql_ref, DataSourceName, n1, n2, n3, n4);
  Variant largest = SingleValue(result);

  ExactDecimal code;
  if (largest.IsNull()) {
    code = ExactDecimal::Parse(Locked ? "1" : "0");
  } else {
    code = DecimalOf(largest);
    if (Locked) code = code + ExactDecimal::Parse("1");
  }
  oid->SetValue(Variant(code.ZeroPadded(kCodeDigits)));
  return oid;
}

}  // namespace q6
