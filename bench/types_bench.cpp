// The cost of SQL Server's types on the engines:
// - SUM and AVG over 1,000,000 decimal(18,2) values on SQLite, kept exact
//   (the stored form of sqlite_exact.h and the exact aggregates), against
//   the engine's own SUM and AVG of the same values in a float column; the
//   goal is a ratio of at most 2.
// - A one-day range of a datetime column of 200,000 rows, written in T-SQL
//   and translated, against the same statement written natively, on both
//   engines; the goal is a ratio of at most 1.2. Before timing, the plan of
//   the translated statement must use the column's index (EXPLAIN), or the
//   benchmark fails.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_pg.h"
#include "bench_util.h"
#include "platform/adodb/connection.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"

namespace {

using q6::Connection;
using q6::Engine;

// Runs `tsql`, translated for the connection's engine.
void RunTsql(Connection& con, const std::string& tsql) {
  con.driver().Execute(q6::TranslateSql(tsql, con.driver().engine()));
}

// --- Exact decimals on SQLite ------------------------------------------------

const std::string& DecimalSource(int64_t rows) {
  return q6::bench::FillSources(
             "q6bench_decimal",
             [rows](Connection& con) {
               RunTsql(con,
                       "create table dec_rows (id int primary key, amount decimal(18,2), f float)");
               q6::bench::FillRows(
                   con, "dec_rows", rows,
                   [](int64_t k) {
                     char v[24];
                     std::snprintf(v, sizeof v, "%lld.%02lld", static_cast<long long>(k % 100000),
                                   static_cast<long long>(k % 100));
                     return "(" + std::to_string(k) + ", " + v + ", " + v + ")";
                   },
                   true);
             })
      .sqlite;
}

// `exact` through the layer against `floating` written for the engine.
void RunDecimal(benchmark::State& state, const char* exact, const char* floating) {
  const int64_t rows = q6::bench::Size(1000000, 10000);
  q6::bench::Label(state, "SQLite", rows);
  Connection con;
  con.Open(DecimalSource(rows));
  double system_s = 0, baseline_s = 0;
  if (q6::bench::TimeInTurns(state, con.driver(), q6::TranslateSql(exact, Engine::SQLite).native,
                             floating, 1, &system_s, &baseline_s))
    q6::bench::ReportTime(state, system_s, baseline_s, 2.0);
}

void BM_TypesDecimalSumSQLite(benchmark::State& s) {
  RunDecimal(s, "select sum(amount) from dec_rows", "select sum(f) from dec_rows");
}
void BM_TypesDecimalAvgSQLite(benchmark::State& s) {
  RunDecimal(s, "select avg(amount) from dec_rows", "select avg(f) from dec_rows");
}

BENCHMARK(BM_TypesDecimalSumSQLite)
    ->Iterations(q6::bench::Iterations(5))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypesDecimalAvgSQLite)
    ->Iterations(q6::bench::Iterations(5))
    ->Unit(benchmark::kMillisecond);

// --- Date ranges on both engines ---------------------------------------------

// Rows evenly apart from 2024-01-01 over 365 days: 200,000 of them 157
// seconds apart, about 550 a day.
const std::string& DateSource(Engine engine, int64_t rows) {
  const q6::bench::FilledSources& s =
      q6::bench::FillSources("q6bench_dates", [rows](Connection& con) {
        RunTsql(con, "create table dated_rows (id int primary key, at datetime)");
        RunTsql(con, "create index dated_rows_at on dated_rows (at)");
        q6::bench::FillRows(
            con, "dated_rows", rows,
            [rows](int64_t k) {
              const int64_t secs = k * (365 * 86400 / rows);
              const int64_t day = secs / 86400, rest = secs % 86400;
              // Day numbers of 2024 to month and day (a leap year).
              static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
              int month = 0;
              int64_t d = day % 366;
              while (d >= kDays[month]) d -= kDays[month++];
              char v[64];
              std::snprintf(v, sizeof v, "(%lld, '2024-%02d-%02lld %02lld:%02lld:%02lld')",
                            static_cast<long long>(k), month + 1, static_cast<long long>(d + 1),
                            static_cast<long long>(rest / 3600),
                            static_cast<long long>(rest / 60 % 60),
                            static_cast<long long>(rest % 60));
              return std::string(v);
            },
            true);
        if (con.driver().engine() == Engine::PostgreSQL) con.driver().Execute("analyze dated_rows");
      });
  return engine == Engine::SQLite ? s.sqlite : s.pg;
}

constexpr const char* kRangeTsql =
    "select id, at from dated_rows where at >= '2024-03-05' and at < '2024-03-06'";
constexpr const char* kRangeNative =
    "select id, at from dated_rows where at >= '2024-03-05' and at < '2024-03-06'";

// Whether the plan of `sql` reads dated_rows through its index.
bool UsesIndex(Connection& con, const std::string& sql) {
  const bool sqlite = con.driver().engine() == Engine::SQLite;
  const q6::ResultSet plan =
      con.driver().Execute((sqlite ? "explain query plan " : "explain ") + sql);
  for (size_t i = 0; i < plan.cells.size(); ++i)
    if (plan.cells[i].ToString().find("dated_rows_at") != std::string::npos) return true;
  return false;
}

void RunRange(benchmark::State& state, Engine engine) {
  const int64_t rows = q6::bench::Size(200000, 2000);
  q6::bench::CompareWithNative(
      state, engine, DateSource(engine, rows), rows, kRangeTsql, kRangeNative, -1, 1.2,
      [](Connection& con, const std::string& tsql) {
        return UsesIndex(con, tsql) ? std::string()
                                    : "the translated range does not use the index: " + tsql;
      });
}

void BM_TypesDateRangeSQLite(benchmark::State& s) { RunRange(s, Engine::SQLite); }
void BM_TypesDateRangePostgreSQL(benchmark::State& s) { RunRange(s, Engine::PostgreSQL); }

BENCHMARK(BM_TypesDateRangeSQLite)
    ->Iterations(q6::bench::Iterations(200))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypesDateRangePostgreSQL)
    ->Iterations(q6::bench::Iterations(200))
    ->Unit(benchmark::kMillisecond);

}  // namespace
