// The member table of _OIDManager and the class registration.
#include "component/frame/identities.h"
#include "component/frame/oid_manager.h"
#include "runtime/binder.h"

namespace q6 {

namespace {

const InterfaceInfo& OIDManagerInterface() {
  using C = OIDManager;
  static const InterfaceInfo info{
      "_OIDManager",
      ids::kOIDManagerIid,
      {
          Method<C>("GetNewOID", 0x60030000, &C::GetNewOID,
                    {Req("DataSource"), Req("BIStyle"), Opt("Locked", false)}, "OIDObject"),
          Method<C>("GetNewCode", 0x60030001, &C::GetNewCode,
                    {Req("DataSourceName"), Req("BIStyle"), Opt("Locked", true)}, "OIDObject"),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6FDMgr.OIDManager",
    "OIDManager",
    ids::kOIDManagerClsid,
    OIDManagerInterface,
    [] { return ObjectRef(std::make_shared<OIDManager>()); },
});

}  // namespace

const InterfaceInfo& OIDManager::Interface() const { return OIDManagerInterface(); }

}  // namespace q6
