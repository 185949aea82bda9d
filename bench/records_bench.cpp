// Reading records: GetData, MoveToByRS and MoveTo beside the engines' client
// libraries running the same statements.
//
// BM_RecordsGetData: all 200,000 records of a type, 8 columns. Each iteration
// runs GetData and then the raw baseline: GetData's statement, as translated
// for the engine, stepped to its end with every value copied into a vector
// of Variants. Judged: time ratio <= 1.5, peak memory ratio <= 2.
//
// BM_RecordsMoveToByRS: the recordsets of one GetData over n records, then
// MoveToByRS mode 0 and mode 3 until the last record. No baseline: the
// verdict is on scaling, the cost per record at 100,000 (and 1,000,000)
// records against 10,000, <= 1.5 (100,000 records at most 15x what 10,000
// cost; a scan of the recordset per filter would give 10x per record).
//
// BM_RecordsMoveTo: MoveTo mode 3 from the first record, the key column being
// the table's primary key (indexed), against the raw engine running the same
// one-row statement, prepared once with the current OID bound, and reading
// the row (RawSqlite says what the SQLite client sets for its plan).
// A text-per-call client (the OID written into the text, the statement
// prepared or planned at every step) is reported beside it, judging nothing. Judged: time per step
// <= 1.2x the raw step at every size, and per step at 100,000 (and 1,000,000) records
// <= 1.2x the step at 10,000, the two tables walked in turn in the same
// benchmark. At most 10,000 steps are taken per size (they measure a step
// at that table size; a walk through a million records would take minutes).
//
// SQLite runs on a file on tmpfs when there is one; PostgreSQL on the server
// named by Q6FD_TEST_PG, in a schema of its own, dropped at exit.
#include <benchmark/benchmark.h>
#include <postgresql/libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench_pg.h"
#include "bench_util.h"
#include "component/frame/data_manager.h"
#include "component/records/record_statements.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/dialect/dialect.h"
#include "platform/drivers/driver.h"
#include "platform/drivers/postgres/pg_driver.h"

namespace {

using q6::DataManager;
using q6::EntityObject;
using q6::ObjectRef;
using q6::Variant;

// GetData reads 200,000 records, or 1,000,000 in a large run.
const int64_t kGetDataRows =
    q6::bench::ScalingSizes().back() >= 1000000 ? 1000000 : q6::bench::Size(200000, 1000);
const int64_t kMaxMoveToSteps = q6::bench::Size(10000, 100);
const char* const kColumns[] = {"oid", "code",  "book_name", "amount",
                                "qty", "price", "memo",      "created"};

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Times measured by one benchmark for a later one, by name.
std::map<std::string, double>& Kept() {
  static auto* kept = new std::map<std::string, double>;
  return *kept;
}

// ---- the raw baselines ----

class RawEngine {
 public:
  virtual ~RawEngine() = default;
  // Runs `native` and appends every value of every row to `out` (a deque,
  // as a plain client collects rows of unknown count without reallocating).
  virtual void Query(const std::string& native, std::deque<Variant>& out) = 0;
  // Prepares `before` + a placeholder + `after`, one statement with one
  // parameter, for Run; false when the engine refuses it.
  virtual bool Prepare(const std::string& before, const std::string& after) = 0;
  // Runs the prepared statement with `value` bound, appending as Query does.
  virtual void Run(const std::string& value, std::deque<Variant>& out) = 0;
};

// A column's value as a plain sqlite3 client reads it.
void AppendSqliteValue(sqlite3_stmt* st, int c, std::deque<Variant>& out) {
  switch (sqlite3_column_type(st, c)) {
    case SQLITE_INTEGER:
      out.emplace_back(static_cast<int32_t>(sqlite3_column_int64(st, c)));
      break;
    case SQLITE_FLOAT:
      out.emplace_back(sqlite3_column_double(st, c));
      break;
    case SQLITE_NULL:
      out.emplace_back(q6::NullValue{});
      break;
    default:
      out.emplace_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                   static_cast<size_t>(sqlite3_column_bytes(st, c))));
  }
}

// Every value of every row of the result `r`, as text or Null.
void AppendPgRows(PGresult* r, std::deque<Variant>& out) {
  const int rows = PQntuples(r), cols = PQnfields(r);
  for (int i = 0; i < rows; ++i)
    for (int c = 0; c < cols; ++c) {
      if (PQgetisnull(r, i, c))
        out.emplace_back(q6::NullValue{});
      else
        out.emplace_back(
            std::string(PQgetvalue(r, i, c), static_cast<size_t>(PQgetlength(r, i, c))));
    }
}

class RawSqlite final : public RawEngine {
 public:
  explicit RawSqlite(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // SQLite turns `oid like '51%'` on a NOCASE column into a range on the
    // key that starts at '51'. MoveTo's step then enters the index there
    // rather than at `oid > ?` and reads every record before the current
    // one. A client that profiles its loop turns that rewrite off: with LIKE
    // case-sensitive it does not apply to a NOCASE column, and a pattern of
    // digits matches the same rows either way. The component registers a
    // LIKE of its own, which SQLite never rewrites, so both sides get the
    // same plans.
    sqlite3_exec(db_, "PRAGMA case_sensitive_like=ON", nullptr, nullptr, nullptr);
  }
  ~RawSqlite() override {
    sqlite3_finalize(prepared_);
    sqlite3_close(db_);
  }
  void Query(const std::string& native, std::deque<Variant>& out) override {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, native.c_str(), -1, &st, nullptr);
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW)
      for (int c = 0; c < n; ++c) AppendSqliteValue(st, c, out);
    sqlite3_finalize(st);
  }
  bool Prepare(const std::string& before, const std::string& after) override {
    const std::string sql = before + "?1" + after;
    return sqlite3_prepare_v2(db_, sql.c_str(), -1, &prepared_, nullptr) == SQLITE_OK;
  }
  void Run(const std::string& value, std::deque<Variant>& out) override {
    sqlite3_bind_text(prepared_, 1, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    const int n = sqlite3_column_count(prepared_);
    while (sqlite3_step(prepared_) == SQLITE_ROW)
      for (int c = 0; c < n; ++c) AppendSqliteValue(prepared_, c, out);
    sqlite3_reset(prepared_);
  }

 private:
  sqlite3* db_ = nullptr;
  sqlite3_stmt* prepared_ = nullptr;
};

class RawPostgres final : public RawEngine {
 public:
  explicit RawPostgres(const q6::DataSource& ds)
      : conn_(PQconnectdb(q6::postgres::PgDriver::ConnInfo(ds).c_str())) {}
  ~RawPostgres() override { PQfinish(conn_); }
  void Query(const std::string& native, std::deque<Variant>& out) override {
    PGresult* r = PQexec(conn_, native.c_str());
    AppendPgRows(r, out);
    PQclear(r);
  }
  bool Prepare(const std::string& before, const std::string& after) override {
    PGresult* r = PQprepare(conn_, "step", (before + "$1" + after).c_str(), 1, nullptr);
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    return ok;
  }
  void Run(const std::string& value, std::deque<Variant>& out) override {
    const char* values[] = {value.c_str()};
    PGresult* r = PQexecPrepared(conn_, "step", 1, values, nullptr, nullptr, 0);
    AppendPgRows(r, out);
    PQclear(r);
  }

 private:
  PGconn* conn_;
};

// ---- the databases ----

const char* EngineName(int e) { return e == 0 ? "SQLite" : "PostgreSQL"; }

// One engine's database; table fd_b<n> holds n records of type 51 (keys
// 51000000000000<1..n>), 8 columns, key column oid (primary key), book_name
// Null. Tables are made on first use.
class BenchDb {
 public:
  explicit BenchDb(std::string dsn) : dsn_(std::move(dsn)) {
    con_ = std::make_shared<q6::Connection>();
    con_->Open(dsn_);
  }
  const std::shared_ptr<q6::Connection>& con() const { return con_; }
  q6::Engine engine() const { return con_->engine(); }

  std::unique_ptr<RawEngine> Raw() const {
    if (engine() == q6::Engine::SQLite)
      return std::make_unique<RawSqlite>(con_->data_source().database);
    return std::make_unique<RawPostgres>(con_->data_source());
  }

  static std::string Table(int64_t n) { return "fd_b" + std::to_string(n); }

  void Ensure(int64_t n) {
    if (!filled_.emplace(n).second) return;
    const std::string table = Table(n);
    con_->Execute("create table " + table +
                  " (oid varchar(20) primary key, code varchar(20), book_name varchar(40), "
                  "amount integer, qty integer, price double precision, memo varchar(60), "
                  "created varchar(20))");
    con_->BeginTrans();
    std::string sql;
    char row[256];
    for (int64_t i = 0; i < n; ++i) {
      if (sql.empty()) sql = "insert into " + table + " values ";
      std::snprintf(row, sizeof row,
                    "('51%013lld', 'C%08lld', NULL, %lld, %lld, %lld.25, 'memo text of record "
                    "%lld', '2024-01-%02lld')",
                    static_cast<long long>(i + 1), static_cast<long long>(i),
                    static_cast<long long>(i % 1000), static_cast<long long>(i % 7),
                    static_cast<long long>(i), static_cast<long long>(i),
                    static_cast<long long>(1 + i % 28));
      sql += row;
      if (i % 500 == 499 || i == n - 1) {
        con_->Execute(sql);
        sql.clear();
      } else {
        sql += ",";
      }
    }
    con_->CommitTrans();
    // Statistics now, so that neither side meets a plan made for an empty
    // table or a statistics run in the middle of its measurement. On
    // PostgreSQL a vacuum as well: the first read of a freshly written row
    // marks it as committed, and that write would otherwise fall on
    // whichever side first read the rows past the ones analyze sampled (on
    // the larger tables only).
    con_->Execute((engine() == q6::Engine::PostgreSQL ? "vacuum analyze " : "analyze ") + table);
    // And the pages the fill dirtied written out now, not by a checkpoint
    // in the middle of a later measurement (needs a role allowed to).
    if (engine() == q6::Engine::PostgreSQL) try {
        con_->Execute("checkpoint");
      } catch (const std::exception&) {
      }
  }

 private:
  std::string dsn_;
  std::shared_ptr<q6::Connection> con_;
  std::set<int64_t> filled_;
};

// The database of engine `e` (0 SQLite, 1 PostgreSQL), nullptr when
// PostgreSQL is not configured. Kept for the process's life; a SQLite
// folder is removed and a PostgreSQL schema dropped at exit.
BenchDb* Db(int e) {
  static BenchDb* dbs[2] = {nullptr, nullptr};
  static bool tried[2] = {false, false};
  if (tried[e]) return dbs[e];
  tried[e] = true;
  if (e == 0) {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    static const std::filesystem::path folder = base / ("q6recbench." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    dbs[0] = new BenchDb("Driver=sqlite;Database=" + (folder / "records.db").string());
  } else {
    const char* pg = std::getenv("Q6FD_TEST_PG");
    if (!pg || !*pg) return nullptr;
    const std::string schema = "q6recbench_" + std::to_string(::getpid());
    {
      q6::Connection admin;
      admin.Open(pg);
      admin.Execute("create schema " + schema);
    }
    q6::bench::DropSchemaAtExit(pg, schema);
    dbs[1] = new BenchDb(std::string(pg) + ";Schema=" + schema);
  }
  return dbs[e];
}

// The entity of table fd_b<n>: type 51, 8 fields named as their columns.
std::shared_ptr<EntityObject> BenchEntity(int64_t n) {
  auto eo = q6::NewEntityObject();
  eo->SetBIType(Variant(int32_t{51}));
  eo->SetSourceTable(Variant(BenchDb::Table(n)));
  eo->SetOIDSourceField(Variant("oid"));
  for (const char* c : kColumns) {
    auto f = q6::NewEntityField();
    f->SetName(Variant(c));
    f->SetSourceField(Variant(c));
    eo->Fields()->Add(f);
  }
  return eo;
}

// The statement `build` makes for the entity of fd_b<n>, translated for the
// engine and split at the place of the current OID: the translation keeps
// literals as they are, so a marker passed as the OID marks the place.
using Builder =
    std::function<std::string(const q6::RecordSource&, const std::string&, const std::string&)>;
std::pair<std::string, std::string> NativeAround(int64_t n, q6::Engine engine,
                                                 const Builder& build) {
  auto eo = BenchEntity(n);
  ObjectRef e = eo;
  int32_t flag = 0;
  DataManager dm;
  const std::string columns = dm.strBiToSqlByEO(e, flag);
  const std::string marker =
      "\x01"
      "C"
      "\x01";
  const std::string native =
      q6::TranslateSql(build(q6::RecordSourceOf(*eo), columns, marker), engine).native;
  const size_t at = native.find(marker);
  if (at == std::string::npos) return {native, ""};
  return {native.substr(0, at), native.substr(at + marker.size())};
}

std::string OidOf(int64_t i) {
  char key[32];
  std::snprintf(key, sizeof key, "51%013lld", static_cast<long long>(i));
  return key;
}

// ---- GetData ----

void BM_RecordsGetData(benchmark::State& state) {
  const int e = static_cast<int>(state.range(0));
  q6::bench::Label(state, EngineName(e), kGetDataRows);
  BenchDb* db = Db(e);
  if (!db) return state.SkipWithError("Q6FD_TEST_PG is not set");
  db->Ensure(kGetDataRows);
  auto raw = db->Raw();
  const std::string native =
      NativeAround(kGetDataRows, db->engine(), [](auto& s, auto& cols, auto&) {
        return q6::GetDataStatement(s, cols);
      }).first;
  auto dm = std::make_shared<DataManager>();
  ObjectRef con = db->con(), eo = BenchEntity(kGetDataRows);
  bool get_child = true;
  auto component = [&] {
    ObjectRef prs, crs;
    if (!dm->GetData(con, eo, prs, crs, get_child)) state.SkipWithError("GetData failed");
    if (q6::As<q6::Recordset>(prs)->RecordCount() != kGetDataRows)
      state.SkipWithError("GetData missed records");
  };
  auto baseline = [&] {
    std::deque<Variant> cells;
    raw->Query(native, cells);
    if (cells.size() != static_cast<size_t>(kGetDataRows) * 8)
      state.SkipWithError("the baseline missed records");
    benchmark::DoNotOptimize(cells.back());
  };
  double system = 0, base = 0;
  for (auto _ : state) {
    auto t = Clock::now();
    component();
    system += Since(t);
    state.PauseTiming();
    t = Clock::now();
    baseline();
    base += Since(t);
    state.ResumeTiming();
  }
  const double iterations = static_cast<double>(state.iterations());
  q6::bench::ReportTime(state, system / iterations, base / iterations, 1.2);
  q6::bench::ReportMemory(state, q6::bench::PeakBytes(component), q6::bench::PeakBytes(baseline),
                          1.2);
}

// ---- MoveToByRS ----

void BM_RecordsMoveToByRS(benchmark::State& state) {
  const int e = static_cast<int>(state.range(0));
  const int64_t n = state.range(1);
  q6::bench::Label(state, EngineName(e), n);
  BenchDb* db = Db(e);
  if (!db) return state.SkipWithError("Q6FD_TEST_PG is not set");
  db->Ensure(n);
  auto dm = std::make_shared<DataManager>();
  ObjectRef con = db->con();
  bool get_child = true;
  double total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto entity = BenchEntity(n);
    ObjectRef eo = entity, prs, crs;
    dm->GetData(con, eo, prs, crs, get_child);
    state.ResumeTiming();
    auto t = Clock::now();
    int64_t visited = 0;
    for (int32_t mode = q6::enum_First;; mode = q6::enum_Next) {
      const std::string before = entity->OID()->Value();
      if (!dm->MoveToByRS(con, eo, mode, prs, crs, get_child)) break;
      if (entity->OID()->Value() == before) break;  // past the last record
      ++visited;
    }
    total += Since(t);
    if (visited != n) state.SkipWithError("the walk did not visit every record");
  }
  const double per_record = total / static_cast<double>(state.iterations()) / n;
  q6::bench::ReportStep(state, per_record);
  const std::string key = std::string(EngineName(e)) + "/byrs/";
  Kept()[key + std::to_string(n)] = per_record;
  if (n > 10000 && Kept().count(key + "10000"))
    q6::bench::ReportTime(state, per_record, Kept()[key + "10000"], 1.2);
}

// ---- MoveTo ----

// Walks the records of one table with MoveTo Next, a stretch of steps at a
// time, keeping the time spent.
class MoveToWalk {
 public:
  MoveToWalk(int64_t n, int64_t steps) : n_(n), steps_(steps) {}

  void Start(DataManager& dm, ObjectRef& con) {
    entity_ = BenchEntity(n_);
    eo_ = entity_;
    taken_ = 1;
    int32_t mode = q6::enum_First;
    dm.MoveTo(con, eo_, mode, reversal_, get_child_);
  }
  // Takes up to `count` more steps; false once the walk is over.
  bool Step(DataManager& dm, ObjectRef& con, int64_t count) {
    int32_t mode = q6::enum_Next;
    const auto t = Clock::now();
    for (; count > 0 && taken_ < steps_; --count, ++taken_)
      dm.MoveTo(con, eo_, mode, reversal_, get_child_);
    seconds_ += Since(t);
    return taken_ < steps_;
  }
  bool Arrived() const { return entity_->OID()->Value() == OidOf(steps_); }
  // Time per step over every walk taken.
  double PerStep(double walks) const { return seconds_ / walks / static_cast<double>(steps_ - 1); }

 private:
  int64_t n_, steps_, taken_ = 1;
  std::shared_ptr<EntityObject> entity_;
  ObjectRef eo_;
  bool reversal_ = false, get_child_ = true;
  double seconds_ = 0;
};

void BM_RecordsMoveTo(benchmark::State& state) {
  const int e = static_cast<int>(state.range(0));
  const int64_t n = state.range(1);
  const int64_t steps = std::min(n, kMaxMoveToSteps);
  q6::bench::Label(state, EngineName(e), n);
  BenchDb* db = Db(e);
  if (!db) return state.SkipWithError("Q6FD_TEST_PG is not set");
  db->Ensure(n);
  // A larger table is judged against the step at 10,000 records, walked in
  // turn with it, a stretch each, so that a change in the machine's speed
  // during the run falls on both sides alike.
  constexpr int64_t kSmaller = 10000, kStretch = 500;
  const bool scaled = n > kSmaller;
  if (scaled) db->Ensure(kSmaller);
  // The best raw client prepares the statement once, the current OID a
  // parameter where the literal stood; the text-per-call client writes the
  // literal into the text at every step.
  auto raw = db->Raw(), text = db->Raw();
  const auto around = NativeAround(n, db->engine(), [](auto& s, auto& cols, auto& current) {
    return q6::MoveToStatement(s, cols, q6::enum_Next, current);
  });
  const bool quoted = !around.first.empty() && around.first.back() == '\'' &&
                      !around.second.empty() && around.second.front() == '\'';
  if (!quoted ||
      !raw->Prepare(around.first.substr(0, around.first.size() - 1), around.second.substr(1)))
    return state.SkipWithError("the baseline cannot prepare MoveTo's statement");
  {
    // A connection's first statement reads the schema (and on PostgreSQL
    // plans): untimed, as the component's connection has done that already.
    std::deque<Variant> row;
    raw->Run(OidOf(1), row);
    text->Query(around.first + OidOf(1) + around.second, row);
  }
  auto dm = std::make_shared<DataManager>();
  ObjectRef con = db->con();
  MoveToWalk walk(n, steps), smaller(kSmaller, std::min(steps, kSmaller));
  double base = 0, text_s = 0;
  for (auto _ : state) {
    walk.Start(*dm, con);
    if (scaled) smaller.Start(*dm, con);
    for (bool more = true; more;) {
      more = walk.Step(*dm, con, kStretch);
      if (scaled) more = smaller.Step(*dm, con, kStretch) || more;
    }
    if (!walk.Arrived() || (scaled && !smaller.Arrived()))
      state.SkipWithError("MoveTo lost its way");

    state.PauseTiming();
    for (const bool prepared : {true, false}) {
      std::string current = OidOf(1);
      std::deque<Variant> row;
      const auto t = Clock::now();
      for (int64_t i = 1; i < steps; ++i) {
        row.clear();
        if (prepared)
          raw->Run(current, row);
        else
          text->Query(around.first + current + around.second, row);
        current = row.at(0).ToString();
      }
      (prepared ? base : text_s) += Since(t) / static_cast<double>(steps - 1);
      if (current != OidOf(steps)) state.SkipWithError("the baseline lost its way");
    }
    state.ResumeTiming();
  }
  const double iterations = static_cast<double>(state.iterations());
  const double per_step = walk.PerStep(iterations);
  q6::bench::ReportStep(state, per_step);
  q6::bench::ReportTime(state, per_step, base / iterations, 1.2);
  q6::bench::ReportTextClient(state, per_step, text_s / iterations);
  if (scaled) q6::bench::ReportScaling(state, per_step, smaller.PerStep(iterations), kSmaller, 1.2);
}

void EngineArgs(benchmark::internal::Benchmark* b) {
  for (int e : {0, 1}) b->Args({e});
}
void EngineSizeArgs(benchmark::internal::Benchmark* b) {
  for (int e : {0, 1})
    for (int64_t n : q6::bench::ScalingSizes()) b->Args({e, n});
}

BENCHMARK(BM_RecordsGetData)
    ->Apply(EngineArgs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(q6::bench::Iterations(3));
BENCHMARK(BM_RecordsMoveToByRS)
    ->Apply(EngineSizeArgs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(q6::bench::Iterations(3));
BENCHMARK(BM_RecordsMoveTo)
    ->Apply(EngineSizeArgs)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(q6::bench::Iterations(2));

}  // namespace

BENCHMARK_MAIN();
