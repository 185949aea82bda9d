// The console's records page (q6fd serve, /records): the whole page as the
// server makes it (the type loaded by LoadEOMetaData, 20 records read by
// MoveTo steps, the HTML) for a table of the smallest and of the largest
// scaling size: 1,000 and 100,000 records (1,000,000 with
// Q6_BENCH_LARGE=1; 100 and 1,000 in quick mode).
//
// Each iteration makes three pages on each table in turn: the first, one
// starting at the middle record (where a page reached by skipping rows
// would cost most) and the last. Judged: the time of a page of the larger
// table against a page of the smaller, <= 1.2 (paging must not depend on
// the table's size).
//
// SQLite runs on a file on tmpfs when there is one; PostgreSQL on the server
// named by Q6FD_TEST_PG, a schema per size, dropped at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "bench_pg.h"
#include "bench_util.h"
#include "component/frame/data_manager.h"
#include "console/page.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/schema/schema.h"

namespace {

using q6::Variant;
using Clock = std::chrono::steady_clock;

const char* const kColumns[] = {"oid", "code", "book_name", "amount", "memo"};

std::string Key(int64_t i) {
  char key[32];
  std::snprintf(key, sizeof key, "51%013lld", static_cast<long long>(i));
  return key;
}

// A database of engine `e` (0 SQLite, 1 PostgreSQL) with the metadata
// tables, document type 51 on table fd_page and `n` records in it; "" when
// PostgreSQL is not configured. Made once per engine and size.
std::string Database(int e, int64_t n) {
  static std::map<std::pair<int, int64_t>, std::string> made;
  auto it = made.find({e, n});
  if (it != made.end()) return it->second;
  std::string dsn;
  if (e == 0) {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    static const std::filesystem::path folder =
        base / ("q6consolebench." + std::to_string(::getpid()));
    static const bool cleaned = [] {
      std::filesystem::create_directories(folder);
      std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
      });
      return true;
    }();
    (void)cleaned;
    dsn = "Driver=sqlite;Database=" + (folder / ("p" + std::to_string(n) + ".db")).string();
  } else {
    const char* pg = std::getenv("Q6FD_TEST_PG");
    if (!pg || !*pg) return "";
    const std::string schema =
        "q6consolebench_" + std::to_string(::getpid()) + "_" + std::to_string(n);
    {
      q6::Connection admin;
      admin.Open(pg);
      admin.Execute("create schema " + schema);
    }
    q6::bench::DropSchemaAtExit(pg, schema);
    dsn = std::string(pg) + ";Schema=" + schema;
  }
  q6::InitDataSource(dsn);
  {
    q6::Connection con;
    con.Open(dsn);
    con.Execute(
        "create table fd_page (oid varchar(20) primary key, code varchar(20), book_name "
        "varchar(40), amount integer, memo varchar(60))");
    con.BeginTrans();
    std::string sql;
    char row[160];
    for (int64_t i = 1; i <= n; ++i) {
      if (sql.empty()) sql = "insert into fd_page values ";
      std::snprintf(row, sizeof row, "('%s', 'C%08lld', NULL, %lld, 'memo of record %lld')",
                    Key(i).c_str(), static_cast<long long>(i), static_cast<long long>(i % 1000),
                    static_cast<long long>(i));
      sql += row;
      if (i % 500 == 0 || i == n) {
        con.Execute(sql);
        sql.clear();
      } else {
        sql += ",";
      }
    }
    con.CommitTrans();
    con.Execute((e == 1 ? "vacuum analyze " : "analyze ") + std::string("fd_page"));
    // The pages the fill wrote moved out of the write-ahead log now, not
    // read through it (SQLite) or flushed by a checkpoint in the middle of
    // the measurement (PostgreSQL; needs a role allowed to).
    try {
      con.Execute(e == 1 ? "checkpoint" : "PRAGMA wal_checkpoint(TRUNCATE)");
    } catch (const std::exception&) {
    }
  }
  // The type's definition, saved as a designer saves it.
  auto eo = q6::NewEntityObject();
  eo->SetBIType(Variant(int32_t{51}));
  eo->SetID(Variant(int32_t{51}));
  eo->SetName(Variant("page"));
  eo->SetCaption(Variant("page"));
  eo->SetSourceTable(Variant("fd_page"));
  eo->SetOIDSourceField(Variant("oid"));
  eo->SetEditState(Variant(int32_t{q6::kEditStateNew}));
  int32_t row_no = 0;
  for (const char* c : kColumns) {
    auto f = q6::NewEntityField();
    f->SetName(Variant(c));
    f->SetCaption(Variant(c));
    f->SetSourceField(Variant(c));
    f->SetRow(Variant(++row_no));
    f->SetID(Variant(int32_t{5100} + row_no));
    f->SetEntityID(Variant(int32_t{51}));
    f->SetIsUsed(Variant(true));
    eo->Fields()->Add(f);
  }
  q6::DataManager dm;
  Variant d(dsn);
  q6::ObjectRef e_ref = eo;
  bool only_eo = false, set_child = false;
  if (!dm.SaveEOMetaData(d, e_ref, only_eo, set_child)) return "";
  made[{e, n}] = dsn;
  return dsn;
}

// The time of one records page (the first, the middle and the last in
// turn) of the database `dsn` of `n` records, added to `total`.
class PageRun {
 public:
  PageRun(const std::string& dsn, int64_t n)
      : sources_({dsn}), ctx_{sources_, false, "csrf", ""}, middle_(Key(n / 2)) {}

  // Makes the three pages; false when the middle one misses its record.
  bool Run(double& total) {
    const q6::console::Params pages[] = {
        {{"ds", "0"}, {"type", "51"}, {"start", "first"}},
        {{"ds", "0"}, {"type", "51"}, {"start", "at"}, {"from", middle_}},
        {{"ds", "0"}, {"type", "51"}, {"start", "last"}},
    };
    bool ok = true;
    for (const auto& p : pages) {
      auto t = Clock::now();
      std::string html = q6::console::RecordsPage(ctx_, p);
      total += std::chrono::duration<double>(Clock::now() - t).count();
      if (&p == &pages[1]) ok = html.find(middle_) != std::string::npos;
      benchmark::DoNotOptimize(html.data());
    }
    return ok;
  }

 private:
  q6::console::DataSources sources_;
  q6::console::PageContext ctx_;
  std::string middle_;
};

void BM_ConsoleRecordsPage(benchmark::State& state) {
  const int e = static_cast<int>(state.range(0));
  const auto sizes = q6::bench::ScalingSizes();
  const int64_t small = sizes.front(), large = sizes.back();
  q6::bench::Label(state, e == 0 ? "SQLite" : "PostgreSQL", large);
  const std::string small_dsn = Database(e, small), large_dsn = Database(e, large);
  if (small_dsn.empty() || large_dsn.empty())
    return state.SkipWithError("no database (Q6FD_TEST_PG not set?)");
  PageRun small_run(small_dsn, small), large_run(large_dsn, large);
  // Both tables in turn, so that a change of the machine's load falls on
  // both alike.
  double small_s = 0, large_s = 0;
  for (auto _ : state) {
    if (!small_run.Run(small_s) || !large_run.Run(large_s))
      state.SkipWithError("a middle page misses its first record");
  }
  const double pages = 3.0 * static_cast<double>(state.iterations());
  q6::bench::ReportStep(state, large_s / pages);
  q6::bench::ReportTime(state, large_s / pages, small_s / pages, 1.2);
}

BENCHMARK(BM_ConsoleRecordsPage)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(q6::bench::Iterations(30));

}  // namespace

BENCHMARK_MAIN();
