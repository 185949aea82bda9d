// Choosing the driver for a data source.
#include "platform/drivers/postgres/pg_driver.h"
#include "platform/drivers/sqlite/sqlite_driver.h"

namespace q6 {

std::unique_ptr<Driver> OpenDriver(const DataSource& ds) {
  std::unique_ptr<Driver> d;
  if (ds.engine == Engine::PostgreSQL)
    d = std::make_unique<postgres::PgDriver>(ds);
  else
    d = std::make_unique<sqlite::SqliteDriver>(ds.database, ds.SqliteBusyTimeoutMs());
  d->set_source(ds.name.empty() ? ds.Describe() : ds.name);
  return d;
}

}  // namespace q6
