// Throughput of OIDManager.GetNewOID with Locked True, from 1 and from 4
// processes, beside a raw loop that does the same work straight through the
// engine's client library: in its own transaction, read the counter with the
// same select, add one, write it back with the same update, commit. The raw
// loop is the best such a client writes (raw_client.h): its statements
// prepared once and the counter bound, and on PostgreSQL the component's
// exchanges (BEGIN; the select; the update and COMMIT in one pipeline).
// A text-per-call client (the counter in the text, each statement prepared
// or planned anew) runs after them for information (ReportTextClient).
//
// Each benchmark iteration runs both in turns on the same database
// (RunInTurns: component, raw, raw, component): `procs` workers allocate
// kTotal OIDs between them through the component, and `procs` workers do
// kTotal raw allocations. The reported time is the component's; the counters
// (bench_util.h) give the seconds per allocation of both and ratio =
// component rate / raw rate, judged against a target of at least 0.8.
//
// SQLite runs on a file in a temporary folder; PostgreSQL on the server named
// by Q6FD_TEST_PG (as for the tests), in a schema of its own, and is skipped
// without it. Workers open their own connections after the fork.
#include <benchmark/benchmark.h>
#include <postgresql/libpq-fe.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_pg.h"
#include "bench_util.h"
#include "component/frame/oid_manager.h"
#include "outside/eso/oid_object.h"
#include "platform/adodb/connection.h"
#include "platform/datasource/data_source.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/pg_driver.h"
#include "platform/schema/schema.h"
#include "raw_client.h"

namespace {

// Allocations per measured batch, all workers together: enough that one
// batch takes about a tenth of a second on SQLite, well above the machine's
// hiccups.
const int kTotal = static_cast<int>(q6::bench::Size(4000, 100));

// The counter text after `counter`, as the component forms it for ordinary
// fifteen-digit counters.
std::string Next(const char* counter) {
  std::string digits = std::to_string(std::strtoll(counter, nullptr, 10) + 1);
  return std::string(15 - std::min<size_t>(15, digits.size()), '0') + digits;
}

const char* kSelect = "Select sMaxOID From FD_Entities Where iID = 51";
std::string Update(const std::string& next) {
  return " update fd_entities set smaxoid='" + next + "' where iid= 51";
}

// `count` raw allocations on SQLite file `path`, the best a client of the
// engine's library writes: the four statements prepared once, the new
// counter bound; false on any failure.
bool RawSqlite(const std::string& path, int count) {
  namespace raw = q6::bench::raw;
  raw::SqliteDb db(path);
  raw::SqliteStmt begin(db, "BEGIN IMMEDIATE"), select(db, kSelect),
      update(db, " update fd_entities set smaxoid=?1 where iid= 51"), commit(db, "COMMIT");
  bool ok = begin.ok() && select.ok() && update.ok() && commit.ok();
  for (int i = 0; i < count && ok; ++i) {
    ok = begin.Run() && select.Step() == SQLITE_ROW;
    const std::string next =
        ok ? Next(reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0))) : "";
    ok = select.Reset() && ok && update.Bind(1, next) && update.Run() && commit.Run();
  }
  return ok;
}

// The same with the counter's text in each statement and every statement
// prepared anew at every call: a text-per-call client, shown beside the
// best one for what sharing a prepared statement buys.
bool TextSqlite(const std::string& path, int count) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_busy_timeout(db, 5000);
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* st = nullptr;
    std::string next;
    if (ok) ok = sqlite3_prepare_v2(db, kSelect, -1, &st, nullptr) == SQLITE_OK;
    if (ok) ok = sqlite3_step(st) == SQLITE_ROW;
    if (ok) next = Next(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (ok) ok = sqlite3_exec(db, Update(next).c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    if (ok) ok = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_close(db);
  return ok;
}

// `count` raw allocations through libpq, in the component's exchanges:
// BEGIN; the locking select; the update and COMMIT together (pipeline),
// the select and the update prepared once; false on any failure.
bool RawPostgres(const std::string& conninfo, int count) {
  namespace raw = q6::bench::raw;
  raw::PgConn c(conninfo);
  bool ok = c.ok() && c.Prepare("sel", std::string(kSelect) + " FOR UPDATE", 0) &&
            c.Prepare("upd", " update fd_entities set smaxoid=$1 where iid= 51", 1);
  for (int i = 0; i < count && ok; ++i) {
    ok = c.Command("BEGIN");
    std::string next;
    if (ok) {
      raw::PgResult r(c.ExecPrepared("sel", {}));
      ok = r.status() == PGRES_TUPLES_OK && PQntuples(r.get()) == 1;
      if (ok) next = Next(PQgetvalue(r.get(), 0, 0));
    }
    ok = ok && c.Pipeline({{.name = "upd", .values = {next.c_str()}}, {.text = "COMMIT"}});
  }
  return ok;
}

bool Command(PGconn* c, const std::string& sql) {
  PGresult* r = PQexec(c, sql.c_str());
  bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
  PQclear(r);
  return ok;
}

// The text-per-call client on PostgreSQL: every statement a text of its
// own, planned by the server at every call, one exchange each.
bool TextPostgres(const std::string& conninfo, int count) {
  PGconn* c = PQconnectdb(conninfo.c_str());
  bool ok = PQstatus(c) == CONNECTION_OK;
  const std::string select = std::string(kSelect) + " FOR UPDATE";
  for (int i = 0; i < count && ok; ++i) {
    ok = Command(c, "BEGIN");
    std::string next;
    if (ok) {
      PGresult* r = PQexec(c, select.c_str());
      ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1;
      if (ok) next = Next(PQgetvalue(r, 0, 0));
      PQclear(r);
    }
    if (ok) ok = Command(c, Update(next));
    if (ok) ok = Command(c, "COMMIT");
  }
  PQfinish(c);
  return ok;
}

// `count` allocations through the component; false on any failure.
bool Component(const std::string& source, int count) {
  try {
    q6::OIDManager mgr;
    q6::Variant dsn(source);
    for (int i = 0; i < count; ++i) {
      int32_t type = 51;
      bool locked = true;
      benchmark::DoNotOptimize(mgr.GetNewOID(dsn, type, locked));
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// The workers RunWorkers starts: one process's share of the allocations.
const bool kWorkers =
    q6::bench::AddWorker("oid.component", [](const std::string& source, int,
                                             int n) { return Component(source, n); }) &&
    q6::bench::AddWorker("oid.sqlite",
                         [](const std::string& path, int, int n) { return RawSqlite(path, n); }) &&
    q6::bench::AddWorker("oid.postgres", [](const std::string& conninfo, int,
                                            int n) { return RawPostgres(conninfo, n); }) &&
    q6::bench::AddWorker("oid.sqlite_text",
                         [](const std::string& path, int, int n) { return TextSqlite(path, n); }) &&
    q6::bench::AddWorker("oid.postgres_text", [](const std::string& conninfo, int, int n) {
      return TextPostgres(conninfo, n);
    });

// A database with type 51 seeded, set up once per engine; nothing of the
// parent stays connected to it.
struct Target {
  std::string source;    // data-source text for the component
  std::string conninfo;  // libpq conninfo (PostgreSQL) or file path (SQLite)
  std::string skip;      // why the engine is not measured, or ""
};

void Seed(const std::string& source) {
  q6::InitDataSource(source);
  q6::Connection con;
  con.Open(source);
  con.Execute("delete from FD_Entities where iID = 51");
  con.Execute(
      "insert into FD_Entities (iID, sName, sCaption, ibitype, sOIDSourceField, sSourceTable, "
      "sMaxOID) values (51, 'doc', 'Doc', 51, 'coid', 'fd_doc', '510000000000000')");
  con.Close();
}

Target& SqliteTarget() {
  static Target t = [] {
    Target x;
    std::string dir = (std::filesystem::temp_directory_path() / "q6bench.XXXXXX").string();
    if (!mkdtemp(dir.data())) {
      x.skip = "no temporary folder";
      return x;
    }
    x.conninfo = dir + "/oid.db";
    x.source = "Driver=sqlite;Database=" + x.conninfo;
    Seed(x.source);
    return x;
  }();
  return t;
}

Target& PostgresTarget() {
  static Target t = [] {
    Target x;
    const char* pg = std::getenv("Q6FD_TEST_PG");
    if (!pg || !*pg) {
      x.skip = "Q6FD_TEST_PG is not set";
      return x;
    }
    const std::string schema = "q6bench_oid_" + std::to_string(getpid());
    q6::Connection admin;
    admin.Open(pg);
    admin.Execute("CREATE EXTENSION IF NOT EXISTS citext SCHEMA public");
    admin.Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    admin.Execute("CREATE SCHEMA " + schema);
    admin.Close();
    x.source = std::string(pg) + ";Schema=" + schema;
    // The component's own session settings (search path, one plan per
    // prepared statement): what any client may ask for at connect.
    x.conninfo = q6::postgres::PgDriver::ConnInfo(q6::ResolveDataSource(x.source));
    q6::bench::DropSchemaAtExit(pg, schema);
    Seed(x.source);
    return x;
  }();
  return t;
}

void BM_GetNewOIDLocked(benchmark::State& state, bool postgres) {
  const int procs = static_cast<int>(state.range(0));
  Target& t = postgres ? PostgresTarget() : SqliteTarget();
  if (!t.skip.empty()) return state.SkipWithError(t.skip.c_str());
  const int per_worker = kTotal / procs;
  const std::string source = t.source;
  const std::string conninfo = t.conninfo;
  double component_s = 0;
  double raw_s = 0;
  double text_s = 0;
  for (auto _ : state) {
    double c = 0, r = 0;
    if (!q6::bench::RunInTurns(procs, "oid.component", source,
                               postgres ? "oid.postgres" : "oid.sqlite", conninfo, per_worker, &c,
                               &r))
      return state.SkipWithError("a worker failed");
    const double text = q6::bench::RunWorkers(
        procs, postgres ? "oid.postgres_text" : "oid.sqlite_text", conninfo, per_worker);
    if (text < 0) return state.SkipWithError("a text-client worker failed");
    state.SetIterationTime(c);
    component_s += c;
    raw_s += r;
    text_s += text;
  }
  const double n = static_cast<double>(per_worker) * procs * state.iterations();
  state.SetItemsProcessed(static_cast<int64_t>(n));
  q6::bench::Label(state, postgres ? "PostgreSQL" : "SQLite", per_worker * procs);
  // Seconds per allocation on each side; ratio = component rate / raw rate.
  q6::bench::ReportThroughput(state, component_s / n, raw_s / n, 0.8);
  q6::bench::ReportTextClient(state, component_s / n, text_s / n);
}

BENCHMARK_CAPTURE(BM_GetNewOIDLocked, SQLite, false)
    ->Arg(1)
    ->Arg(4)
    ->ArgName("procs")
    ->UseManualTime()
    ->Iterations(q6::bench::Iterations(3))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GetNewOIDLocked, PostgreSQL, true)
    ->Arg(1)
    ->Arg(4)
    ->ArgName("procs")
    ->UseManualTime()
    ->Iterations(q6::bench::Iterations(3))
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
