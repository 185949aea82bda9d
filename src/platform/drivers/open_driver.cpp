// Choosing the driver for a data source.
#include "platform/drivers/postgres/pg_driver.h"
#include "platform/drivers/sqlite/sqlite_driver.h"

namespace q6 {

std::unique_ptr<Driver> OpenDriver(const DataSource& ds) {
  if (ds.engine == Engine::PostgreSQL) return std::make_unique<postgres::PgDriver>(ds);
  return std::make_unique<sqlite::SqliteDriver>(ds.database);
}

}  // namespace q6
