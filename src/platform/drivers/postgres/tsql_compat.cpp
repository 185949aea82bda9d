// Building and installing the T-SQL compatibility schema. The script is the
// preamble compiled in from tsql_compat.sql, the registry's PostgreSQL
// texts in the registry's order (an entry may use the functions of earlier
// ones), and last the version function, whose number is a hash of all that
// comes before it: a change of any function's text is a new version, which
// every connection then installs. It is sent as one multi-statement text,
// which the server runs as a single transaction.
#include "platform/drivers/postgres/tsql_compat.h"

#include <cstdint>

#include "platform/drivers/driver.h"
#include "platform/tsql/functions.h"

namespace q6::postgres {
namespace {

const char kPreamble[] =
#include "platform/drivers/postgres/tsql_compat.sql"
    ;

// Any fixed number: the advisory lock that serialises installers.
constexpr const char* kInstallLock = "SELECT pg_advisory_xact_lock(5170171);\n";

// The script and the version written into it.
struct Script {
  std::string sql;
  int version = 0;
};

const Script& TheScript() {
  static const Script script = [] {
    Script s;
    s.sql = kPreamble;
    for (const tsql::Function& f : tsql::kFunctions)
      if (f.engines == tsql::Engines::kBoth) s.sql += f.postgres;
    s.version = TsqlCompatVersionOf(s.sql);
    s.sql +=
        "\nCREATE OR REPLACE FUNCTION q6tsql.tsql_version() RETURNS integer\n"
        "LANGUAGE sql IMMUTABLE AS 'SELECT " +
        std::to_string(s.version) +
        "';\n"
        "CREATE OR REPLACE FUNCTION q6tsql.tsql_release() RETURNS integer\n"
        "LANGUAGE sql IMMUTABLE AS 'SELECT " +
        std::to_string(TsqlCompatRelease()) + "';\n";
    return s;
  }();
  return script;
}

bool InstalledOutdated(Driver& driver) {
  const ResultSet v = driver.Execute(kTsqlCompatVersionQuery);
  return v.row_count == 0 || TsqlCompatOutdated(static_cast<int>(v.cells[0].ToLong()),
                                                static_cast<int>(v.cells[1].ToLong()));
}

}  // namespace

int TsqlCompatVersionOf(std::string_view sql) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (char c : sql) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  h &= 0x7FFFFFFFu;                         // a positive int, as the version query reads it
  return h == 0 ? 1 : static_cast<int>(h);  // 0 means no schema
}

const std::string& TsqlCompatSql() { return TheScript().sql; }

int TsqlCompatVersion() { return TheScript().version; }

int TsqlCompatRelease() { return Q6_RELEASE; }

bool TsqlCompatOutdated(int version, int release) {
  return version != TsqlCompatVersion() && release <= TsqlCompatRelease();
}

void InstallTsqlCompat(Driver& driver, bool only_if_changed) {
  if (only_if_changed && !InstalledOutdated(driver)) return;
  driver.Execute(kInstallLock + TsqlCompatSql(), "-- T-SQL compatibility schema");
}

}  // namespace q6::postgres
