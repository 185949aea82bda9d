// Opening a connection: ADODB.Connection.Open of a data-source name, its
// first statement (one keyed row read back) and Close, against the engine's
// own client library connecting to the same database, running the same
// query and closing (sqlite3_open_v2 + prepare + step + close; PQconnectdb
// with the same session settings + PQexec + PQfinish).
//
// The name is a section of an ini file of the run's own (Q6FD_DSN_FILE, set
// before anything reads it), so the component resolves it as an application
// does. Both sides take turns (component, raw, raw, component, a quarter of
// the opens each), in one process. Judged: time per open at most 1.2x the
// raw client's.
//
// SQLite runs on a file in the run's temporary folder; PostgreSQL on the
// server named by Q6FD_TEST_PG, in a schema of its own, dropped at exit.
#include <benchmark/benchmark.h>
#include <postgresql/libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_pg.h"
#include "bench_util.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/fields.h"
#include "platform/adodb/recordset.h"
#include "platform/datasource/data_source.h"
#include "platform/drivers/postgres/pg_driver.h"

namespace q6 {
namespace {

constexpr const char* kQuery = "select v from t where k = 1";
constexpr const char* kValue = "first";

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The run's ini file, with a section per engine the run has: "benchlite"
// and, with Q6FD_TEST_PG, "benchpg". Each database holds table t with the
// row the first statement reads. Made on first use, before any data source
// is resolved in this process.
struct Names {
  bool pg = false;
  std::string sqlite_path;
};
const Names& Setup() {
  static const Names names = [] {
    Names n;
    const auto dir =
        std::filesystem::temp_directory_path() / ("q6bench_connect_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                      ("q6bench_connect_" + std::to_string(::getpid())),
                                  ec);
    });
    n.sqlite_path = (dir / "connect.db").string();
    std::ofstream ini(dir / "q6fd.ini");
    ini << "[benchlite]\nDriver=sqlite\nDatabase=" << n.sqlite_path << "\n";
    const char* pg = std::getenv("Q6FD_TEST_PG");
    std::string schema;
    if (pg && *pg) {
      schema = "q6bench_connect_" + std::to_string(::getpid());
      DataSource ds = ResolveDataSource(pg);
      ini << "[benchpg]\nDriver=postgresql\nServer=" << ds.server << "\nPort=" << ds.port
          << "\nDatabase=" << ds.database << "\nUID=" << ds.uid << "\nSchema=" << schema << "\n";
      if (!ds.pwd.empty()) ini << "PWD=" << ds.pwd << "\n";
    }
    ini.close();
    ::setenv("Q6FD_DSN_FILE", (dir / "q6fd.ini").c_str(), 1);
    auto fill = [](const std::string& name) {
      Connection con;
      con.Open(name);
      con.Execute("create table t (k integer primary key, v varchar(20))");
      con.Execute(std::string("insert into t values (1, '") + kValue + "')");
    };
    fill("benchlite");
    if (!schema.empty()) {
      {
        Connection admin;
        admin.Open(pg);
        admin.Execute("create schema " + schema);
      }
      bench::DropSchemaAtExit(pg, schema);
      fill("benchpg");
      n.pg = true;
    }
    return n;
  }();
  return names;
}

// One open, first statement and close through the component.
bool ComponentOpen(const std::string& name) {
  Connection con;
  con.Open(name);
  auto rs = con.Execute(kQuery);
  const bool ok =
      !rs->EOF() && rs->Fields()->Item(Variant(int32_t{0}))->Value().ToString() == kValue;
  con.Close();
  return ok;
}

bool RawSqliteOpen(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK;
  sqlite3_stmt* st = nullptr;
  ok = ok && sqlite3_prepare_v2(db, kQuery, -1, &st, nullptr) == SQLITE_OK &&
       sqlite3_step(st) == SQLITE_ROW &&
       std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == kValue;
  sqlite3_finalize(st);
  sqlite3_close(db);
  return ok;
}

bool RawPostgresOpen(const std::string& conninfo) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  bool ok = PQstatus(c) == CONNECTION_OK;
  if (ok) {
    PGresult* r = PQexec(c, kQuery);
    ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1 &&
         std::string(PQgetvalue(r, 0, 0)) == kValue;
    PQclear(r);
  }
  PQfinish(c);
  return ok;
}

void BM_ConnectionOpen(benchmark::State& state) {
  const bool pg = state.range(0) == 1;
  bench::Label(state, pg ? "PostgreSQL" : "SQLite");
  const Names& names = Setup();
  if (pg && !names.pg) return state.SkipWithError("Q6FD_TEST_PG is not set");
  const std::string name = pg ? "benchpg" : "benchlite";
  // The raw client connects with the component's session settings (search
  // path, plan cache), which any client may ask for at connect.
  const std::string raw_target =
      pg ? postgres::PgDriver::ConnInfo(ResolveDataSource(name)) : names.sqlite_path;
  auto raw = [&] { return pg ? RawPostgresOpen(raw_target) : RawSqliteOpen(raw_target); };
  // Opens a turn, a quarter of an iteration's.
  const int opens = static_cast<int>(bench::Size(pg ? 25 : 250, 2));
  if (!ComponentOpen(name) || !raw()) return state.SkipWithError("a first open failed");
  double system_s = 0, raw_s = 0;
  for (auto _ : state) {
    for (int turn = 0; turn < 4; ++turn) {
      const bool component = turn == 0 || turn == 3;
      const double t = Now();
      bool ok = true;
      for (int i = 0; ok && i < opens; ++i) ok = component ? ComponentOpen(name) : raw();
      (component ? system_s : raw_s) += Now() - t;
      if (!ok)
        return state.SkipWithError(component ? "the component failed" : "the raw client failed");
    }
  }
  const double n = 2.0 * opens * static_cast<double>(state.iterations());
  bench::ReportTime(state, system_s / n, raw_s / n, 1.2);
}

BENCHMARK(BM_ConnectionOpen)
    ->ArgName("engine")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::Iterations(4));

}  // namespace
}  // namespace q6
