// Querymanager.GetQueryResult: not landed yet.
#include "frame/query_manager.h"
#include "frame/not_implemented.h"

namespace q6 {

ObjectRef Querymanager::GetQueryResult(Variant& vDsn, ObjectRef& objQry, bool& bShowCaption) {
  NotImplemented("Querymanager.GetQueryResult");
}

}  // namespace q6
