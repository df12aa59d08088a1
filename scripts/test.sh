#!/usr/bin/env bash
# Sets up, builds and runs every test: the whole suite, then the Qt-free
# suites again under ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen

start=$(date +%s)
"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
echo "plovex tests: main suite done in $(( $(date +%s) - start )) s"

start=$(date +%s)
"$root/scripts/build.sh" "$root/build-tsan" -DPLOVEX_WITH_QT=OFF -DPLOVEX_BUILD_BENCH=OFF \
  -DPLOVEX_SANITIZE=thread -DCMAKE_CXX_COMPILER=clang++
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs"
echo "plovex tests: ThreadSanitizer suite done in $(( $(date +%s) - start )) s"
