#!/usr/bin/env bash
# Runs the benchmarks of the build folder and writes the results table.
#   scripts/run-bench.sh [--quick] [BUILD]          (BUILD defaults to build)
#
# Full run: every benchmark with $Q6_BENCH_REPETITIONS repetitions (default 3)
# on both engines; the medians go to bench/results.md, bench/results.json and
# bench/steps.png (time per step of the stepping benchmarks, by gnuplot).
# Quick run (CI): every benchmark once at small sizes (Q6_BENCH_QUICK=1), the
# table goes to BUILD/bench-quick/; nothing is judged, but a benchmark that
# reports an error or crashes fails the run.
#
# After q6bench, bench/python_bench.py compares the Python module with Python's
# own sqlite3 module when the build made the module; its rows join the table.
#
# PostgreSQL gets a throwaway server for the run, stopped on every exit, and
# (full runs, when pgbouncer is installed) a connection pooler in transaction
# mode in front of it, at most 20 server connections, for the many-
# workstations group (BM_Workstations), which quick runs leave out.
# $Q6_BENCH_FILTER (a regular expression over benchmark names) runs a subset
# and writes its table to BUILD/bench-filtered/ instead.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
build=${1:-build}
bin="$build/bin/q6bench"
if [ ! -x "$bin" ]; then
  echo "no $bin: configure with -DQ6_BENCH=ON and build the q6bench target" >&2
  exit 2
fi

pgdir=$(mktemp -d /tmp/q6fd-pg.XXXXXX)
pbdir=$(mktemp -d /tmp/q6fd-pgbouncer.XXXXXX)
# The SQLite databases live in memory (tmpfs) when there is one: PostgreSQL
# runs without fsync too, so both engines measure the statements' own work
# rather than the disk's flush time, which the system and the baseline
# would share alike.
work=$(mktemp -d /dev/shm/q6bench.XXXXXX 2>/dev/null || mktemp -d /tmp/q6bench.XXXXXX)
cleanup() {
  bash scripts/pgbouncer.sh stop "$pbdir" || true
  bash scripts/pg.sh stop "$pgdir" || true
  rm -rf "$pgdir" "$pbdir" "$work"
}
trap cleanup EXIT
export Q6FD_TEST_PG
Q6FD_TEST_PG=$(bash scripts/pg.sh start "$pgdir")
echo "PostgreSQL for benchmarks: $Q6FD_TEST_PG"
if [ "$quick" = 0 ] && [ -x /usr/sbin/pgbouncer ]; then
  export Q6FD_TEST_POOLER
  Q6FD_TEST_POOLER=$(bash scripts/pgbouncer.sh start "$pbdir" "$Q6FD_TEST_PG" 20)
  echo "PostgreSQL through the pooler: $Q6FD_TEST_POOLER"
fi
# Databases and registrations of the run stay in its own folder.
export TMPDIR="$work"
export Q6FD_REGISTRY="$work/registry.txt"

# Google Benchmark's own output goes to $build/q6bench/, one file a group,
# kept for a closer look.
args=(--benchmark_out_format=json)
if [ "$quick" = 1 ]; then
  export Q6_BENCH_QUICK=1
  args+=(--benchmark_repetitions=1 --benchmark_min_time=0.01)
  out="$build/bench-quick"
  report=(--quick)
  limit=600
else
  unset Q6_BENCH_QUICK
  args+=(--benchmark_repetitions="${Q6_BENCH_REPETITIONS:-3}"
         --benchmark_display_aggregates_only=true)
  out=bench
  # A partial run does not replace the published results.
  if [ -n "${Q6_BENCH_FILTER:-}" ]; then out="$build/bench-filtered"; fi
  report=(--plot "$out/steps.png")
  limit=1200
fi

# Each group of benchmarks runs in a process of its own, so that what one
# leaves behind (pooled connections to its databases, the cells kept for the
# next result, the heap) does not weigh on the next: a benchmark measured
# after others ran up to 10% slower than alone. A group holds the
# benchmarks that read each other's times (FetchRecordset reads
# FetchRawSqlite's); a benchmark no group names runs in a group of its own.
groups=('^BM_Fetch|^BM_FilterMoves' '^BM_Command' '^BM_Translate' '^BM_GetNewOID' '^BM_ImportBcp' '^BM_Lock'
        '^BM_LoadEOMetaData' '^BM_SaveEOMetaData' '^BM_Records' '^BM_TsqlFunctions' '^BM_Statements'
        '^BM_Workstations')
listed=$("$bin" --benchmark_list_tests ${Q6_BENCH_FILTER:+--benchmark_filter="$Q6_BENCH_FILTER"} |
         sed 's|/.*||' | awk '!seen[$0]++' || true)
runs=()
for family in $listed; do
  # Hundreds of client processes for minutes: full runs only.
  if [ "$quick" = 1 ] && [[ "$family" == BM_Workstations* ]]; then continue; fi
  group="^$family(/|\$)"
  for g in "${groups[@]}"; do
    if [[ "$family" =~ $g ]]; then group="$g"; break; fi
  done
  [[ " ${runs[*]} " == *" $group "* ]] || runs+=("$group")
done

start=$(date +%s)
status=0
inputs=()
rm -rf "$build/q6bench"
mkdir -p "$build/q6bench"
for i in "${!runs[@]}"; do
  json="$build/q6bench/$i.json"
  filter="${runs[$i]}"
  # A filter of the caller's narrows each group further.
  if [ -n "${Q6_BENCH_FILTER:-}" ]; then
    names=$("$bin" --benchmark_list_tests --benchmark_filter="$Q6_BENCH_FILTER" |
            grep -E "$filter" | sed 's/[][().*+?^$|\\{}]/\\&/g' | paste -sd'|' || true)
    filter="^($names)\$"
  fi
  timeout "$limit" "$bin" "${args[@]}" --benchmark_out="$json" --benchmark_filter="$filter" ||
    status=$?
  if [ -s "$json" ]; then inputs+=("$json"); fi
done
echo "q6bench: ${#runs[@]} groups, exit $status after $(($(date +%s) - start)) s"
# The Python client against Python's own sqlite3 module, when the module was
# built; its rows join the same table.
if compgen -G "$build/python/q6fdmgr*.so" >/dev/null; then
  py_raw="$build/python_bench.json"
  rm -f "$py_raw"
  if PYTHONPATH="$build/python" timeout "$limit" python3 bench/python_bench.py --out "$py_raw"; then
    inputs+=("$py_raw")
  else
    echo "python_bench.py failed" >&2
    status=1
  fi
fi
if [ ${#inputs[@]} -eq 0 ]; then
  echo "the benchmarks wrote no results" >&2
  exit 1
fi
python3 scripts/bench_report.py "${inputs[@]}" --out-dir "$out" "${report[@]}" || status=1
echo "results: $out/results.md"
exit "$status"
