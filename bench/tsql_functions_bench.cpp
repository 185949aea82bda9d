// The cost of SQL Server's meaning: a select over 200,000 rows applying
// three T-SQL functions per row (CHARINDEX, SUBSTRING, REPLACE, translated
// into the tsql_* functions of each engine), against the same select
// written with the engine's own functions (instr / strpos, substr, replace).
// Both run through the same driver and read the same rows; the goal is a
// ratio of at most 1.5.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_pg.h"
#include "bench_util.h"
#include "platform/adodb/connection.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"

namespace {

using q6::Connection;

void Fill(Connection& con, int64_t rows) {
  // Sent as it is: through the layer the column would be case-insensitive
  // (citext on PostgreSQL), whose own functions fold case as well, which
  // would make the baseline slower than the engine's plain text functions.
  con.driver().Execute("create table tsql_rows (id integer, name varchar(60))");
  q6::bench::FillRows(
      con, "tsql_rows", rows,
      [](int64_t k) {
        char row[96];
        std::snprintf(row, sizeof row, "(%lld, 'Name %06lld of the ledger')",
                      static_cast<long long>(k), static_cast<long long>(k));
        return std::string(row);
      },
      true);
}

// The data source of `engine`, filled once; "" when PostgreSQL is not there.
const std::string& Source(q6::Engine engine, int64_t rows) {
  const q6::bench::FilledSources& s =
      q6::bench::FillSources("q6bench_tsql", [rows](Connection& con) { Fill(con, rows); });
  return engine == q6::Engine::SQLite ? s.sqlite : s.pg;
}

void Run(benchmark::State& state, q6::Engine engine) {
  const int64_t rows = q6::bench::Size(200000, 2000);
  const std::string native =
      engine == q6::Engine::SQLite
          ? "select instr(name, 'of'), substr(name, 6, 6), replace(name, 'ledger', 'book') "
            "from tsql_rows"
          : "select strpos(name, 'of'), substr(name, 6, 6), replace(name, 'ledger', 'book') "
            "from tsql_rows";
  q6::bench::CompareWithNative(
      state, engine, Source(engine, rows), rows,
      "select charindex('of', name), substring(name, 6, 6), replace(name, 'ledger', 'book') "
      "from tsql_rows",
      native, rows, 1.5);
}

void BM_TsqlFunctionsSQLite(benchmark::State& s) { Run(s, q6::Engine::SQLite); }
void BM_TsqlFunctionsPostgreSQL(benchmark::State& s) { Run(s, q6::Engine::PostgreSQL); }

BENCHMARK(BM_TsqlFunctionsSQLite)
    ->Iterations(q6::bench::Iterations(3))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TsqlFunctionsPostgreSQL)
    ->Iterations(q6::bench::Iterations(3))
    ->Unit(benchmark::kMillisecond);

}  // namespace
