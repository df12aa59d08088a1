#!/usr/bin/env bash
# Fault injection: checks that each known fault is caught by the test named
# to catch it.
#
#   scripts/faults.sh [-b BUILD_DIR] [-o RESULTS] [-a] [-k] [FAULT...]
#
# Each fault is a unified diff against the product under
# scripts/faults/NAME.patch, headed by the test that must catch it and what
# it stands for:
#
#   Caught-by: Suite.TestName        (the ctest name: the gtest name, or packaging_install)
#   Fault: what goes wrong for a user
#
#   diff --git a/...
#
# First the tree is built without faults and every named test is run: each
# must pass. Then, for each fault in turn (all of them, or the names given),
# the script applies the patch, builds what the named test runs (its test
# program and the programs that program starts; the whole tree with -a), runs
# the named test and reverts the patch, whatever happens. A fault is "caught" when its named test fails with
# it (and passed without it), "MISSED" when the named test passes; a patch
# that names no test or a test that does not exist, that no longer applies
# (the product moved on) or no longer builds, or whose test fails without it,
# is reported as such, to be brought up to date. Another test failing does
# not count: a flaky test would hide a fault its own test misses. The table
# (fault, named test, result, seconds) goes to standard output and to
# RESULTS (default: BUILD_DIR/faults-results.txt).
#
#   -b BUILD_DIR  a configured or fresh build folder (default: build/); a
#                 sanitizer build that scripts/test.sh made (build-tsan/) runs
#                 the tests under that sanitizer: a data race that no
#                 test's outcome shows is reported only there
#   -o RESULTS    where to write the table as well
#   -a            also run the whole suite with each fault and list every test
#                 that fails (to find the test a new fault should name)
#   -k            keep going after a named test fails without any fault
#
# The tree's product folders must be free of uncommitted changes: the script
# reverts each patch it applies, but never touches anything else.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
results=""
keep_going=0
whole=0
while getopts "b:o:ak" opt; do
  case "$opt" in
    b) build="$(realpath -m "$OPTARG")" ;;
    o) results="$(realpath -m "$OPTARG")" ;;
    a) whole=1 ;;
    k) keep_going=1 ;;
    *) sed -n '2,39p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
results="${results:-$build/faults-results.txt}"
patches="$root/scripts/faults"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

if [ $# -gt 0 ]; then
  names=()
  for n in "$@"; do n="$(basename "$n")"; names+=("${n%.patch}"); done
else
  names=()
  for p in "$patches"/*.patch; do names+=("$(basename "$p" .patch)"); done
fi

applied=""
revert() {
  if [ -n "$applied" ]; then
    git -C "$root" apply -R "$applied" || echo "faults.sh: could not revert $applied; revert it by hand" >&2
    applied=""
  fi
}
trap 'revert; exit 130' INT TERM
trap revert EXIT

log="$(mktemp)"
build_tree() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$log" 2>&1 || return 1
  fi
  cmake --build "$build" -j "$jobs" >"$log" 2>&1
}
# Builds only what one test needs with a fault in: its test program, and with
# it the programs that program starts as children (plovex-cli, plovex), which
# tests/ declares as its dependencies (add_dependencies). A test that runs a
# script over the build folder (packaging) needs the whole tree.
build_for() {
  local program="${program_of[$1]:-}"
  case "$program" in
    "$build"/*) cmake --build "$build" -j "$jobs" --target "$(basename "$program")" >"$log" 2>&1 ;;
    *) build_tree ;;
  esac
}
# The test a patch names ("" when none).
named_test() {
  sed -n 's/^Caught-by:[[:space:]]*\([^[:space:]]*\).*/\1/p; /^diff /q' "$1" | head -1
}
# The ctest pattern for exactly that test.
exact() {
  printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\.*^$+?(){}|]/\\&/g')"
}
# Runs the tests matching pattern; prints those that failed (nothing when all passed).
failing() {
  ctest --test-dir "$build" -j "$jobs" --timeout 300 ${1:+-R "$1"} >"$log" 2>&1
  local rc=$?
  if [ $rc -ne 0 ]; then
    local failed
    failed="$(grep -E '\*\*\*(Failed|Timeout|Exception)|\(Failed\)|\(Timeout\)|Not Run' "$log" |
      sed -E 's/^[[:space:]]*[0-9]+\/[0-9]+ Test +#[0-9]+: //; s/ \.{3,}.*//; s/^[[:space:]]*[0-9]+ - //; s/ \(.*//' | sort -u | tr '\n' ' ')"
    echo "${failed:-ctest failed ($rc)}"
  fi
}

mkdir -p "$(dirname "$results")"
row() { printf '%-42s %-72s %-14s %6s  %s\n' "$@"; }
{
  echo "# plovex fault injection, $(date '+%Y-%m-%d %H:%M'), $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo 'no git'), load $(cut -d' ' -f1-3 /proc/loadavg)"
  row fault "named test" result seconds "notes"
} | tee "$results"

start=$(date +%s)
if ! build_tree; then
  echo "faults.sh: the tree does not build without faults:" >&2; tail -20 "$log" >&2; exit 1
fi
# Without any fault, each named test must exist and pass.
declare -A test_of=() broken=()
listed="$(ctest --test-dir "$build" -N 2>/dev/null | sed -nE 's/^[[:space:]]*Test +#[0-9]+: //p')"
# The program each test runs (its command's first word).
declare -A program_of=()
while IFS=$'\t' read -r t program; do program_of[$t]="$program"; done < <(
  ctest --test-dir "$build" --show-only=json-v1 2>/dev/null | jq -r '.tests[] | select(.command) | [.name, .command[0]] | @tsv')
pattern=""
for name in "${names[@]}"; do
  [ -f "$patches/$name.patch" ] || continue
  t="$(named_test "$patches/$name.patch")"
  test_of[$name]="$t"
  if [ -n "$t" ] && grep -qxF "$t" <<<"$listed"; then
    pattern="${pattern:+$pattern|}$(exact "$t")"
  fi
done
baseline=""
[ -n "$pattern" ] && baseline="$(failing "$pattern")"
for t in $baseline; do broken[$t]=1; done
row "(none)" "the named tests" "$([ -z "$baseline" ] && echo passes || echo FAILS)" $(( $(date +%s) - start )) "$baseline" | tee -a "$results"
if [ -n "$baseline" ] && [ $keep_going -eq 0 ]; then
  echo "faults.sh: named tests fail without any fault; mend them first (or pass -k)" >&2
  exit 1
fi

caught=0 missed=0 other=0
for name in "${names[@]}"; do
  patch="$patches/$name.patch"
  t="${test_of[$name]:-}"
  t0=$(date +%s)
  notes=""
  if [ ! -f "$patch" ]; then
    result="no-such-fault"
  elif [ -z "$t" ]; then
    result="no-test-named" notes="add a Caught-by: line"
  elif ! grep -qxF "$t" <<<"$listed"; then
    result="no-such-test" notes="ctest lists no test of that name"
  elif [ -n "${broken[$t]:-}" ]; then
    result="fails-without" notes="the named test fails without the fault"
  elif ! git -C "$root" apply --check "$patch" 2>/dev/null; then
    result="no-apply" notes="the product changed here; update the patch"
  else
    git -C "$root" apply "$patch" && applied="$patch"
    # The whole suite (-a) needs the whole tree; the named test, only its own programs.
    if ! { if [ $whole -eq 1 ]; then build_tree; else build_for "$t"; fi; }; then
      result="no-build" notes="$(grep -m1 'error:' "$log")"
    else
      if [ -n "$(failing "$(exact "$t")")" ]; then result="caught"; else result="MISSED"; fi
      [ $whole -eq 1 ] && notes="failing: $(failing "")"
    fi
    revert
  fi
  case "$result" in caught) caught=$((caught + 1)) ;; MISSED) missed=$((missed + 1)) ;; *) other=$((other + 1)) ;; esac
  row "$name" "${t:--}" "$result" $(( $(date +%s) - t0 )) "$notes" | tee -a "$results"
done
# Leave the build matching the tree as it is.
build_tree || true
echo "# caught $caught, missed $missed, other $other; $(( $(date +%s) - start )) s in all" | tee -a "$results"
rm -f "$log"
[ $missed -eq 0 ] && [ $other -eq 0 ]
