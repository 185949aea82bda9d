// DataManager.MoveToBySQL: one value of a statement's first row, as text.
//
// The statement runs on a connection of the method's own, taken for the
// data-source name and given back when the method ends, on every path. The
// value is read while the connection is still held (the result is a client
// cursor, so nothing is lost by reading it first). Errors reach the caller.
#include "component/frame/data_manager.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6 {

std::string DataManager::MoveToBySQL(Variant& DataSourceName, std::string& Sql) {
  ConnectionLease lease(DataSourceName);
  const std::shared_ptr<Recordset> rs = lease->Execute(Sql);
  if (rs->EOF()) return "0";
  return rs->Fields()->Item(Variant(int32_t{1}))->Value().ToString();
}

}  // namespace q6
