// Connection: its member table, the late-bound faces of its methods and the
// registration of the two creatable classes' ProgIDs.
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "runtime/binder.h"
#include "runtime/class_table.h"

namespace q6 {

const Guid Connection::kClsid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C421}");
const Guid Connection::kIid = Guid::Of("{5A3C0E21-7B1D-4C62-9F0A-3D8E51B6C422}");

const InterfaceInfo& Connection::Info() {
  static const InterfaceInfo info{
      "_Connection",
      kIid,
      {
          PropGet<Connection>("ConnectionString", DISPID_VALUE, &Connection::DispConnectionString),
          PropPut<Connection>("ConnectionString", DISPID_VALUE,
                              &Connection::DispPutConnectionString, {Req("value")}),
          Method<Connection>("Open", 0x50A, &Connection::DispOpen,
                             {OptNone("ConnectionString"), OptNone("UserID"), OptNone("Password"),
                              Opt("Options", -1)}),
          Method<Connection>("Execute", 0x506, &Connection::DispExecute,
                             {Req("CommandText"), OptNone("RecordsAffected"), Opt("Options", -1)},
                             "Recordset"),
          Method<Connection>("BeginTrans", 0x507, &Connection::BeginTrans, {}),
          Method<Connection>("CommitTrans", 0x508, &Connection::CommitTrans, {}),
          Method<Connection>("RollbackTrans", 0x509, &Connection::RollbackTrans, {}),
          Method<Connection>("Close", 0x505, &Connection::Close, {}),
          PropGet<Connection>("State", 0x1E, &Connection::DispState),
      }};
  return info;
}

void Connection::DispOpen(std::string& ConnectionString, std::string& UserID, std::string& Password,
                          int32_t Options) {
  std::string text = ConnectionString.empty() ? connection_string_ : ConnectionString;
  if (!UserID.empty() || !Password.empty()) {
    if (text.find('=') == std::string::npos) text = "DSN=" + text;
    if (!UserID.empty()) text += ";UID=" + UserID;
    if (!Password.empty()) text += ";PWD=" + Password;
  }
  Open(text);
}

std::shared_ptr<Recordset> Connection::DispExecute(std::string& CommandText,
                                                   Variant& RecordsAffected, int32_t Options) {
  return Execute(CommandText, &RecordsAffected, Options);
}

namespace {
const ClassRegistrar kConnectionClass(ClassInfo{
    "ADODB.Connection",
    "Connection",
    Connection::kClsid,
    &Connection::Info,
    [] { return ObjectRef(std::make_shared<Connection>()); },
    {},
    "Apartment"});
}  // namespace

}  // namespace q6
