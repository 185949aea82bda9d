// The T-SQL compatibility schema of PostgreSQL databases.
//
// The dialect layer rewrites T-SQL constructs into calls of tsql_*
// functions (and leaves `text + text` as it is); on PostgreSQL these live in
// the schema q6tsql, which every connection the driver opens has at the end
// of its search path. The script that creates it is generated: the shared
// preamble (tsql_compat.sql: the schema, operators, helpers), then the
// PostgreSQL text of every function in the registry of T-SQL functions
// (platform/tsql/functions.h), then q6tsql.tsql_version(), which answers a
// hash of the text before it. A connection that finds the schema missing or
// of another version installs it (PgDriver), as `q6fd init` does; `q6fd
// upgrade` replaces it in any case.
#pragma once

#include <string>
#include <string_view>

namespace q6 {
class Driver;
}

namespace q6::postgres {

// The version of a compatibility schema whose functions and helpers are
// `sql`: a hash of the text, from 1 to 2^31 - 1. Any change of the text
// changes it (but for chance, one in two billion).
int TsqlCompatVersionOf(std::string_view sql);

// The version of the schema this build installs (what q6tsql.tsql_version()
// answers once it is installed).
int TsqlCompatVersion();

// One row, two integers: the installed schema's version and the release
// that installed it (q6tsql.tsql_release()), 0 when there is none. It
// cannot fail for a missing schema (each function's body is 'SELECT <n>').
inline constexpr const char* kTsqlCompatVersionQuery =
    "SELECT coalesce((SELECT substring(prosrc FROM '[0-9]+')::int FROM pg_proc "
    "WHERE oid = to_regprocedure('q6tsql.tsql_version()')), 0), "
    "coalesce((SELECT substring(prosrc FROM '[0-9]+')::int FROM pg_proc "
    "WHERE oid = to_regprocedure('q6tsql.tsql_release()')), 0)";

// The same two numbers, read by calling the two functions: much cheaper
// for a session that has not read the catalogue yet (every connection asks
// right after it opens), but it fails where a function is missing; the
// query above then tells.
inline constexpr const char* kTsqlCompatVersionCall =
    "SELECT q6tsql.tsql_version(), q6tsql.tsql_release()";

// The release of this build as a number that grows with it (1.2.0: 10200).
int TsqlCompatRelease();

// Whether a connection of this build replaces an installed schema of
// `version` that release `release` installed: when it differs from this
// build's, unless a later release installed it (an older workstation must
// not take a newer one's functions away while both share the database).
bool TsqlCompatOutdated(int version, int release);

// The SQL text that creates the schema (several statements; running it
// again replaces the functions and keeps the rest). Built on first use; the
// reference stays valid for the life of the process.
const std::string& TsqlCompatSql();

// Installs or replaces the schema on `driver` (a PostgreSQL connection), in
// one transaction taken under an advisory lock, so that connections doing
// it at once wait for each other. With `only_if_changed`, a database that
// already has this version, or one of a later release, is left alone. Raises E_FAIL with the
// server's message (no right to create a schema, say); nothing is changed then. REQUIRES: no
// transaction open on `driver`.
void InstallTsqlCompat(Driver& driver, bool only_if_changed);

}  // namespace q6::postgres
