// What every benchmark of q6bench shares: the run mode and the sizes that
// follow from it, and the counters and label that scripts/bench_report.py
// reads to build the results table. The convention is described in
// bench/README.md.
//
// Quick mode ($Q6_BENCH_QUICK set to anything but "" or "0"; set by
// `scripts/run-bench.sh --quick`) runs every benchmark once at small sizes,
// so that a broken benchmark shows in CI; nothing is judged in quick mode.
//
// Everything here is read at static-initialisation time as well (benchmark
// registrations call Size and Iterations), so it only reads the environment.
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drivers/cell_store.h"
#include "platform/drivers/driver.h"

namespace q6::bench {

// True in quick mode.
inline bool Quick() {
  static const bool quick = [] {
    const char* q = std::getenv("Q6_BENCH_QUICK");
    return q != nullptr && *q != '\0' && std::string_view(q) != "0";
  }();
  return quick;
}

// `full` in a full run, `quick` in quick mode: record counts, batch sizes,
// field counts.
inline int64_t Size(int64_t full, int64_t quick) { return Quick() ? quick : full; }

// A fixed iteration count for a benchmark: `full` in a full run, 1 in quick
// mode. Use as ->Iterations(q6::bench::Iterations(5)).
inline int64_t Iterations(int64_t full) { return Quick() ? 1 : full; }

// The record counts of the scaling runs of the stepping benchmarks: 1k, 10k
// and 100k in a full run, and 1M as well with $Q6_BENCH_LARGE=1 (a million
// single-record steps take minutes on a server engine); 100 and 1k in quick
// mode.
inline std::vector<int64_t> ScalingSizes() {
  if (Quick()) return {100, 1000};
  const char* large = std::getenv("Q6_BENCH_LARGE");
  if (large != nullptr && std::string_view(large) == "1") return {1000, 10000, 100000, 1000000};
  return {1000, 10000, 100000};
}

// A "Key:  123 kB" line of /proc/self/status, in kB; 0 when absent.
inline long StatusKb(std::string_view key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 &&
        line[key.size()] == ':')
      return std::atol(line.c_str() + key.size() + 1);
  return 0;
}

// Runs `system` and `baseline` (texts for `driver`'s engine) once each per
// iteration of `state`, taking turns at going first, and sets the mean
// seconds of each. False, after SkipWithError, when a side returns other
// than `rows` rows (-1: any number but none) or the two sides differ.
inline bool TimeInTurns(benchmark::State& state, Driver& driver, const std::string& system,
                        const std::string& baseline, int64_t rows, double* system_s,
                        double* baseline_s) {
  double sys = 0, base = 0;
  bool system_first = true;
  for (auto _ : state) {
    auto timed = [&](const std::string& sql, double* total) {
      const auto t0 = std::chrono::steady_clock::now();
      const ResultSet r = driver.Execute(sql);
      *total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      return r.row_count;
    };
    size_t a = 0, b = 0;
    if (system_first) a = timed(system, &sys);
    b = timed(baseline, &base);
    if (!system_first) a = timed(system, &sys);
    system_first = !system_first;
    if ((rows < 0 ? a == 0 : a != static_cast<size_t>(rows)) || b != a) {
      state.SkipWithError("wrong row count");
      return false;
    }
  }
  const double n = static_cast<double>(state.iterations());
  *system_s = sys / n;
  *baseline_s = base / n;
  return true;
}

// --- Reporting -------------------------------------------------------------
//
// Every judged benchmark reports its comparison through one of the Report*
// functions below, and says on which engine and at which size it ran with
// Label. All times are in seconds and cover the same work on both sides
// (per operation, per step or per batch: the same unit for system and
// baseline). The counters (averaged over threads):
//   system         the system's time
//   baseline       the baseline's time (absent for a fixed budget)
//   ratio          the comparison the target applies to
//   target         the goal for `ratio` (for a budget: for `system`, seconds)
//   larger_better  1 when ratio must be >= target, 0 when it must be <=
// A scaling check and a memory comparison add rows of their own, with the
// same counters under the prefixes "scale_" and "mem_".

inline void SetCounter(benchmark::State& state, const std::string& name, double value) {
  state.counters[name] = benchmark::Counter(value, benchmark::Counter::kAvgThreads);
}

// Time against time: ratio = system / baseline, met when ratio <= target.
inline void ReportTime(benchmark::State& state, double system_s, double baseline_s, double target) {
  SetCounter(state, "system", system_s);
  SetCounter(state, "baseline", baseline_s);
  SetCounter(state, "ratio", baseline_s > 0 ? system_s / baseline_s : 0);
  SetCounter(state, "target", target);
  SetCounter(state, "larger_better", 0);
}

// Throughput on the same work: ratio = system rate / baseline rate
// = baseline_s / system_s, met when ratio >= target.
inline void ReportThroughput(benchmark::State& state, double system_s, double baseline_s,
                             double target) {
  SetCounter(state, "system", system_s);
  SetCounter(state, "baseline", baseline_s);
  SetCounter(state, "ratio", system_s > 0 ? baseline_s / system_s : 0);
  SetCounter(state, "target", target);
  SetCounter(state, "larger_better", 1);
}

// A fixed budget without a baseline: met when system_s <= target_s.
inline void ReportBudget(benchmark::State& state, double system_s, double target_s) {
  SetCounter(state, "system", system_s);
  SetCounter(state, "target", target_s);
  SetCounter(state, "larger_better", 0);
}

// The same work per unit (per record, per step) at this run's size against
// a run at `smaller_size`: scale_ratio = system_s / smaller_s, met when
// scale_ratio <= target. Counters scale_system, scale_baseline, scale_ratio,
// scale_target and scale_from (the smaller size).
inline void ReportScaling(benchmark::State& state, double system_s, double smaller_s,
                          int64_t smaller_size, double target) {
  SetCounter(state, "scale_system", system_s);
  SetCounter(state, "scale_baseline", smaller_s);
  SetCounter(state, "scale_ratio", smaller_s > 0 ? system_s / smaller_s : 0);
  SetCounter(state, "scale_target", target);
  SetCounter(state, "scale_from", static_cast<double>(smaller_size));
}

// Memory, in bytes, beside a time comparison: mem_ratio = system / baseline,
// met when mem_ratio <= target. Counters mem_system, mem_baseline, mem_ratio
// and mem_target.
inline void ReportMemory(benchmark::State& state, double system_bytes, double baseline_bytes,
                         double target) {
  SetCounter(state, "mem_system", system_bytes);
  SetCounter(state, "mem_baseline", baseline_bytes);
  SetCounter(state, "mem_ratio", baseline_bytes > 0 ? system_bytes / baseline_bytes : 0);
  SetCounter(state, "mem_target", target);
}

// A second, informational baseline beside the judged one: the same work
// through a text-per-call client (values written into the statement's
// text, every statement prepared or planned anew), which shows what sharing
// prepared statements buys a user who writes SQL by hand. Counters
// text_system, text_baseline, text_ratio (in the sense of the benchmark's
// own ratio: larger_better decides) and no target: the report shows the row
// and judges nothing. Call it after the benchmark's Report*.
inline void ReportTextClient(benchmark::State& state, double system_s, double text_s) {
  const bool larger =
      state.counters.count("larger_better") && state.counters["larger_better"].value >= 0.5;
  SetCounter(state, "text_system", system_s);
  SetCounter(state, "text_baseline", text_s);
  const double ratio =
      larger ? (system_s > 0 ? text_s / system_s : 0) : (text_s > 0 ? system_s / text_s : 0);
  SetCounter(state, "text_ratio", ratio);
}

// The time of one step of a stepping benchmark, in seconds: counter step_s.
// The report plots it against the label's size, one line per benchmark and
// engine.
inline void ReportStep(benchmark::State& state, double seconds_per_step) {
  SetCounter(state, "step_s", seconds_per_step);
}

// Engine ("SQLite", "PostgreSQL", or "-" for work in memory) and size (what
// the benchmark scales with: records, fields; 0 for none) as the label
// "engine=<engine> size=<size>".
inline void Label(benchmark::State& state, std::string_view engine, int64_t size = 0) {
  std::string label = "engine=" + std::string(engine);
  if (size > 0) label += " size=" + std::to_string(size);
  state.SetLabel(label);
}

// The peak resident memory `work` adds, in bytes: the kernel's high-water
// mark, reset first, over the resident size before (Linux). Run it outside
// the timed loop; it is meaningful for work of a few megabytes and more.
template <class Work>
double PeakBytes(Work&& work) {
  CellStore::ReleaseKeptBlocks();
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = StatusKb("VmRSS");
  work();
  return static_cast<double>(StatusKb("VmHWM") - before) * 1024.0;
}

// --- Workers in processes of their own ------------------------------------
//
// The throughput benchmarks run their work in several processes at once.
// Each worker sends back when its work started and ended (steady clock)
// through a pipe, so that starting and ending the processes is not counted.

namespace detail {

inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// In the worker: runs `work`, writes its span to `fd`; the exit status.
inline int TimeAndReport(const std::function<bool()>& work, int fd) {
  double span[2] = {Now(), 0};
  bool ok = false;
  try {
    ok = work();
  } catch (...) {
  }
  span[1] = Now();
  ok = ok && ::write(fd, span, sizeof span) == static_cast<ssize_t>(sizeof span);
  return ok ? 0 : 1;
}

// In the parent: waits for `pids`, reads their spans from `fd` (and closes
// it); from the first start to the last end, or -1 when a worker failed or
// fewer than `procs` were started.
inline double CollectSpans(const std::vector<pid_t>& pids, int procs, int fd) {
  bool ok = true;
  for (pid_t pid : pids) {
    int status = 0;
    ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  double first = 0, last = 0;
  for (size_t i = 0; ok && i < pids.size(); ++i) {
    double span[2];
    ok = ::read(fd, span, sizeof span) == static_cast<ssize_t>(sizeof span);
    first = i == 0 ? span[0] : std::min(first, span[0]);
    last = i == 0 ? span[1] : std::max(last, span[1]);
  }
  ::close(fd);
  return ok && !pids.empty() && pids.size() == static_cast<size_t>(procs) ? last - first : -1;
}

}  // namespace detail

// Runs `work(worker)` in `procs` forked workers at once (worker = 0, 1, ...);
// the seconds from the first worker's start of work to the last one's end,
// or a negative number when a worker failed or raised. A forked worker
// carries whatever the run's earlier benchmarks left in the parent; use it
// where nothing is compared (a latency budget) and RunWorkers otherwise.
inline double InWorkers(int procs, const std::function<bool(int)>& work) {
  // Nothing freed by earlier benchmarks is copied into every worker.
  CellStore::ReleaseKeptBlocks();
  malloc_trim(0);
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  std::vector<pid_t> pids;
  for (int i = 0; i < procs; ++i) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      _exit(detail::TimeAndReport([&] { return work(i); }, fds[1]));
    }
    if (pid > 0) pids.push_back(pid);
  }
  ::close(fds[1]);
  return detail::CollectSpans(pids, procs, fds[0]);
}

// A worker that RunWorkers can start: work on `arg` (a data source, a path)
// as worker number `worker`, `count` times; false when it failed.
using WorkerFn = bool (*)(const std::string& arg, int worker, int count);

inline std::map<std::string, WorkerFn, std::less<>>& WorkerTable() {
  static std::map<std::string, WorkerFn, std::less<>> table;
  return table;
}

// Registers `fn` under `name` (unique in the program); call it from a
// namespace-scope initialiser so that a started worker finds it too.
inline bool AddWorker(const char* name, WorkerFn fn) {
  return WorkerTable().emplace(name, fn).second;
}

// The first argument that makes q6bench a worker rather than the runner.
inline constexpr std::string_view kWorkerFlag = "--q6-worker";

// Runs the worker `name` in `procs` processes at once, each q6bench started
// afresh (fork, then exec of /proc/self/exe), so that every worker starts
// from the same clean process whatever ran before it in this one; the
// seconds from the first worker's start of work to the last one's end, or
// a negative number when one failed.
inline double RunWorkers(int procs, const char* name, const std::string& arg, int count) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  // Everything the child needs is built before fork: between fork and exec
  // it only calls exec and _exit.
  const std::string fd = std::to_string(fds[1]), n = std::to_string(count);
  std::vector<std::string> workers;
  for (int i = 0; i < procs; ++i) workers.push_back(std::to_string(i));
  std::vector<pid_t> pids;
  for (int i = 0; i < procs; ++i) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      ::execl("/proc/self/exe", "q6bench", kWorkerFlag.data(), name, workers[i].c_str(), n.c_str(),
              fd.c_str(), arg.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid > 0) pids.push_back(pid);
  }
  ::close(fds[1]);
  return detail::CollectSpans(pids, procs, fds[0]);
}

// Runs `count` units of work a worker through the workers `system` (on
// `system_arg`) and `baseline` (on `baseline_arg`), `procs` processes each,
// in turns: system, baseline, baseline,
// system, half the count each time. A machine that speeds up or slows down
// during the turns then meets both sides alike. Adds each side's seconds to
// `system_s` and `baseline_s`; false when a worker failed.
inline bool RunInTurns(int procs, const char* system, const std::string& system_arg,
                       const char* baseline, const std::string& baseline_arg, int count,
                       double* system_s, double* baseline_s) {
  const int first = count / 2, second = count - count / 2;
  const double s1 = RunWorkers(procs, system, system_arg, first);
  const double b1 = RunWorkers(procs, baseline, baseline_arg, first);
  const double b2 = RunWorkers(procs, baseline, baseline_arg, second);
  const double s2 = RunWorkers(procs, system, system_arg, second);
  if (s1 < 0 || b1 < 0 || b2 < 0 || s2 < 0) return false;
  *system_s += s1 + s2;
  *baseline_s += b1 + b2;
  return true;
}

// The worker's side: `q6bench --q6-worker NAME WORKER COUNT FD ARG`; the
// exit status.
inline int WorkerMain(int argc, char** argv) {
  if (argc != 7) return 2;
  auto it = WorkerTable().find(std::string_view(argv[2]));
  if (it == WorkerTable().end()) return 2;
  const WorkerFn fn = it->second;
  const int worker = std::atoi(argv[3]), count = std::atoi(argv[4]);
  const std::string arg = argv[6];
  return detail::TimeAndReport([&] { return fn(arg, worker, count); }, std::atoi(argv[5]));
}

}  // namespace q6::bench
