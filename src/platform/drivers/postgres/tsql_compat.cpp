// Installing the T-SQL compatibility schema: the SQL text is compiled in
// from tsql_compat.sql and sent as one multi-statement text, which the
// server runs as a single transaction.
#include "platform/drivers/postgres/tsql_compat.h"

#include <string>

#include "platform/drivers/driver.h"

namespace q6::postgres {
namespace {

const char kCompatSql[] =
#include "platform/drivers/postgres/tsql_compat.sql"
    ;

// Any fixed number: the advisory lock that serialises installers.
constexpr const char* kInstallLock = "SELECT pg_advisory_xact_lock(5170171);\n";

int InstalledVersion(Driver& driver) {
  const ResultSet v = driver.Execute(kTsqlCompatVersionQuery);
  return v.row_count == 0 ? 0 : static_cast<int>(v.cells[0].ToLong());
}

}  // namespace

const char* TsqlCompatSql() { return kCompatSql; }

void InstallTsqlCompat(Driver& driver, bool only_if_older) {
  if (only_if_older && InstalledVersion(driver) >= kTsqlCompatVersion) return;
  driver.Execute(std::string(kInstallLock) + kCompatSql, "-- T-SQL compatibility schema");
}

}  // namespace q6::postgres
