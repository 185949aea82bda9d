// Data access layer benchmarks.
//
// BM_FetchRecordset / BM_FetchRawSqlite: 200,000 rows of 8 columns read into
// a Recordset, against a plain sqlite3 loop copying the same values into a
// vector of Variants; the counter "ratio" of the first is its time over the
// raw loop's (measured in the same run, the raw loop first).
//
// BM_FilterMoves: n successive Filter = "K > '<current>'" moves over an
// n-row recordset ordered by K, for n = 10,000 and 100,000; the counter
// "ratio_vs_10k" of the large run is its time over the small run's (an
// O(n log n) walk gives about 10x, a scan per move 100x).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"

namespace q6 {
namespace {

constexpr int kFetchRows = 200000;

std::map<std::string, double>& Seconds() {
  static std::map<std::string, double> s;
  return s;
}

const std::string& FetchDb() {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() /
                     ("q6bench_fetch_" + std::to_string(::getpid()) + ".db"))
                        .string();
    std::filesystem::remove(p);
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

void BM_FetchRawSqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(FetchDb().c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  double total = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select * from t", -1, &st, nullptr);
    std::vector<Variant> cells;
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
            cells.emplace_back(
                std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                            static_cast<size_t>(sqlite3_column_bytes(st, c))));
        }
      }
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(cells.data());
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  sqlite3_close(db);
  Seconds()["raw"] = total / static_cast<double>(state.iterations());
}

void BM_FetchRecordset(benchmark::State& state) {
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
  if (Seconds().count("raw")) state.counters["ratio"] = mine / Seconds()["raw"];
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
  if (n == 100000 && Seconds().count("filter10000"))
    state.counters["ratio_vs_10k"] = per / Seconds()["filter10000"];
}

BENCHMARK(BM_FetchRawSqlite)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FetchRecordset)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FilterMoves)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace q6
