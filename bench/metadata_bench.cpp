// Loading an entity definition: LoadEOMetaData against the same statements
// run through the raw sqlite3 API, side by side on one database file.
//
// The entity has 200 fields and a chain of three child levels of 20 fields
// each, so one load runs twelve statements and reads 260 field rows. The
// raw baseline keeps one open connection (the component takes pooled ones),
// steps every statement and copies every column's value out of the engine.
// The goal: the component at most 1.5 times the raw time ("ratio").
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "bench_util.h"
#include "component/frame/data_manager.h"
#include "outside/eso/entity_object.h"
#include "platform/adodb/connection.h"
#include "platform/drivers/driver.h"
#include "platform/schema/schema.h"

namespace {

constexpr int32_t kRoot = 51;
constexpr int kLevels = 4;  // the root and three child levels
// 200 and 20 fields; 20 and 5 in quick mode.
const int kRootFields = static_cast<int>(q6::bench::Size(200, 20));
const int kChildFields = static_cast<int>(q6::bench::Size(20, 5));

// A database file with the entity chain, created once per process.
class Database {
 public:
  Database() {
    folder_ = std::filesystem::temp_directory_path() / ("q6mdbench." + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    dsn_ = "Driver=sqlite;Database=" + (folder_ / "bench.db").string();
    q6::Connection con;
    con.Open(dsn_);
    q6::CreateSchema(con);
    con.BeginTrans();
    for (int level = 0; level < kLevels; ++level) {
      int32_t id = kRoot + level;
      std::string n = std::to_string(id);
      con.Execute("insert into FD_Entities values (" + n + ", 'e" + n + "', 'Entity " + n + "', " +
                  n + ", 'f1', 'fd_t" + n +
                  "', 'poid', NULL, 'h', 'd', 1, 2, 3, 1, 'pz', 4, 0, 800.5, "
                  "600.25, 0, 7, 1, ' left join x on x.a=t.a', '1001', 0, " +
                  (level ? std::to_string(id - 1) : "0") + ", NULL)");
      int fields = level == 0 ? kRootFields : kChildFields;
      for (int f = 1; f <= fields; ++f) {
        std::string fid = std::to_string(id * 1000 + f), name = "f" + std::to_string(f);
        con.Execute("insert into FD_Fields values (" + fid + ", '" + name + "', 'Field " + name +
                    "', " + n + ", 0, NULL, 1, 0, 0, " + std::to_string(f) + ", 1, NULL, 0, 1, " +
                    "20, 2, 1, NULL, 't." + name + "', " + std::to_string(f / 4) + ", 1, 2, " +
                    std::to_string(f % 4) + ", 10.5, 80, 95.25, 120, " + std::to_string(f * 20) +
                    ", 18, NULL, 1000000, 'isnull(@,0)', '', 0)");
      }
    }
    con.CommitTrans();
  }
  ~Database() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  const std::string& dsn() const { return dsn_; }
  std::string file() const { return (folder_ / "bench.db").string(); }

 private:
  std::filesystem::path folder_;
  std::string dsn_;
};

Database& Db() {
  static Database db;
  return db;
}

// --- the component ---

void LoadWithComponent(q6::DataManager& dm, q6::Variant& dsn) {
  int32_t bi_type = kRoot, only_used = 0;
  bool only_eo = false, get_child = true;
  q6::ObjectRef eo = dm.LoadEOMetaData(dsn, bi_type, only_eo, only_used, get_child);
  benchmark::DoNotOptimize(eo.get());
}

// --- the raw baseline ---

using Cell = std::variant<std::monostate, int64_t, double, std::string>;

// Steps `sql` to its end, copying every column of every row into `rows`.
// Returns the first column of the first row as an integer (0 when none).
int64_t RunRaw(sqlite3* db, const std::string& sql, std::vector<std::vector<Cell>>& rows) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
    throw std::runtime_error(sqlite3_errmsg(db));
  int ncols = sqlite3_column_count(stmt);
  int64_t first = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    std::vector<Cell> row(ncols);
    for (int c = 0; c < ncols; ++c) {
      switch (sqlite3_column_type(stmt, c)) {
        case SQLITE_INTEGER:
          row[c] = static_cast<int64_t>(sqlite3_column_int64(stmt, c));
          break;
        case SQLITE_FLOAT:
          row[c] = sqlite3_column_double(stmt, c);
          break;
        case SQLITE_TEXT:
          row[c] = std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)),
                               sqlite3_column_bytes(stmt, c));
          break;
        default:
          break;
      }
    }
    if (rows.empty() && row[0].index() == 1) first = std::get<int64_t>(row[0]);
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(stmt);
  return first;
}

void LoadRaw(sqlite3* db) {
  int64_t id = kRoot;
  while (id != 0) {
    std::string n = std::to_string(id);
    std::vector<std::vector<Cell>> entity, fields, child;
    RunRaw(db, "Select * From FD_Entities Where iID = " + n, entity);
    RunRaw(db,
           "Select * From FD_Fields Where iEntityID = " + n +
               " and bisused = 1  order by irow,iinputcol,iid ",
           fields);
    id = RunRaw(db, "select ibitype from fd_entities where iparentid=" + n, child);
    benchmark::DoNotOptimize(fields.data());
  }
}

sqlite3* OpenRaw() {
  sqlite3* db = nullptr;
  if (sqlite3_open(Db().file().c_str(), &db) != SQLITE_OK) throw std::runtime_error("open");
  return db;
}

void BM_LoadEOMetaData(benchmark::State& state) {
  auto dm = std::make_shared<q6::DataManager>();
  q6::Variant dsn(Db().dsn());
  for (auto _ : state) LoadWithComponent(*dm, dsn);
}

void BM_LoadEOMetaDataRaw(benchmark::State& state) {
  sqlite3* db = OpenRaw();
  for (auto _ : state) LoadRaw(db);
  sqlite3_close(db);
}

// This thread's CPU time in microseconds: unlike the wall clock, it does not
// count the time the thread waits for a core on a busy machine.
double ThreadCpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

// Both in one loop, alternating, so that both see the same machine state.
// "ratio" is the component's wall time over the raw wall time, "cpu_ratio"
// the same for CPU time.
void BM_LoadEOMetaDataSideBySide(benchmark::State& state) {
  q6::bench::Label(state, "SQLite", kRootFields);
  auto dm = std::make_shared<q6::DataManager>();
  q6::Variant dsn(Db().dsn());
  sqlite3* db = OpenRaw();
  using Clock = std::chrono::steady_clock;
  Clock::duration ours{}, raw{};
  double ours_cpu = 0, raw_cpu = 0;
  for (auto _ : state) {
    double c0 = ThreadCpuMicros();
    auto t0 = Clock::now();
    LoadWithComponent(*dm, dsn);
    auto t1 = Clock::now();
    double c1 = ThreadCpuMicros();
    LoadRaw(db);
    auto t2 = Clock::now();
    double c2 = ThreadCpuMicros();
    ours += t1 - t0;
    raw += t2 - t1;
    ours_cpu += c1 - c0;
    raw_cpu += c2 - c1;
  }
  sqlite3_close(db);
  double n = static_cast<double>(state.iterations());
  q6::bench::ReportTime(state, std::chrono::duration<double>(ours).count() / n,
                        std::chrono::duration<double>(raw).count() / n, 1.2);
  state.counters["cpu_ratio"] = ours_cpu / raw_cpu;
}

BENCHMARK(BM_LoadEOMetaData)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadEOMetaDataRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadEOMetaDataSideBySide)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
