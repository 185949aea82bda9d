// Served data sources: resolution at start, and the loading of a document
// type that the type, records and query pages share.
#include "console/data_sources.h"

#include "component/frame/data_manager.h"
#include "console/page.h"
#include "outside/eso/entity_object.h"
#include "outside/services/connection_manager.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/datasource/data_source.h"
#include "runtime/com_error.h"

namespace q6::console {

DataSources::DataSources(std::vector<std::string> dsns) : dsns_(std::move(dsns)) {
  for (const std::string& d : dsns_) {
    DataSource ds = ResolveDataSource(d);
    labels_.push_back(ds.name.empty() ? ds.Describe() : ds.name);
  }
}

void DataSources::Check(size_t i) const {
  ConnectionLease lease{Variant(dsn(i))};
  try {
    lease->Execute("select count(*) from FD_Entities");
  } catch (const ComError& e) {
    if (e.kind() != ErrorKind::kOther) throw;
    Throw(E_FAIL, "data source " + label(i) + " has no metadata tables: run q6fd init " + label(i) +
                      " first");
  }
}

std::shared_ptr<EntityObject> DataSources::LoadType(size_t i, int32_t bitype) const {
  {
    // The number was parsed as one: the statement holds no visitor's text.
    ConnectionLease lease{Variant(dsn(i))};
    if (lease->Execute("select iID from FD_Entities where iID = " + std::to_string(bitype))->EOF())
      throw NotFoundError("document type " + std::to_string(bitype) + " is not defined in " +
                          label(i));
  }
  DataManager dm;
  Variant d(dsn(i));
  bool only_eo = false, child = true;
  int32_t used = 0;
  return As<EntityObject>(dm.LoadEOMetaData(d, bitype, only_eo, used, child));
}

}  // namespace q6::console
