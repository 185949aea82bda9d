// The member table of _Querymanager and the class registration.
#include "component/frame/identities.h"
#include "component/frame/query_manager.h"
#include "runtime/binder.h"

namespace q6 {

namespace {

const InterfaceInfo& QuerymanagerInterface() {
  using C = Querymanager;
  static const InterfaceInfo info{
      "_Querymanager",
      ids::kQuerymanagerIid,
      {
          Method<C>("GetQueryResult", 0x60030000, &C::GetQueryResult,
                    {Req("vDsn"), Req("objQry", "EntityObject"), Opt("bShowCaption", true)},
                    "Recordset"),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6FDMgr.Querymanager",
    "Querymanager",
    ids::kQuerymanagerClsid,
    QuerymanagerInterface,
    [] { return ObjectRef(std::make_shared<Querymanager>()); },
});

}  // namespace

const InterfaceInfo& Querymanager::Interface() const { return QuerymanagerInterface(); }

}  // namespace q6
