// The member table of PublicService, its registration and the apartment's
// instance.
#include "outside/services/public_service.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {

namespace {

const InterfaceInfo& PublicServiceInterface() {
  using C = PublicService;
  static const InterfaceInfo info{
      "_PublicService",
      Guid::Of("{7A3E51C0-2B44-4C10-8D0E-5F6A7B8C9D01}"),
      {
          Method<C>(
              "GetFieldValue", 0x60030000, &C::GetFieldValue,
              {Req("columns"), OptNone("vVal"), Opt("tail", ""), Req("dsn"), OptNone("strError")}),
          Method<C>(
              "ExecuteSQL", 0x60030001, &C::ExecuteSQL,
              {Req("sql"), Req("dsn"), Opt("n1", 1), Opt("n2", 0), Opt("n3", 1), Opt("n4", 0)},
              "Recordset"),
          Method<C>("GetDigit", 0x60030002, &C::GetDigit, {Req("value"), Req("position")}),
          Method<C>("ConvertNull", 0x60030003, &C::ConvertNull, {Req("value"), Req("mode")}),
          Method<C>("GetNextItem", 0x60030004, &C::GetNextItem,
                    {Req("list"), Req("item"), Req("position"), Opt("separator", ",")}),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6Sys.PublicService",
    "PublicService",
    Guid::Of("{7A3E51C0-2B44-4C10-8D0E-5F6A7B8C9D00}"),
    PublicServiceInterface,
    [] { return ObjectRef(ApartmentPublicService()); },
});

}  // namespace

const InterfaceInfo& PublicService::Interface() const { return PublicServiceInterface(); }

std::shared_ptr<PublicService> ApartmentPublicService() {
  thread_local std::shared_ptr<PublicService> instance = std::make_shared<PublicService>();
  return instance;
}

}  // namespace q6
