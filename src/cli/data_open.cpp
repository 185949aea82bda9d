// The data source of a command: one resolution, one connection, parked in
// the apartment's pool so that the component's methods find it there.
#include "cli/data_open.h"

#include <filesystem>

#include "cli/command.h"
#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6::cli {

namespace {

namespace fs = std::filesystem;

// Raises when `ds` is an SQLite database file that opening would create.
void RequireExistingDatabase(const DataSource& ds, const std::string& dsn) {
  if (ds.engine != Engine::SQLite || ds.database.empty() || ds.database == ":memory:" ||
      ds.database.rfind("file:", 0) == 0)
    return;
  std::error_code ec;
  auto st = fs::status(ds.database, ec);
  std::string hint = ": q6fd init " + dsn + " creates it";
  auto missing = [&](const std::string& why) {
    throw ComError(E_FAIL, "no database at " + ds.database + why, "q6fd",
                   q6::ErrorKind::kConnectionLost, "");
  };
  if (st.type() == fs::file_type::not_found) missing(hint);
  if (st.type() == fs::file_type::directory) missing(": it is a folder");
  if (st.type() == fs::file_type::regular && fs::file_size(ds.database, ec) == 0 && !ec)
    missing(" (the file is empty)" + hint);
}

}  // namespace

CommandSource::CommandSource(std::string dsn, Creates creates)
    : name_(std::move(dsn)), resolved_(ResolveDataSource(name_)) {
  if (creates == Creates::kNothing) RequireExistingDatabase(resolved_, name_);
  auto con = std::make_shared<Connection>();
  con->OpenResolved(resolved_, name_);
  // Handed to the pool as its only holder, so the pool keeps it.
  Variant parked{ObjectRef(std::move(con))};
  ApartmentConnectionManager()->ReleaseConnection(parked);
}

ConnectionLease CommandSource::Lease() const { return ConnectionLease(Name()); }

void CommandSource::RequireTables() const {
  try {
    Lease()->Execute("select count(*) from FD_Entities");
  } catch (const ComError& e) {
    // Only a table that is not there means init: a wait that ran out, a
    // lost connection or a deadlock says what it is.
    if (e.kind() != ErrorKind::kOther) throw;
    Throw(E_FAIL, "data source " + name_ + " has no metadata tables: run q6fd init " + name_ +
                      " (or q6fd seed " + name_ + " for sample types)");
  }
}

std::shared_ptr<EntityObject> CommandSource::LoadType(int32_t bitype) const {
  RequireTables();
  if (Lease()->Execute("select iID from FD_Entities where iID = " + std::to_string(bitype))->EOF())
    throw NotFound("document type " + std::to_string(bitype) + " is not defined in " + name_ +
                   " (q6fd types " + name_ + " lists them)");
  DataManager dm;
  Variant d = Name();
  bool only_eo = false, child = true;
  int32_t used = 0;
  return As<EntityObject>(dm.LoadEOMetaData(d, bitype, only_eo, used, child));
}

}  // namespace q6::cli
