#!/usr/bin/env bash
# Fault injection: checks that the test suite catches known faults.
#
#   scripts/faults.sh [-b BUILD_DIR] [-o RESULTS] [-a] [-k] [FAULT...]
#
# Each fault is a plain unified diff against the product under
# scripts/faults/NAME.patch. For each fault in turn (all of them, or the
# names given) the script applies the patch to the tree, builds, runs the
# whole suite with ctest and reverts the patch, whatever happens. A fault is
# "caught" when some test fails, "MISSED" when the suite passes; a patch that
# no longer applies (the product moved on) or no longer builds is reported as
# such, to be brought up to date. The suite must pass without any fault
# first. The table goes to standard output and to RESULTS (default:
# BUILD_DIR/faults-results.txt).
#
#   -b BUILD_DIR  a configured or fresh build folder (default: build/); a
#                 sanitizer build that scripts/test.sh made (build-tsan/) runs
#                 the suite under that sanitizer: a race, such as
#                 link-open-publishes-outside-the-lock, shows only there
#   -o RESULTS    where to write the table as well
#   -a            run the whole suite for each fault and list every test that
#                 fails (default: stop at the first, which is enough to tell)
#   -k            keep going after a failing baseline (for a look at a broken tree)
#
# The tree's product folders must be free of uncommitted changes: the script
# reverts each patch it applies, but never touches anything else.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
results=""
keep_going=0
stop="--stop-on-failure"
while getopts "b:o:ak" opt; do
  case "$opt" in
    b) build="$(realpath -m "$OPTARG")" ;;
    o) results="$(realpath -m "$OPTARG")" ;;
    a) stop="" ;;
    k) keep_going=1 ;;
    *) sed -n '2,23p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
results="${results:-$build/faults-results.txt}"
patches="$root/scripts/faults"
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

if [ $# -gt 0 ]; then
  names=("$@")
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
# Runs the suite; prints the failing tests (nothing when all passed).
run_suite() {
  ctest --test-dir "$build" -j "$jobs" --timeout 120 $stop >"$log" 2>&1
  local rc=$?
  if [ $rc -ne 0 ]; then
    local failed
    failed="$(grep -E '\*\*\*(Failed|Timeout|Exception)|\(Failed\)|\(Timeout\)|Not Run' "$log" |
      sed -E 's/^[[:space:]]*[0-9]+\/[0-9]+ Test +#[0-9]+: //; s/ \.{3,}.*//; s/^[[:space:]]*[0-9]+ - //; s/ \(.*//' | sort -u | tr '\n' ' ')"
    echo "${failed:-ctest failed ($rc)}"
  fi
}

mkdir -p "$(dirname "$results")"
{
  echo "# plovex fault injection, $(date '+%Y-%m-%d %H:%M'), $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo 'no git')"
  printf '%-42s %-12s %6s  %s\n' fault result seconds "failing tests"
} | tee "$results"

start=$(date +%s)
if ! build_tree; then
  echo "faults.sh: the tree does not build without faults:" >&2; tail -20 "$log" >&2; exit 1
fi
baseline="$(run_suite)"
printf '%-42s %-12s %6s  %s\n' "(none)" "$([ -z "$baseline" ] && echo passes || echo FAILS)" $(( $(date +%s) - start )) "$baseline" | tee -a "$results"
if [ -n "$baseline" ] && [ $keep_going -eq 0 ]; then
  echo "faults.sh: the suite fails without any fault; mend that first (or pass -k)" >&2
  exit 1
fi

caught=0 missed=0 other=0
for name in "${names[@]}"; do
  patch="$patches/$name.patch"
  t0=$(date +%s)
  if [ ! -f "$patch" ]; then
    result="no-such-fault" first=""
  elif ! git -C "$root" apply --check "$patch" 2>/dev/null; then
    result="no-apply" first="the product changed here; update the patch"
  else
    git -C "$root" apply "$patch" && applied="$patch"
    if ! build_tree; then
      result="no-build" first="$(grep -m1 'error:' "$log")"
    else
      first="$(run_suite)"
      if [ -n "$first" ]; then result="caught"; else result="MISSED"; fi
    fi
    revert
  fi
  case "$result" in caught) caught=$((caught + 1)) ;; MISSED) missed=$((missed + 1)) ;; *) other=$((other + 1)) ;; esac
  printf '%-42s %-12s %6s  %s\n' "$name" "$result" $(( $(date +%s) - t0 )) "$first" | tee -a "$results"
done
# Leave the build matching the tree as it is.
build_tree || true
echo "# caught $caught, missed $missed, other $other; $(( $(date +%s) - start )) s in all" | tee -a "$results"
rm -f "$log"
[ $missed -eq 0 ] && [ $other -eq 0 ]
