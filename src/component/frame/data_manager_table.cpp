// The member table of _DataManager and the class registration.
#include "component/frame/data_manager.h"
#include "component/frame/identities.h"
#include "runtime/binder.h"

namespace q6 {

namespace {
const InterfaceInfo& DataManagerInterface() {
  using C = DataManager;
  static const InterfaceInfo info{
      "_DataManager",
      ids::kDataManagerIid,
      {
          Method<C>(
              "MoveTo", 0x60030000, &C::MoveTo,
              {Req("con", "Connection"), Req("EO", "EntityObject"), Req("MoveMode", "MoveModeEnum"),
               Opt("Reversal", false), Opt("GetChild", true)}),
          Method<C>("MoveToBySQL", 0x60030001, &C::MoveToBySQL,
                    {Req("DataSourceName"), Req("Sql")}),
          Method<C>("Delete", 0x60030002, &C::Delete,
                    {Req("con", "Connection"), Req("EO", "EntityObject")}),
          Method<C>("DeleteBIType", 0x60030003, &C::DeleteBIType,
                    {Req("con", "Connection"), Req("BIStyle")}),
          Method<C>("Save", 0x60030004, &C::Save,
                    {Req("con", "Connection"), Req("EO", "EntityObject")}),
          Method<C>("LoadEOMetaData", 0x60030005, &C::LoadEOMetaData,
                    {Req("DataSourceName"), Req("BIType"), Opt("OnlyEO", false),
                     Opt("OnlyUsed", int32_t{0}, "LoadFilterEnum"), Opt("GetChildEO", true)},
                    "EntityObject"),
          Method<C>("SaveEOMetaData", 0x60030006, &C::SaveEOMetaData,
                    {Req("DataSourceName"), Req("EO", "EntityObject"), Opt("OnlyEO", false),
                     Opt("SetChildEO", true)}),
          Method<C>("MaxTop", 0x60030007, &C::MaxTop, {Req("DataSourceName"), Req("BIStyle")}),
          Method<C>("MaxQrySqc", 0x60030008, &C::MaxQrySqc,
                    {Req("DataSourceName"), Req("BIStyle")}),
          Method<C>("strBiToSqlByEO", 0x60030009, &C::strBiToSqlByEO,
                    {Req("objEO", "EntityObject"), Opt("lFlag", int32_t{0})}),
          Method<C>("vFieldValue", 0x6003000A, &C::vFieldValue,
                    {Req("strDsn"), Req("sName"), Req("EO", "EntityObject"), Opt("sWhere", ""),
                     OptNone("vVal"), OptNone("strError")}),
          Method<C>("GetData", 0x6003000B, &C::GetData,
                    {Req("con", "Connection"), Req("EO", "EntityObject"), Req("pRS", "Recordset"),
                     OptNone("cRS", "Recordset"), Opt("GetChild", true)}),
          Method<C>(
              "MoveToByRS", 0x6003000C, &C::MoveToByRS,
              {Req("con", "Connection"), Req("EO", "EntityObject"), Req("MoveMode", "MoveModeEnum"),
               Req("pRS", "Recordset"), OptNone("cRS", "Recordset"), Opt("GetChild", true)}),
      }};
  return info;
}

const ClassRegistrar kRegistrar({
    "Q6FDMgr.DataManager",
    "DataManager",
    ids::kDataManagerClsid,
    DataManagerInterface,
    [] { return ObjectRef(std::make_shared<DataManager>()); },
    {{"DataManager___v0", ids::kDataManagerV0Iid}},
});
}  // namespace

const InterfaceInfo& DataManager::Interface() const { return DataManagerInterface(); }

}  // namespace q6
