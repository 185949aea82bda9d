#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ with clang and runs each for
# FUZZ_SECONDS (default 60). The seed corpus in fuzz/corpus/<target>/ is read
# but not written; what a run finds goes to build-fuzz/corpus/<target>/, and
# an input that breaks a target is saved as build-fuzz/artifacts/<target>-*.
#   fuzz/run.sh [target...]         build and run (all targets by default)
#   fuzz/run.sh --merge [target...] fold build-fuzz/corpus into the seed corpus
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
out=build-fuzz
merge=0
if [ "${1:-}" = "--merge" ]; then merge=1; shift; fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(dialect filter variant datasource)

cmake -S fuzz -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j "${JOBS:-2}" --target "${targets[@]/%/_fuzz}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
status=0
for t in "${targets[@]}"; do
  seeds=fuzz/corpus/$t
  work=$out/corpus/$t
  mkdir -p "$work" "$out/artifacts"
  if [ $merge -eq 1 ]; then
    "$out/${t}_fuzz" -merge=1 "$seeds" "$work" 2>&1 | tail -n 2
    continue
  fi
  echo "== $t: ${seconds}s"
  # -timeout: one input taking longer than 10 s is a hang worth reporting.
  if ! "$out/${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-" \
      "$work" "$seeds" >"$out/$t.log" 2>&1; then
    status=1
    echo "FAILED: $t (log $out/$t.log)"
    grep -A 30 -m1 -E "ERROR|invariant broken|runtime error|deadly signal" "$out/$t.log" || tail -n 40 "$out/$t.log"
    ls "$out/artifacts/$t-"* 2>/dev/null || true
  else
    grep -E "stat::number_of_executed_units|stat::new_units_added" "$out/$t.log" | tr '\n' ' '
    echo
  fi
done
exit $status
