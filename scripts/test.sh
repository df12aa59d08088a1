#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite; the whole suite again
# under AddressSanitizer and UndefinedBehaviorSanitizer; the Qt-free suites
# under ThreadSanitizer. PLOVEX_TEST_STAGES picks stages (default: "main asan tsan").
#
# Every stage is a unity build, which compiles each folder's sources as a few
# large files (much less work for two cores), with clang, which compiles this
# code in about half the time GCC takes, and builds the tests' own code without
# optimisation, GoogleTest's headers parsed once; the product keeps its flags.
# The first stage builds as scripts/build.sh does (optimised), with warnings as
# errors and without debug information, which its tests do not need. The
# sanitizer stages build with line tables only, what a sanitizer report needs:
# AddressSanitizer's unoptimised (a third less to build; its tests mostly wait
# on lines and boards), ThreadSanitizer's at -O1 (its tests come last, where
# their speed counts).
# Every stage links with LLVM's linker, which links the sixty-odd programs in
# half the time the default one takes.
#
# While a stage's tests run (much of their time is spent waiting on lines,
# boards and servers), the next stage is built beside them at a lower
# priority, so that the tests keep the processor they ask for. The last
# stage's tests, with nothing built beside them, run twice as many at once.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
stages="${PLOVEX_TEST_STAGES:-main asan tsan}"
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
sanitized() { echo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=$1 -gline-tables-only -DNDEBUG"; }

# The name, build folder and cmake arguments of a stage.
stage_name() {
  case "$1" in
    main) echo "main suite" ;;
    asan) echo "AddressSanitizer+UndefinedBehaviorSanitizer" ;;
    tsan) echo "ThreadSanitizer (Qt-free suites)" ;;
    *) echo "plovex tests: unknown stage '$1'" >&2; exit 2 ;;
  esac
}
stage_dir() { case "$1" in main) echo "$root/build" ;; *) echo "$root/build-$1" ;; esac; }
configure() { # stage
  local extra=()
  case "$1" in
    main) extra=(-DPLOVEX_WERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG") ;;
    asan) extra=(-DPLOVEX_SANITIZE=address,undefined "$(sanitized -O0)" -DPLOVEX_BUILD_BENCH=OFF) ;;
    # The saved fuzz inputs run through single-threaded code: nothing for
    # ThreadSanitizer to see; the other two stages replay them.
    tsan) extra=(-DPLOVEX_SANITIZE=thread -DPLOVEX_WITH_QT=OFF -DPLOVEX_TEST_FUZZ_INPUTS=OFF "$(sanitized -O1)" -DPLOVEX_BUILD_BENCH=OFF) ;;
  esac
  cmake -S "$root" -B "$(stage_dir "$1")" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DPLOVEX_TEST_CODE_OPTIONS=-O0 -DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld "${extra[@]}" >/dev/null
}
build() { # stage [nice]
  local start=$(date +%s)
  if [ "${2:-}" = nice ]; then
    nice -n 15 cmake --build "$(stage_dir "$1")" -j "$jobs" >"$(stage_dir "$1")/plovex-build.log" 2>&1
  else
    cmake --build "$(stage_dir "$1")" -j "$jobs"
  fi
  echo $(( $(date +%s) - start )) >"$(stage_dir "$1")/plovex-build-seconds"
}
run_tests() { # stage parallel
  local env=()
  case "$1" in
    asan) env=(ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
               LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0") ;;
    tsan) env=(TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1") ;;
  esac
  env "${env[@]}" ctest --test-dir "$(stage_dir "$1")" --output-on-failure -j "$2" --timeout 300
}

read -r -a list <<<"$stages"
for s in "${list[@]}"; do stage_name "$s" >/dev/null; configure "$s"; done
build "${list[0]}"
for i in "${!list[@]}"; do
  s="${list[$i]}"
  next="${list[$((i + 1))]:-}"
  pid=""
  if [ -n "$next" ]; then
    build "$next" nice &
    pid=$!
  fi
  start=$(date +%s)
  status=0
  run_tests "$s" "$([ -n "$next" ] && echo "$jobs" || echo $((jobs * 2)))" || status=$?
  ran=$(( $(date +%s) - start ))
  echo "plovex tests: $(stage_name "$s"): built in $(cat "$(stage_dir "$s")/plovex-build-seconds") s, tests ran in $ran s"
  if [ -n "$pid" ]; then
    if ! wait "$pid"; then
      cat "$(stage_dir "$next")/plovex-build.log"
      echo "plovex tests: $(stage_name "$next"): the build failed" >&2
      exit 1
    fi
    tail -n 1 "$(stage_dir "$next")/plovex-build.log"
  fi
  [ "$status" -eq 0 ] || exit "$status"
done
