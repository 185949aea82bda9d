// Saving an entity definition: SaveEOMetaData of an entity with 500 fields
// against the engine's own client library doing the same writes, side by
// side on one database.
//
// Each iteration saves the stored entity again (the update path): the
// component checks the caption, rewrites the entity row, deletes the 500
// field rows and sends them again in one batch, all in one transaction. The
// raw baseline, on a connection of its own, runs in one transaction the same
// entity update, the same delete, and the 500 inserts through one prepared
// statement with bound values. Both sides run in every iteration, the
// component first. The goal: the component at most 1.5 times the raw time
// ("ratio").
//
// SQLite runs on a file in a temporary folder; PostgreSQL on the server named
// by Q6FD_TEST_PG (as for the tests), in a schema of its own, and is skipped
// without it.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <postgresql/libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench_util.h"
#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"

namespace {

constexpr int32_t kEntity = 51;

int FieldCount() { return static_cast<int>(q6::bench::Size(500, 50)); }

// One bound value of the raw insert: Null, an integer, a double or a text.
struct Value {
  enum Kind { kNull, kInt, kDouble, kText } kind = kNull;
  int64_t i = 0;
  double d = 0;
  std::string s;
  static Value Null() { return {}; }
  static Value Int(int64_t v) { return {kInt, v, 0, {}}; }
  static Value Dbl(double v) { return {kDouble, 0, v, {}}; }
  static Value Text(std::string v) { return {kText, 0, 0, std::move(v)}; }
  std::string AsText() const {
    if (kind == kInt) return std::to_string(i);
    if (kind == kDouble) return std::to_string(d);
    return s;
  }
};

constexpr const char* kFieldColumns =
    "iID, sName, sCaption, iEntityID, iFieldOption, sHelpContextID, bPersistent, "
    "iReferenceType, iRefFldSqc, iQryFldSqc, bIsUsed, sTaskID, iEditProp, iDataType, iLength, "
    "iDecimals, bAllowNull, sDefaultValue, sSourceField, iRow, iStartCol, iEndCol, iInputCol, "
    "dblleft, dblwidth, dblInputLeft, dblInputWidth, dbltop, dblHeight, dblMin, dblMax, sexpr, "
    "sjoinfield, bNeedCheck";
constexpr int kFieldColumnCount = 34;

// Field i as the raw side writes it: the row the component writes for
// FieldObject(i), Null rules applied.
std::vector<Value> FieldRow(int i) {
  std::string name = "f" + std::to_string(i);
  return {Value::Int(kEntity * 1000 + i),
          Value::Text(name),
          Value::Text("Field " + name),
          Value::Int(kEntity),
          Value::Int(0),
          Value::Null(),
          Value::Int(1),
          Value::Int(0),
          Value::Int(0),
          Value::Int(i),
          Value::Int(1),
          Value::Null(),
          Value::Int(0),
          Value::Int(1),
          Value::Int(20),
          Value::Int(2),
          Value::Int(1),
          Value::Null(),
          Value::Text("t." + name),
          Value::Int(i / 4 + 1),
          Value::Int(1),
          Value::Int(2),
          Value::Int(i % 4 + 1),
          Value::Dbl(10.5),
          Value::Dbl(80),
          Value::Dbl(95.25),
          Value::Dbl(120),
          Value::Dbl(i * 20 + 20),
          Value::Dbl(18),
          Value::Null(),
          Value::Dbl(1000000),
          Value::Text("isnull(@,0)"),
          Value::Null(),
          Value::Int(0)};
}

std::shared_ptr<q6::EntityField> FieldObject(int i) {
  using q6::Variant;
  auto f = q6::NewEntityField();
  std::string name = "f" + std::to_string(i);
  f->SetID(Variant(kEntity * 1000 + i));
  f->SetName(Variant(name));
  f->SetCaption(Variant("Field " + name));
  f->SetEntityID(Variant(kEntity));
  f->SetPersistent(Variant(true));
  f->SetQryFldSqc(Variant(int32_t{i}));
  f->SetIsUsed(Variant(true));
  f->SetDataType(Variant(int32_t{q6::kDataTypeText}));
  f->SetLength(Variant(int32_t{20}));
  f->SetDecimals(Variant(int32_t{2}));
  f->SetAllowNull(Variant(true));
  f->SetDefaultValue(Variant(""));
  f->SetSourceField(Variant("t." + name));
  f->SetRow(Variant(int32_t{i / 4 + 1}));
  f->SetStartCol(Variant(int32_t{1}));
  f->SetEndCol(Variant(int32_t{2}));
  f->SetInputCol(Variant(int32_t{i % 4 + 1}));
  f->SetLeft(Variant(10.5));
  f->SetWidth(Variant(80.0));
  f->SetInputLeft(Variant(95.25));
  f->SetInputWidth(Variant(120.0));
  f->SetTop(Variant(static_cast<double>(i * 20 + 20)));
  f->SetHeight(Variant(18.0));
  f->SetMin(Variant::Null());
  f->SetMax(Variant(1000000.0));
  f->SetExpr(Variant("isnull(@,0)"));
  return f;
}

std::shared_ptr<q6::EntityObject> EntityObject() {
  using q6::Variant;
  auto eo = q6::NewEntityObject();
  eo->SetID(Variant(kEntity));
  eo->SetName(Variant("bench"));
  eo->SetCaption(Variant("Bench entity"));
  eo->SetBIType(Variant(kEntity));
  eo->SetOIDSourceField(Variant("oid"));
  eo->SetSourceTable(Variant("fd_bench"));
  eo->SetDescription(Variant("d"));
  eo->SetSheet(Variant(int32_t{1}));
  eo->SetRows(Variant(int32_t{2}));
  eo->SetCols(Variant(int32_t{3}));
  eo->SetIsUsed(Variant(true));
  eo->SetWidth(Variant(800.5));
  eo->SetHeight(Variant(600.25));
  eo->SetAlarmDays(Variant(int32_t{7}));
  eo->SetSubjectCode(Variant("1001"));
  for (int i = 1; i <= FieldCount(); ++i) eo->Fields()->Add(FieldObject(i));
  eo->SetEditState(Variant(int32_t{q6::kEditStateNew}));
  return eo;
}

// The entity row update of the raw side: the columns the update path writes.
constexpr const char* kEntityUpdate =
    "UPDATE FD_Entities SET iID = 51, sName = 'bench', sCaption = 'Bench entity', "
    "ibitype = 51, sOIDSourceField = 'oid', sSourceTable = 'fd_bench', sParentField = NULL, "
    "sTaskID = NULL, sHelpContextID = NULL, sDescription = 'd', iSheet = 1, iRows = 2, "
    "iCols = 3, iIsUsed = 1, sPzSign = NULL, iWidth = 800.5, iHeight = 600.25, "
    "bIsAutoAlarm = 0, ialarmdays = 7, sqryjoin = NULL, SubjectCode = '1001', buseexpr = 0, "
    "bCheckOver = 0 WHERE iID = 51";
constexpr const char* kFieldDelete = "DELETE FROM FD_Fields WHERE iEntityID = 51";

std::string InsertSql(bool postgres) {
  std::string values;
  for (int i = 1; i <= kFieldColumnCount; ++i)
    values += std::string(i > 1 ? ", " : "") + (postgres ? "$" : "?") + std::to_string(i);
  return std::string("INSERT INTO FD_Fields (") + kFieldColumns + ") VALUES (" + values + ")";
}

// The raw SQLite side, on a connection of its own.
class RawSqlite {
 public:
  explicit RawSqlite(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_busy_timeout(db_, 5000);
  }
  ~RawSqlite() { sqlite3_close(db_); }

  bool Save(const std::vector<std::vector<Value>>& rows) {
    bool ok = Exec("BEGIN IMMEDIATE") && Exec(kEntityUpdate) && Exec(kFieldDelete);
    sqlite3_stmt* st = nullptr;
    std::string insert = InsertSql(false);
    ok = ok && sqlite3_prepare_v2(db_, insert.c_str(), -1, &st, nullptr) == SQLITE_OK;
    for (size_t r = 0; ok && r < rows.size(); ++r) {
      for (int c = 0; c < kFieldColumnCount; ++c) {
        const Value& v = rows[r][c];
        switch (v.kind) {
          case Value::kNull:
            sqlite3_bind_null(st, c + 1);
            break;
          case Value::kInt:
            sqlite3_bind_int64(st, c + 1, v.i);
            break;
          case Value::kDouble:
            sqlite3_bind_double(st, c + 1, v.d);
            break;
          case Value::kText:
            sqlite3_bind_text(st, c + 1, v.s.c_str(), static_cast<int>(v.s.size()), SQLITE_STATIC);
            break;
        }
      }
      ok = sqlite3_step(st) == SQLITE_DONE && sqlite3_reset(st) == SQLITE_OK;
    }
    sqlite3_finalize(st);
    return Exec(ok ? "COMMIT" : "ROLLBACK") && ok;
  }

 private:
  bool Exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3* db_ = nullptr;
};

// libpq, looked up at run time: the product's libraries keep their engine
// clients to themselves.
struct Pq {
  decltype(&::PQconnectdb) connectdb = nullptr;
  decltype(&::PQstatus) status = nullptr;
  decltype(&::PQexec) exec = nullptr;
  decltype(&::PQprepare) prepare = nullptr;
  decltype(&::PQexecPrepared) exec_prepared = nullptr;
  decltype(&::PQresultStatus) result_status = nullptr;
  decltype(&::PQclear) clear = nullptr;
  decltype(&::PQfinish) finish = nullptr;
  bool ok = false;
};

const Pq& PqApi() {
  static const Pq api = [] {
    Pq p;
    void* lib = dlopen("libpq.so.5", RTLD_NOW | RTLD_GLOBAL);
    if (!lib) return p;
    auto bind = [&](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
      return fn != nullptr;
    };
    p.ok = bind(p.connectdb, "PQconnectdb") && bind(p.status, "PQstatus") &&
           bind(p.exec, "PQexec") && bind(p.prepare, "PQprepare") &&
           bind(p.exec_prepared, "PQexecPrepared") && bind(p.result_status, "PQresultStatus") &&
           bind(p.clear, "PQclear") && bind(p.finish, "PQfinish");
    return p;
  }();
  return api;
}

// The raw PostgreSQL side: one session, the insert prepared once.
class RawPostgres {
 public:
  explicit RawPostgres(const std::string& conninfo) : api_(PqApi()) {
    if (!api_.ok) return;
    conn_ = api_.connectdb(conninfo.c_str());
    ok_ = api_.status(conn_) == CONNECTION_OK;
    if (ok_) {
      PGresult* r =
          api_.prepare(conn_, "fieldrow", InsertSql(true).c_str(), kFieldColumnCount, nullptr);
      ok_ = api_.result_status(r) == PGRES_COMMAND_OK;
      api_.clear(r);
    }
  }
  ~RawPostgres() {
    if (conn_) api_.finish(conn_);
  }
  bool ok() const { return ok_; }

  bool Save(const std::vector<std::vector<Value>>& rows) {
    bool ok = Command("BEGIN") && Command(kEntityUpdate) && Command(kFieldDelete);
    std::vector<std::string> texts(kFieldColumnCount);
    std::vector<const char*> params(kFieldColumnCount);
    for (size_t r = 0; ok && r < rows.size(); ++r) {
      for (int c = 0; c < kFieldColumnCount; ++c) {
        const Value& v = rows[r][c];
        texts[c] = v.AsText();
        params[c] = v.kind == Value::kNull ? nullptr : texts[c].c_str();
      }
      PGresult* res = api_.exec_prepared(conn_, "fieldrow", kFieldColumnCount, params.data(),
                                         nullptr, nullptr, 0);
      ok = api_.result_status(res) == PGRES_COMMAND_OK;
      api_.clear(res);
    }
    return Command(ok ? "COMMIT" : "ROLLBACK") && ok;
  }

 private:
  bool Command(const char* sql) {
    PGresult* r = api_.exec(conn_, sql);
    bool ok = api_.result_status(r) == PGRES_COMMAND_OK;
    api_.clear(r);
    return ok;
  }
  const Pq& api_;
  PGconn* conn_ = nullptr;
  bool ok_ = false;
};

// Q6FD_TEST_PG's keys as libpq conninfo, with the schema on the search path.
std::string PgConninfo(const std::string& source, const std::string& schema) {
  static const std::map<std::string, std::string> kKeys = {{"server", "host"},
                                                           {"port", "port"},
                                                           {"database", "dbname"},
                                                           {"uid", "user"},
                                                           {"pwd", "password"}};
  std::string out;
  size_t pos = 0;
  while (pos <= source.size()) {
    size_t end = source.find(';', pos);
    if (end == std::string::npos) end = source.size();
    std::string item = source.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (eq != std::string::npos) {
      std::string key = item.substr(0, eq);
      for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      auto it = kKeys.find(key);
      if (it != kKeys.end()) out += it->second + "='" + item.substr(eq + 1) + "' ";
    }
    pos = end + 1;
  }
  return out + "options='-c search_path=" + schema + ",public'";
}

// Where one engine's run writes: the component's data source and the raw
// side's connection text (a file path for SQLite).
struct Target {
  std::string source;
  std::string raw;
  std::string skip;
};

// SQLite: one database file for every repetition of the process, emptied
// at the start of each (as PostgreSQL gets the same schema each time). The
// connection pool keeps the component's connection to it from one
// repetition to the next, as it does for a program that saves to its one
// database again and again. A new file each time left the pool holding a
// connection to every earlier file, and later repetitions ran some 10%
// slower for it. The folder goes when the process ends.
Target SqliteTarget() {
  struct Folder {
    std::string path;
    ~Folder() {
      std::error_code ec;
      if (!path.empty()) std::filesystem::remove_all(path, ec);
    }
  };
  static const Folder folder = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "q6savebench.XXXXXX").string();
    return Folder{mkdtemp(dir.data()) ? dir : std::string()};
  }();
  Target t;
  if (folder.path.empty()) {
    t.skip = "no temporary folder";
    return t;
  }
  t.raw = folder.path + "/save.db";
  t.source = "Driver=sqlite;Database=" + t.raw;
  return t;
}

Target PostgresTarget() {
  Target t;
  const char* pg = std::getenv("Q6FD_TEST_PG");
  if (!pg || !*pg) {
    t.skip = "Q6FD_TEST_PG is not set";
    return t;
  }
  const std::string schema = "q6savebench_" + std::to_string(getpid());
  q6::Connection admin;
  admin.Open(pg);
  admin.Execute("CREATE EXTENSION IF NOT EXISTS citext SCHEMA public");
  admin.Execute("DROP SCHEMA IF EXISTS " + schema + " CASCADE");
  admin.Execute("CREATE SCHEMA " + schema);
  t.source = std::string(pg) + ";Schema=" + schema;
  t.raw = PgConninfo(pg, schema);
  return t;
}

void DropPostgresSchema() {
  const char* pg = std::getenv("Q6FD_TEST_PG");
  q6::Connection admin;
  admin.Open(pg);
  admin.Execute("DROP SCHEMA IF EXISTS q6savebench_" + std::to_string(getpid()) + " CASCADE");
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_SaveEOMetaData(benchmark::State& state, bool postgres) {
  Target t = postgres ? PostgresTarget() : SqliteTarget();
  if (!t.skip.empty()) return state.SkipWithError(t.skip.c_str());
  // The schema goes when the run ends, however it ends.
  struct Cleanup {
    bool postgres;
    ~Cleanup() {
      if (postgres) DropPostgresSchema();
    }
  } cleanup{postgres};
  {
    q6::Connection con;
    con.Open(t.source);
    q6::CreateSchema(con);
    con.Execute("DELETE FROM FD_Fields");
    con.Execute("DELETE FROM FD_Entities");
  }
  auto dm = std::make_shared<q6::DataManager>();
  auto eo = EntityObject();
  q6::Variant dsn(t.source);
  q6::ObjectRef ref = eo;
  bool only_eo = false, set_child = true;
  // The first save creates the entity; the measured ones update it.
  if (!dm->SaveEOMetaData(dsn, ref, only_eo, set_child))
    return state.SkipWithError("the first save failed");
  eo->SetEditState(q6::Variant(int32_t{q6::kEditStateDefinition}));

  std::vector<std::vector<Value>> rows;
  for (int i = 1; i <= FieldCount(); ++i) rows.push_back(FieldRow(i));
  std::unique_ptr<RawSqlite> raw_lite;
  std::unique_ptr<RawPostgres> raw_pg;
  if (postgres) {
    raw_pg = std::make_unique<RawPostgres>(t.raw);
    if (!raw_pg->ok()) return state.SkipWithError("libpq could not connect");
  } else {
    raw_lite = std::make_unique<RawSqlite>(t.raw);
  }

  double system_s = 0, baseline_s = 0;
  int64_t n = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    bool saved = dm->SaveEOMetaData(dsn, ref, only_eo, set_child);
    double s = Seconds(start);
    start = std::chrono::steady_clock::now();
    bool raw = postgres ? raw_pg->Save(rows) : raw_lite->Save(rows);
    double b = Seconds(start);
    if (!saved || !raw) return state.SkipWithError(saved ? "the raw save failed" : "a save failed");
    state.SetIterationTime(s);
    system_s += s;
    baseline_s += b;
    ++n;
  }
  raw_pg.reset();
  raw_lite.reset();
  if (n == 0) return;
  q6::bench::ReportTime(state, system_s / n, baseline_s / n, 1.2);
  q6::bench::Label(state, postgres ? "PostgreSQL" : "SQLite", FieldCount());
}

BENCHMARK_CAPTURE(BM_SaveEOMetaData, SQLite, false)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(q6::bench::Iterations(30));
BENCHMARK_CAPTURE(BM_SaveEOMetaData, PostgreSQL, true)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(q6::bench::Iterations(30));

}  // namespace
