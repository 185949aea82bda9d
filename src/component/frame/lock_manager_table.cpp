// The member table of _LockManager and the class registration.
#include "component/frame/identities.h"
#include "component/frame/lock_manager.h"
#include "runtime/binder.h"

namespace q6 {

namespace {

const InterfaceInfo& LockManagerInterface() {
  using C = LockManager;
  static const InterfaceInfo info{
      "_LockManager",
      ids::kLockManagerIid,
      {
          Method<C>(
              "LockItEx", 0x60030000, &C::LockItEx,
              {Req("DataSourceName"), Opt("vID", ""), OptNone("UserName"), OptNone("WorkStation"),
               Opt("ModName", ""), Opt("iClass", int32_t{enum_byID}, "LockModeEnum"),
               OptNone("sDigest"), Opt("sSeparator", ",")}),
          Method<C>("LockIt", 0x60030001, &C::LockIt,
                    {Req("DataSourceName"), Opt("vID", ""), OptNone("UserName"),
                     OptNone("WorkStation"), Opt("ModName", ""),
                     Opt("iClass", int32_t{enum_byID}, "LockModeEnum"), OptNone("sDigest")}),
          Method<C>(
              "UnlockIt", 0x60030002, &C::UnlockIt,
              {Req("DataSourceName"), Opt("vID", ""), OptNone("UserName"), OptNone("WorkStation"),
               OptNone("ModName"), Opt("iClass", int32_t{enum_byID}, "LockModeEnum")}),
          Method<C>(
              "UnLockItEx", 0x60030003, &C::UnLockItEx,
              {Req("DataSourceName"), Opt("vID", ""), OptNone("UserName"), OptNone("WorkStation"),
               Opt("ModName", ""), Opt("iClass", int32_t{enum_byID}, "LockModeEnum"),
               OptNone("sDigest"), Opt("sSeparator", ",")}),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6FDMgr.LockManager",
    "LockManager",
    ids::kLockManagerClsid,
    LockManagerInterface,
    [] { return ObjectRef(std::make_shared<LockManager>()); },
});

}  // namespace

const InterfaceInfo& LockManager::Interface() const { return LockManagerInterface(); }

}  // namespace q6
