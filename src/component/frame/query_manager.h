// Querymanager: runs a query object and returns its rows.
//
// Errors (HRESULTs): the first failing call's error passes through unchanged
// (a duplicate or missing query position raises the collection's error).
#pragma once

#include "component/frame/component.h"

namespace q6 {

class Querymanager final : public ComponentObject {
 public:
  const InterfaceInfo& Interface() const override;

  // Returns the Recordset of the query.
  ObjectRef GetQueryResult(Variant& vDsn, ObjectRef& objQry, bool& bShowCaption);
};

}  // namespace q6
