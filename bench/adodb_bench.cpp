// Data access layer benchmarks.
//
// BM_FetchRecordset / BM_FetchRawSqlite: 200,000 rows of 8 columns read into
// a Recordset, against a plain sqlite3 loop copying the same values into a
// vector of Variants; BM_FetchRecordset reports its time over the raw loop's
// (measured in the same run, the raw loop first; goal <= 1.5) and its peak
// memory over the raw loop's (goal <= 2).
//
// BM_CommandRawSqlite / BM_CommandExecute: n keyed selects of one row
// ("... where id = ?", another key each time) through one prepared sqlite3
// statement, binding the key, stepping and copying the row's values out,
// against a prepared ADODB.Command executed with the key as its value,
// each execution giving a Recordset; BM_CommandExecute reports its time
// over the raw loop's (goal <= 1.1).
//
// BM_FilterMoves: n successive Filter = "K > '<current>'" moves over an
// n-row recordset ordered by K, for n = 10,000 and 100,000; the large run
// reports its time over the small run's (an O(n log n) walk gives about 10x,
// a scan per move 100x; goal <= 15).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_util.h"
#include "platform/adodb/command.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/drivers/driver.h"

namespace q6 {
namespace {

const int kFetchRows = static_cast<int>(bench::Size(200000, 2000));
const int kFilterSmall = static_cast<int>(bench::Size(10000, 100));
const int kFilterLarge = static_cast<int>(bench::Size(100000, 1000));

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> s;
  return s;
}

std::string FetchPath() {
  return (std::filesystem::temp_directory_path() /
          ("q6bench_fetch_" + std::to_string(::getpid()) + ".db"))
      .string();
}

const std::string& FetchDb() {
  static const std::string path = [] {
    std::string p = FetchPath();
    std::filesystem::remove(p);
    // Removed at exit: the file alone, no statement.
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove(FetchPath(), ec);
    });
    Connection con;
    con.Open("Driver=sqlite;Database=" + p);
    con.Execute(
        "create table t (a integer, b integer, c double precision, d double precision, "
        "e text, f text, g text, h integer)");
    con.BeginTrans();
    for (int i = 0; i < kFetchRows; ++i) {
      char sql[256];
      std::snprintf(sql, sizeof sql,
                    "insert into t values (%d, %d, %d.25, %d.5, 'name %d', 'code-%06d', "
                    "'some longer text value number %d', %d)",
                    i, i % 7, i, i, i, i, i, i % 2);
      con.Execute(sql);
    }
    con.CommitTrans();
    return p;
  }();
  return path;
}

// Every value of table t, copied out of the engine into a deque: a plain
// client collecting rows of unknown count without reallocating them.
std::deque<Variant> RawFetch(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "select * from t", -1, &st, nullptr);
  std::deque<Variant> cells;
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 0; c < 8; ++c) {
      switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER:
          cells.emplace_back(static_cast<int32_t>(sqlite3_column_int64(st, c)));
          break;
        case SQLITE_FLOAT:
          cells.emplace_back(sqlite3_column_double(st, c));
          break;
        case SQLITE_NULL:
          cells.emplace_back(NullValue{});
          break;
        default:
          cells.emplace_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                         static_cast<size_t>(sqlite3_column_bytes(st, c))));
      }
    }
  }
  sqlite3_finalize(st);
  return cells;
}

void BM_FetchRawSqlite(benchmark::State& state) {
  bench::Label(state, "SQLite", kFetchRows);
  sqlite3* db = nullptr;
  sqlite3_open_v2(FetchDb().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    std::deque<Variant> cells = RawFetch(db);
    benchmark::DoNotOptimize(cells.back());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Seconds()["raw_bytes"] = bench::PeakBytes([&] { benchmark::DoNotOptimize(RawFetch(db)); });
  sqlite3_close(db);
  Seconds()["raw"] = total / static_cast<double>(state.iterations());
}

void BM_FetchRecordset(benchmark::State& state) {
  bench::Label(state, "SQLite", kFetchRows);
  auto con = std::make_shared<Connection>();
  con->Open("Driver=sqlite;Database=" + FetchDb());
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    auto rs = con->Execute("select * from t");
    benchmark::DoNotOptimize(rs->RecordCount());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  double mine = total / static_cast<double>(state.iterations());
  const double bytes =
      bench::PeakBytes([&] { benchmark::DoNotOptimize(con->Execute("select * from t")); });
  if (Seconds().count("raw")) {
    bench::ReportTime(state, mine, Seconds()["raw"], 1.2);
    bench::ReportMemory(state, bytes, Seconds()["raw_bytes"], 1.2);
  }
}

const int kKeyedRows = 1000;
const int kKeyedSelects = static_cast<int>(bench::Size(20000, 200));
constexpr const char* kKeyedSelect = "select id, name, amount from k where id = ?";

// A database of `kKeyedRows` rows keyed by id, made once.
const std::string& KeyedDb() {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() /
                     ("q6bench_keyed_" + std::to_string(::getpid()) + ".db"))
                        .string();
    std::filesystem::remove(p);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove(KeyedDb(), ec);
    });
    Connection con;
    con.Open("Driver=sqlite;Database=" + p);
    con.Execute("create table k (id integer primary key, name text, amount double precision)");
    con.BeginTrans();
    for (int i = 0; i < kKeyedRows; ++i)
      con.Execute("insert into k values (" + std::to_string(i) + ", 'name " + std::to_string(i) +
                  "', " + std::to_string(i) + ".5)");
    con.CommitTrans();
    return p;
  }();
  return path;
}

void BM_CommandRawSqlite(benchmark::State& state) {
  bench::Label(state, "SQLite", kKeyedSelects);
  sqlite3* db = nullptr;
  sqlite3_open_v2(KeyedDb().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "select id, name, amount from k where id = ?1", -1, &st, nullptr);
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kKeyedSelects; ++i) {
      sqlite3_bind_int64(st, 1, i % kKeyedRows);
      std::vector<Variant> row;
      while (sqlite3_step(st) == SQLITE_ROW) {
        row.emplace_back(static_cast<int32_t>(sqlite3_column_int64(st, 0)));
        row.emplace_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                     static_cast<size_t>(sqlite3_column_bytes(st, 1))));
        row.emplace_back(sqlite3_column_double(st, 2));
      }
      sqlite3_reset(st);
      benchmark::DoNotOptimize(row.data());
    }
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  Seconds()["keyed_raw"] = total / static_cast<double>(state.iterations());
}

void BM_CommandExecute(benchmark::State& state) {
  bench::Label(state, "SQLite", kKeyedSelects);
  auto con = std::make_shared<Connection>();
  con->Open("Driver=sqlite;Database=" + KeyedDb());
  auto cmd = std::make_shared<Command>();
  cmd->PutActiveConnection(Variant(con));
  cmd->PutCommandText(kKeyedSelect);
  cmd->PutPrepared(true);
  std::vector<Variant> key(1);
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kKeyedSelects; ++i) {
      key[0] = Variant(int32_t{i % kKeyedRows});
      auto rs = cmd->Execute(nullptr, &key);
      benchmark::DoNotOptimize(rs->RecordCount());
    }
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  if (Seconds().count("keyed_raw"))
    bench::ReportTime(state, total / static_cast<double>(state.iterations()),
                      Seconds()["keyed_raw"], 1.1);
}

// A recordset of `n` rows with text keys in ascending order.
std::shared_ptr<Recordset> OrderedKeys(int n) {
  ResultSet r;
  r.has_rows = true;
  r.columns = {ColumnInfo{"K", "TEXT", kAdVarWChar}};
  r.cells.reserve(n);
  char key[32];
  for (int i = 0; i < n; ++i) {
    std::snprintf(key, sizeof key, "K%08d", i);
    r.cells.emplace_back(std::string(key));
  }
  r.row_count = static_cast<size_t>(n);
  auto rs = std::make_shared<Recordset>();
  rs->Attach(std::move(r));
  return rs;
}

void BM_FilterMoves(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  bench::Label(state, "-", n);
  auto rs = OrderedKeys(n);
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    rs->PutFilter(Variant(""));
    int moves = 0;
    while (!rs->EOF()) {
      std::string current = rs->Field("K").ToString();
      rs->PutFilter(Variant("K > '" + current + "'"));
      ++moves;
    }
    if (moves != n) state.SkipWithError("the walk did not visit every row");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  double per = total / static_cast<double>(state.iterations());
  Seconds()["filter" + std::to_string(n)] = per;
  const std::string small = "filter" + std::to_string(kFilterSmall);
  if (n == kFilterLarge && Seconds().count(small))
    bench::ReportScaling(state, per, Seconds()[small], kFilterSmall, 15.0);
}

BENCHMARK(BM_FetchRawSqlite)->Unit(benchmark::kMillisecond)->Iterations(bench::Iterations(5));
BENCHMARK(BM_FetchRecordset)->Unit(benchmark::kMillisecond)->Iterations(bench::Iterations(5));
BENCHMARK(BM_CommandRawSqlite)->Unit(benchmark::kMillisecond)->Iterations(bench::Iterations(5));
BENCHMARK(BM_CommandExecute)->Unit(benchmark::kMillisecond)->Iterations(bench::Iterations(5));
BENCHMARK(BM_FilterMoves)
    ->Arg(kFilterSmall)
    ->Arg(kFilterLarge)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::Iterations(3));

}  // namespace
}  // namespace q6
