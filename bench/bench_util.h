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
#include <string>
#include <string_view>
#include <vector>

#include "platform/drivers/cell_store.h"

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

// Runs `work(worker)` in `procs` forked workers at once (worker = 0, 1, ...);
// the seconds from the first worker's start of work to the last one's end,
// or a negative number when a worker failed or raised. Forking and ending
// the workers is not counted: it depends on what the run's earlier
// benchmarks left in the parent, not on the work. The workers start from a
// parent that holds no freed memory (the result blocks kept for reuse, the
// heap's free tail).
inline double InWorkers(int procs, const std::function<bool(int)>& work) {
  CellStore::ReleaseKeptBlocks();
  malloc_trim(0);
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const auto now = [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  std::vector<pid_t> pids;
  for (int i = 0; i < procs; ++i) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      double span[2] = {now(), 0};
      bool ok = false;
      try {
        ok = work(i);
      } catch (...) {
      }
      span[1] = now();
      ok = ok && ::write(fds[1], span, sizeof span) == static_cast<ssize_t>(sizeof span);
      _exit(ok ? 0 : 1);
    }
    pids.push_back(pid);
  }
  ::close(fds[1]);
  bool ok = true;
  for (pid_t pid : pids) {
    int status = 0;
    ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  double first = 0, last = 0;
  for (size_t i = 0; ok && i < pids.size(); ++i) {
    double span[2];
    ok = ::read(fds[0], span, sizeof span) == static_cast<ssize_t>(sizeof span);
    first = i == 0 ? span[0] : std::min(first, span[0]);
    last = i == 0 ? span[1] : std::max(last, span[1]);
  }
  ::close(fds[0]);
  return ok ? last - first : -1;
}

}  // namespace q6::bench
