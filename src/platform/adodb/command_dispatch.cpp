// Command: its member table, the late-bound faces of its methods and the
// registration of its ProgID.
#include "platform/adodb/command.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {

const Guid Command::kClsid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C431}");
const Guid Command::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C432}");

const InterfaceInfo& Command::Info() {
  static const InterfaceInfo info{
      "_Command",
      kIid,
      {
          PropGet<Command>("ActiveConnection", 0x68030001, &Command::DispActiveConnection, {},
                           "Connection"),
          PropPut<Command>("ActiveConnection", 0x68030001, &Command::DispPutActiveConnection,
                           {Req("value")}),
          PropPut<Command>("ActiveConnection", 0x68030001, &Command::DispPutActiveConnection,
                           {Req("value")}, MemberKind::PropertyPutRef),
          PropGet<Command>("CommandText", 0x3EB, &Command::DispCommandText),
          PropPut<Command>("CommandText", 0x3EB, &Command::DispPutCommandText, {Req("value")}),
          PropGet<Command>("CommandType", 0x3F0, &Command::DispCommandType, {}, "CommandTypeEnum"),
          PropPut<Command>("CommandType", 0x3F0, &Command::DispPutCommandType, {Req("value")}),
          PropGet<Command>("Prepared", 0x3ED, &Command::DispPrepared),
          PropPut<Command>("Prepared", 0x3ED, &Command::DispPutPrepared, {Req("value")}),
          PropGet<Command>("Parameters", DISPID_VALUE, &Command::DispParameters, {}, "Parameters"),
          Method<Command>("CreateParameter", 0x3EF, &Command::DispCreateParameter,
                          {OptNone("Name"), Opt("Type", int32_t{kAdEmpty}, "DataTypeEnum"),
                           Opt("Direction", int32_t{kAdParamInput}, "ParameterDirectionEnum"),
                           Opt("Size", 0), OptNone("Value")},
                          "Parameter"),
          Method<Command>("Execute", 0x3EE, &Command::DispExecute,
                          {OptNone("RecordsAffected"), OptNone("Parameters"), Opt("Options", -1)},
                          "Recordset"),
      }};
  return info;
}

Variant Command::DispActiveConnection() {
  if (!connection_) return Variant::Nothing();
  return Variant(connection_);
}

// Parameters, when given, is one value or an array of them (a value per
// marker, in order).
std::shared_ptr<Recordset> Command::DispExecute(Variant& RecordsAffected, Variant& Parameters,
                                                int32_t Options) {
  const Variant& given = Parameters.Deref();
  if (given.IsMissing() || given.IsEmpty()) return Execute(&RecordsAffected, nullptr, Options);
  std::vector<Variant> values =
      given.type() == VarType::Array ? given.array().items() : std::vector<Variant>{given};
  return Execute(&RecordsAffected, &values, Options);
}

namespace {
const ClassRegistrar kCommandClass(ClassInfo{"ADODB.Command",
                                             "Command",
                                             Command::kClsid,
                                             &Command::Info,
                                             [] { return ObjectRef(std::make_shared<Command>()); },
                                             {},
                                             "Apartment"});
}  // namespace

}  // namespace q6
