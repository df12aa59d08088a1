#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite; the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer; the Qt-free suites
# under ThreadSanitizer. PLOVEX_TEST_STAGES picks stages (default: "main asan tsan").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
stages="${PLOVEX_TEST_STAGES:-main asan tsan}"
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen

stage() { # name build-dir cmake-args...
  local name="$1" dir="$2"
  shift 2
  local start=$(date +%s)
  "$root/scripts/build.sh" "$dir" "$@"
  local built=$(date +%s)
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
  echo "plovex tests: $name: built in $(( built - start )) s, tests ran in $(( $(date +%s) - built )) s"
}

# The main suite needs no debug information, and builds a quarter faster
# without it. The sanitizer stages keep line tables for their reports, and are
# built with clang, which instruments two to three times faster than GCC.
sanitizer_flags="-O1 -gline-tables-only -DNDEBUG"
for s in $stages; do
  case "$s" in
    main) stage "main suite" "$root/build" -DPLOVEX_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" ;;
    asan)
      ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
        stage "AddressSanitizer+UndefinedBehaviorSanitizer" "$root/build-asan" \
        -DPLOVEX_SANITIZE=address,undefined -DPLOVEX_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitizer_flags" ;;
    tsan)
      TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
        stage "ThreadSanitizer (Qt-free suites)" "$root/build-tsan" \
        -DPLOVEX_SANITIZE=thread -DPLOVEX_WITH_QT=OFF -DPLOVEX_BUILD_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$sanitizer_flags" ;;
    *) echo "plovex tests: unknown stage '$s'" >&2; exit 2 ;;
  esac
done
