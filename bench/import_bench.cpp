// Import benchmark.
//
// BM_ImportBcp: a generated script creating one table of 8 columns (int key,
// two texts, decimal, datetime, int, float, bit) and a bcp character export
// of 1,000,000 rows for it (5,000 in quick mode), imported with q6fd's
// import (files read, every value checked, then written), against the
// engine's own bulk path on the same rows already in memory: SQLite
// prepared inserts in one transaction, PostgreSQL COPY FROM STDIN. Reports
// import rate over the baseline's rate (goal >= 0.5). Both run in the same
// iteration, the baseline first; files and databases live on tmpfs when
// there is one.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_pg.h"
#include "bench_util.h"
#include "import/importer.h"
#include "platform/adodb/connection.h"
#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/pg_driver.h"

namespace q6 {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const int64_t kRows = bench::Size(1000000, 5000);

const fs::path& Folder() {
  static const fs::path folder = [] {
    fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path f = base / ("q6importbench." + std::to_string(::getpid()));
    fs::create_directories(f);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(Folder(), ec);
    });
    return f;
  }();
  return folder;
}

using Rows = std::vector<std::vector<std::string>>;

// The rows as fields of text; the files holding them are written the first
// time. Made afresh for each benchmark and dropped after it: a million rows
// kept for the whole run would sit in every worker the later benchmarks
// fork, and slow those down.
Rows MakeRows() {
  static bool written = false;
  Rows out;
  out.reserve(kRows);
  std::ofstream dat;
  if (!written) dat.open(Folder() / "big.dat", std::ios::binary);
  for (int64_t i = 1; i <= kRows; ++i) {
    char date[32], amount[32], rate[32];
    std::snprintf(date, sizeof date, "20%02d-%02d-%02d 10:%02d:%02d.000", int(i % 30),
                  int(i % 12 + 1), int(i % 28 + 1), int(i % 60), int(i / 60 % 60));
    std::snprintf(amount, sizeof amount, "%lld.%02d", static_cast<long long>(i * 7 % 100000),
                  int(i % 100));
    std::snprintf(rate, sizeof rate, "%.6g", static_cast<double>(i % 1000) / 7.0);
    out.push_back({std::to_string(i), "C" + std::to_string(i % 9973),
                   i % 5 ? "客户 " + std::to_string(i % 1000) : "", amount, date,
                   std::to_string(i % 500), rate, i % 2 ? "1" : "0"});
    const auto& r = out.back();
    if (!written)
      for (size_t c = 0; c < r.size(); ++c) dat << r[c] << (c + 1 < r.size() ? "\t" : "\r\n");
  }
  if (written) return out;
  written = true;
  std::ofstream(Folder() / "big.sql")
      << "CREATE TABLE [dbo].[big]([id] [int] NOT NULL, [code] [nvarchar](20) NULL,\n"
         " [name] [nvarchar](60) NULL, [amount] [decimal](18, 2) NULL, [posted] [datetime] "
         "NULL,\n [qty] [int] NULL, [rate] [float] NULL, [ok] [bit] NULL,\n"
         " CONSTRAINT [PK_big] PRIMARY KEY CLUSTERED ([id] ASC)) ON [PRIMARY]\nGO\n";
  std::ofstream fmt(Folder() / "big.fmt");
  const char* names[] = {"id", "code", "name", "amount", "posted", "qty", "rate", "ok"};
  fmt << "14.0\n8\n";
  for (int c = 0; c < 8; ++c)
    fmt << c + 1 << " SQLCHAR 0 100 \"" << (c < 7 ? "\\t" : "\\r\\n") << "\" " << c + 1 << " "
        << names[c] << " \"\"\n";
  return out;
}

// Empty fields are NULL in the export; the baselines load them as NULL too.
constexpr const char* kCreate =
    "create table big (id integer not null primary key, code %s, name %s, amount numeric(18,2), "
    "posted varchar(34), qty integer, rate %s, ok integer)";

double SqliteBaseline(const Rows& rows, const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "pragma journal_mode=wal", nullptr, nullptr, nullptr);
  char create[300];
  std::snprintf(create, sizeof create, kCreate, "text collate nocase", "text collate nocase",
                "real");
  sqlite3_exec(db, create, nullptr, nullptr, nullptr);
  auto start = Clock::now();
  sqlite3_exec(db, "begin", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "insert into big values (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", -1, &st,
                     nullptr);
  for (const auto& r : rows) {
    sqlite3_bind_int64(st, 1, std::atoll(r[0].c_str()));
    for (int c : {1, 2, 3, 4}) {
      if (r[c].empty())
        sqlite3_bind_null(st, c + 1);
      else
        sqlite3_bind_text(st, c + 1, r[c].data(), int(r[c].size()), SQLITE_STATIC);
    }
    sqlite3_bind_int64(st, 6, std::atoll(r[5].c_str()));
    sqlite3_bind_double(st, 7, std::atof(r[6].c_str()));
    sqlite3_bind_int64(st, 8, std::atoll(r[7].c_str()));
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  double s = std::chrono::duration<double>(Clock::now() - start).count();
  sqlite3_close(db);
  return s;
}

double PgBaseline(const Rows& rows, const std::string& dsn) {
  PGconn* c = PQconnectdb(postgres::PgDriver::ConnInfo(ResolveDataSource(dsn)).c_str());
  char create[300];
  std::snprintf(create, sizeof create, kCreate, "citext", "citext", "double precision");
  // The system's import of the previous repetition left its own table big.
  PQclear(PQexec(c, "drop table if exists big"));
  PQclear(PQexec(c, create));
  std::string buf;
  auto start = Clock::now();
  PQclear(PQexec(c, "begin"));
  PGresult* copy = PQexec(c, "copy big from stdin");
  if (PQresultStatus(copy) != PGRES_COPY_IN) {
    PQclear(copy);
    PQfinish(c);
    return -1;
  }
  PQclear(copy);
  for (const auto& r : rows) {
    for (size_t i = 0; i < r.size(); ++i) {
      buf += r[i].empty() ? "\\N" : r[i];
      buf += i + 1 < r.size() ? '\t' : '\n';
    }
    if (buf.size() > (1 << 20)) PQputCopyData(c, buf.data(), int(buf.size())), buf.clear();
  }
  PQputCopyData(c, buf.data(), int(buf.size()));
  PQputCopyEnd(c, nullptr);
  bool loaded = true;
  while (PGresult* r = PQgetResult(c)) {
    loaded = loaded && PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
  }
  PGresult* done = PQexec(c, "commit");
  loaded = loaded && PQresultStatus(done) == PGRES_COMMAND_OK;
  PQclear(done);
  double s = loaded ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
  PQclear(PQexec(c, "drop table big"));
  PQfinish(c);
  return s;
}

void BM_ImportBcp(benchmark::State& state) {
  bool pg = state.range(0) == 1;
  std::string dsn;
  if (pg) {
    const char* env = std::getenv("Q6FD_TEST_PG");
    if (!env || !*env) return state.SkipWithError("Q6FD_TEST_PG is not set");
    std::string schema = "q6importbench_" + std::to_string(::getpid());
    Connection admin;
    admin.Open(env);
    admin.Execute("create schema if not exists " + schema);
    bench::DropSchemaAtExit(env, schema);
    dsn = std::string(env) + ";Schema=" + schema;
  }
  const Rows rows = MakeRows();
  const std::vector<std::string> files = {(Folder() / "big.sql").string(),
                                          (Folder() / "big.dat").string()};
  double system_s = 0, baseline_s = 0;
  int n = 0;
  for (auto _ : state) {
    std::string db = (Folder() / ("run" + std::to_string(n++) + ".db")).string();
    const double base =
        pg ? PgBaseline(rows, dsn) : SqliteBaseline(rows, (Folder() / "base.db").string());
    if (base < 0) return state.SkipWithError("the baseline did not load every row");
    baseline_s += base;
    fs::remove(Folder() / "base.db");
    Connection con;
    con.Open(pg ? dsn : "Driver=sqlite;Database=" + db);
    import::ImportOptions opt;
    opt.replace = true;
    auto start = Clock::now();
    import::ImportReport r = import::Import(con, files, opt);
    double s = std::chrono::duration<double>(Clock::now() - start).count();
    if (!r.ok() || r.tables.empty() || r.tables[0].rows != kRows)
      return state.SkipWithError("the import did not load every row");
    system_s += s;
    state.SetIterationTime(s);
    con.Close();
    fs::remove(db);
  }
  bench::Label(state, pg ? "PostgreSQL" : "SQLite", kRows);
  bench::ReportThroughput(state, system_s, baseline_s, 0.5);
}
void BM_ImportScriptMemory(benchmark::State& state) {
  const int64_t rows = bench::Size(600000, 5000);
  const fs::path script = Folder() / "rows.sql";
  {
    std::ofstream out(script, std::ios::binary);
    out << "CREATE TABLE [dbo].[rows]([id] [int] NOT NULL, [name] [nvarchar](60) NULL,\n"
           " [amount] [decimal](18, 2) NULL, [posted] [datetime] NULL)\nGO\n"
           "SET IDENTITY_INSERT [dbo].[rows] ON\n";
    for (int64_t i = 1; i <= rows; ++i)
      out << "INSERT [dbo].[rows] ([id], [name], [amount], [posted]) VALUES (" << i << ", N'客户 "
          << i % 1000 << "', CAST(" << i % 100000
          << ".25 AS Decimal(18, 2)), CAST(N'2021-03-04T05:06:07.000' AS DateTime))\n";
    out << "SET IDENTITY_INSERT [dbo].[rows] OFF\nGO\n";
  }
  const double file_bytes = static_cast<double>(fs::file_size(script));
  double peak = 0, seconds = 0;
  for (auto _ : state) {
    const std::string db = (Folder() / "rows.db").string();
    Connection con;
    con.Open("Driver=sqlite;Database=" + db);
    import::ImportReport r;
    auto start = Clock::now();
    peak = bench::PeakBytes([&] { r = import::Import(con, {script.string()}, {}); });
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    con.Close();
    fs::remove(db);
    if (!r.ok() || r.tables.empty() || r.tables[0].rows != rows)
      return state.SkipWithError("the import did not load every row");
  }
  fs::remove(script);
  bench::Label(state, "SQLite", rows);
  bench::ReportBudget(state, seconds, 600);
  bench::ReportMemory(state, peak, file_bytes, 0.25);
}
BENCHMARK(BM_ImportScriptMemory)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

BENCHMARK(BM_ImportBcp)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace
}  // namespace q6
