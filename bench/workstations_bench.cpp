// Many workstations on one PostgreSQL server: N client processes (16, 64,
// 128) each run the office's mix with think time between calls, straight to
// the server and through a connection pooler in transaction mode. A cycle:
// open a type (LoadEOMetaData), move through its records (GetData and ten
// MoveNext), lock a record (LockIt), two new OIDs (GetNewOID), save a new
// receipt with them (Save), unlock (UnlockIt); every fifth cycle the type's
// query object (GetQueryResult). Each call is followed by a think time drawn
// uniformly from 100 to 300 ms.
//
// Reported per run (counters): calls_per_s (all clients together; calls
// that succeeded), errors (calls that failed),
// server_conns (the most client sessions the server had at once, sampled
// every 100 ms), and p50_<call>_ms / p99_<call>_ms per call kind. The run at
// N = 128 through the pooler is judged against N = 16 straight to the server:
// throughput at least 0.8x (ReportThroughput); BM_WorkstationsLockItTail
// judges its LockIt p99 against its p50 (at most 5x).
//
// Needs Q6FD_TEST_PG (the server) and Q6FD_TEST_POOLER (the same database
// through the pooler, Pooler=transaction; scripts/run-bench.sh starts one);
// without them the runs are skipped with an error. Not run by the quick
// bench: a full run takes about two minutes.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench_pg.h"
#include "bench_util.h"
#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/oid_manager.h"
#include "component/frame/query_manager.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_object.h"
#include "outside/eso/oid_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "platform/schema/schema.h"
#include "sample/sample_data.h"

namespace q6 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kReceipt = 51, kReceiptLine = 52;
const double kRunSeconds = static_cast<double>(bench::Size(10, 2));

// The schema of the run, on the server: "" when there is no server.
const std::string& Schema() {
  static const std::string schema = []() -> std::string {
    const char* server = std::getenv("Q6FD_TEST_PG");
    if (!server || !*server) return "";
    std::string name = "q6bench_ws_" + std::to_string(::getpid());
    Connection admin;
    admin.Open(server);
    admin.Execute("CREATE EXTENSION IF NOT EXISTS citext SCHEMA public");
    admin.Execute("CREATE SCHEMA " + name);
    bench::DropSchemaAtExit(server, name);
    Connection con;
    con.Open(std::string(server) + ";Schema=" + name);
    CreateSchema(con);
    sample::SeedOptions seed;
    seed.documents = 50;
    sample::SeedSample(con, seed);
    return name;
  }();
  return schema;
}

// The data source of a run: straight to the server, or through the pooler.
std::string Source(bool pooled) {
  const char* s = std::getenv(pooled ? "Q6FD_TEST_POOLER" : "Q6FD_TEST_PG");
  if (!s || !*s || Schema().empty()) return "";
  return std::string(s) + ";Schema=" + Schema();
}

std::shared_ptr<EntityObject> LoadType(DataManager& dm, const std::string& source, int32_t type) {
  Variant dsn(source);
  bool only_eo = false, get_child = true;
  int32_t only_used = 0;
  return As<EntityObject>(dm.LoadEOMetaData(dsn, type, only_eo, only_used, get_child));
}

std::string NewOid(OIDManager& om, const std::string& source, int32_t type) {
  Variant dsn(source);
  bool locked = true;
  return As<OIDObject>(om.GetNewOID(dsn, type, locked))->Value();
}

// A new receipt with one line, from the loaded definition `def`.
ObjectRef NewReceipt(const EntityObject& def, const std::string& oid, const std::string& line_oid) {
  auto put = [](EntityObject& e, const char* name, Variant v) {
    e.Fields()->Item(name)->SetValue(v);
  };
  std::shared_ptr<EntityObject> doc = def.Clone(0);
  doc->SetEditState(Variant(int32_t{2}));
  doc->SetOIDValue(Variant(oid));
  put(*doc, "oid", Variant(oid));
  put(*doc, "transactions_code", Variant("W" + oid.substr(9)));
  put(*doc, "doc_date", Variant("2026-12-09"));
  put(*doc, "payer", Variant("workstation"));
  put(*doc, "amount", Variant(12.5));
  put(*doc, "approved", Variant(false));
  std::shared_ptr<EntityObject> line = doc->ChildEOs()->ChildEO()->Clone(0);
  line->SetEditState(Variant(int32_t{2}));
  line->SetOIDValue(Variant(line_oid));
  put(*line, "oid", Variant(line_oid));
  put(*line, "line_no", Variant(int32_t{1}));
  put(*line, "subject", Variant("1002"));
  put(*line, "amount", Variant(12.5));
  doc->ChildEOs()->Add(line, "K" + line_oid);
  return doc;
}

// One workstation until `end`: writes "<call> <ms>" per call to `out`, and
// "ERROR <call> <description>" for a failure (the cycle then starts over).
// Records are named after `run`, so that no run meets another's locks.
int Workstation(const std::string& run, int id, const std::string& source, Clock::time_point end,
                const std::string& out) {
  std::mt19937 random(static_cast<unsigned>(id * 7919 + ::getpid()));
  std::uniform_int_distribution<int> think_ms(100, 300);
  std::string lines;
  DataManager dm;
  OIDManager om;
  LockManager lm;
  Querymanager qm;
  Variant dsn(source);
  std::string user = "ws" + std::to_string(id), ws = "pc" + std::to_string(id), mod = "fd";
  auto timed = [&](const char* call, const std::function<void()>& body) {
    if (Clock::now() >= end) return false;
    const auto start = Clock::now();
    try {
      body();
    } catch (const std::exception& e) {
      lines += std::string("ERROR ") + call + " " + e.what() + "\n";
      return false;
    }
    lines +=
        std::string(call) + " " +
        std::to_string(std::chrono::duration<double, std::milli>(Clock::now() - start).count()) +
        "\n";
    std::this_thread::sleep_for(std::chrono::milliseconds(think_ms(random)));
    return true;
  };
  std::shared_ptr<EntityObject> def;
  for (int cycle = 0; Clock::now() < end; ++cycle) {
    const std::string record = run + "-" + std::to_string(id) + "-" + std::to_string(cycle);
    std::string oid, line_oid;
    int32_t level = 7;
    std::string digest;
    timed("LoadEOMetaData", [&] { def = LoadType(dm, source, kReceipt); }) &&
        timed("GetData",
              [&] {
                auto con = std::make_shared<Connection>();
                con->Open(source);
                ObjectRef c = con, eo = def, prs, crs;
                bool child = false;
                dm.GetData(c, eo, prs, crs, child);
                auto rs = As<Recordset>(prs);
                for (int i = 0; i < 10 && !rs->EOF(); ++i) rs->MoveNext();
              }) &&
        timed("LockIt",
              [&] {
                Variant id_v(record);
                lm.LockIt(dsn, id_v, user, ws, mod, level, digest);
              }) &&
        timed("GetNewOID",
              [&] {
                oid = NewOid(om, source, kReceipt);
                line_oid = NewOid(om, source, kReceiptLine);
              }) &&
        timed("Save",
              [&] {
                auto con = std::make_shared<Connection>();
                con->Open(source);
                ObjectRef c = con, doc = NewReceipt(*def, oid, line_oid);
                dm.Save(c, doc);
              }) &&
        timed("UnlockIt",
              [&] {
                Variant id_v(record);
                lm.UnlockIt(dsn, id_v, user, ws, mod, level);
              }) &&
        (cycle % 5 != 4 || timed("GetQueryResult", [&] {
           ObjectRef q = def;
           bool captions = true;
           qm.GetQueryResult(dsn, q, captions);
         }));
  }
  std::ofstream(out) << lines;
  return 0;
}

// The client sessions the server has in the run's database now (this
// connection's own left out).
int64_t ServerSessions(Connection& admin) {
  auto rs = admin.Execute(
      "select count(*) from pg_stat_activity where datname = current_database() and "
      "backend_type = 'client backend' and pid <> pg_backend_pid()");
  return rs->Fields()->Item(Variant(int32_t{0}))->Value().ToLong();
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

struct RunResult {
  double calls_per_s = 0;
  double lockit_p50 = 0, lockit_p99 = 0;
};
std::map<std::pair<int, bool>, RunResult>& Results() {
  static std::map<std::pair<int, bool>, RunResult> r;
  return r;
}

void BM_Workstations(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool pooled = state.range(1) != 0;
  const std::string source = Source(pooled);
  if (source.empty()) {
    state.SkipWithError(pooled ? "Q6FD_TEST_POOLER is not set" : "Q6FD_TEST_PG is not set");
    return;
  }
  const std::string dir =
      std::filesystem::temp_directory_path() /
      ("q6bench_ws_" + std::to_string(::getpid()) + "_" + std::to_string(n) + (pooled ? "p" : "d"));
  std::filesystem::create_directories(dir);
  Connection admin;
  admin.Open(std::getenv("Q6FD_TEST_PG"));
  const auto run = std::chrono::milliseconds(static_cast<int64_t>(kRunSeconds * 1000));
  for (auto _ : state) {
    // Every client starts when the last one has been forked: the gate's
    // write end closes.
    int gate[2];
    if (::pipe(gate) != 0) {
      state.SkipWithError("pipe failed");
      return;
    }
    std::vector<pid_t> pids;
    std::fflush(nullptr);
    for (int i = 0; i < n; ++i) {
      pid_t pid = ::fork();
      if (pid == 0) {
        ::close(gate[1]);
        char c;
        while (::read(gate[0], &c, 1) > 0) {
        }
        ::_exit(Workstation(std::to_string(n) + (pooled ? "p" : "d"), i, source, Clock::now() + run,
                            dir + "/" + std::to_string(i) + ".txt"));
      }
      pids.push_back(pid);
    }
    ::close(gate[0]);
    ::close(gate[1]);
    const auto end = Clock::now() + run;
    int64_t most = 0;
    while (Clock::now() < end) {
      most = std::max(most, ServerSessions(admin));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    bool failed = false;
    for (pid_t pid : pids) {
      int st = 0;
      ::waitpid(pid, &st, 0);
      failed |= !WIFEXITED(st) || WEXITSTATUS(st) != 0;
    }
    std::map<std::string, std::vector<double>> times;
    std::string first_error;
    int64_t errors = 0;
    for (int i = 0; i < n; ++i) {
      std::ifstream in(dir + "/" + std::to_string(i) + ".txt");
      for (std::string call; in >> call;) {
        if (call == "ERROR") {
          std::string rest;
          std::getline(in, rest);
          if (first_error.empty()) first_error = rest;
          ++errors;
          continue;
        }
        double ms = 0;
        in >> ms;
        times[call].push_back(ms);
      }
    }
    std::filesystem::remove_all(dir);
    if (failed || times.empty()) {
      state.SkipWithError(("the workstations failed:" + first_error).c_str());
      return;
    }
    // Failed calls (a lock wait that ran out, a connection the server
    // refused) are counted, and the first is shown.
    if (errors)
      std::fprintf(stderr, "%d clients%s: %lld failed calls, first:%s\n", n,
                   pooled ? " through the pooler" : "", static_cast<long long>(errors),
                   first_error.c_str());
    size_t calls = 0;
    for (const auto& [call, v] : times) {
      calls += v.size();
      bench::SetCounter(state, "p50_" + call + "_ms", Percentile(v, 0.5));
      bench::SetCounter(state, "p99_" + call + "_ms", Percentile(v, 0.99));
    }
    RunResult r;
    r.calls_per_s = static_cast<double>(calls) / kRunSeconds;
    r.lockit_p50 = Percentile(times["LockIt"], 0.5);
    r.lockit_p99 = Percentile(times["LockIt"], 0.99);
    Results()[{n, pooled}] = r;
    bench::SetCounter(state, "calls_per_s", r.calls_per_s);
    bench::SetCounter(state, "errors", static_cast<double>(errors));
    bench::SetCounter(state, "server_conns", static_cast<double>(most));
    bench::SetCounter(state, "clients", n);
    bench::SetCounter(state, "pooled", pooled ? 1 : 0);
    state.SetIterationTime(kRunSeconds);
  }
  state.SetLabel("engine=PostgreSQL size=" + std::to_string(n) +
                 (pooled ? " through the pooler" : " direct"));
  const auto base = Results().find({16, false});
  if (n == 128 && pooled && base != Results().end() && !bench::Quick())
    bench::ReportThroughput(state, 1 / Results()[{n, pooled}].calls_per_s,
                            1 / base->second.calls_per_s, 0.8);
}
BENCHMARK(BM_Workstations)
    ->ArgNames({"clients", "pooled"})
    ->Args({16, 0})
    ->Args({64, 0})
    ->Args({128, 0})
    ->Args({16, 1})
    ->Args({64, 1})
    ->Args({128, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// LockIt's tail at N = 128 through the pooler: p99 against p50.
void BM_WorkstationsLockItTail(benchmark::State& state) {
  const auto r = Results().find({128, true});
  if (r == Results().end()) {
    state.SkipWithError("BM_Workstations at 128 clients through the pooler did not run");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(r->second.lockit_p99);
  state.SetLabel("engine=PostgreSQL size=128");
  bench::ReportTime(state, r->second.lockit_p99 / 1000, r->second.lockit_p50 / 1000, 5);
}
BENCHMARK(BM_WorkstationsLockItTail)->Iterations(1);

}  // namespace
}  // namespace q6
