// The T-SQL compatibility schema of PostgreSQL databases.
//
// The dialect layer rewrites T-SQL constructs into calls of tsql_*
// functions (and leaves `text + text` as it is); on PostgreSQL these live in
// the schema q6tsql (tsql_compat.sql), which every connection the driver
// opens has at the end of its search path. A connection that finds the
// schema missing or older installs it (PgDriver), as `q6fd init` does;
// `q6fd upgrade` replaces it in any case.
#pragma once

namespace q6 {
class Driver;
}

namespace q6::postgres {

// The version of the schema this build installs (what q6tsql.tsql_version()
// answers once it is installed).
inline constexpr int kTsqlCompatVersion = 3;

// One row, one integer: the installed schema's version, 0 when there is
// none. It cannot fail for a missing schema (the version function's body is
// 'SELECT <n>').
inline constexpr const char* kTsqlCompatVersionQuery =
    "SELECT coalesce((SELECT substring(prosrc FROM '[0-9]+')::int FROM pg_proc "
    "WHERE oid = to_regprocedure('q6tsql.tsql_version()')), 0)";

// The SQL text that creates the schema (several statements; running it
// again replaces the functions and keeps the rest).
const char* TsqlCompatSql();

// Installs or replaces the schema on `driver` (a PostgreSQL connection), in
// one transaction taken under an advisory lock, so that connections doing
// it at once wait for each other. With `only_if_older`, a database that
// already has this version (or a newer one) is left alone. Raises E_FAIL with
// the server's message (no right to create a schema, say); nothing is
// changed then. REQUIRES: no transaction open on `driver`.
void InstallTsqlCompat(Driver& driver, bool only_if_older);

}  // namespace q6::postgres
