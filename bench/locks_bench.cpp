// Throughput of LockManager.LockIt + UnlockIt on distinct records, from 1
// and from 4 processes, beside a raw loop that sends the same statements
// straight through the engine's client library: BEGIN (IMMEDIATE on SQLite),
// on PostgreSQL the table lock, the conflict query, the insert, COMMIT, then
// the release DELETE. The raw loop is the best such a client writes
// (raw_client.h): statements prepared once with their values bound, and on
// PostgreSQL the component's exchanges (BEGIN with the table lock, the
// check, the insert with COMMIT, the release). Each iteration runs the
// component and the raw loop in turns; the benchmark reports ratio =
// component rate / raw rate (the goal is at least 0.8). A text-per-call
// client runs after them for information (ReportTextClient).
//
// BM_LockLatency: the median (and 90th percentile) time of one LockIt call
// on an idle table, in microseconds, against a budget of 2000 us, what a
// large system's central lock server counts as good for a remote call.
//
// SQLite runs on a file in a temporary folder; PostgreSQL on the server named
// by Q6FD_TEST_PG, in a schema of its own, and is skipped without it. Every
// measured batch runs in forked workers that open their own connections.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <postgresql/libpq-fe.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_pg.h"
#include "bench_util.h"
#include "component/frame/lock_manager.h"
#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/pg_driver.h"
#include "platform/schema/schema.h"
#include "raw_client.h"

namespace q6 {
namespace {

// Lock + release pairs per measured batch, all workers together.
const int kPairs = static_cast<int>(bench::Size(400, 20));

enum BenchEngine : int64_t { kSqlite = 0, kPostgres = 1 };

// libpq, looked up at run time: the product keeps its engine client to itself.
struct PqApi {
  decltype(&::PQconnectdb) connectdb = nullptr;
  decltype(&::PQstatus) status = nullptr;
  decltype(&::PQexec) exec = nullptr;
  decltype(&::PQresultStatus) result_status = nullptr;
  decltype(&::PQntuples) ntuples = nullptr;
  decltype(&::PQclear) clear = nullptr;
  decltype(&::PQfinish) finish = nullptr;
  bool ok = false;
};

const PqApi& Pq() {
  static const PqApi api = [] {
    PqApi a;
    void* lib = dlopen("libpq.so.5", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return a;
    a.connectdb = reinterpret_cast<decltype(a.connectdb)>(dlsym(lib, "PQconnectdb"));
    a.status = reinterpret_cast<decltype(a.status)>(dlsym(lib, "PQstatus"));
    a.exec = reinterpret_cast<decltype(a.exec)>(dlsym(lib, "PQexec"));
    a.result_status = reinterpret_cast<decltype(a.result_status)>(dlsym(lib, "PQresultStatus"));
    a.ntuples = reinterpret_cast<decltype(a.ntuples)>(dlsym(lib, "PQntuples"));
    a.clear = reinterpret_cast<decltype(a.clear)>(dlsym(lib, "PQclear"));
    a.finish = reinterpret_cast<decltype(a.finish)>(dlsym(lib, "PQfinish"));
    a.ok = a.connectdb && a.status && a.exec && a.result_status && a.ntuples && a.clear && a.finish;
    return a;
  }();
  return api;
}

// The benchmark database of an engine: a data-source text, or "" when the
// engine is not available. Created on first use, in the parent only.
const std::string& Dsn(int64_t engine) {
  static const std::string sqlite = [] {
    auto dir =
        std::filesystem::temp_directory_path() / ("q6bench_locks_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(
          std::filesystem::temp_directory_path() / ("q6bench_locks_" + std::to_string(::getpid())),
          ec);
    });
    std::string dsn = "Driver=sqlite;Database=" + (dir / "locks.db").string();
    Connection con;
    con.Open(dsn);
    CreateSchema(con);
    return dsn;
  }();
  static const std::string pg = []() -> std::string {
    const char* server = std::getenv("Q6FD_TEST_PG");
    if (!server || !*server || !Pq().ok) return "";
    std::string schema = "q6bench_locks_" + std::to_string(::getpid());
    Connection admin;
    admin.Open(server);
    admin.Execute("CREATE EXTENSION IF NOT EXISTS citext SCHEMA public");
    admin.Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
    admin.Execute("CREATE SCHEMA " + schema);
    bench::DropSchemaAtExit(server, schema);
    std::string dsn = std::string(server) + ";Schema=" + schema;
    Connection con;
    con.Open(dsn);
    CreateSchema(con);
    return dsn;
  }();
  return engine == kSqlite ? sqlite : pg;
}

// A record identifier no other worker or batch uses.
std::string RecordId(int worker, int n) {
  static int batch = 0;
  return "b" + std::to_string(::getpid()) + "-" + std::to_string(worker) + "-" + std::to_string(n) +
         "-" + std::to_string(++batch);
}

bool ComponentWork(const std::string& dsn, int worker, int pairs) {
  auto lm = std::make_shared<LockManager>();
  for (int n = 0; n < pairs; ++n) {
    Variant d(dsn), vid(RecordId(worker, n));
    std::string user = "u" + std::to_string(worker), ws = "w", mod = "fd", digest;
    int32_t level = 7;
    if (!lm->LockIt(d, vid, user, ws, mod, level, digest)) return false;
    if (!lm->UnlockIt(d, vid, user, ws, mod, level)) return false;
  }
  return true;
}

// What a plain client sends for a level-7 lock and release: the component's
// statements, with two differences in the plain client's favour: it writes
// no lock-holder row, and on PostgreSQL its comparisons are the plain `=`
// (trailing blanks count).
struct RawTexts {
  std::string query, insert, release;
};
RawTexts Texts(int64_t engine, const std::string& id, const std::string& user) {
  const std::string prefix_test = engine == kSqlite
                                      ? "substr('" + id + "',1,length(rtrim(locks_id)))=locks_id"
                                      : "left('" + id + "',length(rtrim(locks_id)))=locks_id";
  RawTexts t;
  t.query =
      "Select * From FD_Locks Where  class_flag='1' or (class_flag='2' and "
      "workstation_name='w') or (class_flag='3' and user_name='" +
      user + "') or (class_flag='4' and user_name='" + user +
      "' and workstation_name='w') or (class_flag='5' and mod_name='fd') or (class_flag='6' "
      "and " +
      prefix_test + ") or (class_flag='7' and locks_id='" + id + "') LIMIT 1" +
      (engine == kSqlite ? "" : " FOR UPDATE");
  t.insert = "insert into fd_locks values('" + id + "','" + user + "','w','fd','7','')";
  t.release = "delete From FD_Locks Where locks_id = '" + id + "'";
  return t;
}

// The statements of the best raw client, prepared once: the check, the
// insert and the release, the record's identifier, the user, the workstation
// and the module bound. On PostgreSQL the identifier is bound twice ($1 in
// `left`, $5 in the equality) so that the server infers each parameter's
// type from where it stands, as for the literal it replaces.
struct PreparedTexts {
  std::string query, insert, release;
};
PreparedTexts Prepared(int64_t engine) {
  PreparedTexts t;
  if (engine == kSqlite) {
    t.query =
        "Select * From FD_Locks Where  class_flag='1' or (class_flag='2' and "
        "workstation_name=?3) or (class_flag='3' and user_name=?2) or (class_flag='4' and "
        "user_name=?2 and workstation_name=?3) or (class_flag='5' and mod_name=?4) or "
        "(class_flag='6' and substr(?1,1,length(rtrim(locks_id)))=locks_id) or (class_flag='7' "
        "and locks_id=?1) LIMIT 1";
    t.insert = "insert into fd_locks values(?1,?2,?3,?4,'7','')";
    t.release = "delete From FD_Locks Where locks_id = ?1";
  } else {
    t.query =
        "Select * From FD_Locks Where  class_flag='1' or (class_flag='2' and "
        "workstation_name=$3) or (class_flag='3' and user_name=$2) or (class_flag='4' and "
        "user_name=$2 and workstation_name=$3) or (class_flag='5' and mod_name=$4) or "
        "(class_flag='6' and left($1,length(rtrim(locks_id)))=locks_id) or (class_flag='7' "
        "and locks_id=$5) LIMIT 1 FOR UPDATE";
    t.insert = "insert into fd_locks values($1,$2,$3,$4,'7','')";
    t.release = "delete From FD_Locks Where locks_id = $1";
  }
  return t;
}

// The best raw client on SQLite: in one BEGIN IMMEDIATE transaction the
// check and the insert, COMMIT, then the release; every statement prepared
// once.
bool RawSqlite(const std::string& dsn, int worker, int pairs) {
  namespace raw = bench::raw;
  raw::SqliteDb db(dsn.substr(dsn.find("Database=") + 9));
  const PreparedTexts t = Prepared(kSqlite);
  raw::SqliteStmt begin(db, "BEGIN IMMEDIATE"), query(db, t.query), insert(db, t.insert),
      commit(db, "COMMIT"), release(db, t.release);
  bool ok = db.Exec("PRAGMA journal_mode=WAL") && begin.ok() && query.ok() && insert.ok() &&
            commit.ok() && release.ok();
  const std::string user = "u" + std::to_string(worker);
  ok = ok && query.Bind(2, user) && query.Bind(3, "w") && query.Bind(4, "fd") &&
       insert.Bind(2, user) && insert.Bind(3, "w") && insert.Bind(4, "fd");
  for (int n = 0; ok && n < pairs; ++n) {
    const std::string id = RecordId(worker, n);
    ok = begin.Run() && query.Bind(1, id) && query.Run() && insert.Bind(1, id) && insert.Run() &&
         commit.Run() && release.Bind(1, id) && release.Run();
  }
  return ok;
}

// The best raw client on PostgreSQL, in the component's exchanges: BEGIN and
// the table lock together, the check, the insert and COMMIT together, the
// release; check, insert and release prepared once.
bool RawPostgres(const std::string& dsn, int worker, int pairs) {
  namespace raw = bench::raw;
  raw::PgConn c(postgres::PgDriver::ConnInfo(ResolveDataSource(dsn)));
  const PreparedTexts t = Prepared(kPostgres);
  bool ok = c.ok() && c.Prepare("chk", t.query, 5) && c.Prepare("ins", t.insert, 4) &&
            c.Prepare("rel", t.release, 1);
  const std::string user = "u" + std::to_string(worker);
  for (int n = 0; ok && n < pairs; ++n) {
    const std::string id = RecordId(worker, n);
    ok = c.Pipeline(
        {{.text = "BEGIN"}, {.text = "LOCK TABLE FD_Locks IN SHARE ROW EXCLUSIVE MODE"}});
    if (ok) {
      raw::PgResult r(c.ExecPrepared("chk", {id.c_str(), user.c_str(), "w", "fd", id.c_str()}));
      ok = r.status() == PGRES_TUPLES_OK && PQntuples(r.get()) == 0;
    }
    ok = ok && c.Pipeline({{.name = "ins", .values = {id.c_str(), user.c_str(), "w", "fd"}},
                           {.text = "COMMIT"}});
    if (ok) {
      raw::PgResult r(c.ExecPrepared("rel", {id.c_str()}));
      ok = r.status() == PGRES_COMMAND_OK && std::string_view(PQcmdTuples(r.get())) == "1";
    }
  }
  return ok;
}

// The text-per-call client: the statements of Texts, each prepared (SQLite)
// or planned (PostgreSQL) anew at every call, one exchange each.
bool TextSqlite(const std::string& dsn, int worker, int pairs) {
  std::string path = dsn.substr(dsn.find("Database=") + 9);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_busy_timeout(db, 5000);
  bool ok = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr) == SQLITE_OK;
  auto exec = [&](const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  };
  for (int n = 0; ok && n < pairs; ++n) {
    RawTexts t = Texts(kSqlite, RecordId(worker, n), "u" + std::to_string(worker));
    ok = exec("BEGIN IMMEDIATE");
    sqlite3_stmt* st = nullptr;
    ok = ok && sqlite3_prepare_v2(db, t.query.c_str(), -1, &st, nullptr) == SQLITE_OK &&
         sqlite3_step(st) == SQLITE_DONE;
    sqlite3_finalize(st);
    ok = ok && exec(t.insert) && exec("COMMIT") && exec(t.release);
  }
  sqlite3_close(db);
  return ok;
}

bool TextPostgres(const std::string& dsn, int worker, int pairs) {
  const PqApi& pq = Pq();
  PGconn* c = pq.connectdb(postgres::PgDriver::ConnInfo(ResolveDataSource(dsn)).c_str());
  bool ok = pq.status(c) == CONNECTION_OK;
  auto exec = [&](const std::string& sql, ExecStatusType want) {
    PGresult* r = pq.exec(c, sql.c_str());
    bool good = pq.result_status(r) == want && (want != PGRES_TUPLES_OK || pq.ntuples(r) == 0);
    pq.clear(r);
    return good;
  };
  for (int n = 0; ok && n < pairs; ++n) {
    RawTexts t = Texts(kPostgres, RecordId(worker, n), "u" + std::to_string(worker));
    ok = exec("BEGIN", PGRES_COMMAND_OK) &&
         exec("LOCK TABLE FD_Locks IN SHARE ROW EXCLUSIVE MODE", PGRES_COMMAND_OK) &&
         exec(t.query, PGRES_TUPLES_OK) && exec(t.insert, PGRES_COMMAND_OK) &&
         exec("COMMIT", PGRES_COMMAND_OK) && exec(t.release, PGRES_COMMAND_OK);
  }
  pq.finish(c);
  return ok;
}

// --- LockItEx and UnLockItEx of a list of records ---

// Items per list (all workers' lists are of this length).
const int kListItems = static_cast<int>(bench::Size(3000, 200));

std::vector<std::string> ListIds(int worker, int list) {
  std::vector<std::string> ids;
  for (int n = 0; n < kListItems; ++n) ids.push_back(RecordId(worker, list * kListItems + n));
  return ids;
}

bool ComponentListWork(const std::string& dsn, int worker, int lists) {
  auto lm = std::make_shared<LockManager>();
  for (int l = 0; l < lists; ++l) {
    std::string list;
    for (const std::string& id : ListIds(worker, l)) list += (list.empty() ? "" : ",") + id;
    Variant d(dsn), vid(list);
    std::string user = "u" + std::to_string(worker), ws = "w", mod = "fd", digest, sep = ",";
    int32_t level = 7;
    if (!lm->LockItEx(d, vid, user, ws, mod, level, digest, sep)) return false;
    vid = Variant(list);
    if (!lm->UnLockItEx(d, vid, user, ws, mod, level, digest, sep)) return false;
  }
  return true;
}

// The statements of the best raw client for a list, as the component
// shapes them: conflict checks of up to 400 identifiers, inserts and
// releases of up to 250 rows, values bound. `p(n)` is the engine's
// placeholder; user, workstation and module are parameters 1 to 3, the
// identifiers follow.
struct ListTexts {
  std::string check, insert, release;
};
ListTexts ListStatements(int64_t engine, int ids) {
  auto p = [&](int n) { return (engine == kSqlite ? "?" : "$") + std::to_string(n); };
  ListTexts t;
  t.check =
      "Select * From FD_Locks Where  class_flag='1' or (class_flag='2' and workstation_name=" +
      p(2) + ") or (class_flag='3' and user_name=" + p(1) +
      ") or (class_flag='4' and user_name=" + p(1) + " and workstation_name=" + p(2) +
      ") or (class_flag='5' and mod_name=" + p(3) + ") or (class_flag='6' and (";
  std::string in;
  for (int i = 0; i < ids; ++i) {
    t.check += (i ? " or " : "") +
               (engine == kSqlite ? "substr(" + p(4 + i) + ",1,length(rtrim(locks_id)))=locks_id"
                                  : "left(" + p(4 + i) + ",length(rtrim(locks_id)))=locks_id");
    in += (i ? "," : "") + p(4 + i);
  }
  t.check += ")) or (class_flag='7' and locks_id in (" + in + ")) LIMIT 1" +
             (engine == kSqlite ? "" : " FOR UPDATE");
  t.insert = "insert into fd_locks values";
  for (int i = 0; i < ids; ++i)
    t.insert += std::string(i ? "," : "") + "(" + p(4 + i) + "," + p(1) + "," + p(2) + "," + p(3) +
                ",'7','')";
  t.release = "delete From FD_Locks Where locks_id in (";
  for (int i = 0; i < ids; ++i) t.release += (i ? "," : "") + p(1 + i);
  t.release += ")";
  return t;
}

constexpr int kCheckIds = 400, kRowIds = 250;

bool RawSqliteList(const std::string& dsn, int worker, int lists) {
  namespace raw = bench::raw;
  raw::SqliteDb db(dsn.substr(dsn.find("Database=") + 9));
  const std::string user = "u" + std::to_string(worker);
  raw::SqliteStmt begin(db, "BEGIN IMMEDIATE"), commit(db, "COMMIT");
  bool ok = db.Exec("PRAGMA journal_mode=WAL") && begin.ok() && commit.ok();
  std::map<int, std::unique_ptr<raw::SqliteStmt>> checks, inserts, releases;
  auto stmt = [&](auto& kept, int n, std::string ListTexts::*text) -> raw::SqliteStmt& {
    auto& s = kept[n];
    if (!s) s = std::make_unique<raw::SqliteStmt>(db, ListStatements(kSqlite, n).*text);
    return *s;
  };
  for (int l = 0; ok && l < lists; ++l) {
    const std::vector<std::string> ids = ListIds(worker, l);
    ok = begin.Run();
    for (size_t f = 0; ok && f < ids.size(); f += kCheckIds) {
      const int n = static_cast<int>(std::min<size_t>(kCheckIds, ids.size() - f));
      raw::SqliteStmt& c = stmt(checks, n, &ListTexts::check);
      ok = c.ok() && c.Bind(1, user) && c.Bind(2, "w") && c.Bind(3, "fd");
      for (int i = 0; ok && i < n; ++i) ok = c.Bind(4 + i, ids[f + i]);
      ok = ok && c.Run();  // no row: nothing in the way
    }
    for (size_t f = 0; ok && f < ids.size(); f += kRowIds) {
      const int n = static_cast<int>(std::min<size_t>(kRowIds, ids.size() - f));
      raw::SqliteStmt& c = stmt(inserts, n, &ListTexts::insert);
      ok = c.ok() && c.Bind(1, user) && c.Bind(2, "w") && c.Bind(3, "fd");
      for (int i = 0; ok && i < n; ++i) ok = c.Bind(4 + i, ids[f + i]);
      ok = ok && c.Run();
    }
    ok = ok && commit.Run();
    for (size_t f = 0; ok && f < ids.size(); f += kRowIds) {
      const int n = static_cast<int>(std::min<size_t>(kRowIds, ids.size() - f));
      raw::SqliteStmt& c = stmt(releases, n, &ListTexts::release);
      ok = c.ok();
      for (int i = 0; ok && i < n; ++i) ok = c.Bind(1 + i, ids[f + i]);
      ok = ok && c.Run() && sqlite3_changes(db.get()) == n;
    }
  }
  return ok;
}

bool RawPostgresList(const std::string& dsn, int worker, int lists) {
  namespace raw = bench::raw;
  raw::PgConn c(postgres::PgDriver::ConnInfo(ResolveDataSource(dsn)));
  const std::string user = "u" + std::to_string(worker);
  bool ok = c.ok();
  std::map<std::string, bool> prepared;
  auto name = [&](const char* kind, int n, std::string ListTexts::*text, int params) {
    const std::string key = kind + std::to_string(n);
    if (!prepared[key])
      prepared[key] = c.Prepare(key.c_str(), ListStatements(kPostgres, n).*text, params);
    ok = ok && prepared[key];
    return key;
  };
  for (int l = 0; ok && l < lists; ++l) {
    const std::vector<std::string> ids = ListIds(worker, l);
    ok = c.Pipeline(
        {{.text = "BEGIN"}, {.text = "LOCK TABLE FD_Locks IN SHARE ROW EXCLUSIVE MODE"}});
    std::deque<std::string> names;  // the steps point into it: never moved
    std::vector<raw::PgStep> steps;
    for (size_t f = 0; f < ids.size(); f += kCheckIds) {
      const int n = static_cast<int>(std::min<size_t>(kCheckIds, ids.size() - f));
      names.push_back(name("chk", n, &ListTexts::check, 3 + n));
      raw::PgStep s{.name = names.back(), .want = PGRES_TUPLES_OK};
      s.values = {user.c_str(), "w", "fd"};
      for (int i = 0; i < n; ++i) s.values.push_back(ids[f + i].c_str());
      steps.push_back(std::move(s));
    }
    ok = ok && c.Pipeline(steps);
    steps.clear();
    for (size_t f = 0; f < ids.size(); f += kRowIds) {
      const int n = static_cast<int>(std::min<size_t>(kRowIds, ids.size() - f));
      names.push_back(name("ins", n, &ListTexts::insert, 3 + n));
      raw::PgStep s{.name = names.back()};
      s.values = {user.c_str(), "w", "fd"};
      for (int i = 0; i < n; ++i) s.values.push_back(ids[f + i].c_str());
      steps.push_back(std::move(s));
    }
    steps.push_back({.text = "COMMIT"});
    ok = ok && c.Pipeline(steps);
    steps.clear();
    for (size_t f = 0; f < ids.size(); f += kRowIds) {
      const int n = static_cast<int>(std::min<size_t>(kRowIds, ids.size() - f));
      names.push_back(name("rel", n, &ListTexts::release, n));
      raw::PgStep s{.name = names.back()};
      for (int i = 0; i < n; ++i) s.values.push_back(ids[f + i].c_str());
      steps.push_back(std::move(s));
    }
    ok = ok && c.Pipeline(steps);
  }
  return ok;
}

// The workers RunWorkers starts: one process's share of a batch.
const bool kWorkers = bench::AddWorker("locks.component", ComponentWork) &&
                      bench::AddWorker("locks.sqlite", RawSqlite) &&
                      bench::AddWorker("locks.postgres", RawPostgres) &&
                      bench::AddWorker("locks.sqlite_text", TextSqlite) &&
                      bench::AddWorker("locks.postgres_text", TextPostgres) &&
                      bench::AddWorker("locks.list.component", ComponentListWork) &&
                      bench::AddWorker("locks.list.sqlite", RawSqliteList) &&
                      bench::AddWorker("locks.list.postgres", RawPostgresList);

// Batches of kPairs spread over `procs` workers, the component's and the
// raw loop's in turns in every iteration (RunInTurns), so that both meet the
// same machine: a load that comes and goes moves both sides alike.
void BM_LockItUnlockIt(benchmark::State& state) {
  const int64_t engine = state.range(0);
  const int procs = static_cast<int>(state.range(1));
  bench::Label(state, engine == kSqlite ? "SQLite" : "PostgreSQL");
  const std::string& dsn = Dsn(engine);
  if (dsn.empty()) {
    state.SkipWithError("PostgreSQL: Q6FD_TEST_PG is not set (or libpq is missing)");
    return;
  }
  const int per = kPairs / procs;
  double system_s = 0, raw_s = 0, text_s = 0;
  for (auto _ : state) {
    double s = 0, raw = 0;
    if (!bench::RunInTurns(procs, "locks.component", dsn,
                           engine == kSqlite ? "locks.sqlite" : "locks.postgres", dsn, per, &s,
                           &raw)) {
      state.SkipWithError("a worker failed");
      return;
    }
    const double text = bench::RunWorkers(
        procs, engine == kSqlite ? "locks.sqlite_text" : "locks.postgres_text", dsn, per);
    if (text < 0) {
      state.SkipWithError("a text-client worker failed");
      return;
    }
    state.SetIterationTime(s);
    system_s += s;
    raw_s += raw;
    text_s += text;
  }
  const double pairs = static_cast<double>(per * procs) * static_cast<double>(state.iterations());
  state.counters["pairs_per_s"] = pairs / system_s;
  // Seconds per lock + release pair on both sides.
  bench::ReportThroughput(state, system_s / pairs, raw_s / pairs, 0.8);
  bench::ReportTextClient(state, system_s / pairs, text_s / pairs);
}

// LockItEx of a list of kListItems records and UnLockItEx of the same
// list, in one process, against the raw client's batches (ListStatements):
// ratio = component time / raw time (at most 1.2 wanted).
void BM_LockItEx(benchmark::State& state) {
  const int64_t engine = state.range(0);
  bench::Label(state, engine == kSqlite ? "SQLite" : "PostgreSQL", kListItems);
  const std::string& dsn = Dsn(engine);
  if (dsn.empty()) {
    state.SkipWithError("PostgreSQL: Q6FD_TEST_PG is not set (or libpq is missing)");
    return;
  }
  double system_s = 0, raw_s = 0;
  for (auto _ : state) {
    double s = 0, raw = 0;
    if (!bench::RunInTurns(1, "locks.list.component", dsn,
                           engine == kSqlite ? "locks.list.sqlite" : "locks.list.postgres", dsn, 2,
                           &s, &raw)) {
      state.SkipWithError("a worker failed");
      return;
    }
    state.SetIterationTime(s);
    system_s += s;
    raw_s += raw;
  }
  bench::ReportTime(state, system_s, raw_s, 1.2);
}

// One worker times kSamples LockIt calls (each followed by an untimed
// UnlockIt) and sends back the median and the 90th percentile.
void BM_LockLatency(benchmark::State& state) {
  const int kSamples = static_cast<int>(bench::Size(500, 20));
  bench::Label(state, state.range(0) == kSqlite ? "SQLite" : "PostgreSQL");
  const std::string& dsn = Dsn(state.range(0));
  if (dsn.empty()) {
    state.SkipWithError("PostgreSQL: Q6FD_TEST_PG is not set (or libpq is missing)");
    return;
  }
  for (auto _ : state) {
    int fds[2];
    if (::pipe(fds) != 0) {
      state.SkipWithError("pipe failed");
      return;
    }
    double s = bench::InWorkers(1, [&](int) {
      auto lm = std::make_shared<LockManager>();
      std::vector<double> us;
      for (int n = 0; n < kSamples; ++n) {
        Variant d(dsn), vid(RecordId(0, n));
        std::string user = "lat", ws = "w", mod = "fd", digest;
        int32_t level = 7;
        auto t0 = std::chrono::steady_clock::now();
        bool ok = lm->LockIt(d, vid, user, ws, mod, level, digest);
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                .count());
        if (!ok || !lm->UnlockIt(d, vid, user, ws, mod, level)) return false;
      }
      std::sort(us.begin(), us.end());
      double out[2] = {us[us.size() / 2], us[us.size() * 9 / 10]};
      return ::write(fds[1], out, sizeof out) == static_cast<ssize_t>(sizeof out);
    });
    double out[2] = {0, 0};
    ::close(fds[1]);
    bool got = ::read(fds[0], out, sizeof out) == static_cast<ssize_t>(sizeof out);
    ::close(fds[0]);
    if (s < 0 || !got) {
      state.SkipWithError("the worker failed");
      return;
    }
    state.SetIterationTime(out[0] / 1e6);
    state.counters["median_us"] = out[0];
    state.counters["p90_us"] = out[1];
    bench::ReportBudget(state, out[0] / 1e6, 2000e-6);
  }
}

void EngineAndProcs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"engine", "procs"});
  for (int64_t e : {kSqlite, kPostgres})
    for (int64_t p : {1, 4}) b->Args({e, p});
}

BENCHMARK(BM_LockItUnlockIt)
    ->Apply(EngineAndProcs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::Iterations(5));
BENCHMARK(BM_LockItEx)
    ->ArgName("engine")
    ->Arg(kSqlite)
    ->Arg(kPostgres)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(bench::Iterations(3));
BENCHMARK(BM_LockLatency)
    ->ArgName("engine")
    ->Arg(kSqlite)
    ->Arg(kPostgres)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1);

}  // namespace
}  // namespace q6
