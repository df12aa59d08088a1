#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite; the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer; the Qt-free suites
# under ThreadSanitizer. PLOVEX_TEST_STAGES picks stages (default: "main asan tsan").
#
# Every stage is a unity build, which compiles each folder's sources as a few
# large files (much less work for two cores), and builds the tests' own code
# without optimisation; the product keeps its flags. The first stage is GCC's,
# with warnings as errors and without debug information, which its tests do not
# need. The sanitizer stages build with clang at -O1 with
# line tables only: what a sanitizer report needs, in a quarter of the time
# GCC takes with instrumentation.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
stages="${PLOVEX_TEST_STAGES:-main asan tsan}"
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
sanitized=(-DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG"
  -DPLOVEX_BUILD_BENCH=OFF)

stage() { # name build-dir cmake-args...
  local name="$1" dir="$2"
  shift 2
  local start=$(date +%s)
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON \
    -DPLOVEX_TEST_CODE_OPTIONS=-O0 "$@" >/dev/null
  local configured=$(date +%s)
  cmake --build "$dir" -j "$jobs"
  local built=$(date +%s)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
  echo "plovex tests: $name: configured in $(( configured - start )) s, built in $(( built - configured )) s," \
    "tests ran in $(( $(date +%s) - built )) s"
}

for s in $stages; do
  case "$s" in
    main) stage "main suite" "$root/build" -DPLOVEX_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" ;;
    asan)
      ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
        stage "AddressSanitizer+UndefinedBehaviorSanitizer" "$root/build-asan" \
        -DPLOVEX_SANITIZE=address,undefined "${sanitized[@]}" ;;
    tsan)
      # The saved fuzz inputs run through single-threaded code: nothing for
      # ThreadSanitizer to see; the other two stages replay them.
      TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
        stage "ThreadSanitizer (Qt-free suites)" "$root/build-tsan" \
        -DPLOVEX_SANITIZE=thread -DPLOVEX_WITH_QT=OFF -DPLOVEX_TEST_FUZZ_INPUTS=OFF "${sanitized[@]}" ;;
    *) echo "plovex tests: unknown stage '$s'" >&2; exit 2 ;;
  esac
done
