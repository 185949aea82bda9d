// A single value read on a connection of the method's own.
#include "component/metadata/designer_query.h"

#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6 {

Variant LargestOfEntity(const Variant& data_source, const std::string& sql) {
  // The lease outlives the result set, so that nothing refers to the
  // connection when it goes back to the pool.
  ConnectionLease con(data_source);
  std::shared_ptr<Recordset> rs = con->Execute(sql);
  if (rs->EOF()) return Variant::Null();
  return rs->Fields()->Item(Variant(int32_t{0}))->Value();
}

}  // namespace q6
