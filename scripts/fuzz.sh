#!/usr/bin/env bash
# Builds the libFuzzer programs (clang, with address and undefined-behaviour
# sanitizers) and runs each fuzz target for a while.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [target...]
#
# SECONDS_PER_TARGET defaults to 60; without target names every target runs.
# Each target starts from its seeds (fuzz/corpus/<target>/) and saved
# findings (fuzz/regressions/<target>/) and grows a working corpus in
# <build>/corpus/<target>/ that later runs go on from. An input that breaks
# an invariant or crashes is copied to fuzz/regressions/<target>/, where the
# regression suite (fuzz_regression_tests) runs it from then on; the script
# then exits with 1. A saved finding whose fault cannot be mended at once may
# be renamed open-<name>: the regression suite then leaves it out, and fuzz runs
# leave it out of their seeds.
#
# Environment:
#   PLOVEX_FUZZ_BUILD     build folder (default: build-fuzz in the repository)
#   PLOVEX_FUZZ_PARALLEL  how many targets run at once (default 1)
#   PLOVEX_FUZZ_NO_BUILD  1: use the programs already built
#   PLOVEX_FUZZ_MERGE     1: afterwards add the inputs that reached new edges to
#                         fuzz/corpus/<target>/ (libFuzzer -merge=1)
#   PLOVEX_FUZZ_KEEP_GOING 1: go on fuzzing after a finding (libFuzzer -fork=1
#                         -ignore_crashes=1), to get past a fault known to be open;
#                         every finding is still saved
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
all_targets=(measurement_receiver diagnostic_reply preferences uevent frame_parser board_core snapshot_json)

usage() {
  echo "usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [target...]"
  echo "targets: ${all_targets[*]}"
}

seconds=60
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds="$1"
  shift
fi
case "${1:-}" in -h|--help) usage; exit 0 ;; esac
[ "$seconds" -gt 0 ] || { echo "fuzz.sh: SECONDS_PER_TARGET must be at least 1" >&2; usage >&2; exit 2; }
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz.sh: no fuzz target named '$t'" >&2; usage >&2; exit 2; }
done
parallel="${PLOVEX_FUZZ_PARALLEL:-1}"
[[ "$parallel" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz.sh: PLOVEX_FUZZ_PARALLEL must be a positive number" >&2; exit 2; }

build="${PLOVEX_FUZZ_BUILD:-$root/build-fuzz}"
if [ "${PLOVEX_FUZZ_NO_BUILD:-0}" != 1 ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DPLOVEX_WITH_QT=OFF -DPLOVEX_BUILD_FUZZ=ON -DPLOVEX_SANITIZE=fuzzer-no-link,address,undefined \
    -DBUILD_TESTING=OFF -DPLOVEX_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" --target "${targets[@]/#/fuzz_}"
fi

# Runs one target; its log is <build>/logs/<target>.log.
run_target() {
  local t="$1"
  local work="$build/corpus/$t" artifacts="$build/artifacts/$t" log="$build/logs/$t.log"
  # Saved findings seed the run too, except those of faults still open
  # (open-*), which would only end it at once.
  local saved="$build/seeds/$t" f
  rm -rf "$saved"
  mkdir -p "$work" "$artifacts" "$build/logs" "$saved"
  for f in "$root/fuzz/regressions/$t"/*; do
    if [ -f "$f" ] && [[ "$(basename "$f")" != open-* ]]; then
      cp "$f" "$saved/"
    fi
  done
  rm -f "$build/logs/$t.status"
  echo "fuzz.sh: $t for ${seconds} s"
  local status=0 keep_going=()
  [ "${PLOVEX_FUZZ_KEEP_GOING:-0}" = 1 ] && keep_going=(-fork=1 -ignore_crashes=1)
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" ASAN_OPTIONS="detect_leaks=1" \
    nice -n 10 "$build/fuzz/fuzz_$t" "${keep_going[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$work" "$root/fuzz/corpus/$t" "$saved" >"$log" 2>&1 || status=$?
  if [ "${PLOVEX_FUZZ_MERGE:-0}" = 1 ] && [ "$status" -eq 0 ]; then
    # Edges only (no hit counts, no comparison values): keeps the saved corpus small.
    "$build/fuzz/fuzz_$t" -merge=1 -use_counters=0 -use_value_profile=0 "$root/fuzz/corpus/$t" "$work" \
      >>"$log" 2>&1 || status=$?
  fi
  echo "$status" >"$build/logs/$t.status"
}

# One line per target from its log: run time, executions, coverage, findings.
summarise() {
  local t="$1" log="$build/logs/$1.log" findings=()
  local last execs rate
  last="$(grep -E '^#[0-9]+.*cov:' "$log" | tail -n 1 || true)"
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  local f
  for f in "$build/artifacts/$t"/*; do
    [ -f "$f" ] || continue
    mkdir -p "$root/fuzz/regressions/$t"
    cp -n "$f" "$root/fuzz/regressions/$t/"
    findings+=("fuzz/regressions/$t/$(basename "$f")")
    rm -f "$f"
  done
  # A forked run (PLOVEX_FUZZ_KEEP_GOING) prints no final statistics.
  [ -n "$execs" ] || execs="$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$last")"
  [ -n "$rate" ] || rate="$(sed -nE 's/.*exec\/s:? ([0-9]+).*/\1/p' <<<"$last")"
  printf '%-22s %8s execs %7s/s  %s\n' "$t" "${execs:-?}" "${rate:-?}" \
    "$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+(/[0-9]+[a-zA-Z]*)?' <<<"$last" || echo 'no coverage line')"
  printf '%-22s corpus: %s files in %s\n' "" "$(find "$build/corpus/$t" -type f | wc -l)" "$build/corpus/$t"
  if [ ${#findings[@]} -gt 0 ]; then
    for f in "${findings[@]}"; do
      printf '%-22s FINDING: %s (see %s)\n' "" "$f" "$log"
    done
    return 1
  fi
  local status
  status="$(cat "$build/logs/$t.status" 2>/dev/null || echo '?')"
  if [ "$status" != 0 ]; then
    printf '%-22s FAILED with status %s, no input saved (see %s)\n' "" "$status" "$log"
    return 1
  fi
}

pids=()
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
    wait -n || true
  done
  run_target "$t" &
  pids+=("$!")
done
for p in "${pids[@]}"; do
  wait "$p" || true
done

echo "fuzz.sh: ${seconds} s per target"
failed=0
for t in "${targets[@]}"; do
  summarise "$t" || failed=1
done
if [ "$failed" -ne 0 ]; then
  echo "fuzz.sh: findings were saved under fuzz/regressions/; fuzz_regression_tests runs them" >&2
  exit 1
fi
