// Querymanager.GetQueryResult: the select statement a query object
// describes, run through the apartment's PublicService.
//
// The items are kept in a keyed collection (key: the decimal text of each
// field's QryFldSqc) and then read back by the keys 1, 2, 3, ...: a second
// field with the same position fails the call with the collection's
// duplicate-key error (457), a gap in the positions with its missing-key
// error (5).
#include <map>

#include "component/frame/mdl_public.h"
#include "component/frame/query_manager.h"
#include "component/frame/sql_text.h"
#include "component/query/query_statement.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/services/public_service.h"

namespace q6 {

std::string BuildQueryStatement(EntityObject& qry, bool show_caption) {
  std::map<std::string, std::string> items;  // key -> item
  for (const auto& field : *qry.Fields()) {
    int32_t position = field->QryFldSqc();
    if (position <= 0) continue;
    ObjectRef f = field;
    int32_t flags = 0;
    if (IsQueryField(f, flags).IsEmpty()) continue;
    std::string expr = field->Expr();
    std::string join = field->JoinField();
    std::string expression;
    if (expr.empty()) {
      expression = join;
    } else {
      for (char c : expr) {
        if (c == '@')
          expression += join;
        else
          expression += c;
      }
    }
    std::string alias = show_caption ? field->Caption() : field->Name();
    std::string key = std::to_string(position);
    if (items.count(key)) ThrowVb(kVbDuplicateKey);
    items[key] = " " + expression + " as '" + SqlEscaped(alias) + "' ";
  }
  std::string sql = "select * from ";
  for (size_t i = 1; i <= items.size(); ++i) {
    auto it = items.find(std::to_string(i));
    if (it == items.end()) ThrowVb(kVbInvalidProcedureCall);
    sql += it->second + ",";
  }
  sql.pop_back();
  sql += " " + qry.QryJoin() + " ";
  sql.pop_back();
  return sql;
}

ObjectRef Querymanager::GetQueryResult(Variant& vDsn, ObjectRef& objQry, bool& bShowCaption) {
  auto qry = As<EntityObject>(objQry);
  if (!qry) ThrowVb(objQry ? kVbTypeMismatch : 91);
  Variant sql(BuildQueryStatement(*qry, bShowCaption));
  int32_t n1 = 1, n2 = 0, n3 = 1, n4 = 0;
  Variant rs = ApartmentPublicService()->ExecuteSQL(sql, vDsn, n1, n2, n3, n4);
  if (!rs.IsObject()) ThrowVb(kVbTypeMismatch);
  return rs.object();
}

}  // namespace q6
