// Opening data sources for commands.
#include "cli/data_open.h"

#include <filesystem>

#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/datasource/data_source.h"

namespace q6::cli {

namespace fs = std::filesystem;

void RequireExistingDatabase(const std::string& dsn) {
  DataSource ds = ResolveDataSource(dsn);
  if (ds.engine != Engine::SQLite || ds.database.empty() || ds.database == ":memory:" ||
      ds.database.rfind("file:", 0) == 0)
    return;
  std::error_code ec;
  auto st = fs::status(ds.database, ec);
  std::string hint = ": q6fd init " + dsn + " creates it";
  // A database that is not there cannot be reached, as a server that is not.
  auto missing = [&](const std::string& why) {
    throw ComError(E_FAIL, "no database at " + ds.database + why, "q6fd",
                   q6::ErrorKind::kConnectionLost, "");
  };
  if (st.type() == fs::file_type::not_found) missing(hint);
  if (st.type() == fs::file_type::directory) missing(": it is a folder");
  if (st.type() == fs::file_type::regular && fs::file_size(ds.database, ec) == 0 && !ec)
    missing(" (the file is empty)" + hint);
}

std::shared_ptr<Connection> Open(const std::string& dsn, Access access) {
  if (access == Access::kRead) RequireExistingDatabase(dsn);
  auto con = std::make_shared<Connection>();
  con->Open(dsn);
  return con;
}

void RequireTables(Connection& con, const std::string& dsn) {
  try {
    con.Execute("select count(*) from FD_Entities");
  } catch (const ComError&) {
    Throw(E_FAIL, "data source " + dsn + " has no metadata tables: run q6fd init " + dsn +
                      " (or q6fd seed " + dsn + " for sample types)");
  }
}

std::shared_ptr<EntityObject> LoadType(const std::string& dsn, int32_t bitype) {
  auto con = Open(dsn, Access::kRead);
  RequireTables(*con, dsn);
  if (con->Execute("select iID from FD_Entities where iID = " + std::to_string(bitype))->EOF())
    Throw(E_FAIL, "document type " + std::to_string(bitype) + " is not defined in " + dsn +
                      " (q6fd types " + dsn + " lists them)");
  DataManager dm;
  Variant d(dsn);
  bool only_eo = false, child = true;
  int32_t used = 0;
  return As<EntityObject>(dm.LoadEOMetaData(d, bitype, only_eo, used, child));
}

}  // namespace q6::cli
