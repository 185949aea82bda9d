// Querymanager: runs a query object and returns its rows.
//
// Errors (HRESULTs): the first failing call's error passes through unchanged
// (a duplicate or missing query position raises the collection's error).
#pragma once

#include "component/frame/component.h"
#include "runtime/export.h"

namespace q6 {

class Q6FD_API Querymanager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  // A new Recordset (the caller's) of the statement the query object
  // objQry describes: "select * from " followed by one item " <expression>
  // as '<alias>' " per field with a positive QryFldSqc and a source or join
  // column, in QryFldSqc order (the expression is the field's Expr with
  // every "@" replaced by its JoinField, or the JoinField alone; the alias
  // its Caption with bShowCaption True, the default, else its Name), then a
  // blank and objQry's QryJoin. The statement runs through the apartment's
  // PublicService.ExecuteSQL on the data source vDsn. Errors: raised
  // unchanged: 457 for two fields with the same position, 5 for a gap in
  // the positions, the engine's error for the statement.
  ObjectRef GetQueryResult(Variant& vDsn, ObjectRef& objQry, bool& bShowCaption);
};

}  // namespace q6
