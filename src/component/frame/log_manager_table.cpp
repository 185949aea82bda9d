// The member table of _LogManager and the class registration.
#include "component/frame/identities.h"
#include "component/frame/log_manager.h"
#include "runtime/binder.h"

namespace q6 {

namespace {

const InterfaceInfo& LogManagerInterface() {
  using C = LogManager;
  static const InterfaceInfo info{
      "_LogManager",
      ids::kLogManagerIid,
      {
          Method<C>("GetLogFileName", 0x60030000, &C::GetLogFileName, {}),
          Method<C>("StartLog", 0x60030001, &C::StartLog,
                    {Req("strFile"), Opt("bOverride", true), OptNone("strError"),
                     Opt("bUnicode", false)}),
          Method<C>("StopLog", 0x60030002, &C::StopLog, {Opt("bKill", false)}),
          Method<C>("ReadLine", 0x60030003, &C::ReadLine, {Opt("bAll", false)}),
          Method<C>("WriteLine", 0x60030004, &C::WriteLine, {Req("strInfo")}),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6FDMgr.LogManager",
    "LogManager",
    ids::kLogManagerClsid,
    LogManagerInterface,
    [] { return ObjectRef(std::make_shared<LogManager>()); },
});

}  // namespace

const InterfaceInfo& LogManager::Interface() const { return LogManagerInterface(); }

}  // namespace q6
