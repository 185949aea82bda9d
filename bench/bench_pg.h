// PostgreSQL clean-up for benchmarks that work in a schema of their own.
//
// A benchmark's databases are usually dropped when the program exits. By
// then the system's own statics (the dialect's per-thread working copies,
// the connection pool) may already be destroyed, so no statement may go
// through a q6::Connection at exit: the schemas are dropped straight through
// libpq instead.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/datasource/engine.h"

namespace q6 {
class Connection;
}

namespace q6::bench {

// Drops `schema` (and everything in it) on the PostgreSQL server of the
// data-source text `source` when the program exits. Call it once the schema
// exists, from the process that created it; forked workers that exit with
// _exit() never run it. Raises ComError when `source` cannot be resolved.
// Failures at exit are ignored (the server may be gone already).
void DropSchemaAtExit(const std::string& source, const std::string& schema);

// The data sources of a benchmark that reads tables of its own: a SQLite
// file (in /dev/shm when there is one, removed at exit) and a PostgreSQL
// schema on Q6FD_TEST_PG (the compatibility schema installed, dropped at
// exit), both named `tag`_<pid> and each filled by `fill` once, on the
// first call. `pg` is "" when Q6FD_TEST_PG is not set.
struct FilledSources {
  std::string sqlite;
  std::string pg;
};
const FilledSources& FillSources(const std::string& tag,
                                 const std::function<void(Connection&)>& fill);

// Rows [0, rows) of `table` in inserts of 1,000 rows, in one transaction,
// each row's values (the parenthesized list) from `row(k)`; sent to the
// engine as written, or translated from T-SQL first when `translate`.
void FillRows(Connection& con, const std::string& table, int64_t rows,
              const std::function<std::string(int64_t)>& row, bool translate = false);

// A statement written for SQL Server, translated for `engine`, against
// `native`, the same statement written for the engine, on `source` (a data
// source of FillSources, `rows` rows): skips when `source` is "" (no
// PostgreSQL); runs `check` (when given) with the translated text and skips
// with the text it returns, if any; runs each statement once untimed (the
// first reads of fresh rows do the engine's own upkeep, such as
// PostgreSQL's hint bits, which would fall on whichever ran first); then
// times both in turns (TimeInTurns; `want` rows, -1 for any) and reports
// their ratio against `target`.
using TranslationCheck = std::function<std::string(Connection&, const std::string&)>;
void CompareWithNative(benchmark::State& state, Engine engine, const std::string& source,
                       int64_t rows, const std::string& tsql, const std::string& native,
                       int64_t want, double target, const TranslationCheck& check = {});

}  // namespace q6::bench
